#include "camera/number_parse.h"

#include <charconv>
#include <limits>

namespace ctrl {

bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t& value) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  // from_chars would take a second sign; only digits may follow.
  if (text.empty() || text.front() == '-' || text.front() == '+') return false;
  uint64_t magnitude = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, magnitude, base);
  if (error != std::errc() || stop != end) return false;
  constexpr uint64_t kMaxMagnitude = uint64_t{std::numeric_limits<int64_t>::max()} + 1;
  if (magnitude > kMaxMagnitude) return false;
  if (!negative && magnitude == kMaxMagnitude) return false;
  const int64_t parsed =
      negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  if (parsed < min || parsed > max) return false;
  value = parsed;
  return true;
}

bool ParseRegisterValue(std::string_view text, int32_t& value) {
  int64_t parsed = 0;
  if (!ParseInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max(),
                    parsed)) {
    return false;
  }
  value = static_cast<int32_t>(static_cast<uint32_t>(parsed));
  return true;
}

bool ParseRegisterAddress(std::string_view text, uint32_t& address) {
  constexpr size_t kLongest = 2 + 8;
  if (text.size() > kLongest || !(text.starts_with("0x") || text.starts_with("0X"))) return false;
  int64_t parsed = 0;
  if (!ParseInteger(text, 0, std::numeric_limits<uint32_t>::max(), parsed)) return false;
  address = static_cast<uint32_t>(parsed);
  return true;
}

}  // namespace ctrl
