#pragma once

#include <string>
#include <vector>

#include "camera/baud_rates.h"

namespace ctrl {

// One port category of the connection: the COM port or one generation of the Camera Link
// serial library. Each implementation exists once per process and is driven by CommChannel
// from the GUI thread.
class SerialTransport {
 public:
  virtual ~SerialTransport() = default;

  // Number of selectable ports (the library transports enumerate afresh on every call).
  virtual int PortCount() = 0;
  // Display text of a port for the port list.
  virtual std::string PortName(int index) const = 0;
  // Closes the port if one is open; harmless when nothing is open.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Sends `length` bytes. How `timeout_ms` is used depends on the implementation.
  virtual bool Write(const char* bytes, int length, int timeout_ms) = 0;
  // Delivers at most `length` received bytes and returns their number (0 when nothing is
  // available or no port is open).
  virtual int Read(char* buffer, int length, int timeout_ms) = 0;
  // Drops received bytes not read yet.
  virtual void DiscardInput() = 0;
  // True once the open port is known to be gone (hang-up, device removed, the library failing
  // for another reason than a time-out); false again after the next Open.
  virtual bool LineLost() const { return false; }
};

// The COM port form: opened by port name with its line format.
class ComPort : public SerialTransport {
 public:
  // stop_bits uses the Win32 DCB coding: 0 one, 1 one and a half, 2 two.
  virtual bool Open(const std::string& port_name, int baud_rate, int byte_size, int stop_bits,
                    bool xon_xoff, bool parity_check) = 0;
  // Blocks until received bytes are waiting or `timeout_ms` has passed; returns true when
  // bytes are waiting. Returns false at once when no port is open.
  virtual bool WaitForData(int timeout_ms) = 0;
};

// The Camera Link form: opened by position in the port list, the line rate set afterwards.
class ClSerialPort : public SerialTransport {
 public:
  virtual bool Open(int port_index) = 0;
  // Shows the refusal message itself when the rate is not supported.
  virtual bool SetBaudRate(int baud_rate) = 0;
  // The rates of the family's table this port takes, slowest first; all of them while no port
  // is open (nothing tells otherwise yet).
  virtual std::vector<int> SupportedBaudRates() const { return AllBaudRates(); }
};

}  // namespace ctrl
