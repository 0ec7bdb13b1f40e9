#include "app/connection_settings.h"

#include <string>
#include <utility>

namespace ctrl {
namespace {

// Where each category's port index is stored.
constexpr std::array<std::pair<PortCategory, RegistrySettings::Index>, kPortCategoryCount>
    kPortIndexValues = {{
        {PortCategory::kComPort, RegistrySettings::kComPortNo},
        {PortCategory::kClSerial2000, RegistrySettings::kCameralink2000DllIndex},
        {PortCategory::kClSerial2001, RegistrySettings::kCameralink2001DllIndex},
        {PortCategory::kClSerialV11, RegistrySettings::kCameralinkVer11DllIndex},
    }};

}  // namespace

ChannelChoice ReadChannelChoice(const RegistrySettings& settings) {
  ChannelChoice choice;
  // Any stored number is kept, even one outside the category table: such a connection opens
  // nothing and is saved back unchanged.
  choice.category = PortCategory{
      settings.ReadInt(RegistrySettings::kCommunicationMode, ToInt(PortCategory::kComPort)).value};
  for (const auto& [category, index] : kPortIndexValues) {
    choice.port_indices[*RowOf(category)] = settings.ReadInt(index, 0).value;
  }
  return choice;
}

void WriteChannelChoice(const ChannelChoice& choice, RegistrySettings& settings) {
  settings.WriteInt(RegistrySettings::kCommunicationMode, ToInt(choice.category));
  settings.WriteInt(RegistrySettings::kBaudrate, choice.baud_rate);
  for (const auto& [category, index] : kPortIndexValues) {
    settings.WriteInt(index, choice.port_indices[*RowOf(category)]);
  }
}

void ApplyPreviousRunCheck(const RegistrySettings& settings, CommChannel& channel) {
  channel.set_port_category(CategoryAfterPreviousRunCheck(settings, channel.port_category()));
}

PortCategory CategoryAfterPreviousRunCheck(const RegistrySettings& settings, PortCategory stored) {
  return settings.PreviousRunEndedNormally() ? stored : PortCategory::kComPort;
}

void LoadComPortMap(const RegistrySettings& settings, ComPortMap& map) {
  for (int index = 0; index < kComPortCount; ++index) {
    const std::string name = ComPortName(index);
    const std::string device = settings.ReadPortDevice(name);
    if (!device.empty()) map.Set(name, device);
  }
}

}  // namespace ctrl
