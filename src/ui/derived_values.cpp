#include "ui/derived_values.h"

#include <cctype>
#include <cstdlib>
#include <limits>

namespace ctrl::ui {

std::string FormatInteger(int32_t value) {
  return std::to_string(value);
}

bool ParseInteger(std::string_view text, int32_t& value) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  size_t digits_start = i;
  int64_t magnitude = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > (int64_t{1} << 32)) return false;
    ++i;
  }
  if (i == digits_start) return false;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i != text.size()) return false;
  int64_t result = negative ? -magnitude : magnitude;
  if (result < std::numeric_limits<int32_t>::min() ||
      result > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  value = static_cast<int32_t>(result);
  return true;
}

int32_t LeadingInteger(std::string_view text) {
  std::string copy(text);
  long long parsed = std::strtoll(copy.c_str(), nullptr, 10);
  if (parsed < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (parsed > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(parsed);
}

}  // namespace ctrl::ui
