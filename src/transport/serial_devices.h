#pragma once

#include <string>
#include <vector>

namespace ctrl {

// What kind of serial line a device is.
inline constexpr const char* kSerialKindUsb = "usb";    // USB serial adapter (ttyUSB*)
inline constexpr const char* kSerialKindAcm = "acm";    // USB CDC ACM device (ttyACM*)
inline constexpr const char* kSerialKindUart = "uart";  // on-board or plug-in card UART (ttyS*)

// A serial device that is present on this machine. The USB texts are empty for a UART, and
// wherever the device does not report them.
struct SerialDevice {
  std::string device_node;           // "/dev/ttyUSB0"
  std::vector<std::string> by_id;    // "/dev/serial/by-id/usb-FTDI_...-port0": keeps its name
                                     // whichever USB socket the adapter is in
  std::vector<std::string> by_path;  // "/dev/serial/by-path/...": follows the socket
  std::string kind;                  // one of kSerialKind*
  std::string vendor_id;             // USB ids as four hex digits: "0403"
  std::string product_id;            // "6001"
  std::string serial;                // the adapter's serial number
  std::string manufacturer;
  std::string product;
  std::string driver;  // the kernel driver behind the port: "ftdi_sio", "cdc_acm", "serial"

  bool operator==(const SerialDevice&) const = default;
};

// Whether this platform lists its serial devices. Where it does not (Windows), ports are only
// known by their COMn names and ListSerialDevices() is always empty.
bool SerialDevicesAreListed();

// The serial devices present now, in the order of their device nodes (ttyS2 before ttyS10).
// Consoles, pseudo-terminals and UART slots without hardware behind them are not listed.
std::vector<SerialDevice> ListSerialDevices();

// Device nodes in natural order: the trailing numbers compare as numbers.
bool DeviceNodeLess(const std::string& a, const std::string& b);

// The device among `devices` that `path` names: its device node, one of its by-id or by-path
// links, or any other link that leads to its node. Nothing when none matches.
const SerialDevice* FindSerialDevice(const std::vector<SerialDevice>& devices,
                                     const std::string& path);

}  // namespace ctrl
