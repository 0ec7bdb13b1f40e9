#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "camera/value_text.h"

namespace ctrl::ui {

// The conversions of register values (line time, exposure, temperature, ...) are the core's.
std::string FormatInteger(int32_t value);  // "%d"

// Strict decimal integer (optional sign, digits, surrounding blanks); false for anything else
// or a value outside 32 bits.
bool ParseInteger(std::string_view text, int32_t& value);
// Leading decimal integer of a text, 0 when there is none (how an edit's value reads).
int32_t LeadingInteger(std::string_view text);

}  // namespace ctrl::ui
