#pragma once

#include <string>
#include <utility>

#include "transport/cl_serial_transport.h"
#include "transport/com_port_transport.h"

namespace ctrl {

// The four transports of the process, one per port category, in category order. The
// application owns one of these and lends them to its CommChannel.
struct SystemTransports {
  explicit SystemTransports(std::string cl_serial_folder = "")
      : cl_serial_2000(std::move(cl_serial_folder)) {}

  ComPortTransport com_port;
  ClSerial2000Transport cl_serial_2000;
  ClSerial2001Transport cl_serial_2001;
  ClSerialV11Transport cl_serial_v11;
};

}  // namespace ctrl
