#pragma once

#include <deque>
#include <string>
#include <vector>

#include "camera/clock.h"
#include "transport/serial_transport.h"

namespace ctrl::test {

// Every transport call in one log, so tests can check what happened and in which order.
struct CallLog {
  std::vector<std::string> calls;
  std::string Joined() const {
    std::string all;
    for (const auto& call : calls) all += (all.empty() ? "" : " | ") + call;
    return all;
  }
};

// A COM port whose received bytes come from a script instead of a line. WaitForData moves
// the shared fake clock forward the way a real wait would.
class FakeComPort final : public ComPort {
 public:
  FakeComPort(CallLog& log, FakeClock& clock) : log_(log), clock_(clock) {}

  int PortCount() override { return 16; }
  std::string PortName(int index) const override {
    return index >= 0 && index < 16 ? "COM" + std::to_string(index + 1) : "ERROR";
  }
  bool Open(const std::string& name, int baud, int byte_size, int stop_bits, bool xon_xoff,
            bool parity_check) override {
    log_.calls.push_back("com.open " + name + " " + std::to_string(baud) + " " +
                         std::to_string(byte_size) + std::to_string(stop_bits) +
                         std::to_string(xon_xoff) + std::to_string(parity_check));
    open_ = open_result;
    return open_;
  }
  void Close() override {
    log_.calls.push_back("com.close");
    open_ = false;
  }
  bool IsOpen() const override { return open_; }
  bool Write(const char* bytes, int length, int timeout_ms) override {
    log_.calls.push_back("com.write " + std::string(bytes, static_cast<size_t>(length)) + " " +
                         std::to_string(timeout_ms));
    written += std::string(bytes, static_cast<size_t>(length));
    return open_ && length > 0;
  }
  int Read(char* buffer, int length, int) override {
    ++read_calls;
    int count = 0;
    while (open_ && count < length && !pending.empty() && pending.front().at_us <= clock_.NowUs()) {
      buffer[count++] = pending.front().byte;
      pending.pop_front();
    }
    return count;
  }
  void DiscardInput() override {
    log_.calls.push_back("com.discard");
    pending.clear();
  }
  // Time passes until the next scripted byte is due or the wait ends.
  bool WaitForData(int timeout_ms) override {
    ++waits;
    if (!open_) return false;
    const int64_t until_us = clock_.NowUs() + int64_t{timeout_ms} * 1000;
    if (!pending.empty() && pending.front().at_us <= until_us) {
      clock_.SleepUntilUs(pending.front().at_us);
      return true;
    }
    clock_.SleepUntilUs(until_us);
    return false;
  }

  // Bytes that arrive at the given time.
  void Arrive(const std::string& bytes, int64_t at_us) {
    for (char byte : bytes) pending.push_back({byte, at_us});
  }

  struct Pending {
    char byte;
    int64_t at_us;
  };
  std::deque<Pending> pending;
  std::string written;
  bool open_result = true;
  int read_calls = 0;
  int waits = 0;

 private:
  CallLog& log_;
  FakeClock& clock_;
  bool open_ = false;
};

// A Camera Link library transport; each read attempt costs its time-out on the fake clock
// when nothing is there, as the library's blocking read does.
class FakeClSerialPort final : public ClSerialPort {
 public:
  FakeClSerialPort(std::string name, CallLog& log, FakeClock& clock)
      : name_(std::move(name)), log_(log), clock_(clock) {}

  int PortCount() override {
    log_.calls.push_back(name_ + ".enumerate");
    return static_cast<int>(ports.size());
  }
  std::string PortName(int index) const override {
    return index >= 0 && index < static_cast<int>(ports.size()) ? ports[static_cast<size_t>(index)]
                                                                : "";
  }
  bool Open(int index) override {
    log_.calls.push_back(name_ + ".open " + std::to_string(index));
    open_ = open_result;
    return open_;
  }
  bool SetBaudRate(int baud) override {
    log_.calls.push_back(name_ + ".baud " + std::to_string(baud));
    return baud_result;
  }
  void Close() override {
    log_.calls.push_back(name_ + ".close");
    open_ = false;
  }
  bool IsOpen() const override { return open_; }
  bool Write(const char* bytes, int length, int timeout_ms) override {
    log_.calls.push_back(name_ + ".write " + std::string(bytes, static_cast<size_t>(length)) + " " +
                         std::to_string(timeout_ms));
    return write_result;
  }
  int Read(char* buffer, int length, int timeout_ms) override {
    read_requests.push_back({length, timeout_ms});
    if (open_ && !incoming.empty()) {
      buffer[0] = incoming.front();
      incoming.pop_front();
      return 1;
    }
    if (blocks_in_read) clock_.AdvanceUs(int64_t{timeout_ms} * 1000);
    return 0;
  }
  void DiscardInput() override {
    log_.calls.push_back(name_ + ".discard");
    incoming.clear();
  }

  struct ReadRequest {
    int length;
    int timeout_ms;
  };
  std::vector<std::string> ports;
  std::deque<char> incoming;
  std::vector<ReadRequest> read_requests;
  bool open_result = true;
  bool baud_result = true;
  bool write_result = true;
  bool blocks_in_read = true;

 private:
  std::string name_;
  CallLog& log_;
  FakeClock& clock_;
  bool open_ = false;
};

}  // namespace ctrl::test
