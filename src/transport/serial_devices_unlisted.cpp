#include "transport/serial_devices.h"

// Where the system keeps no list of its serial devices (Windows knows its ports by their COMn
// names only), nothing is listed beside the port names.
namespace ctrl {

bool SerialDevicesAreListed() {
  return false;
}

std::vector<SerialDevice> ListSerialDevices() {
  return {};
}

}  // namespace ctrl
