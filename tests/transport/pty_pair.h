#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "transport/unique_fd.h"

namespace ctrl::test {

// A bare pseudo-terminal for driving the COM port transport from the far end. Keeps a slave
// descriptor of its own so the line survives the transport closing and reopening it.
class PtyPair {
 public:
  PtyPair() {
    master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master_.valid() || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) {
      master_.Reset();
      return;
    }
    // The line is left in its default cooked mode on purpose: making it raw is the
    // transport's job.
    slave_path_ = ::ptsname(master_.get());
    own_slave_.Reset(::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  }

  bool ok() const { return master_.valid() && own_slave_.valid(); }
  const std::string& slave_path() const { return slave_path_; }
  int master() const { return master_.get(); }
  int own_slave() const { return own_slave_.get(); }
  // Hangs up the line as a vanished far end would.
  void CloseMaster() { master_.Reset(); }

  void Send(const std::string& bytes) const {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t count = ::write(master_.get(), bytes.data() + sent, bytes.size() - sent);
      if (count <= 0) return;
      sent += static_cast<size_t>(count);
    }
  }

  // Collects what the transport sent until `count` bytes are in or nothing more comes within
  // `timeout_ms` of the last byte.
  std::string Receive(size_t count, int timeout_ms = 2000) const {
    std::string received;
    while (received.size() < count) {
      pollfd readable = {master_.get(), POLLIN, 0};
      if (::poll(&readable, 1, timeout_ms) <= 0) break;
      char chunk[256];
      const ssize_t got = ::read(master_.get(), chunk, sizeof chunk);
      if (got <= 0) break;
      received.append(chunk, static_cast<size_t>(got));
    }
    return received;
  }

  // The line settings currently in force on the slave side.
  termios SlaveSettings() const {
    termios settings{};
    ::tcgetattr(own_slave_.get(), &settings);
    return settings;
  }

 private:
  UniqueFd master_;
  UniqueFd own_slave_;
  std::string slave_path_;
};

}  // namespace ctrl::test
