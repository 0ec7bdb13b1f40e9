#pragma once

// Fake sysfs trees and udev databases for the serial device tests, in the text format of
// umockdev-record: one paragraph per device, "P:" its path under /sys, "E:" udev properties,
// "A:" sysfs attributes, "L:" sysfs links (the driver), "N:" the node under /dev.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <ostream>
#include <string>

#include "transport/serial_devices.h"

namespace ctrl {

// Failures name the device's facts instead of its bytes.
inline void PrintTo(const SerialDevice& device, std::ostream* out) {
  *out << "{" << device.device_node << " kind=" << device.kind << " driver=" << device.driver
       << " usb=" << device.vendor_id << ":" << device.product_id << " serial=" << device.serial
       << " manufacturer=" << device.manufacturer << " product=" << device.product << " by_id=";
  for (const std::string& link : device.by_id) *out << link << ' ';
  *out << "by_path=";
  for (const std::string& link : device.by_path) *out << link << ' ';
  *out << "}";
}

}  // namespace ctrl

namespace ctrl::test {

// An FTDI USB serial adapter, ttyUSB0, with its /dev/serial links.
inline constexpr const char* kFtdiAdapter = R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-2
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=0403
A: idProduct=6001
A: serial=A50285BI
A: manufacturer=FTDI
A: product=FT232R USB UART
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0
E: SUBSYSTEM=usb-serial
L: driver=../../../../../../../bus/usb-serial/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0
N: ttyUSB0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB0
E: DEVLINKS=/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0 /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0

)";

// A Prolific adapter without a serial number, seen where no udev daemon runs (a container):
// no database, so no properties and no /dev/serial links.
inline constexpr const char* kBareProlificAdapter =
    R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-4
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=067b
A: idProduct=2303
A: manufacturer=Prolific Technology Inc.
A: product=USB-Serial Controller
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/pl2303

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/ttyUSB10
E: SUBSYSTEM=usb-serial
L: driver=../../../../../../../bus/usb-serial/drivers/pl2303

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/ttyUSB10/tty/ttyUSB10
N: ttyUSB10
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB10

)";

// A USB CDC ACM device (an Arduino Uno), ttyACM0; its interface has no product text.
inline constexpr const char* kAcmDevice = R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-3
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=2341
A: idProduct=0043
A: serial=85736323838351F0E1A1
A: manufacturer=Arduino (www.arduino.cc)
L: driver=../../../../../bus/usb/drivers/usb

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
L: driver=../../../../../../bus/usb/drivers/cdc_acm

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/tty/ttyACM0
N: ttyACM0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyACM0
E: DEVLINKS=/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_85736323838351F0E1A1-if00

)";

// The PC's on-board UART, ttyS0: found through ACPI/PnP, with the serial core's own port
// devices between the tty and the PnP device; port type 4 (16550A).
inline constexpr const char* kOnBoardUart = R"(P: /devices/pnp0/00:04
E: SUBSYSTEM=pnp
L: driver=../../../bus/pnp/drivers/serial

P: /devices/pnp0/00:04/00:04:0
E: SUBSYSTEM=serial-base
L: driver=../../../../bus/serial-base/drivers/ctrl

P: /devices/pnp0/00:04/00:04:0/00:04:0.0
E: SUBSYSTEM=serial-base
E: DEVTYPE=port
L: driver=../../../../../bus/serial-base/drivers/port

P: /devices/pnp0/00:04/00:04:0/00:04:0.0/tty/ttyS0
N: ttyS0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS0
A: type=4

)";

// The serial8250 driver's spare slots: ttyS1 found nothing (port type 0), ttyS2 has a UART
// (type 4) that was set up on it.
inline constexpr const char* kSerial8250Slots = R"(P: /devices/platform/serial8250
E: SUBSYSTEM=platform
L: driver=../../../bus/platform/drivers/serial8250

P: /devices/platform/serial8250/tty/ttyS1
N: ttyS1
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS1
A: type=0

P: /devices/platform/serial8250/tty/ttyS2
N: ttyS2
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS2
A: type=4

)";

// Virtual consoles, the console and the pseudo-terminal master: terminals without hardware.
inline constexpr const char* kVirtualTerminals = R"(P: /devices/virtual/tty/tty0
N: tty0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/tty0

P: /devices/virtual/tty/tty63
N: tty63
E: SUBSYSTEM=tty
E: DEVNAME=/dev/tty63

P: /devices/virtual/tty/console
N: console
E: SUBSYSTEM=tty
E: DEVNAME=/dev/console

P: /devices/virtual/tty/ptmx
N: ptmx
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ptmx

)";

// A fake /sys and /dev for one test, seen by this process through umockdev's preloaded
// library. The tree goes away with the test.
class FakeDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testbed_ = umockdev_testbed_new();
    ASSERT_TRUE(umockdev_in_mock_environment())
        << "run under umockdev-wrapper (LD_PRELOAD=libumockdev-preload.so.0)";
  }
  void TearDown() override {
    if (testbed_) g_object_unref(testbed_);
  }

  void AddDevices(const std::string& description) {
    GError* error = nullptr;
    const bool added = umockdev_testbed_add_from_string(testbed_, description.c_str(), &error);
    const std::string why = error ? error->message : "";
    if (error) g_error_free(error);
    ASSERT_TRUE(added) << why;
  }

  UMockdevTestbed* testbed_ = nullptr;
};

}  // namespace ctrl::test
