#include "transport/system_transports.h"

#include "app/registry_settings.h"

namespace ctrl {

void LoadComPortMap(const RegistrySettings& settings, ComPortMap& map) {
  for (int index = 0; index < ComPortTransport::kPortCount; ++index) {
    const std::string name = ComPortName(index);
    const std::string device = settings.ReadPortDevice(name);
    if (!device.empty()) map.Set(name, device);
  }
}

}  // namespace ctrl
