// Catches a COM port that does not find its device when named by a /dev/serial link or a link
// of the user's own, finds one for a path that names none, and device nodes sorted as text
// (ttyS10 before ttyS2).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "transport/serial_devices.h"

namespace ctrl {
namespace {

std::vector<SerialDevice> TwoAdapters() {
  SerialDevice ftdi;
  ftdi.device_node = "/dev/ttyUSB0";
  ftdi.by_id = {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
  ftdi.by_path = {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};
  SerialDevice acm;
  acm.device_node = "/dev/ttyACM0";
  acm.by_id = {"/dev/serial/by-id/usb-Arduino_0043-if00", "/dev/serial/by-id/usb-Arduino-if00"};
  return {ftdi, acm};
}

struct LookupCase {
  const char* path;
  const char* found;  // the device node found; nullptr for none
};

void PrintTo(const LookupCase& test_case, std::ostream* out) {
  *out << '"' << test_case.path << '"';
}

class SerialDeviceLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(SerialDeviceLookup, FindsTheDeviceAPathNames) {
  const std::vector<SerialDevice> devices = TwoAdapters();
  const SerialDevice* device = FindSerialDevice(devices, GetParam().path);
  if (GetParam().found) {
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->device_node, GetParam().found);
  } else {
    EXPECT_EQ(device, nullptr) << device->device_node;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SerialDeviceLookup,
    ::testing::Values(LookupCase{"/dev/ttyUSB0", "/dev/ttyUSB0"},
                      LookupCase{"/dev/ttyACM0", "/dev/ttyACM0"},
                      LookupCase{"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                                 "/dev/ttyUSB0"},
                      LookupCase{"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0",
                                 "/dev/ttyUSB0"},
                      LookupCase{"/dev/serial/by-id/usb-Arduino-if00", "/dev/ttyACM0"},
                      LookupCase{"/dev/ttyUSB1", nullptr},
                      LookupCase{"/dev/serial/by-id/usb-FTDI", nullptr}, LookupCase{"", nullptr}));

#ifndef _WIN32
// A link of the user's own ("/dev/ttyCAM", absolute or relative, through further links) leads to
// the node; here a file stands in for it.
TEST(SerialDeviceLookupByLink, AnyLinkToTheNodeFindsTheDevice) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("serial-lookup-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path node = folder / "ttyUSB3";
  std::ofstream(node).put('\n');
  std::filesystem::create_symlink(node, folder / "ttyCAM");
  std::filesystem::create_directories(folder / "by-name");
  std::filesystem::create_symlink("../ttyUSB3", folder / "by-name" / "camera");
  std::filesystem::create_symlink("by-name/camera", folder / "camera");

  SerialDevice device;
  device.device_node = node.string();
  const std::vector<SerialDevice> devices = {device};
  const SerialDevice* found = FindSerialDevice(devices, (folder / "ttyCAM").string());
  const SerialDevice* through_relative_links =
      FindSerialDevice(devices, (folder / "camera").string());
  const SerialDevice* dangling = FindSerialDevice(devices, (folder / "ttyGONE").string());
  std::filesystem::remove_all(folder);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->device_node, node.string());
  EXPECT_EQ(through_relative_links, found);
  EXPECT_EQ(dangling, nullptr);
}
#endif

struct OrderCase {
  const char* before;
  const char* after;
};

void PrintTo(const OrderCase& test_case, std::ostream* out) {
  *out << test_case.before << " < " << test_case.after;
}

class DeviceNodeOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(DeviceNodeOrder, ComesFirst) {
  EXPECT_TRUE(DeviceNodeLess(GetParam().before, GetParam().after));
  EXPECT_FALSE(DeviceNodeLess(GetParam().after, GetParam().before));
}

INSTANTIATE_TEST_SUITE_P(Nodes, DeviceNodeOrder,
                         ::testing::Values(OrderCase{"/dev/ttyS2", "/dev/ttyS10"},
                                           OrderCase{"/dev/ttyS9", "/dev/ttyS10"},
                                           OrderCase{"/dev/ttyS0", "/dev/ttyS1"},
                                           OrderCase{"/dev/ttyACM7", "/dev/ttyS0"},
                                           OrderCase{"/dev/ttyS31", "/dev/ttyUSB0"},
                                           OrderCase{"/dev/ttyS", "/dev/ttyS0"},
                                           OrderCase{"/dev/ttyS007", "/dev/ttyS10"}));

TEST(DeviceNodeOrderOfItself, NoNodeComesBeforeItself) {
  EXPECT_FALSE(DeviceNodeLess("/dev/ttyS1", "/dev/ttyS1"));
}

}  // namespace
}  // namespace ctrl
