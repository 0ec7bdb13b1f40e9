// A whole engine exchange fed arbitrary camera bytes. The input after a four-byte header is
// the camera's side of the line, cut into replies at each 0x01 byte: every request the engine
// writes releases the next reply. Time runs on a fake clock, so time-outs cost nothing.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "camera/byte_channel.h"
#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/command_table.h"
#include "camera/online_status.h"
#include "fuzz_support.h"

namespace {

class ReplayChannel final : public ctrl::ByteChannel {
 public:
  ReplayChannel(ctrl::FakeClock& clock, std::vector<std::string> replies, bool discard_works)
      : clock_(clock), replies_(std::move(replies)), discard_works_(discard_works) {}

  bool Write(std::string_view) override {
    if (next_ < replies_.size()) {
      released_ += replies_[next_];
      pending_.insert(pending_.end(), replies_[next_].begin(), replies_[next_].end());
      ++next_;
    }
    return true;
  }
  int Read(char* buffer, int length, int timeout_ms) override {
    if (length <= 0) return 0;
    int count = 0;
    while (count < length && !pending_.empty()) {
      buffer[count++] = pending_.front();
      pending_.pop_front();
    }
    if (count == 0) clock_.AdvanceUs(int64_t{timeout_ms > 0 ? timeout_ms : 1} * 1000);
    return count;
  }
  // A late reply may also land just after the discard; the header picks which.
  void DiscardInput() override {
    if (discard_works_) pending_.clear();
  }
  const std::string& released() const { return released_; }

 private:
  ctrl::FakeClock& clock_;
  std::vector<std::string> replies_;
  size_t next_ = 0;
  std::deque<char> pending_;
  std::string released_;
  bool discard_works_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ctrl;
  fuzz::InstallQuietNotifier();
  if (size < 4) return 0;
  const uint8_t flags = data[0];
  const uint8_t ops[3] = {data[1], data[2], data[3]};
  std::vector<std::string> replies(1);
  for (size_t i = 4; i < size; ++i) {
    if (data[i] == 0x01) {
      replies.emplace_back();
    } else {
      replies.back().push_back(static_cast<char>(data[i]));
    }
  }

  FakeClock clock;
  ReplayChannel channel(clock, replies, (flags & 1) != 0);
  CommandTable table;
  OnlineStatusPublisher status;
  Command engine(channel, clock, table, status);
  constexpr int kTimeoutMs = 50;

  for (uint8_t op : ops) {
    const uint32_t reg = table.GetCommandRegister(op % CommandTable::kCount);
    switch ((op >> 5) % 6) {
      case 0: {
        int32_t value = 0;
        if (engine.ReadRegister(reg, value, kTimeoutMs)) {
          FUZZ_CHECK(channel.released().find('=') != std::string::npos);
          FUZZ_CHECK(channel.released().find("OK>") != std::string::npos);
        }
        break;
      }
      case 1:
        if (engine.WriteRegister(reg, static_cast<int32_t>(flags) - 128, kTimeoutMs)) {
          FUZZ_CHECK(channel.released().find("OK>") != std::string::npos);
        }
        break;
      case 2: {
        std::string text;
        if (engine.ReadText(cmd::kVendorName, kIdentityTextBytes, text, kTimeoutMs)) {
          FUZZ_CHECK(text.size() <= static_cast<size_t>(kIdentityTextBytes));
          FUZZ_CHECK(text.find('\0') == std::string::npos);
        }
        break;
      }
      case 3:
        engine.WriteText(cmd::kUserId, "ABCDE", kTimeoutMs);
        break;
      case 4:
        if (engine.CheckModel()) {
          FUZZ_CHECK(engine.device().name.size() <= static_cast<size_t>(kIdentityTextBytes));
        }
        break;
      case 5: {
        // The terminal: a typed line, then every line until the prompt.
        engine.SendText("rd 0x00000044\r\n");
        std::string line;
        int lines = 0;
        while (engine.WaitLine(kTimeoutMs, line) && line != kPromptLine) {
          FUZZ_CHECK(line.size() < LineAssembler::kBufferSize);
          FUZZ_CHECK(++lines <= static_cast<int>(size));
        }
        break;
      }
    }
    engine.OnIdleTimer();
  }
  return 0;
}
