#pragma once

#include <iosfwd>
#include <string>

#include "app/channel_line_rate.h"
#include "transport/comm_channel.h"
#include "transport/connection_facts.h"
#include "transport/system_transports.h"

namespace ctrl {

// Which port a program opens: a COM port (by device path, or on Windows by "COMn") or a port
// of a Camera Link serial library category by its position.
struct PortChoice {
  PortCategory category = PortCategory::kComPort;
  std::string device;  // the COM port's device; the port map's entry for the index when empty
  int port_index = 0;
  int baud_rate = kDefaultBaudRate;
};

// The process's transports, the channel over them and the PC side's line rate: one open port
// to one camera, as the command-line programs hold it.
class PortLink {
 public:
  PortLink();
  ~PortLink();
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  // Opens the port; on failure writes why to `err` (a COM port has already reported which
  // device failed and why through the notifier).
  bool Open(const PortChoice& choice, std::ostream& err);
  void Close() { channel_.Close(); }

  CommChannel& channel() { return channel_; }
  ChannelLineRate& line_rate() { return line_rate_; }

 private:
  SystemTransports transports_;
  CommChannel channel_;
  ChannelLineRate line_rate_{channel_};
};

// "COM5" and the like: a port named the Windows way.
bool IsComPortName(const std::string& text);

}  // namespace ctrl
