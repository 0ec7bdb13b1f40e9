#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "camera/command_table.h"
#include "camera/device_model.h"

namespace ctrl {

// The parameter a user names for a read or write, with the label messages use for it.
struct ParameterTarget {
  int command_id = -1;  // -1: a register outside the command table
  uint32_t reg = 0;
  std::string label;    // the command's label, or the address for a register outside the table
};

// A label of the command table (any case) or a register address ("0x01001010"), for a camera
// of `kind` (addresses follow the model); nothing for anything else.
std::optional<ParameterTarget> FindParameterTarget(const CommandTable& table, ModelKind kind,
                                                   std::string_view text);

// The identity text field (its command id) whose registers include `reg`, or -1.
int IdentityTextFieldAt(const CommandTable& table, uint32_t reg);

// "0x01001010": a register address as the camera's tables and settings files write it.
std::string RegisterAddressText(uint32_t reg);

}  // namespace ctrl
