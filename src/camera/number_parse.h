#pragma once

#include <cstdint>
#include <string_view>

namespace ctrl {

// The one number parser of the programs' arguments and requests; every number given by a user
// goes through it. A whole-text integer, decimal or 0x hexadecimal, with an optional sign,
// within [min, max]. False for anything else, including values too large for any integer type.
bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t& value);

// A register value: the signed or the unsigned 32-bit range, sent as its 32-bit pattern.
bool ParseRegisterValue(std::string_view text, int32_t& value);

// A register address as the camera's tables write it: "0x" and one to eight hexadecimal digits.
bool ParseRegisterAddress(std::string_view text, uint32_t& address);

}  // namespace ctrl
