#pragma once

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "camera/byte_channel.h"
#include "camera/clock.h"

namespace ctrl::test {

// Answers at once from a register map; refuses writes to registers in `refused`; says nothing
// while `silent` is set; hangs up (the line is lost) once `answer_limit` requests were answered.
class MapChannel final : public ByteChannel {
 public:
  explicit MapChannel(FakeClock& clock) : clock_(clock) {}
  bool Write(std::string_view bytes) override {
    std::string request(bytes);
    requests.push_back(request);
    if (silent || LineLost()) return true;
    char op[4] = {};
    unsigned reg = 0;
    unsigned value = 0;
    int fields = std::sscanf(request.c_str(), "%2s 0x%X %u", op, &reg, &value);
    if (fields == 3 && std::string(op) == "wr") {
      if (refused.count(reg) != 0) {
        out_ += "Error: value refused\r\nOK>\r\n";
        return true;
      }
      registers[reg] = static_cast<int32_t>(value);
    }
    out_ += "0x" + Hex(reg) + "=" + std::to_string(registers[reg]) + "\r\nOK>\r\n";
    return true;
  }
  int Read(char* buffer, int length, int timeout_ms) override {
    int n = 0;
    while (n < length && pos_ < out_.size()) buffer[n++] = out_[pos_++];
    if (n == 0 && !LineLost()) clock_.AdvanceUs(int64_t{timeout_ms} * 1000);
    return n;
  }
  void DiscardInput() override { pos_ = out_.size(); }
  bool LineLost() const override {
    return answer_limit >= 0 && requests.size() > static_cast<size_t>(answer_limit);
  }

  std::map<uint32_t, int32_t> registers;
  std::set<uint32_t> refused;
  std::vector<std::string> requests;
  bool silent = false;
  int answer_limit = -1;  // -1: never hangs up

 private:
  static std::string Hex(unsigned v) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
  }
  FakeClock& clock_;
  std::string out_;
  size_t pos_ = 0;
};

}  // namespace ctrl::test
