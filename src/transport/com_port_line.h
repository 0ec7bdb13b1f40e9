#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ctrl {

// The line format of a COM port, in the coding of the Win32 DCB (stop_bits: 0 one, 1 one and
// a half, 2 two).
struct LineFormat {
  int baud_rate = 9600;
  int byte_size = 8;
  int stop_bits = 0;
  bool xon_xoff = false;
  bool parity_check = false;
};

// What one wait of the reader thread on the line came to. The operating system part sorts
// its results into these; ComPortTransport decides what follows from each.
enum class LineEvent {
  kActive,     // bytes were delivered, or the line woke without any: wait again at once
  kIdle,       // the wait ended without news: wait again after a short pause
  kFailed,     // a failure that may pass: wait again after a growing pause
  kGone,       // the far end hung up or the device went away: nothing more will come
  kInterrupt,  // Interrupt was called
};

// Whose numbering a system error code follows.
enum class SystemErrorKind {
  kNone,   // the step failed without a code of the system
  kErrno,  // POSIX errno
  kWin32,  // Win32 GetLastError
};

// A program that has a device open.
struct DeviceHolder {
  std::string program;
  long pid = 0;
};

// What Open came to, in the system's own terms; ComPortTransport puts it into the user's.
struct LineOpenResult {
  // Empty on success, otherwise the name of the step that failed as the open-failure message
  // names it ("CreateFile", "SetCommState", ...).
  std::string failed_step;
  SystemErrorKind error_kind = SystemErrorKind::kNone;
  long error_code = 0;
  // The system's own text for error_code.
  std::string error_text;
  // When the device is in use: the programs seen holding it; empty when none could be seen.
  std::vector<DeviceHolder> holders;

  bool ok() const { return failed_step.empty(); }
};

// Receives the bytes the reader takes from the line, in order.
class ReceivedBytes {
 public:
  virtual void Take(const char* bytes, int count) = 0;

 protected:
  ~ReceivedBytes() = default;
};

// The operating system half of the COM port: the device, its settings, the reader's blocking
// wait and writes. One implementation per platform (MakeSystemComPortLine); everything the
// platforms share is in ComPortTransport. Open, Close, Write and DiscardInput are called
// from the owner's thread, Wait and Pause from the reader thread, Interrupt from either.
class ComPortLine {
 public:
  virtual ~ComPortLine() = default;

  // Opens and configures the device. On failure the caller then calls Close.
  virtual LineOpenResult Open(const std::string& device_path, const LineFormat& format) = 0;
  // Gives back everything Open took. Only called while no reader runs.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Blocks until something happens on the line or Interrupt is called; received bytes go to
  // `received` before it returns.
  virtual LineEvent Wait(ReceivedBytes& received) = 0;
  // Waits `ms` milliseconds; false when Interrupt ended the pause early.
  virtual bool Pause(int ms) = 0;
  // Ends the current and every later Wait and Pause until the next Open.
  virtual void Interrupt() = 0;
  // Sends the bytes; each byte waits at most kByteWriteTimeoutMs for the line.
  virtual void Write(const char* bytes, int length) = 0;
  // Drops what the driver has received but the reader has not taken yet.
  virtual void DiscardInput() = 0;

  static constexpr int kByteWriteTimeoutMs = 1000;
};

// The line of this platform.
std::unique_ptr<ComPortLine> MakeSystemComPortLine();

}  // namespace ctrl
