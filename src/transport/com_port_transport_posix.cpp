#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>

#include "camera/notifier.h"
#include "transport/com_port_transport.h"
#include "transport/data_signal.h"
#include "transport/receive_ring.h"
#include "transport/unique_fd.h"

namespace ctrl {
namespace {

// After the far end of the line went away (a pty whose master closed reports POLLHUP or
// EIO for ever), the reader looks at the port again only this often.
constexpr int kHangUpRetryMs = 200;
// How long one byte may wait for room in the driver's output queue.
constexpr int kByteWriteTimeoutMs = 1000;

bool SpeedOf(int baud_rate, speed_t* speed) {
  switch (baud_rate) {
    case 1200:
      *speed = B1200;
      return true;
    case 2400:
      *speed = B2400;
      return true;
    case 4800:
      *speed = B4800;
      return true;
    case 9600:
      *speed = B9600;
      return true;
    case 19200:
      *speed = B19200;
      return true;
    case 38400:
      *speed = B38400;
      return true;
    case 57600:
      *speed = B57600;
      return true;
    case 115200:
      *speed = B115200;
      return true;
    case 230400:
      *speed = B230400;
      return true;
#ifdef B460800
    case 460800:
      *speed = B460800;
      return true;
#endif
#ifdef B921600
    case 921600:
      *speed = B921600;
      return true;
#endif
    default:
      return false;
  }
}

tcflag_t CharacterSizeOf(int byte_size) {
  switch (byte_size) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

}  // namespace

struct ComPortTransport::Impl {
  UniqueFd port;
  UniqueFd wake_read;
  UniqueFd wake_write;
  termios saved_settings{};
  bool settings_saved = false;
  ReceiveRing ring;
  DataSignal data_arrived;
  std::atomic<bool> running{false};
  std::atomic<long> refused_bytes{0};
  // Set by the reader when the far end hung up; the port stays lost until it is opened again.
  std::atomic<bool> line_lost{false};
  std::thread reader;

  void MarkLost() {
    line_lost.store(true, std::memory_order_release);
    data_arrived.Notify();  // a reader of the ring must not wait out its time-out
  }

  void ReaderLoop();
  void StopReader();
  void Release();
};

void ComPortTransport::Impl::ReaderLoop() {
  pollfd watched[2] = {{port.get(), POLLIN, 0}, {wake_read.get(), POLLIN, 0}};
  bool hung_up = false;
  char chunk[256];
  while (running.load(std::memory_order_acquire)) {
    watched[0].fd = hung_up ? -1 : port.get();
    watched[0].revents = 0;
    watched[1].revents = 0;
    const int ready = ::poll(watched, 2, hung_up ? kHangUpRetryMs : -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return;  // Nothing more is received until the port is reopened.
    }
    if (watched[1].revents != 0) continue;  // Close is asking; `running` says so.
    if (hung_up) {
      hung_up = false;  // Look at the port again.
      continue;
    }
    const short events = watched[0].revents;
    if ((events & POLLIN) != 0) {
      const ssize_t count = ::read(port.get(), chunk, sizeof chunk);
      if (count > 0) {
        const int taken = ring.Push(chunk, static_cast<int>(count));
        if (taken < count) refused_bytes.fetch_add(count - taken, std::memory_order_relaxed);
        data_arrived.Notify();
      } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
        hung_up = true;
        MarkLost();
      }
    } else if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      hung_up = true;
      MarkLost();
    }
  }
}

void ComPortTransport::Impl::StopReader() {
  running.store(false, std::memory_order_release);
  if (reader.joinable()) {
    const char wake = 1;
    while (::write(wake_write.get(), &wake, 1) < 0 && errno == EINTR) {
    }
    reader.join();
  }
}

void ComPortTransport::Impl::Release() {
  StopReader();
  if (port.valid()) {
    if (settings_saved) ::tcsetattr(port.get(), TCSANOW, &saved_settings);
    ::ioctl(port.get(), TIOCNXCL);
    ::flock(port.get(), LOCK_UN);
  }
  settings_saved = false;
  port.Reset();
  wake_read.Reset();
  wake_write.Reset();
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

  // Exclusive use of the line stands in for the unshared open of the device.
  const std::string device = port_map_.DevicePath(port_name);
  port.port.Reset(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!port.port.valid()) return fail("CreateFile");
  // TIOCEXCL keeps other users out, except privileged ones; the lock keeps out every other
  // instance of this tool too.
  if (::ioctl(port.port.get(), TIOCEXCL) != 0) return fail("CreateFile");
  if (::flock(port.port.get(), LOCK_EX | LOCK_NB) != 0) return fail("CreateFile");

  // The wake-up pipe is how close interrupts the reader's wait for received bytes.
  int wake[2];
  if (::pipe(wake) != 0) return fail("SetCommMask");
  port.wake_read.Reset(wake[0]);
  port.wake_write.Reset(wake[1]);
  for (int fd : wake) {
    if (::fcntl(fd, F_SETFL, O_NONBLOCK) != 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
      return fail("SetCommMask");
    }
  }

  // Start from empty driver queues.
  if (::tcflush(port.port.get(), TCIOFLUSH) != 0) return fail("SetupComm");

  // Reads return at once with whatever is queued.
  const int flags = ::fcntl(port.port.get(), F_GETFL);
  if (flags < 0 || ::fcntl(port.port.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
    return fail("SetCommTimeouts");
  }

  termios settings{};
  if (::tcgetattr(port.port.get(), &settings) != 0) return fail("GetCommState");
  port.saved_settings = settings;
  port.settings_saved = true;

  speed_t speed;
  if (!SpeedOf(baud_rate, &speed)) return fail("SetCommState");
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CharacterSizeOf(byte_size) | CLOCAL | CREAD;
  if (stop_bits != 0) settings.c_cflag |= CSTOPB;
  settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (xon_xoff) settings.c_iflag |= IXON | IXOFF;
  if (parity_check) settings.c_iflag |= INPCK;
  settings.c_cc[VSTART] = 0x11;
  settings.c_cc[VSTOP] = 0x13;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
      ::tcsetattr(port.port.get(), TCSANOW, &settings) != 0) {
    return fail("SetCommState");
  }

  // Raise DTR; a pseudo-terminal has no modem lines, so a refusal is not an error.
  const int dtr = TIOCM_DTR;
  ::ioctl(port.port.get(), TIOCMBIS, &dtr);

  port.ring.Reset();
  port.refused_bytes.store(0, std::memory_order_relaxed);
  port.line_lost.store(false, std::memory_order_release);
  port.running.store(true, std::memory_order_release);
  try {
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
  return impl_->port.valid();
}

bool ComPortTransport::Write(const char* bytes, int length, int /*timeout_ms*/) {
  if (!impl_->port.valid() || length <= 0) return false;
  const int fd = impl_->port.get();
  int sent = 0;
  while (sent < length) {
    const ssize_t count = ::write(fd, bytes + sent, static_cast<size_t>(length - sent));
    if (count > 0) {
      sent += static_cast<int>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno != EAGAIN) break;  // The line is gone; the reply will not come.
    pollfd writable = {fd, POLLOUT, 0};
    if (::poll(&writable, 1, kByteWriteTimeoutMs) <= 0) ++sent;  // Abandon the stalled byte.
  }
  return true;
}

int ComPortTransport::Read(char* buffer, int length, int /*timeout_ms*/) {
  if (!impl_->port.valid() || length <= 0) return 0;
  return impl_->ring.Pop(buffer, length);
}

bool ComPortTransport::WaitForData(int timeout_ms) {
  Impl& port = *impl_;
  if (!port.port.valid()) return false;
  // A hang-up ends the wait too, so that the caller notices it without waiting out its time-out.
  port.data_arrived.WaitFor(timeout_ms, [&port] {
    return port.ring.Available() > 0 || port.line_lost.load(std::memory_order_acquire);
  });
  return port.ring.Available() > 0;
}

bool ComPortTransport::LineLost() const {
  // Bytes that came before the hang-up are still delivered.
  return impl_->port.valid() && impl_->line_lost.load(std::memory_order_acquire) &&
         impl_->ring.Available() == 0;
}

void ComPortTransport::DiscardInput() {
  if (!impl_->port.valid()) return;
  ::tcflush(impl_->port.get(), TCIFLUSH);
  impl_->ring.DiscardAll();
}

long ComPortTransport::RefusedBytes() const {
  return impl_->refused_bytes.load(std::memory_order_relaxed);
}

}  // namespace ctrl
