#include "transport/com_port_transport.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "camera/notifier.h"
#include "transport/com_port_open_failure.h"

namespace ctrl {

// The reader's sink: stores into the ring and counts what did not fit.
class ComPortTransport::RingWriter final : public ReceivedBytes {
 public:
  explicit RingWriter(ComPortTransport& port) : port_(port) {}

  void Take(const char* bytes, int count) override {
    if (count <= 0) return;
    const int taken = port_.ring_.Push(bytes, count);
    if (taken < count) port_.refused_bytes_.fetch_add(count - taken, std::memory_order_relaxed);
    stored_ = true;
  }

  // Whether anything was stored since the last call.
  bool TakeStored() { return std::exchange(stored_, false); }

 private:
  ComPortTransport& port_;
  bool stored_ = false;
};

ComPortTransport::ComPortTransport() : ComPortTransport(MakeSystemComPortLine()) {}

ComPortTransport::ComPortTransport(std::unique_ptr<ComPortLine> line) : line_(std::move(line)) {}

ComPortTransport::~ComPortTransport() {
  Close();
}

std::string ComPortTransport::PortName(int index) const {
  return ComPortName(index);
}

bool ComPortTransport::Open(const std::string& port_name, int baud_rate, int byte_size,
                            int stop_bits, bool xon_xoff, bool parity_check) {
  Close();
  const LineFormat format{baud_rate, byte_size, stop_bits, xon_xoff, parity_check};
  const std::string device_path = port_map_.DevicePath(port_name);
  const LineOpenResult opened = line_->Open(device_path, format);
  if (!opened.ok()) {
    ReportOpenFailure(port_name, device_path, opened);
    Release();
    return false;
  }
  ring_.Reset();
  refused_bytes_.store(0, std::memory_order_relaxed);
  line_lost_.store(false, std::memory_order_release);
  running_.store(true, std::memory_order_release);
  try {
    reader_ = std::thread([this] { ReaderLoop(); });
  } catch (const std::system_error& error) {
    LineOpenResult failure;
    failure.failed_step = "CreateThread";
    failure.error_text = error.code().message();
    ReportOpenFailure(port_name, device_path, failure);
    Release();
    return false;
  }
  return true;
}

void ComPortTransport::ReportOpenFailure(const std::string& port_name,
                                         const std::string& device_path,
                                         const LineOpenResult& failure) {
  ShowExclamation("Failed to initialize " + port_name + " port!\nError in " + failure.failed_step +
                  "()\n" + OpenFailureReason(device_path, failure));
}

void ComPortTransport::ReaderLoop() {
  RingWriter received(*this);
  int retry_pause_ms = kFirstRetryPauseMs;
  while (running_.load(std::memory_order_acquire)) {
    const LineEvent event = line_->Wait(received);
    if (received.TakeStored()) data_arrived_.Notify();
    if (!running_.load(std::memory_order_acquire)) return;
    switch (event) {
      case LineEvent::kActive:
        retry_pause_ms = kFirstRetryPauseMs;
        break;
      case LineEvent::kIdle:
        if (!line_->Pause(kIdlePauseMs)) return;
        break;
      case LineEvent::kFailed:
        if (!line_->Pause(retry_pause_ms)) return;
        retry_pause_ms = std::min(retry_pause_ms * 2, kLongestRetryPauseMs);
        break;
      case LineEvent::kGone:
        line_lost_.store(true, std::memory_order_release);
        data_arrived_.Notify();  // a reader of the ring must not wait out its time-out
        return;
      case LineEvent::kInterrupt:
        return;
    }
  }
}

void ComPortTransport::Release() {
  running_.store(false, std::memory_order_release);
  if (reader_.joinable()) {
    line_->Interrupt();
    reader_.join();
  }
  line_->Close();
  ring_.Reset();
}

void ComPortTransport::Close() {
  Release();
}

bool ComPortTransport::IsOpen() const {
  return line_->IsOpen();
}

bool ComPortTransport::Write(const char* bytes, int length, int /*timeout_ms*/) {
  if (!IsOpen() || length <= 0) return false;
  line_->Write(bytes, length);
  return true;
}

int ComPortTransport::Read(char* buffer, int length, int /*timeout_ms*/) {
  if (!IsOpen() || length <= 0) return 0;
  return ring_.Pop(buffer, length);
}

bool ComPortTransport::WaitForData(int timeout_ms) {
  if (!IsOpen()) return false;
  data_arrived_.WaitFor(timeout_ms, [this] {
    return ring_.Available() > 0 || line_lost_.load(std::memory_order_acquire);
  });
  return ring_.Available() > 0;
}

bool ComPortTransport::LineLost() const {
  return IsOpen() && line_lost_.load(std::memory_order_acquire) && ring_.Available() == 0;
}

void ComPortTransport::DiscardInput() {
  if (!IsOpen()) return;
  line_->DiscardInput();
  ring_.DiscardAll();
}

long ComPortTransport::RefusedBytes() const {
  return refused_bytes_.load(std::memory_order_relaxed);
}

}  // namespace ctrl
