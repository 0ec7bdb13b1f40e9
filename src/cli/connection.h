#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "camera/byte_channel.h"
#include "camera/link_rate.h"
#include "transport/connection_facts.h"

namespace ctrl::cli {

struct ConnectionOptions {
  bool simulate = false;
  std::string model = "QX-4096M-PCL";  // the simulated camera's model
  std::string device;                  // device path of the chosen COM port
  PortCategory category = PortCategory::kComPort;
  int port_index = 0;
  int baud_rate = kDefaultBaudRate;
};

// An open link to a camera, real or simulated, for the lifetime of one command. The simulated
// camera runs on a pseudo-terminal in this process and is reached through the real COM port
// transport, exactly like a camera on a serial line. Windows has no pseudo-terminals: there the
// engine talks to the simulated camera directly, and `device` may also name a port ("COM5").
class Connection {
 public:
  virtual ~Connection() = default;
  virtual ByteChannel& channel() = 0;
  // The PC side's line rate; nullptr where the link has none (the in-process camera).
  virtual LineRateControl* line_rate() { return nullptr; }
};

// Opens the link; on failure writes why to `err` and returns nullptr. The transports report
// their own open failures through the notifier.
std::unique_ptr<Connection> OpenConnection(const ConnectionOptions& options, std::ostream& err);

}  // namespace ctrl::cli
