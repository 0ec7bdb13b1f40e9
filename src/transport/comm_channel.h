#pragma once

#include <array>
#include <string>
#include <string_view>

#include "camera/byte_channel.h"
#include "camera/clock.h"
#include "transport/connection_facts.h"
#include "transport/serial_transport.h"

namespace ctrl {

// What the connection remembers: the category, the rate and the last port of every category.
// The defaults are those of a first run.
struct ChannelChoice {
  PortCategory category = PortCategory::kComPort;
  int baud_rate = kDefaultBaudRate;
  std::array<int, kPortCategoryCount> port_indices{};  // indexed by category
};

// The one connection of the process: remembers the port category, the baud rate and a port
// index per category, and forwards every operation to the transport of the current category.
// Used from the GUI thread only. Traffic is traced by the command engine, not here.
class CommChannel final : public ByteChannel {
 public:
  // The transports are borrowed and must outlive the channel.
  CommChannel(ComPort& com_port, ClSerialPort& cl_serial_2000, ClSerialPort& cl_serial_2001,
              ClSerialPort& cl_serial_v11, Clock& clock = DefaultClock());
  CommChannel(const CommChannel&) = delete;
  CommChannel& operator=(const CommChannel&) = delete;

  const ChannelChoice& choice() const { return choice_; }
  // Takes a remembered choice without opening anything.
  void Restore(const ChannelChoice& choice) { choice_ = choice; }

  PortCategory port_category() const { return choice_.category; }
  // Stores the category without opening anything.
  void set_port_category(PortCategory category) { choice_.category = category; }
  int baud_rate() const { return choice_.baud_rate; }
  // The dialog's row of the current rate (0 for a rate outside the table).
  int BaudRateIndex() const { return ctrl::BaudRateIndex(choice_.baud_rate); }
  // The stored port index of a category (0 outside the category table).
  int PortIndexOf(PortCategory category) const;
  int CurrentPortIndex() const { return PortIndexOf(choice_.category); }

  // 16 for the COM port; the library transports enumerate afresh; 0 for unknown categories.
  int PortCount();
  // "ERROR" for unknown categories.
  std::string PortName(int index) const;
  // The rates the current category's port takes: every rate of the table for the COM port,
  // the library's own list for a Camera Link port; none for unknown categories.
  std::vector<int> SupportedBaudRates() const;

  // Closes the current transport, stores category and baud rate (even when the rest fails)
  // and opens the port. For Camera Link the rate is set after a successful open; when only
  // the rate is refused the port stays open and the result is false.
  bool Open(PortCategory category, int baud_rate, int port_index);
  bool ReopenWithPortIndex(int port_index) {
    return Open(choice_.category, choice_.baud_rate, port_index);
  }
  bool ReopenWithBaudRate(int baud_rate) {
    return Open(choice_.category, baud_rate, CurrentPortIndex());
  }
  // Opens the current port again. When its line had gone away and it cannot be opened yet, the
  // line still counts as lost: exchanges fail at once instead of waiting on a closed port.
  bool ReopenCurrent();
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
  // Nothing for a category outside the table.
  SerialTransport* TransportOf(PortCategory category) const;

  ComPort& com_port_;
  // Indexed by category; the COM port's entry has no library.
  std::array<ClSerialPort*, kPortCategoryCount> cl_serial_ports_;
  Clock& clock_;
  ChannelChoice choice_;
  // A reopen after the line went away has failed; cleared by every open.
  bool reopen_failed_ = false;
};

}  // namespace ctrl
