#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace ctrl::cli {

// The CLI's --json output; keys keep the order they were added in.
using Json = nlohmann::ordered_json;

// A value's record with every key, none filled: label, address, value, text, unit, error.
Json ValueRecord(const std::string& label, const std::string& address);

// Compact text of `value`. UTF-8 text passes through as it is; bytes that are not UTF-8 (camera
// texts need not be) become U+FFFD instead of failing the output.
std::string JsonText(const Json& value);

}  // namespace ctrl::cli
