// Catches a device list that shows terminals without hardware (virtual consoles, UART slots the
// kernel found empty), misses or mislabels a USB adapter, takes its texts from the wrong device
// of the USB tree, confuses the /dev/serial links, names the serial core instead of the real
// driver, or sorts ttyS10 before ttyS2.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fake_devices.h"
#include "transport/serial_devices.h"

namespace ctrl {
namespace {

SerialDevice FtdiAdapter() {
  SerialDevice device;
  device.device_node = "/dev/ttyUSB0";
  device.by_id = {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
  device.by_path = {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};
  device.kind = kSerialKindUsb;
  device.vendor_id = "0403";
  device.product_id = "6001";
  device.serial = "A50285BI";
  device.manufacturer = "FTDI";
  device.product = "FT232R USB UART";
  device.driver = "ftdi_sio";
  return device;
}

SerialDevice BareProlificAdapter() {
  SerialDevice device;
  device.device_node = "/dev/ttyUSB10";
  device.kind = kSerialKindUsb;
  device.vendor_id = "067b";
  device.product_id = "2303";
  device.manufacturer = "Prolific Technology Inc.";
  device.product = "USB-Serial Controller";
  device.driver = "pl2303";
  return device;
}

SerialDevice AcmDevice() {
  SerialDevice device;
  device.device_node = "/dev/ttyACM0";
  device.by_id = {"/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_85736323838351F0E1A1-if00"};
  device.kind = kSerialKindAcm;
  device.vendor_id = "2341";
  device.product_id = "0043";
  device.serial = "85736323838351F0E1A1";
  device.manufacturer = "Arduino (www.arduino.cc)";
  device.driver = "cdc_acm";
  return device;
}

SerialDevice Uart(const std::string& node, const std::string& driver) {
  SerialDevice device;
  device.device_node = node;
  device.kind = kSerialKindUart;
  device.driver = driver;
  return device;
}

struct ListingCase {
  const char* name;
  std::vector<const char*> trees;
  std::vector<SerialDevice> expected;
};

// Test names and failures show the case's name.
void PrintTo(const ListingCase& test_case, std::ostream* out) {
  *out << test_case.name;
}

class SerialDeviceListing : public test::FakeDevicesTest,
                            public ::testing::WithParamInterface<ListingCase> {};

TEST_P(SerialDeviceListing, ListsThePresentDevicesOnly) {
  for (const char* tree : GetParam().trees) AddDevices(tree);
  EXPECT_EQ(ListSerialDevices(), GetParam().expected);
}

const ListingCase kListingCases[] = {
    {"NothingAtAll", {}, {}},
    {"UsbAdapterWithItsLinksAndTexts", {test::kFtdiAdapter}, {FtdiAdapter()}},
    {"UsbAdapterWithoutUdevDatabaseOrSerial",
     {test::kBareProlificAdapter},
     {BareProlificAdapter()}},
    {"CdcAcmDevice", {test::kAcmDevice}, {AcmDevice()}},
    {"OnBoardUartNamesThePnpDriverNotTheSerialCore",
     {test::kOnBoardUart},
     {Uart("/dev/ttyS0", "serial")}},
    {"EmptyUartSlotLeftOutBesideAFilledOne",
     {test::kSerial8250Slots},
     {Uart("/dev/ttyS2", "serial8250")}},
    {"VirtualTerminalsLeftOut", {test::kVirtualTerminals}, {}},
    {"EverythingInNodeOrder",
     {test::kBareProlificAdapter, test::kVirtualTerminals, test::kFtdiAdapter,
      test::kSerial8250Slots, test::kAcmDevice, test::kOnBoardUart},
     {AcmDevice(), Uart("/dev/ttyS0", "serial"), Uart("/dev/ttyS2", "serial8250"), FtdiAdapter(),
      BareProlificAdapter()}},
};

INSTANTIATE_TEST_SUITE_P(Trees, SerialDeviceListing, ::testing::ValuesIn(kListingCases),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

}  // namespace
}  // namespace ctrl
