#include <libudev.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

#include "transport/serial_devices.h"

// Linux: the serial devices are the "tty" devices of udev that have hardware behind them. The
// USB texts come from the kernel's own attributes of the USB device, which are there even
// where no udev daemon runs (a container); only the /dev/serial links need its database.
namespace ctrl {
namespace {

struct UdevUnref {
  void operator()(udev* context) const { udev_unref(context); }
  void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
  void operator()(udev_device* device) const { udev_device_unref(device); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevUnref>;

constexpr std::string_view kByIdFolder = "/dev/serial/by-id/";
constexpr std::string_view kByPathFolder = "/dev/serial/by-path/";

std::string Text(const char* value) {
  return value ? value : "";
}

std::string Attribute(udev_device* device, const char* name) {
  std::string value = Text(udev_device_get_sysattr_value(device, name));
  while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
  return value;
}

// The driver that serves the port: the nearest one above the tty. The kernel's serial core
// puts devices of its own ("serial-base", driver "port" or "ctrl") between a UART and the
// device that found it; their drivers say nothing about the hardware.
std::string DriverAbove(udev_device* tty) {
  for (udev_device* device = udev_device_get_parent(tty); device;
       device = udev_device_get_parent(device)) {
    if (Text(udev_device_get_subsystem(device)) == "serial-base") continue;
    if (const char* driver = udev_device_get_driver(device)) return driver;
  }
  return "";
}

// A serial-core port registered for a slot the kernel probed and found empty (the legacy
// ttyS1..ttyS31 of serial8250) reports the port type 0, "unknown".
bool IsEmptyUartSlot(udev_device* tty) {
  return Attribute(tty, "type") == "0";
}

void AddLinks(const std::string& devlinks, SerialDevice& device) {
  std::istringstream links(devlinks);
  std::string link;
  while (links >> link) {
    if (link.starts_with(kByIdFolder)) device.by_id.push_back(link);
    if (link.starts_with(kByPathFolder)) device.by_path.push_back(link);
  }
  std::sort(device.by_id.begin(), device.by_id.end());
  std::sort(device.by_path.begin(), device.by_path.end());
}

std::optional<SerialDevice> DescribeTty(udev_device* tty) {
  const char* node = udev_device_get_devnode(tty);
  if (!node) return std::nullopt;
  // Virtual consoles, pseudo-terminals, the console and ptmx have no device under them.
  if (!udev_device_get_parent(tty) ||
      Text(udev_device_get_syspath(tty)).find("/devices/virtual/") != std::string::npos) {
    return std::nullopt;
  }
  if (IsEmptyUartSlot(tty)) return std::nullopt;

  SerialDevice device;
  device.device_node = node;
  device.driver = DriverAbove(tty);
  if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device")) {
    device.kind = device.driver == "cdc_acm" ? kSerialKindAcm : kSerialKindUsb;
    device.vendor_id = Attribute(usb, "idVendor");
    device.product_id = Attribute(usb, "idProduct");
    device.serial = Attribute(usb, "serial");
    device.manufacturer = Attribute(usb, "manufacturer");
    device.product = Attribute(usb, "product");
  } else {
    device.kind = kSerialKindUart;
  }
  AddLinks(Text(udev_device_get_property_value(tty, "DEVLINKS")), device);
  return device;
}

}  // namespace

bool SerialDevicesAreListed() {
  return true;
}

std::vector<SerialDevice> ListSerialDevices() {
  std::vector<SerialDevice> devices;
  UdevPtr<udev> context(udev_new());
  if (!context) return devices;
  UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "tty") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0) {
    return devices;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    UdevPtr<udev_device> tty(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!tty) continue;  // gone since the scan
    if (std::optional<SerialDevice> device = DescribeTty(tty.get())) {
      devices.push_back(std::move(*device));
    }
  }
  std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
    return DeviceNodeLess(a.device_node, b.device_node);
  });
  return devices;
}

}  // namespace ctrl
