#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "transport/com_port_line.h"
#include "transport/com_port_map.h"
#include "transport/connection_facts.h"
#include "transport/data_signal.h"
#include "transport/receive_ring.h"
#include "transport/serial_transport.h"

namespace ctrl {

// The PC serial port. A reader thread moves received bytes into a 1024-byte ring as they
// arrive and wakes a caller blocked in WaitForData; Read only takes bytes out of the ring.
// This class is the same on every platform; the operating system calls live in a ComPortLine,
// one source file per platform.
//
// When the reader's wait on the line goes wrong, the same policy holds everywhere:
// - the far end hangs up or the device goes away (a pty whose master closed, a USB adapter
//   pulled): the line is lost for good. The reader ends, waits for data end at once and,
//   once the bytes received before are read, LineLost() is true until the next Open.
//   IsOpen() stays true: the port is still held until Close.
// - a failure that may pass: the reader waits again after a pause that starts at
//   kFirstRetryPauseMs and doubles up to kLongestRetryPauseMs; received bytes reset it.
// - a wait that ends without news waits again after kIdlePauseMs, so the reader never spins.
class ComPortTransport final : public ComPort {
 public:
  static constexpr int kPortCount = kComPortCount;
  static constexpr int kIdlePauseMs = 1;
  static constexpr int kFirstRetryPauseMs = 1;
  static constexpr int kLongestRetryPauseMs = 100;

  ComPortTransport();
  // Over another line than the system's own (tests).
  explicit ComPortTransport(std::unique_ptr<ComPortLine> line);
  ~ComPortTransport() override;
  ComPortTransport(const ComPortTransport&) = delete;
  ComPortTransport& operator=(const ComPortTransport&) = delete;

  // Always 16; nothing is probed.
  int PortCount() override { return kPortCount; }
  // "COM1".."COM16"; "ERROR" outside 0..15.
  std::string PortName(int index) const override;

  // Closes any open port first. Each failing step reports
  // "Failed to initialize <name> port!\nError in <step>()\n<device path and reason>" and
  // leaves the port closed.
  bool Open(const std::string& port_name, int baud_rate, int byte_size, int stop_bits,
            bool xon_xoff, bool parity_check) override;
  // Stops and joins the reader thread before the line is closed.
  void Close() override;
  bool IsOpen() const override;
  // Sends the bytes; each byte waits at most 1000 ms for the line. `timeout_ms` is not used.
  // False only when no port is open or `length` is not positive: line errors are not
  // reported.
  bool Write(const char* bytes, int length, int timeout_ms) override;
  // Never waits: delivers what the ring holds, up to `length`.
  int Read(char* buffer, int length, int timeout_ms) override;
  // Ends early when the line is lost, so that the caller notices without waiting out its
  // time-out.
  bool WaitForData(int timeout_ms) override;
  void DiscardInput() override;
  // Bytes that came before the loss are still delivered first.
  bool LineLost() const override;

  // Bytes dropped because the ring was full, since the last open.
  long RefusedBytes() const;

  ComPortMap& port_map() { return port_map_; }
  const ComPortMap& port_map() const { return port_map_; }

 private:
  class RingWriter;

  void ReaderLoop();
  void Release();
  static void ReportOpenFailure(const std::string& port_name, const std::string& device_path,
                                const LineOpenResult& failure);

  ComPortMap port_map_;
  std::unique_ptr<ComPortLine> line_;
  ReceiveRing ring_;
  DataSignal data_arrived_;
  std::atomic<bool> running_{false};
  std::atomic<long> refused_bytes_{0};
  // Set by the reader when the line is gone; until the next Open.
  std::atomic<bool> line_lost_{false};
  std::thread reader_;
};

}  // namespace ctrl
