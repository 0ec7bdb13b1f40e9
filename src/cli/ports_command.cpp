// ports: the ports of every category; for the COM ports also the serial devices present and
// which device each COMn name opens.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "cli/display_text.h"
#include "cli/json.h"
#include "cli/subcommands.h"
#include "transport/com_port_map.h"
#include "transport/comm_channel.h"
#include "transport/connection_facts.h"
#include "transport/serial_devices.h"
#include "transport/system_transports.h"

namespace ctrl::cli {
namespace {

// What a newcomer calls each kind of device.
std::string KindText(const std::string& kind) {
  if (kind == kSerialKindUsb) return "USB serial adapter";
  if (kind == kSerialKindAcm) return "USB CDC ACM device";
  if (kind == kSerialKindUart) return "UART";
  return kind;
}

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json() : Json(text);
}

Json FirstOrNull(const std::vector<std::string>& texts) {
  return texts.empty() ? Json() : Json(texts.front());
}

// One line of --json output; every line has the same keys, null where a key does not apply
// (and "error", always null, as every record has).
// `index` and `name` are null for a device no COM name leads to; `present` is null where the
// system does not list its devices; the device keys are null unless a listed device is behind.
Json PortLine(std::string_view category, Json index, Json name, Json device, Json present,
              const SerialDevice* serial_device) {
  Json line;
  line["category"] = category;
  line["index"] = std::move(index);
  line["name"] = std::move(name);
  line["device"] = std::move(device);
  line["present"] = std::move(present);
  const SerialDevice none;
  const SerialDevice& facts = serial_device ? *serial_device : none;
  line["kind"] = TextOrNull(facts.kind);
  line["by_id"] = FirstOrNull(facts.by_id);
  line["by_path"] = FirstOrNull(facts.by_path);
  line["vendor_id"] = TextOrNull(facts.vendor_id);
  line["product_id"] = TextOrNull(facts.product_id);
  line["serial"] = TextOrNull(facts.serial);
  line["manufacturer"] = TextOrNull(facts.manufacturer);
  line["product"] = TextOrNull(facts.product);
  line["driver"] = TextOrNull(facts.driver);
  return line;
}

// "USB serial adapter 0403:6001 "FT232R USB UART" by FTDI, serial A50285BI, driver ftdi_sio".
std::string DeviceSummary(const SerialDevice& device) {
  std::string text = KindText(device.kind);
  if (!device.vendor_id.empty() || !device.product_id.empty()) {
    text += ' ' + device.vendor_id + ':' + device.product_id;
  }
  if (!device.product.empty()) text += " \"" + DisplayText(device.product) + '"';
  if (!device.manufacturer.empty()) text += " by " + DisplayText(device.manufacturer);
  if (!device.serial.empty()) text += ", serial " + DisplayText(device.serial);
  if (!device.driver.empty()) text += ", driver " + device.driver;
  return text;
}

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

std::string RightAligned(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

void PrintSerialDevices(const std::vector<SerialDevice>& devices, std::ostream& out) {
  if (devices.empty()) {
    out << "  Serial devices present: none\n";
    return;
  }
  out << "  Serial devices present (open one with --device PATH):\n";
  std::size_t width = 0;
  for (const SerialDevice& device : devices) width = std::max(width, device.device_node.size());
  for (const SerialDevice& device : devices) {
    out << "    " << Padded(device.device_node, width) << "  " << DeviceSummary(device) << '\n';
    for (const std::string& link : device.by_id) {
      out << "    " << std::string(width, ' ') << "  also " << link << '\n';
    }
  }
}

// The COM category: the devices present, then the device each COMn name opens. `port_map` holds
// the mapping in effect (--device for the --port name, the platform's default for the rest).
void ListComPorts(const ComPortMap& port_map, Session& session) {
  const bool json = session.json();
  std::ostream& out = session.out();
  const PortCategoryFacts& facts = FactsOf(PortCategory::kComPort);
  const bool listed = SerialDevicesAreListed();
  const std::vector<SerialDevice> devices = ListSerialDevices();
  std::vector<bool> named(devices.size(), false);

  if (!json) {
    out << facts.display_name << " (--category " << facts.cli_name << "): " << kComPortCount
        << " ports\n";
    if (listed) {
      PrintSerialDevices(devices, out);
      out << "  COM port names and the device each opens (--port COMn):\n";
    }
  }
  std::size_t path_width = 0;
  for (int index = 0; index < kComPortCount; ++index) {
    path_width = std::max(path_width, port_map.DevicePath(ComPortName(index)).size());
  }
  for (int index = 0; index < kComPortCount; ++index) {
    const std::string name = ComPortName(index);
    const std::string path = port_map.DevicePath(name);
    const SerialDevice* device = FindSerialDevice(devices, path);
    if (device) named[static_cast<std::size_t>(device - devices.data())] = true;
    if (json) {
      session.EmitJson(PortLine(facts.cli_name, index, name, path,
                                listed ? Json(device != nullptr) : Json(), device));
    } else {
      out << (listed ? "    " : "  ") << RightAligned(std::to_string(index), 2) << "  "
          << Padded(name, 5) << "  ";
      if (listed) {
        out << Padded(path, path_width) << (device ? "  present" : "  not present");
      } else {
        out << path;
      }
      out << '\n';
    }
  }
  if (!json) return;
  // Devices no COM name leads to: reached with --device.
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (named[i]) continue;
    session.EmitJson(
        PortLine(facts.cli_name, Json(), Json(), devices[i].device_node, true, &devices[i]));
  }
}

// Every category as the communication dialog lists it; the COM ports with the devices present.
void ListPorts(Session& session) {
  const ConnectionOptions& options = session.options().connection;
  const bool json = session.json();
  std::ostream& out = session.out();
  SystemTransports transports;
  CommChannel channel(transports.com_port, transports.cl_serial_2000, transports.cl_serial_2001,
                      transports.cl_serial_v11);
  if (!options.device.empty() && options.category == PortCategory::kComPort) {
    transports.com_port.port_map().Set(ComPortName(options.port_index), options.device);
  }
  for (const PortCategoryFacts& facts : kPortCategories) {
    if (facts.category == PortCategory::kComPort) {
      ListComPorts(transports.com_port.port_map(), session);
      continue;
    }
    channel.set_port_category(facts.category);
    const int count = channel.PortCount();
    if (!json) {
      out << facts.display_name << " (--category " << facts.cli_name << "): " << count
          << (count == 1 ? " port" : " ports") << '\n';
    }
    for (int i = 0; i < count; ++i) {
      if (json) {
        session.EmitJson(PortLine(facts.cli_name, i, channel.PortName(i), Json(), true, nullptr));
      } else {
        out << "  " << i << "  " << DisplayText(channel.PortName(i)) << '\n';
      }
    }
  }
}

}  // namespace

Subcommand AddPorts(CLI::App& app) {
  return {app.add_subcommand("ports",
                             "List the ports of every category and the serial devices "
                             "present"),
          [](Session& session) {
            ListPorts(session);
            return kExitOk;
          },
          /*needs_camera=*/false};
}

}  // namespace ctrl::cli
