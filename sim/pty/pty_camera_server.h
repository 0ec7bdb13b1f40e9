#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "transport/unique_fd.h"

namespace ctrl::sim {

// Serves a simulated camera on a pseudo-terminal, so that anything that opens a serial device
// (the tool's COM port transport, a terminal program, a script) can talk to it. The server keeps
// a slave descriptor of its own, so clients may close and reopen the line as often as they like.
// One thread moves bytes between the pty and the camera's front end on the real clock; it
// sleeps in poll() until a request byte comes in or a reply byte is due.
class PtyCameraServer {
 public:
  struct Options {
    std::string model = "QX-4096M-PCL";
    // When set, a symbolic link kept at this path points at the slave device.
    std::string link_path;
    Faults faults;
    // Drop request bytes while the line's rate (as the client set it) differs from the camera's
    // Baud Rate register, as a real line would garble them.
    bool check_line_rate = false;
    // The rate the camera runs at from the start (9600, 115200 or 460800): a camera an earlier
    // run left at another rate.
    int baud_rate = 9600;
  };

  explicit PtyCameraServer(Options options);
  ~PtyCameraServer();
  PtyCameraServer(const PtyCameraServer&) = delete;
  PtyCameraServer& operator=(const PtyCameraServer&) = delete;

  // Creates the pty (and the link) and starts serving; after a hang-up, a new pty with the line
  // up again. False with error() set on failure.
  bool Start();
  // Stops the thread, closes the pty and removes the link. Safe to call more than once.
  void Stop();
  bool running() const { return thread_.joinable(); }
  // True once the camera has hung up (the hang-up fault): the pty is closed, so clients see a
  // hang-up, until Start() makes a new one.
  bool hung_up() const { return hung_up_.load(); }

  const std::string& slave_path() const { return slave_path_; }
  const std::string& link_path() const { return options_.link_path; }
  const std::string& error() const { return error_; }

  // Runs `action` on the camera while the server is held still.
  template <typename Action>
  auto WithCamera(Action action) {
    std::lock_guard<std::mutex> lock(mutex_);
    return action(front_end_);
  }

  // The bits per second the client set on the line, 0 when unknown.
  int LineBaudRate() const;
  // Request bytes taken from the line so far (including any dropped for a rate mismatch).
  uint64_t bytes_received() const { return bytes_received_.load(); }

 private:
  void Serve();
  bool LineRateMatches() const;
  bool Fail(const std::string& what);

  Options options_;
  CameraModel model_;
  CameraFrontEnd front_end_;
  mutable std::mutex mutex_;
  UniqueFd master_;
  UniqueFd own_slave_;
  UniqueFd wake_read_;
  UniqueFd wake_write_;
  std::string slave_path_;
  std::string error_;
  bool link_made_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hung_up_{false};
  std::atomic<uint64_t> bytes_received_{0};
  std::thread thread_;
};

}  // namespace ctrl::sim
