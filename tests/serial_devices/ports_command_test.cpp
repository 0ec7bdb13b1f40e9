// Catches a ports listing that calls a COM port present when no device is behind its name (or
// absent when one is), loses a device that no COM name leads to, shows a device twice, or
// writes --json lines a script cannot rely on (a key missing, a value of the wrong type).
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/json.h"
#include "fake_devices.h"

namespace ctrl::cli {
namespace {

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(Json::parse(line));
  return lines;
}

Json ComLine(Json index, Json name, Json device, Json present) {
  Json line;
  line["category"] = "com";
  line["index"] = std::move(index);
  line["name"] = std::move(name);
  line["device"] = std::move(device);
  line["present"] = std::move(present);
  for (const char* key : {"kind", "by_id", "by_path", "vendor_id", "product_id", "serial",
                          "manufacturer", "product", "driver", "error"}) {
    line[key] = nullptr;
  }
  return line;
}

Json WithFtdiAdapter(Json line) {
  line["kind"] = "usb";
  line["by_id"] = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  line["by_path"] = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";
  line["vendor_id"] = "0403";
  line["product_id"] = "6001";
  line["serial"] = "A50285BI";
  line["manufacturer"] = "FTDI";
  line["product"] = "FT232R USB UART";
  line["driver"] = "ftdi_sio";
  return line;
}

Json WithUart(Json line, const char* driver) {
  line["kind"] = "uart";
  line["driver"] = driver;
  return line;
}

Json OnBoardUart(Json index, Json name, Json device) {
  return WithUart(ComLine(std::move(index), std::move(name), std::move(device), true), "serial");
}

// ttyS2, the UART in a slot of serial8250.
Json SlotUart(Json index, Json name) {
  return WithUart(ComLine(std::move(index), std::move(name), "/dev/ttyS2", true), "serial8250");
}

struct PortsCase {
  const char* name;
  std::vector<std::string> args;
  // The COM lines expected, by index; the other COM names lead to absent ttyS devices.
  std::vector<std::pair<int, Json>> com_lines;
  // Lines after the 16 COM names: devices no COM name leads to.
  std::vector<Json> unnamed_devices;
};

// Test names and failures show the case's name.
void PrintTo(const PortsCase& test_case, std::ostream* out) {
  *out << test_case.name;
}

Json Absent(int index) {
  return ComLine(index, "COM" + std::to_string(index + 1), "/dev/ttyS" + std::to_string(index),
                 false);
}

const PortsCase kPortsCases[] = {
    {"DefaultNamesFindTheUarts",
     {"--json", "ports"},
     {{0, OnBoardUart(0, "COM1", "/dev/ttyS0")},
      {1, Absent(1)},
      {2, SlotUart(2, "COM3")},
      {15, Absent(15)}},
     {WithFtdiAdapter(ComLine(nullptr, nullptr, "/dev/ttyUSB0", true))}},
    {"DeviceByNodeTakesTheNamedPort",
     {"--json", "--device", "/dev/ttyUSB0", "--port", "COM3", "ports"},
     {{0, OnBoardUart(0, "COM1", "/dev/ttyS0")},
      {2, WithFtdiAdapter(ComLine(2, "COM3", "/dev/ttyUSB0", true))}},
     {SlotUart(nullptr, nullptr)}},
    {"DeviceByIdLinkIsTheSameAdapter",
     {"--json", "--device", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
      "ports"},
     {{0, WithFtdiAdapter(ComLine(
              0, "COM1", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", true))},
      {2, SlotUart(2, "COM3")}},
     {OnBoardUart(nullptr, nullptr, "/dev/ttyS0")}},
    {"DeviceThatIsNotThereIsAbsent",
     {"--json", "--device", "/dev/ttyUSB7", "ports"},
     {{0, ComLine(0, "COM1", "/dev/ttyUSB7", false)}, {1, Absent(1)}},
     {OnBoardUart(nullptr, nullptr, "/dev/ttyS0"),
      WithFtdiAdapter(ComLine(nullptr, nullptr, "/dev/ttyUSB0", true))}},
};

class PortsCommand : public test::FakeDevicesTest,
                     public ::testing::WithParamInterface<PortsCase> {};

TEST_P(PortsCommand, JsonLinesShowEachComNameAndEveryDevicePresent) {
  AddDevices(test::kOnBoardUart);
  AddDevices(test::kSerial8250Slots);  // ttyS1 is an empty slot, ttyS2 a UART
  AddDevices(test::kFtdiAdapter);
  AddDevices(test::kVirtualTerminals);
  std::ostringstream out, err;
  ASSERT_EQ(cli::Run(GetParam().args, out, err), kExitOk) << err.str();

  // No Camera Link library is installed here: the COM lines and the unnamed devices are all.
  const std::vector<Json> lines = JsonLines(out.str());
  ASSERT_EQ(lines.size(), kComPortCount + GetParam().unnamed_devices.size()) << out.str();
  for (const auto& [index, expected] : GetParam().com_lines) {
    EXPECT_EQ(lines[static_cast<std::size_t>(index)], expected) << "COM" << index + 1;
  }
  // Every line has the same keys in the same order.
  for (const Json& line : lines) {
    std::vector<std::string> keys;
    for (const auto& item : line.items()) keys.push_back(item.key());
    EXPECT_EQ(keys,
              (std::vector<std::string>{"category", "index", "name", "device", "present", "kind",
                                        "by_id", "by_path", "vendor_id", "product_id", "serial",
                                        "manufacturer", "product", "driver", "error"}))
        << line;
  }
  for (std::size_t i = 0; i < GetParam().unnamed_devices.size(); ++i) {
    EXPECT_EQ(lines[kComPortCount + i], GetParam().unnamed_devices[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Arguments, PortsCommand, ::testing::ValuesIn(kPortsCases),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

class PortsListing : public test::FakeDevicesTest {};

TEST_F(PortsListing, PlainTextShowsTheDevicesAndWhetherEachComNameFindsOne) {
  AddDevices(test::kFtdiAdapter);
  AddDevices(test::kSerial8250Slots);
  std::ostringstream out, err;
  ASSERT_EQ(cli::Run({"ports"}, out, err), kExitOk) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("/dev/ttyUSB0  USB serial adapter 0403:6001 \"FT232R USB UART\" by FTDI, "
                      "serial A50285BI, driver ftdi_sio\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("also /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("   1  COM2   /dev/ttyS1   not present\n"), std::string::npos) << text;
  EXPECT_NE(text.find("   2  COM3   /dev/ttyS2   present\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("/dev/ttyS1  UART"), std::string::npos) << text;
}

}  // namespace
}  // namespace ctrl::cli
