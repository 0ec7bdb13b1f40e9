#include <algorithm>
#include <cstring>

#include "transport/com_port_line.h"
#include "transport/com_port_open_failure.h"
#include "transport/unique_handle.h"

namespace ctrl {
namespace {

constexpr DWORD kQueueSize = 1024;
constexpr DWORD kWriteTotalTimeoutMs = 20000;
constexpr size_t kMaxEventNameLength = 127;

// Named events follow the port: "WriteEnd_COM3", "ReadEnd_COM3". The name is the one of the
// device actually opened ("\\.\COM5" gives "COM5"): another program whose own COM1 leads to
// another device must not share them, since only one program at a time can open a device.
UniqueHandle CreatePortEvent(const char* prefix, const std::string& device_path) {
  std::string name = std::string(prefix) + device_path.substr(device_path.find_last_of('\\') + 1);
  if (name.size() > kMaxEventNameLength) name.resize(kMaxEventNameLength);
  return UniqueHandle(::CreateEventA(nullptr, TRUE, TRUE, name.c_str()));
}

static_assert(win32_error::kInvalidFunction == ERROR_INVALID_FUNCTION);
static_assert(win32_error::kFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(win32_error::kPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(win32_error::kAccessDenied == ERROR_ACCESS_DENIED);
static_assert(win32_error::kSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(win32_error::kNotSupported == ERROR_NOT_SUPPORTED);
static_assert(win32_error::kDeviceDoesNotExist == ERROR_DEV_NOT_EXIST);

// The step's failure with the system's code and text for it; called right after the failing
// call, before anything else can change the last error.
LineOpenResult Failed(const char* step) {
  const DWORD error = ::GetLastError();
  LineOpenResult result;
  result.failed_step = step;
  result.error_kind = SystemErrorKind::kWin32;
  result.error_code = static_cast<long>(error);
  char text[512] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, sizeof text, nullptr);
  result.error_text.assign(text, length);
  while (!result.error_text.empty() &&
         (result.error_text.back() == '\n' || result.error_text.back() == '\r')) {
    result.error_text.pop_back();
  }
  return result;
}

UniqueHandle CreateUnnamedEvent() {
  return UniqueHandle(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

// An overlapped COM port. The reader waits for EV_RXCHAR and then reads exactly what the driver
// reports as queued; the stop event is how Interrupt ends its waits.
class Win32ComPortLine final : public ComPortLine {
 public:
  ~Win32ComPortLine() override { Close(); }

  LineOpenResult Open(const std::string& device_path, const LineFormat& format) override;
  void Close() override;
  bool IsOpen() const override { return port_.valid(); }
  LineEvent Wait(ReceivedBytes& received) override;
  bool Pause(int ms) override {
    return ::WaitForSingleObject(stop_event_.get(), static_cast<DWORD>(ms)) == WAIT_TIMEOUT;
  }
  void Interrupt() override;
  void Write(const char* bytes, int length) override;
  void DiscardInput() override { ::PurgeComm(port_.get(), PURGE_RXCLEAR); }

 private:
  enum class WaitOutcome { kCharacters, kUnwatched, kFailed, kStop };

  WaitOutcome WaitForCharacters();
  // False when the driver says the device is gone.
  bool Drain(ReceivedBytes& received);

  UniqueHandle port_;
  UniqueHandle write_event_;
  UniqueHandle read_event_;
  UniqueHandle wait_event_;
  UniqueHandle stop_event_;
  OVERLAPPED write_overlap_{};
  OVERLAPPED read_overlap_{};
  // WaitCommEvent needs an overlap of its own: the drain reads while it is between waits,
  // but close may cancel it at any time.
  OVERLAPPED wait_overlap_{};
  DWORD wait_mask_ = 0;
};

LineOpenResult Win32ComPortLine::Open(const std::string& device_path, const LineFormat& format) {
  // "\\.\COMn" also reaches COM10 and above.
  port_.Reset(::CreateFileA(device_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!port_.valid()) return Failed("CreateFile");

  std::memset(&write_overlap_, 0, sizeof write_overlap_);
  std::memset(&read_overlap_, 0, sizeof read_overlap_);
  write_event_ = CreatePortEvent("WriteEnd_", device_path);
  read_event_ = CreatePortEvent("ReadEnd_", device_path);
  wait_event_ = CreateUnnamedEvent();
  stop_event_ = CreateUnnamedEvent();
  if (!write_event_.valid() || !read_event_.valid() || !wait_event_.valid() ||
      !stop_event_.valid()) {
    return Failed("SetCommMask");
  }
  write_overlap_.hEvent = write_event_.get();
  read_overlap_.hEvent = read_event_.get();

  if (!::SetCommMask(port_.get(), EV_RXCHAR)) return Failed("SetCommMask");
  if (!::SetupComm(port_.get(), kQueueSize, kQueueSize)) return Failed("SetupComm");

  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;  // A read returns at once with what is queued.
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = kWriteTotalTimeoutMs;
  if (!::SetCommTimeouts(port_.get(), &timeouts)) return Failed("SetCommTimeouts");

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port_.get(), &dcb)) return Failed("GetCommState");
  // DTR control, DSR handling and the error, EOF and event characters stay as reported.
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = static_cast<DWORD>(format.baud_rate);
  dcb.ByteSize = static_cast<BYTE>(format.byte_size);
  dcb.Parity = NOPARITY;
  dcb.StopBits = static_cast<BYTE>(format.stop_bits);
  dcb.fBinary = 1;
  dcb.fParity = format.parity_check ? 1 : 0;
  dcb.fOutxCtsFlow = 0;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fOutX = format.xon_xoff ? 1 : 0;
  dcb.fInX = format.xon_xoff ? 1 : 0;
  dcb.XonLim = 100;
  dcb.XoffLim = 1500;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  if (!::SetCommState(port_.get(), &dcb)) return Failed("SetCommState");

  ::EscapeCommFunction(port_.get(), SETDTR);
  return {};
}

void Win32ComPortLine::Close() {
  write_event_.Reset();
  read_event_.Reset();
  wait_event_.Reset();
  stop_event_.Reset();
  std::memset(&write_overlap_, 0, sizeof write_overlap_);
  std::memset(&read_overlap_, 0, sizeof read_overlap_);
  std::memset(&wait_overlap_, 0, sizeof wait_overlap_);
  port_.Reset();
}

void Win32ComPortLine::Interrupt() {
  ::SetEvent(stop_event_.get());
  ::SetCommMask(port_.get(), 0);  // Wakes a WaitCommEvent that is not watched for the event.
}

Win32ComPortLine::WaitOutcome Win32ComPortLine::WaitForCharacters() {
  const HANDLE port = port_.get();
  wait_mask_ = 0;
  std::memset(&wait_overlap_, 0, sizeof wait_overlap_);
  wait_overlap_.hEvent = wait_event_.get();
  if (::WaitCommEvent(port, &wait_mask_, &wait_overlap_)) {
    return (wait_mask_ & EV_RXCHAR) != 0 ? WaitOutcome::kCharacters : WaitOutcome::kUnwatched;
  }
  if (::GetLastError() != ERROR_IO_PENDING) return WaitOutcome::kFailed;

  // Block until a character arrives or close asks to stop; never spin.
  HANDLE waits[2] = {wait_event_.get(), stop_event_.get()};
  const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  DWORD ignored = 0;
  if (woken != WAIT_OBJECT_0) {
    // The wait must be over before its overlap and mask are used again.
    ::CancelIoEx(port, &wait_overlap_);
    ::GetOverlappedResult(port, &wait_overlap_, &ignored, TRUE);
    return woken == WAIT_OBJECT_0 + 1 ? WaitOutcome::kStop : WaitOutcome::kFailed;
  }
  if (::GetOverlappedResult(port, &wait_overlap_, &ignored, FALSE)) {
    return (wait_mask_ & EV_RXCHAR) != 0 ? WaitOutcome::kCharacters : WaitOutcome::kUnwatched;
  }
  switch (::GetLastError()) {
    case ERROR_OPERATION_ABORTED:
      // Wine gives up a wait it cannot watch: a port on a pseudo-terminal has no modem status.
      return WaitOutcome::kUnwatched;
    case ERROR_IO_INCOMPLETE:
      // The event fired yet the wait still reads as pending: under load wine loses the
      // completion of a wait that ends while it is being started. End it for good.
      ::CancelIoEx(port, &wait_overlap_);
      ::GetOverlappedResult(port, &wait_overlap_, &ignored, TRUE);
      return WaitOutcome::kUnwatched;
    default:
      return WaitOutcome::kFailed;
  }
}

// Every wait, whatever its outcome, is followed by a drain of what is queued: a wait that
// failed may still have left characters behind.
LineEvent Win32ComPortLine::Wait(ReceivedBytes& received) {
  const WaitOutcome outcome = WaitForCharacters();
  if (outcome == WaitOutcome::kStop) return LineEvent::kInterrupt;
  if (!Drain(received)) return LineEvent::kGone;
  switch (outcome) {
    case WaitOutcome::kCharacters:
      return LineEvent::kActive;
    case WaitOutcome::kUnwatched:
      return LineEvent::kIdle;
    default:
      return LineEvent::kFailed;
  }
}

// Reads exactly what the driver reports as queued: a read issued on an empty queue may stay
// pending on some drivers despite the read time-outs.
bool Win32ComPortLine::Drain(ReceivedBytes& received) {
  const HANDLE port = port_.get();
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(port, &errors, &status)) {
    switch (::GetLastError()) {
      case ERROR_ACCESS_DENIED:
      case ERROR_BAD_COMMAND:
      case ERROR_DEVICE_REMOVED:
      case ERROR_GEN_FAILURE:
      case ERROR_INVALID_HANDLE:
        return false;
      default:
        return true;
    }
  }
  DWORD queued = status.cbInQue;
  char chunk[kQueueSize];
  while (queued > 0) {
    const DWORD wanted = std::min<DWORD>(queued, sizeof chunk);
    DWORD count = 0;
    std::memset(&read_overlap_, 0, sizeof read_overlap_);
    read_overlap_.hEvent = read_event_.get();
    if (!::ReadFile(port, chunk, wanted, &count, &read_overlap_)) {
      if (::GetLastError() != ERROR_IO_PENDING) break;
      if (!::GetOverlappedResult(port, &read_overlap_, &count, TRUE)) {
        // Never leave a read in flight into this chunk.
        ::CancelIoEx(port, &read_overlap_);
        ::GetOverlappedResult(port, &read_overlap_, &count, TRUE);
        break;
      }
    }
    if (count == 0) break;
    received.Take(chunk, static_cast<int>(count));
    queued -= count;
  }
  return true;
}

void Win32ComPortLine::Write(const char* bytes, int length) {
  const HANDLE port = port_.get();
  for (int i = 0; i < length; ++i) {
    DWORD written = 0;
    std::memset(&write_overlap_, 0, sizeof write_overlap_);
    write_overlap_.hEvent = write_event_.get();
    if (!::WriteFile(port, bytes + i, 1, &written, &write_overlap_) &&
        ::GetLastError() == ERROR_IO_PENDING) {
      if (::WaitForSingleObject(write_event_.get(), kByteWriteTimeoutMs) == WAIT_OBJECT_0) {
        ::GetOverlappedResult(port, &write_overlap_, &written, FALSE);
      } else {
        // Abandon the byte, and wait for the cancellation so the overlap is free again.
        ::CancelIoEx(port, &write_overlap_);
        ::GetOverlappedResult(port, &write_overlap_, &written, TRUE);
      }
    }
    DWORD errors = 0;
    ::ClearCommError(port, &errors, nullptr);
  }
}

}  // namespace

std::unique_ptr<ComPortLine> MakeSystemComPortLine() {
  return std::make_unique<Win32ComPortLine>();
}

}  // namespace ctrl
