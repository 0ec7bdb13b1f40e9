#pragma once

#include <string>
#include <string_view>

#include "camera/byte_channel.h"
#include "camera/clock.h"
#include "transport/serial_transport.h"

namespace ctrl {

class RegistrySettings;

// The one connection of the process: remembers the port category, the baud rate and a port
// index per category, and forwards every operation to the transport of the current category.
// Used from the GUI thread only. Traffic is traced by the command engine, not here.
class CommChannel final : public ByteChannel {
 public:
  enum Category {
    kComPort = 0,
    kClSerial2000 = 1,
    kClSerial2001 = 2,
    kClSerialV11 = 3,
  };
  // Each read attempt of a Camera Link transport waits this long inside the library.
  static constexpr int kClReadTimeoutMs = 10;
  static constexpr int kClWriteTimeoutMs = 500;

  // The transports are borrowed and must outlive the channel.
  CommChannel(ComPort& com_port, ClSerialPort& cl_serial_2000, ClSerialPort& cl_serial_2001,
              ClSerialPort& cl_serial_v11, Clock& clock = DefaultClock());
  CommChannel(const CommChannel&) = delete;
  CommChannel& operator=(const CommChannel&) = delete;

  // Takes the category and the four port indices from the settings; the baud rate always
  // starts at 9600.
  void LoadSettings(const RegistrySettings& settings);
  // Writes category, baud rate and the four port indices, in this order (normal exit).
  void SaveSettings(RegistrySettings& settings) const;

  int port_category() const { return category_; }
  // Stores the category without opening anything.
  void set_port_category(int category) { category_ = category; }
  int baud_rate() const { return baud_rate_; }
  // 0 for 9600 (and any unknown rate), 1 for 115200, 2 for 460800.
  int BaudRateIndex() const { return IndexOfBaudRate(baud_rate_); }
  static int BaudRateOfIndex(int index);
  static int IndexOfBaudRate(int baud_rate);
  // The stored port index of a category (0 outside 0..3).
  int PortIndexOf(int category) const;
  int CurrentPortIndex() const { return PortIndexOf(category_); }

  // 16 for the COM port; the library transports enumerate afresh; 0 for unknown categories.
  int PortCount();
  // "ERROR" for unknown categories.
  std::string PortName(int index) const;

  // Closes the current transport, stores category and baud rate (even when the rest fails)
  // and opens the port. For Camera Link the rate is set after a successful open; when only
  // the rate is refused the port stays open and the result is false.
  bool Open(int category, int baud_rate, int port_index);
  bool ReopenWithPortIndex(int port_index) { return Open(category_, baud_rate_, port_index); }
  bool ReopenWithBaudRate(int baud_rate) { return Open(category_, baud_rate, CurrentPortIndex()); }
  bool ReopenCurrent() { return Open(category_, baud_rate_, CurrentPortIndex()); }
  void Close();

  // Sends the whole text. True for every known category, whatever the transport said: a
  // lost request shows up as a missing reply.
  bool Write(std::string_view text) override;
  // Waits for bytes without spinning and returns once `length` bytes are delivered or
  // `timeout_ms` has passed. At least one attempt is made, even with a time-out of 0.
  int Read(char* buffer, int length, int timeout_ms) override;
  void DiscardInput() override;
  bool LineLost() const override;

 private:
  SerialTransport* TransportOf(int category) const;
  ClSerialPort* ClSerialOf(int category) const;

  ComPort& com_port_;
  ClSerialPort& cl_serial_2000_;
  ClSerialPort& cl_serial_2001_;
  ClSerialPort& cl_serial_v11_;
  Clock& clock_;

  int category_ = kComPort;
  int baud_rate_ = 9600;
  int com_port_index_ = 0;
  int cl_2000_index_ = 0;
  int cl_2001_index_ = 0;
  int cl_v11_index_ = 0;
};

// After a run that did not end normally the stored category is not trusted: the connection
// falls back to the COM port (and that choice is what the next normal exit saves).
void ApplyPreviousRunCheck(const RegistrySettings& settings, CommChannel& channel);

}  // namespace ctrl
