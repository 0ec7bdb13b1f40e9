#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>

#include "camera/notifier.h"
#include "transport/com_port_transport.h"
#include "transport/data_signal.h"
#include "transport/receive_ring.h"

namespace ctrl {
namespace {

constexpr DWORD kQueueSize = 1024;
constexpr DWORD kByteWriteTimeoutMs = 1000;
constexpr DWORD kWriteTotalTimeoutMs = 20000;
constexpr size_t kMaxEventNameLength = 127;

// Named events follow the port: "WriteEnd_COM3", "ReadEnd_COM3". The name is the one of the
// device actually opened ("\\.\COM5" gives "COM5"): another program whose own COM1 leads to
// another device must not share them, since only one program at a time can open a device.
HANDLE CreatePortEvent(const char* prefix, const std::string& device_path) {
  std::string name = std::string(prefix) + device_path.substr(device_path.find_last_of('\\') + 1);
  if (name.size() > kMaxEventNameLength) name.resize(kMaxEventNameLength);
  return ::CreateEventA(nullptr, TRUE, TRUE, name.c_str());
}

void CloseIfSet(HANDLE& handle) {
  if (handle != nullptr) ::CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

struct ComPortTransport::Impl {
  HANDLE port = nullptr;
  OVERLAPPED write_overlap{};
  OVERLAPPED read_overlap{};
  // WaitCommEvent needs an overlap of its own: the drain reads while it is between waits,
  // but close may cancel it at any time.
  OVERLAPPED wait_overlap{};
  DWORD wait_mask = 0;
  HANDLE write_event = nullptr;
  HANDLE read_event = nullptr;
  HANDLE wait_event = nullptr;
  HANDLE stop_event = nullptr;
  ReceiveRing ring;
  DataSignal data_arrived;
  std::atomic<bool> running{false};
  std::atomic<long> refused_bytes{0};
  // Set when the driver says the device is gone (a USB adapter pulled); until the next Open.
  std::atomic<bool> line_lost{false};
  std::thread reader;

  enum class WaitOutcome { kCharacters, kUnwatched, kFailed, kStop };

  WaitOutcome WaitForCharacters();
  void ReaderLoop();
  void Drain();
  void Release();
};

ComPortTransport::Impl::WaitOutcome ComPortTransport::Impl::WaitForCharacters() {
  wait_mask = 0;
  std::memset(&wait_overlap, 0, sizeof wait_overlap);
  wait_overlap.hEvent = wait_event;
  if (::WaitCommEvent(port, &wait_mask, &wait_overlap)) {
    return (wait_mask & EV_RXCHAR) != 0 ? WaitOutcome::kCharacters : WaitOutcome::kUnwatched;
  }
  if (::GetLastError() != ERROR_IO_PENDING) return WaitOutcome::kFailed;

  // Block until a character arrives or close asks to stop; never spin.
  HANDLE waits[2] = {wait_event, stop_event};
  const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  DWORD ignored = 0;
  if (woken != WAIT_OBJECT_0) {
    // The wait must be over before its overlap and mask are used again.
    ::CancelIoEx(port, &wait_overlap);
    ::GetOverlappedResult(port, &wait_overlap, &ignored, TRUE);
    return woken == WAIT_OBJECT_0 + 1 ? WaitOutcome::kStop : WaitOutcome::kFailed;
  }
  if (::GetOverlappedResult(port, &wait_overlap, &ignored, FALSE)) {
    return (wait_mask & EV_RXCHAR) != 0 ? WaitOutcome::kCharacters : WaitOutcome::kUnwatched;
  }
  switch (::GetLastError()) {
    case ERROR_OPERATION_ABORTED:
      // Wine gives up a wait it cannot watch: a port on a pseudo-terminal has no modem status.
      return WaitOutcome::kUnwatched;
    case ERROR_IO_INCOMPLETE:
      // The event fired yet the wait still reads as pending: under load wine loses the
      // completion of a wait that ends while it is being started. End it for good.
      ::CancelIoEx(port, &wait_overlap);
      ::GetOverlappedResult(port, &wait_overlap, &ignored, TRUE);
      return WaitOutcome::kUnwatched;
    default:
      return WaitOutcome::kFailed;
  }
}

// Runs until close. A wait that ends without news or fails is followed by a drain of what is
// queued and a pause before the next one, so the loop never spins and never gives the port
// up: a reader that stopped would leave every later exchange to time out.
void ComPortTransport::Impl::ReaderLoop() {
  constexpr DWORD kUnwatchedPauseMs = 1;
  constexpr DWORD kLongestFailurePauseMs = 100;
  DWORD failure_pause_ms = kUnwatchedPauseMs;
  while (running.load(std::memory_order_acquire)) {
    const WaitOutcome outcome = WaitForCharacters();
    if (outcome == WaitOutcome::kStop || !running.load(std::memory_order_acquire)) return;
    Drain();
    if (outcome == WaitOutcome::kCharacters) {
      failure_pause_ms = kUnwatchedPauseMs;
      continue;
    }
    DWORD pause_ms = kUnwatchedPauseMs;
    if (outcome == WaitOutcome::kFailed) {
      pause_ms = failure_pause_ms;
      failure_pause_ms = std::min(failure_pause_ms * 2, kLongestFailurePauseMs);
    }
    if (::WaitForSingleObject(stop_event, pause_ms) != WAIT_TIMEOUT) return;
  }
}

// Reads exactly what the driver reports as queued: a read issued on an empty queue may stay
// pending on some drivers despite the read time-outs.
void ComPortTransport::Impl::Drain() {
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(port, &errors, &status)) {
    switch (::GetLastError()) {
      case ERROR_ACCESS_DENIED:
      case ERROR_BAD_COMMAND:
      case ERROR_DEVICE_REMOVED:
      case ERROR_GEN_FAILURE:
      case ERROR_INVALID_HANDLE:
        line_lost.store(true, std::memory_order_release);
        data_arrived.Notify();
        break;
      default:
        break;
    }
    return;
  }
  DWORD queued = status.cbInQue;
  char chunk[kQueueSize];
  bool stored = false;
  while (queued > 0) {
    const DWORD wanted = std::min<DWORD>(queued, sizeof chunk);
    DWORD received = 0;
    std::memset(&read_overlap, 0, sizeof read_overlap);
    read_overlap.hEvent = read_event;
    if (!::ReadFile(port, chunk, wanted, &received, &read_overlap)) {
      if (::GetLastError() != ERROR_IO_PENDING) break;
      if (!::GetOverlappedResult(port, &read_overlap, &received, TRUE)) {
        // Never leave a read in flight into this chunk.
        ::CancelIoEx(port, &read_overlap);
        ::GetOverlappedResult(port, &read_overlap, &received, TRUE);
        break;
      }
    }
    if (received == 0) break;
    const int taken = ring.Push(chunk, static_cast<int>(received));
    if (taken < static_cast<int>(received)) {
      refused_bytes.fetch_add(static_cast<long>(received) - taken, std::memory_order_relaxed);
    }
    stored = true;
    queued -= received;
  }
  if (stored) data_arrived.Notify();
}

void ComPortTransport::Impl::Release() {
  running.store(false, std::memory_order_release);
  if (port != nullptr) ::SetCommMask(port, 0);  // Wakes the reader's WaitCommEvent.
  if (stop_event != nullptr) ::SetEvent(stop_event);
  if (reader.joinable()) reader.join();
  CloseIfSet(write_event);
  CloseIfSet(read_event);
  CloseIfSet(wait_event);
  CloseIfSet(stop_event);
  std::memset(&write_overlap, 0, sizeof write_overlap);
  std::memset(&read_overlap, 0, sizeof read_overlap);
  std::memset(&wait_overlap, 0, sizeof wait_overlap);
  if (port != nullptr) ::CloseHandle(port);
  port = nullptr;
  ring.Reset();
}

ComPortTransport::ComPortTransport() : impl_(std::make_unique<Impl>()) {}

ComPortTransport::~ComPortTransport() {
  Close();
}

std::string ComPortTransport::PortName(int index) const {
  return ComPortName(index);
}

bool ComPortTransport::Open(const std::string& port_name, int baud_rate, int byte_size,
                            int stop_bits, bool xon_xoff, bool parity_check) {
  Close();
  Impl& port = *impl_;
  auto fail = [&](const char* step) {
    ShowExclamation("Failed to initialize " + port_name + " port!\nError in " + step + "()");
    port.Release();
    return false;
  };

  // "\\.\COMn" also reaches COM10 and above.
  const std::string device = port_map_.DevicePath(port_name);
  HANDLE handle = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fail("CreateFile");
  port.port = handle;

  std::memset(&port.write_overlap, 0, sizeof port.write_overlap);
  std::memset(&port.read_overlap, 0, sizeof port.read_overlap);
  port.write_event = CreatePortEvent("WriteEnd_", device);
  port.read_event = CreatePortEvent("ReadEnd_", device);
  port.wait_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  port.stop_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (port.write_event == nullptr || port.read_event == nullptr || port.wait_event == nullptr ||
      port.stop_event == nullptr) {
    return fail("SetCommMask");
  }
  port.write_overlap.hEvent = port.write_event;
  port.read_overlap.hEvent = port.read_event;

  if (!::SetCommMask(port.port, EV_RXCHAR)) return fail("SetCommMask");
  if (!::SetupComm(port.port, kQueueSize, kQueueSize)) return fail("SetupComm");

  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;  // A read returns at once with what is queued.
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = kWriteTotalTimeoutMs;
  if (!::SetCommTimeouts(port.port, &timeouts)) return fail("SetCommTimeouts");

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port.port, &dcb)) return fail("GetCommState");
  // DTR control, DSR handling and the error, EOF and event characters stay as reported.
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = static_cast<DWORD>(baud_rate);
  dcb.ByteSize = static_cast<BYTE>(byte_size);
  dcb.Parity = NOPARITY;
  dcb.StopBits = static_cast<BYTE>(stop_bits);
  dcb.fBinary = 1;
  dcb.fParity = parity_check ? 1 : 0;
  dcb.fOutxCtsFlow = 0;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fOutX = xon_xoff ? 1 : 0;
  dcb.fInX = xon_xoff ? 1 : 0;
  dcb.XonLim = 100;
  dcb.XoffLim = 1500;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  if (!::SetCommState(port.port, &dcb)) return fail("SetCommState");

  ::EscapeCommFunction(port.port, SETDTR);

  port.ring.Reset();
  port.refused_bytes.store(0, std::memory_order_relaxed);
  port.line_lost.store(false, std::memory_order_release);
  port.running.store(true, std::memory_order_release);
  try {
    // A new thread runs at normal priority, as the reader should.
    port.reader = std::thread([&port] { port.ReaderLoop(); });
  } catch (const std::system_error&) {
    port.Release();
    return false;
  }
  return true;
}

void ComPortTransport::Close() {
  impl_->Release();
}

bool ComPortTransport::IsOpen() const {
  return impl_->port != nullptr;
}

bool ComPortTransport::Write(const char* bytes, int length, int /*timeout_ms*/) {
  Impl& port = *impl_;
  if (port.port == nullptr || length <= 0) return false;
  for (int i = 0; i < length; ++i) {
    DWORD written = 0;
    std::memset(&port.write_overlap, 0, sizeof port.write_overlap);
    port.write_overlap.hEvent = port.write_event;
    if (!::WriteFile(port.port, bytes + i, 1, &written, &port.write_overlap) &&
        ::GetLastError() == ERROR_IO_PENDING) {
      if (::WaitForSingleObject(port.write_event, kByteWriteTimeoutMs) == WAIT_OBJECT_0) {
        ::GetOverlappedResult(port.port, &port.write_overlap, &written, FALSE);
      } else {
        // Abandon the byte, and wait for the cancellation so the overlap is free again.
        ::CancelIoEx(port.port, &port.write_overlap);
        ::GetOverlappedResult(port.port, &port.write_overlap, &written, TRUE);
      }
    }
    DWORD errors = 0;
    ::ClearCommError(port.port, &errors, nullptr);
  }
  return true;
}

int ComPortTransport::Read(char* buffer, int length, int /*timeout_ms*/) {
  if (impl_->port == nullptr || length <= 0) return 0;
  return impl_->ring.Pop(buffer, length);
}

bool ComPortTransport::WaitForData(int timeout_ms) {
  Impl& port = *impl_;
  if (port.port == nullptr) return false;
  port.data_arrived.WaitFor(timeout_ms, [&port] {
    return port.ring.Available() > 0 || port.line_lost.load(std::memory_order_acquire);
  });
  return port.ring.Available() > 0;
}

void ComPortTransport::DiscardInput() {
  if (impl_->port == nullptr) return;
  ::PurgeComm(impl_->port, PURGE_RXCLEAR);
  impl_->ring.DiscardAll();
}

bool ComPortTransport::LineLost() const {
  return impl_->port != nullptr && impl_->line_lost.load(std::memory_order_acquire) &&
         impl_->ring.Available() == 0;
}

long ComPortTransport::RefusedBytes() const {
  return impl_->refused_bytes.load(std::memory_order_relaxed);
}

}  // namespace ctrl
