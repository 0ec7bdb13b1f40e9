#include "camera/parameter_target.h"

#include <cstdio>

#include "camera/command_engine.h"
#include "camera/number_parse.h"

namespace ctrl {

std::string RegisterAddressText(uint32_t reg) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", reg);
  return text;
}

std::optional<ParameterTarget> FindParameterTarget(const CommandTable& table, ModelKind kind,
                                                   std::string_view text) {
  ParameterTarget target;
  target.command_id = CommandTable::FindCommandByLabel(text);
  if (target.command_id >= 0) {
    target.reg = table.GetCommandRegister(target.command_id);
    target.label = CommandTable::FeatureLabel(target.command_id);
    return target;
  }
  if (!ParseRegisterAddress(text, target.reg)) return std::nullopt;
  target.command_id = table.FindCommandByAddress(RegisterAddressText(target.reg), kind);
  target.label = target.command_id >= 0 ? std::string(CommandTable::FeatureLabel(target.command_id))
                                        : RegisterAddressText(target.reg);
  return target;
}

int IdentityTextFieldAt(const CommandTable& table, uint32_t reg) {
  for (int id = cmd::kVendorName; id <= cmd::kXmlVersion; ++id) {
    const uint32_t start = table.GetCommandRegister(id);
    if (reg >= start && reg - start < static_cast<uint32_t>(kIdentityTextBytes)) return id;
  }
  return -1;
}

}  // namespace ctrl
