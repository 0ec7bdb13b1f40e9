#include "sim/pty/pty_camera_server.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>

#include "camera/clock.h"

namespace ctrl::sim {
namespace {

int BitsPerSecond(speed_t speed) {
  switch (speed) {
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
#ifdef B460800
    case B460800:
      return 460800;
#endif
#ifdef B921600
    case B921600:
      return 921600;
#endif
    default:
      return 0;
  }
}

bool SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

PtyCameraServer::PtyCameraServer(Options options)
    : options_(std::move(options)), model_(options_.model), front_end_(model_) {
  front_end_.faults() = options_.faults;
  const uint32_t code = options_.baud_rate == 115200   ? baud::k115200
                        : options_.baud_rate == 460800 ? baud::k460800
                                                       : baud::k9600;
  model_.Write(reg::kBaudRate, code, 0);
  model_.ApplyPendingBaudRate();
}

PtyCameraServer::~PtyCameraServer() {
  Stop();
}

bool PtyCameraServer::Fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  Stop();
  return false;
}

bool PtyCameraServer::Start() {
  if (running() && !hung_up()) return true;
  Stop();
  hung_up_.store(false);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    front_end_.Reconnect();
  }
  error_.clear();
  master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master_.valid()) return Fail("posix_openpt");
  if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) {
    return Fail("grantpt/unlockpt");
  }
  const char* name = ::ptsname(master_.get());
  if (name == nullptr) return Fail("ptsname");
  slave_path_ = name;
  // Raw both ways, so a client that configures nothing still sees the bytes unchanged.
  termios raw{};
  if (::tcgetattr(master_.get(), &raw) == 0) {
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B9600);
    ::tcsetattr(master_.get(), TCSANOW, &raw);
  }
  // Holding a slave descriptor keeps the master from seeing a hang-up whenever the last
  // client closes the line.
  own_slave_.Reset(::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!own_slave_.valid()) return Fail("open " + slave_path_);
  if (!SetNonBlocking(master_.get())) return Fail("fcntl");

  int wake[2];
  if (::pipe(wake) != 0) return Fail("pipe");
  wake_read_.Reset(wake[0]);
  wake_write_.Reset(wake[1]);
  SetNonBlocking(wake[0]);
  SetNonBlocking(wake[1]);

  if (!options_.link_path.empty()) {
    struct stat existing;
    if (::lstat(options_.link_path.c_str(), &existing) == 0) {
      if (!S_ISLNK(existing.st_mode)) {
        errno = EEXIST;
        return Fail("link " + options_.link_path + " exists and is no symbolic link");
      }
      ::unlink(options_.link_path.c_str());
    }
    if (::symlink(slave_path_.c_str(), options_.link_path.c_str()) != 0) {
      return Fail("symlink " + options_.link_path);
    }
    link_made_ = true;
  }

  stop_.store(false);
  try {
    thread_ = std::thread([this] { Serve(); });
  } catch (const std::system_error&) {
    return Fail("thread");
  }
  return true;
}

void PtyCameraServer::Stop() {
  stop_.store(true);
  if (thread_.joinable()) {
    const char wake = 1;
    while (::write(wake_write_.get(), &wake, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  if (link_made_) {
    // Only remove the link while it still points at our line.
    char target[4096];
    const ssize_t length = ::readlink(options_.link_path.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string_view(target, static_cast<size_t>(length)) == slave_path_) {
      ::unlink(options_.link_path.c_str());
    }
    link_made_ = false;
  }
  own_slave_.Reset();
  master_.Reset();
  wake_read_.Reset();
  wake_write_.Reset();
}

int PtyCameraServer::LineBaudRate() const {
  termios settings{};
  if (!own_slave_.valid() || ::tcgetattr(own_slave_.get(), &settings) != 0) return 0;
  return BitsPerSecond(::cfgetospeed(&settings));
}

bool PtyCameraServer::LineRateMatches() const {
  return !options_.check_line_rate || LineBaudRate() == model_.baud_rate();
}

void PtyCameraServer::Serve() {
  // Reply bytes are released at their line time; the default 50 us timer slack would make
  // every paced byte late.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  Clock& clock = DefaultClock();
  std::string outbox;  // reply bytes due but not yet taken by the line
  // A camera that talks without end must not pile bytes up here while nobody reads the line.
  constexpr size_t kMaxOutbox = 4096;
  char chunk[512];
  while (!stop_.load()) {
    int64_t next_due_us;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      next_due_us = front_end_.NextDueUs();
    }
    pollfd watched[2] = {
        {master_.get(), static_cast<short>(POLLIN | (outbox.empty() ? 0 : POLLOUT)), 0},
        {wake_read_.get(), POLLIN, 0}};
    timespec wait{};
    timespec* timeout = nullptr;
    if (next_due_us >= 0 && outbox.empty()) {
      const int64_t delay_us = std::max<int64_t>(0, next_due_us - clock.NowUs());
      wait.tv_sec = static_cast<time_t>(delay_us / 1'000'000);
      wait.tv_nsec = static_cast<long>(delay_us % 1'000'000) * 1000;
      timeout = &wait;
    }
    if (::ppoll(watched, 2, timeout, nullptr) < 0 && errno != EINTR) return;
    if (watched[1].revents != 0) {
      while (::read(wake_read_.get(), chunk, sizeof chunk) > 0) {
      }
      continue;  // Stop() asks; stop_ says so.
    }
    if ((watched[0].revents & POLLIN) != 0) {
      const ssize_t count = ::read(master_.get(), chunk, sizeof chunk);
      if (count > 0) {
        bytes_received_.fetch_add(static_cast<uint64_t>(count));
        std::lock_guard<std::mutex> lock(mutex_);
        if (LineRateMatches()) {
          front_end_.Receive(std::string_view(chunk, static_cast<size_t>(count)), clock.NowUs());
        }
        if (front_end_.hung_up()) {
          // Closing every descriptor of the master side is what a client sees as a hang-up
          // (POLLHUP, EIO).
          // Said before it happens, so whoever sees the hang-up also sees hung_up().
          hung_up_.store(true);
          master_.Reset();
          own_slave_.Reset();
          return;
        }
      }
    }
    if (outbox.size() < kMaxOutbox) {
      std::lock_guard<std::mutex> lock(mutex_);
      front_end_.TakeDue(clock.NowUs(), outbox);
    }
    while (!outbox.empty()) {
      const ssize_t written = ::write(master_.get(), outbox.data(), outbox.size());
      if (written <= 0) break;  // The line is full; POLLOUT says when it has room.
      outbox.erase(0, static_cast<size_t>(written));
    }
  }
}

}  // namespace ctrl::sim
