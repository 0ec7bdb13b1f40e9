#include "transport/comm_channel.h"

#include <algorithm>

namespace ctrl {

CommChannel::CommChannel(ComPort& com_port, ClSerialPort& cl_serial_2000,
                         ClSerialPort& cl_serial_2001, ClSerialPort& cl_serial_v11, Clock& clock)
    : com_port_(com_port),
      cl_serial_ports_{nullptr, &cl_serial_2000, &cl_serial_2001, &cl_serial_v11},
      clock_(clock) {}

int CommChannel::PortIndexOf(PortCategory category) const {
  const auto row = RowOf(category);
  return row ? choice_.port_indices[*row] : 0;
}

SerialTransport* CommChannel::TransportOf(PortCategory category) const {
  if (category == PortCategory::kComPort) return &com_port_;
  const auto row = RowOf(category);
  return row ? cl_serial_ports_[*row] : nullptr;
}

int CommChannel::PortCount() {
  SerialTransport* transport = TransportOf(choice_.category);
  return transport != nullptr ? transport->PortCount() : 0;
}

std::string CommChannel::PortName(int index) const {
  const SerialTransport* transport = TransportOf(choice_.category);
  return transport != nullptr ? transport->PortName(index) : "ERROR";
}

bool CommChannel::Open(PortCategory category, int baud_rate, int port_index) {
  Close();
  reopen_failed_ = false;
  choice_.category = category;
  choice_.baud_rate = baud_rate;
  const auto row = RowOf(category);
  if (!row) return false;
  choice_.port_indices[*row] = port_index;
  if (category == PortCategory::kComPort) {
    const std::string name = "COM" + std::to_string(port_index + 1);
    return com_port_.Open(name, baud_rate, 8, 0, false, false);
  }
  ClSerialPort& cl_serial = *cl_serial_ports_[*row];
  if (!cl_serial.Open(port_index)) return false;
  return cl_serial.SetBaudRate(baud_rate);
}

bool CommChannel::ReopenCurrent() {
  const bool was_lost = LineLost();
  const bool opened = Open(choice_.category, choice_.baud_rate, CurrentPortIndex());
  reopen_failed_ = was_lost && !opened;
  return opened;
}

std::vector<int> CommChannel::SupportedBaudRates() const {
  const auto row = RowOf(choice_.category);
  if (!row) return {};
  if (choice_.category == PortCategory::kComPort) return AllBaudRates();
  return cl_serial_ports_[*row]->SupportedBaudRates();
}

void CommChannel::Close() {
  SerialTransport* transport = TransportOf(choice_.category);
  if (transport != nullptr) transport->Close();
}

bool CommChannel::Write(std::string_view text) {
  SerialTransport* transport = TransportOf(choice_.category);
  if (transport == nullptr) return false;
  const int timeout_ms = choice_.category == PortCategory::kComPort ? 0 : kClWriteTimeoutMs;
  transport->Write(text.data(), static_cast<int>(text.size()), timeout_ms);
  return true;
}

int CommChannel::Read(char* buffer, int length, int timeout_ms) {
  if (length <= 0 || reopen_failed_) return 0;
  const int64_t start_us = clock_.NowUs();
  const int64_t deadline_us = start_us + static_cast<int64_t>(std::max(timeout_ms, 0)) * 1000;
  SerialTransport* transport = TransportOf(choice_.category);
  int delivered = 0;
  for (;;) {
    const int64_t attempt_us = clock_.NowUs();
    int received = 0;
    if (choice_.category == PortCategory::kComPort) {
      received = com_port_.Read(buffer + delivered, length - delivered, 0);
    } else if (transport != nullptr) {
      received = transport->Read(buffer + delivered, 1, kClReadTimeoutMs);
    }
    delivered += received;
    if (delivered >= length) break;
    if (received == 0 && transport != nullptr && transport->LineLost()) break;
    const int64_t now_us = clock_.NowUs();
    if (now_us >= deadline_us) break;
    if (received > 0) continue;
    if (choice_.category == PortCategory::kComPort) {
      // The reader thread wakes us as soon as a byte lands.
      const int remaining_ms = static_cast<int>((deadline_us - now_us + 999) / 1000);
      if (!com_port_.WaitForData(remaining_ms) && !com_port_.LineLost()) {
        clock_.SleepUntilUs(deadline_us);
      }
    } else if (transport != nullptr) {
      // The library waited inside its read; one that fails at once must not make us spin.
      clock_.SleepUntilUs(std::min(attempt_us + kClReadTimeoutMs * 1000, deadline_us));
    } else {
      clock_.SleepUntilUs(deadline_us);  // Nothing can arrive on an unknown category.
    }
  }
  return delivered;
}

void CommChannel::DiscardInput() {
  SerialTransport* transport = TransportOf(choice_.category);
  if (transport != nullptr) transport->DiscardInput();
}

bool CommChannel::LineLost() const {
  if (reopen_failed_) return true;
  SerialTransport* transport = TransportOf(choice_.category);
  return transport != nullptr && transport->LineLost();
}

}  // namespace ctrl
