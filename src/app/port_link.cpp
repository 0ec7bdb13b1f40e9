#include "app/port_link.h"

#include <ostream>

#include "transport/com_port_map.h"

namespace ctrl {

bool IsComPortName(const std::string& text) {
  if (text.size() < 4 || text.compare(0, 3, "COM") != 0) return false;
  return text.find_first_not_of("0123456789", 3) == std::string::npos;
}

PortLink::PortLink()
    : channel_(transports_.com_port, transports_.cl_serial_2000, transports_.cl_serial_2001,
               transports_.cl_serial_v11) {}

PortLink::~PortLink() { channel_.Close(); }

bool PortLink::Open(const PortChoice& choice, std::ostream& err) {
  const PortCategory category = choice.category;
  std::string device = choice.device;
#ifdef _WIN32
  // "COM5": the port by its Windows name; "COM10" and above open only in this form.
  if (category == PortCategory::kComPort && IsComPortName(device)) device = "\\\\.\\" + device;
#endif
  if (category == PortCategory::kComPort && !device.empty()) {
    transports_.com_port.port_map().Set(ComPortName(choice.port_index), device);
  }
  if (category != PortCategory::kComPort) {
    // The library transports open by position in their last enumeration.
    channel_.set_port_category(category);
    const int count = channel_.PortCount();
    if (choice.port_index >= count) {
      err << "Port " << choice.port_index << " does not exist in this category (" << count
          << (count == 1 ? " port" : " ports") << "). Run the ports command to list them.\n";
      return false;
    }
  }
  if (!channel_.Open(category, choice.baud_rate, choice.port_index)) {
    if (category != PortCategory::kComPort) err << "Failed to initialize!\n";
    return false;
  }
  return true;
}

}  // namespace ctrl
