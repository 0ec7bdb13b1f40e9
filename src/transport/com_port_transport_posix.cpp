#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "transport/com_port_line.h"
#include "transport/connection_facts.h"
#include "transport/unique_fd.h"

namespace ctrl {
namespace {

struct TermiosSpeed {
  int rate;
  speed_t speed;
};

constexpr TermiosSpeed kTermiosSpeeds[] = {
    {1200, B1200},     {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400},   {57600, B57600}, {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

constexpr bool HasTermiosSpeed(int rate) {
  for (const TermiosSpeed& entry : kTermiosSpeeds) {
    if (entry.rate == rate) return true;
  }
  return false;
}

constexpr bool EveryConnectionRateHasASpeed() {
  for (const BaudRateFacts& facts : kBaudRates) {
    if (!HasTermiosSpeed(facts.rate)) return false;
  }
  return true;
}
static_assert(EveryConnectionRateHasASpeed(), "a selectable rate this platform cannot set");

bool SpeedOf(int baud_rate, speed_t* speed) {
  for (const TermiosSpeed& entry : kTermiosSpeeds) {
    if (entry.rate == baud_rate) {
      *speed = entry.speed;
      return true;
    }
  }
  return false;
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

LineOpenResult Failed(const char* step, int error) {
  LineOpenResult result;
  result.failed_step = step;
  result.error_kind = SystemErrorKind::kErrno;
  result.error_code = error;
  result.error_text = std::strerror(error);
  return result;
}

// The programs other than this one with the device open, as far as /proc shows them: the
// descriptors of another user's processes are hidden unless this one runs as root. Only links
// are read, nothing is opened, so no device or file system is touched.
std::vector<DeviceHolder> ProgramsHolding(const std::string& device_path) {
  constexpr size_t kMostHolders = 4;
  std::vector<DeviceHolder> holders;
  char resolved[PATH_MAX];
  const std::string target =
      ::realpath(device_path.c_str(), resolved) != nullptr ? resolved : device_path;
  DIR* processes = ::opendir("/proc");
  if (processes == nullptr) return holders;
  const long own_pid = static_cast<long>(::getpid());
  while (const dirent* process = ::readdir(processes)) {
    char* end = nullptr;
    const long pid = std::strtol(process->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == own_pid) continue;
    const std::string fd_folder = "/proc/" + std::string(process->d_name) + "/fd";
    DIR* descriptors = ::opendir(fd_folder.c_str());
    if (descriptors == nullptr) continue;
    bool holds = false;
    while (const dirent* descriptor = ::readdir(descriptors)) {
      if (descriptor->d_name[0] == '.') continue;
      const std::string link = fd_folder + "/" + descriptor->d_name;
      char linked[PATH_MAX];
      const ssize_t length = ::readlink(link.c_str(), linked, sizeof linked);
      if (length > 0 && static_cast<size_t>(length) < sizeof linked &&
          target.compare(0, std::string::npos, linked, static_cast<size_t>(length)) == 0) {
        holds = true;
        break;
      }
    }
    ::closedir(descriptors);
    if (!holds) continue;
    std::string program;
    std::getline(std::ifstream("/proc/" + std::string(process->d_name) + "/comm"), program);
    holders.push_back({program.empty() ? "?" : program, pid});
    if (holders.size() == kMostHolders) break;
  }
  ::closedir(processes);
  return holders;
}

// A device already held: who holds it, if that can be seen.
LineOpenResult InUse(const char* step, int error, const std::string& device_path) {
  LineOpenResult result = Failed(step, error);
  result.holders = ProgramsHolding(device_path);
  return result;
}

// A tty opened for exclusive use. The wake-up pipe is how Interrupt ends the reader's poll:
// once written to, it stays readable until the line is closed.
class PosixComPortLine final : public ComPortLine {
 public:
  ~PosixComPortLine() override { Close(); }

  LineOpenResult Open(const std::string& device_path, const LineFormat& format) override;
  void Close() override;
  bool IsOpen() const override { return port_.valid(); }
  LineEvent Wait(ReceivedBytes& received) override;
  bool Pause(int ms) override;
  void Interrupt() override;
  void Write(const char* bytes, int length) override;
  void DiscardInput() override { ::tcflush(port_.get(), TCIFLUSH); }

 private:
  UniqueFd port_;
  UniqueFd wake_read_;
  UniqueFd wake_write_;
  termios saved_settings_{};
  bool settings_saved_ = false;
};

LineOpenResult PosixComPortLine::Open(const std::string& device_path, const LineFormat& format) {
  // Exclusive use of the line stands in for the unshared open of the device.
  port_.Reset(::open(device_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!port_.valid()) {
    const int error = errno;
    if (error == EBUSY) return InUse("CreateFile", error, device_path);
    return Failed("CreateFile", error);
  }
  // TIOCEXCL keeps other users out, except privileged ones; the lock keeps out every other
  // instance of this tool too.
  if (::ioctl(port_.get(), TIOCEXCL) != 0) return Failed("CreateFile", errno);
  if (::flock(port_.get(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) return InUse("CreateFile", error, device_path);
    return Failed("CreateFile", error);
  }

  int wake[2];
  if (::pipe(wake) != 0) return Failed("SetCommMask", errno);
  wake_read_.Reset(wake[0]);
  wake_write_.Reset(wake[1]);
  for (int fd : wake) {
    if (::fcntl(fd, F_SETFL, O_NONBLOCK) != 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
      return Failed("SetCommMask", errno);
    }
  }

  // Start from empty driver queues.
  if (::tcflush(port_.get(), TCIOFLUSH) != 0) return Failed("SetupComm", errno);

  // Reads return at once with whatever is queued.
  const int flags = ::fcntl(port_.get(), F_GETFL);
  if (flags < 0 || ::fcntl(port_.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
    return Failed("SetCommTimeouts", errno);
  }

  termios settings{};
  if (::tcgetattr(port_.get(), &settings) != 0) return Failed("GetCommState", errno);
  saved_settings_ = settings;
  settings_saved_ = true;

  speed_t speed;
  if (!SpeedOf(format.baud_rate, &speed)) return Failed("SetCommState", EINVAL);
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CharacterSizeOf(format.byte_size) | CLOCAL | CREAD;
  if (format.stop_bits != 0) settings.c_cflag |= CSTOPB;
  settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (format.xon_xoff) settings.c_iflag |= IXON | IXOFF;
  if (format.parity_check) settings.c_iflag |= INPCK;
  settings.c_cc[VSTART] = 0x11;
  settings.c_cc[VSTOP] = 0x13;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
      ::tcsetattr(port_.get(), TCSANOW, &settings) != 0) {
    return Failed("SetCommState", errno);
  }

  // Raise DTR; a pseudo-terminal has no modem lines, so a refusal is not an error.
  const int dtr = TIOCM_DTR;
  ::ioctl(port_.get(), TIOCMBIS, &dtr);
  return {};
}

void PosixComPortLine::Close() {
  if (port_.valid()) {
    if (settings_saved_) ::tcsetattr(port_.get(), TCSANOW, &saved_settings_);
    ::ioctl(port_.get(), TIOCNXCL);
    ::flock(port_.get(), LOCK_UN);
  }
  settings_saved_ = false;
  port_.Reset();
  wake_read_.Reset();
  wake_write_.Reset();
}

LineEvent PosixComPortLine::Wait(ReceivedBytes& received) {
  pollfd watched[2] = {{port_.get(), POLLIN, 0}, {wake_read_.get(), POLLIN, 0}};
  int ready;
  do {
    ready = ::poll(watched, 2, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return LineEvent::kFailed;
  if (watched[1].revents != 0) return LineEvent::kInterrupt;
  const short events = watched[0].revents;
  if ((events & POLLIN) != 0) {
    char chunk[256];
    const ssize_t count = ::read(port_.get(), chunk, sizeof chunk);
    if (count > 0) {
      received.Take(chunk, static_cast<int>(count));
      return LineEvent::kActive;
    }
    // A hung-up pty reads as the end of the file or fails with EIO for ever.
    if (count == 0 || (errno != EAGAIN && errno != EINTR)) return LineEvent::kGone;
    return LineEvent::kActive;
  }
  if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) return LineEvent::kGone;
  return LineEvent::kActive;
}

bool PosixComPortLine::Pause(int ms) {
  pollfd wake = {wake_read_.get(), POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&wake, 1, ms);
  } while (ready < 0 && errno == EINTR);
  // A poll that cannot even watch the pipe must still not let the reader spin.
  if (ready < 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return ready <= 0;
}

void PosixComPortLine::Interrupt() {
  const char wake = 1;
  while (::write(wake_write_.get(), &wake, 1) < 0 && errno == EINTR) {
  }
}

void PosixComPortLine::Write(const char* bytes, int length) {
  const int fd = port_.get();
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
}

}  // namespace

std::unique_ptr<ComPortLine> MakeSystemComPortLine() {
  return std::make_unique<PosixComPortLine>();
}

}  // namespace ctrl
