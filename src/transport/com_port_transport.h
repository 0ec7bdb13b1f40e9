#pragma once

#include <memory>
#include <string>

#include "transport/com_port_map.h"
#include "transport/serial_transport.h"

namespace ctrl {

// The PC serial port. A reader thread moves received bytes into a 1024-byte ring as they
// arrive and wakes a caller blocked in WaitForData; Read only takes bytes out of the ring.
// The operating system part lives in one source file per platform.
class ComPortTransport final : public ComPort {
 public:
  static constexpr int kPortCount = 16;

  ComPortTransport();
  ~ComPortTransport() override;
  ComPortTransport(const ComPortTransport&) = delete;
  ComPortTransport& operator=(const ComPortTransport&) = delete;

  // Always 16; nothing is probed.
  int PortCount() override { return kPortCount; }
  // "COM1".."COM16"; "ERROR" outside 0..15.
  std::string PortName(int index) const override;

  // Closes any open port first. Each failing step reports
  // "Failed to initialize <name> port!\nError in <step>()" and leaves the port closed.
  bool Open(const std::string& port_name, int baud_rate, int byte_size, int stop_bits,
            bool xon_xoff, bool parity_check) override;
  // Stops and joins the reader thread before any handle is closed.
  void Close() override;
  bool IsOpen() const override;
  // Sends the bytes; each byte waits at most 1000 ms for the line. `timeout_ms` is not used.
  // False only when no port is open or `length` is not positive: line errors are not
  // reported.
  bool Write(const char* bytes, int length, int timeout_ms) override;
  // Never waits: delivers what the ring holds, up to `length`.
  int Read(char* buffer, int length, int timeout_ms) override;
  bool WaitForData(int timeout_ms) override;
  void DiscardInput() override;
  bool LineLost() const override;

  // Bytes dropped because the ring was full, since the last open.
  long RefusedBytes() const;

  ComPortMap& port_map() { return port_map_; }
  const ComPortMap& port_map() const { return port_map_; }

  struct Impl;

 private:
  ComPortMap port_map_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ctrl
