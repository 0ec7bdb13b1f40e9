#include "transport/comm_channel.h"

#include <algorithm>

#include "app/registry_settings.h"

namespace ctrl {

CommChannel::CommChannel(ComPort& com_port, ClSerialPort& cl_serial_2000,
                         ClSerialPort& cl_serial_2001, ClSerialPort& cl_serial_v11, Clock& clock)
    : com_port_(com_port),
      cl_serial_2000_(cl_serial_2000),
      cl_serial_2001_(cl_serial_2001),
      cl_serial_v11_(cl_serial_v11),
      clock_(clock) {}

void CommChannel::LoadSettings(const RegistrySettings& settings) {
  category_ = settings.ReadInt(RegistrySettings::kCommunicationMode, kComPort).value;
  baud_rate_ = 9600;
  com_port_index_ = settings.ReadInt(RegistrySettings::kComPortNo, 0).value;
  cl_2000_index_ = settings.ReadInt(RegistrySettings::kCameralink2000DllIndex, 0).value;
  cl_2001_index_ = settings.ReadInt(RegistrySettings::kCameralink2001DllIndex, 0).value;
  cl_v11_index_ = settings.ReadInt(RegistrySettings::kCameralinkVer11DllIndex, 0).value;
}

void CommChannel::SaveSettings(RegistrySettings& settings) const {
  settings.WriteInt(RegistrySettings::kCommunicationMode, category_);
  settings.WriteInt(RegistrySettings::kBaudrate, baud_rate_);
  settings.WriteInt(RegistrySettings::kComPortNo, com_port_index_);
  settings.WriteInt(RegistrySettings::kCameralink2000DllIndex, cl_2000_index_);
  settings.WriteInt(RegistrySettings::kCameralink2001DllIndex, cl_2001_index_);
  settings.WriteInt(RegistrySettings::kCameralinkVer11DllIndex, cl_v11_index_);
}

int CommChannel::BaudRateOfIndex(int index) {
  switch (index) {
    case 1:
      return 115200;
    case 2:
      return 460800;
    default:
      return 9600;
  }
}

int CommChannel::IndexOfBaudRate(int baud_rate) {
  switch (baud_rate) {
    case 115200:
      return 1;
    case 460800:
      return 2;
    default:
      return 0;
  }
}

int CommChannel::PortIndexOf(int category) const {
  switch (category) {
    case kComPort:
      return com_port_index_;
    case kClSerial2000:
      return cl_2000_index_;
    case kClSerial2001:
      return cl_2001_index_;
    case kClSerialV11:
      return cl_v11_index_;
    default:
      return 0;
  }
}

SerialTransport* CommChannel::TransportOf(int category) const {
  if (category == kComPort) return &com_port_;
  return ClSerialOf(category);
}

ClSerialPort* CommChannel::ClSerialOf(int category) const {
  switch (category) {
    case kClSerial2000:
      return &cl_serial_2000_;
    case kClSerial2001:
      return &cl_serial_2001_;
    case kClSerialV11:
      return &cl_serial_v11_;
    default:
      return nullptr;
  }
}

int CommChannel::PortCount() {
  SerialTransport* transport = TransportOf(category_);
  return transport != nullptr ? transport->PortCount() : 0;
}

std::string CommChannel::PortName(int index) const {
  const SerialTransport* transport = TransportOf(category_);
  return transport != nullptr ? transport->PortName(index) : "ERROR";
}

bool CommChannel::Open(int category, int baud_rate, int port_index) {
  Close();
  category_ = category;
  baud_rate_ = baud_rate;
  if (category == kComPort) {
    com_port_index_ = port_index;
    const std::string name = "COM" + std::to_string(port_index + 1);
    return com_port_.Open(name, baud_rate, 8, 0, false, false);
  }
  ClSerialPort* cl_serial = ClSerialOf(category);
  if (cl_serial == nullptr) return false;
  switch (category) {
    case kClSerial2000:
      cl_2000_index_ = port_index;
      break;
    case kClSerial2001:
      cl_2001_index_ = port_index;
      break;
    default:
      cl_v11_index_ = port_index;
      break;
  }
  if (!cl_serial->Open(port_index)) return false;
  return cl_serial->SetBaudRate(baud_rate);
}

void CommChannel::Close() {
  SerialTransport* transport = TransportOf(category_);
  if (transport != nullptr) transport->Close();
}

bool CommChannel::Write(std::string_view text) {
  SerialTransport* transport = TransportOf(category_);
  if (transport == nullptr) return false;
  const int timeout_ms = category_ == kComPort ? 0 : kClWriteTimeoutMs;
  transport->Write(text.data(), static_cast<int>(text.size()), timeout_ms);
  return true;
}

int CommChannel::Read(char* buffer, int length, int timeout_ms) {
  if (length <= 0) return 0;
  const int64_t start_us = clock_.NowUs();
  const int64_t deadline_us = start_us + static_cast<int64_t>(std::max(timeout_ms, 0)) * 1000;
  SerialTransport* transport = TransportOf(category_);
  int delivered = 0;
  for (;;) {
    const int64_t attempt_us = clock_.NowUs();
    int received = 0;
    if (category_ == kComPort) {
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
    if (category_ == kComPort) {
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
  SerialTransport* transport = TransportOf(category_);
  if (transport != nullptr) transport->DiscardInput();
}

bool CommChannel::LineLost() const {
  SerialTransport* transport = TransportOf(category_);
  return transport != nullptr && transport->LineLost();
}

void ApplyPreviousRunCheck(const RegistrySettings& settings, CommChannel& channel) {
  if (!settings.PreviousRunEndedNormally()) channel.set_port_category(CommChannel::kComPort);
}

}  // namespace ctrl
