// Catches a number argument that is taken although it is not wholly a number in range: a bare
// sign, junk after the digits, an overflow wrapped into range, a second sign, a hex prefix
// without digits; and an address longer than a register address or written in another form.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"

namespace ctrl::cli {
namespace {

constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();

struct IntegerCase {
  std::string text;
  int64_t min;
  int64_t max;
  std::optional<int64_t> expected;  // nothing: refused
};

TEST(Arguments, IntegerTakesOnlyAWholeNumberInRange) {
  const std::vector<IntegerCase> cases = {
      // Empty and bare signs or prefixes.
      {"", kInt64Min, kInt64Max, std::nullopt},
      {"-", kInt64Min, kInt64Max, std::nullopt},
      {"+", kInt64Min, kInt64Max, std::nullopt},
      {"0x", kInt64Min, kInt64Max, std::nullopt},
      {"-0x", kInt64Min, kInt64Max, std::nullopt},
      // Two signs, a sign after the hex prefix.
      {"--5", kInt64Min, kInt64Max, std::nullopt},
      {"+-5", kInt64Min, kInt64Max, std::nullopt},
      {"0x-5", kInt64Min, kInt64Max, std::nullopt},
      // Junk around the digits.
      {"12a", kInt64Min, kInt64Max, std::nullopt},
      {" 12", kInt64Min, kInt64Max, std::nullopt},
      {"12 ", kInt64Min, kInt64Max, std::nullopt},
      {"0xG", kInt64Min, kInt64Max, std::nullopt},
      {"1.5", kInt64Min, kInt64Max, std::nullopt},
      {"1e3", kInt64Min, kInt64Max, std::nullopt},
      // Overflow of the 64-bit range is refused, not wrapped.
      {"9223372036854775808", kInt64Min, kInt64Max, std::nullopt},
      {"-9223372036854775809", kInt64Min, kInt64Max, std::nullopt},
      {"99999999999999999999", kInt64Min, kInt64Max, std::nullopt},
      {"0x10000000000000000", kInt64Min, kInt64Max, std::nullopt},
      // The edges of the 64-bit range.
      {"9223372036854775807", kInt64Min, kInt64Max, kInt64Max},
      {"-9223372036854775808", kInt64Min, kInt64Max, kInt64Min},
      // Decimal and hexadecimal, either case, with a sign.
      {"42", 0, 100, 42},
      {"+42", 0, 100, 42},
      {"-42", -100, 0, -42},
      {"007", 0, 100, 7},
      {"0x2A", 0, 100, 42},
      {"0X2a", 0, 100, 42},
      {"-0x2A", -100, 0, -42},
      // The caller's range, both ends inclusive.
      {"100", 0, 100, 100},
      {"101", 0, 100, std::nullopt},
      {"0", 1, 16, std::nullopt},
      {"1", 1, 16, 1},
      {"-1", 0, 100, std::nullopt},
  };
  for (const IntegerCase& c : cases) {
    int64_t value = -12345;
    const bool parsed = ParseInteger(c.text, c.min, c.max, value);
    EXPECT_EQ(parsed, c.expected.has_value()) << '"' << c.text << '"';
    // A refused text leaves the value alone.
    EXPECT_EQ(value, c.expected.value_or(-12345)) << '"' << c.text << '"';
  }
}

TEST(Arguments, RegisterValueIsEitherThirtyTwoBitRangeAsItsPattern) {
  const std::vector<std::pair<std::string, std::optional<int32_t>>> cases = {
      {"0", 0},
      {"-1", -1},
      {"4294967295", -1},
      {"0xFFFFFFFF", -1},
      {"2147483648", std::numeric_limits<int32_t>::min()},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"0x00000BB8", 3000},
      {"4294967296", std::nullopt},
      {"-2147483649", std::nullopt},
      {"0x100000000", std::nullopt},
      {"abc", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    int32_t value = 7;
    EXPECT_EQ(ParseRegisterValue(text, value), expected.has_value()) << text;
    EXPECT_EQ(value, expected.value_or(7)) << text;
  }
}

TEST(Arguments, RegisterAddressIsHexWithAtMostEightDigits) {
  const std::vector<std::pair<std::string, std::optional<uint32_t>>> cases = {
      {"0x01001010", 0x01001010u},
      {"0X01001010", 0x01001010u},
      {"0x1001010", 0x01001010u},
      {"0xffffffff", 0xFFFFFFFFu},
      {"0x0", 0u},
      // Not an address: no prefix, a sign, too many digits, no digits, junk.
      {"16781328", std::nullopt},
      {"+0x01001010", std::nullopt},
      {"-0x1", std::nullopt},
      {"0x000001001010", std::nullopt},
      {"0x", std::nullopt},
      {"0x0100101G", std::nullopt},
      {"0x-1", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    uint32_t address = 7;
    EXPECT_EQ(ParseRegisterAddress(text, address), expected.has_value()) << text;
    EXPECT_EQ(address, expected.value_or(7)) << text;
  }
}

}  // namespace
}  // namespace ctrl::cli
