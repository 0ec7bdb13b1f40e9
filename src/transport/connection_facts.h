#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "camera/baud_rates.h"

// What a connection can be: the port categories (and, from the camera, the baud rates), each
// described once. The settings store a category as its number; everything else asks here.
namespace ctrl {

// The number is what the settings store ("CommunicationMode") and the dialog's row.
enum class PortCategory : int {
  kComPort = 0,
  kClSerial2000 = 1,
  kClSerial2001 = 2,
  kClSerialV11 = 3,
};

struct PortCategoryFacts {
  PortCategory category;
  std::string_view cli_name;      // the CLI's --category value
  std::string_view display_name;  // the communication dialog's item, also in listings
  bool camera_link_library;       // reached through a Camera Link serial library
};

inline constexpr std::array<PortCategoryFacts, 4> kPortCategories = {{
    {PortCategory::kComPort, "com", "Com Port", false},
    {PortCategory::kClSerial2000, "cl2000", "Camera Link spec. 2000", true},
    {PortCategory::kClSerial2001, "cl2001", "Camera Link spec. 2001", true},
    {PortCategory::kClSerialV11, "cl11", "Camera Link spec. ver.1.1", true},
}};

// The COM port category has a fixed list "COM1".."COM16"; nothing is probed.
inline constexpr int kComPortCount = 16;

// Each read attempt of a Camera Link library waits this long inside the library; a write
// may take this long.
inline constexpr int kClReadTimeoutMs = 10;
inline constexpr int kClWriteTimeoutMs = 500;

inline constexpr std::size_t kPortCategoryCount = kPortCategories.size();

constexpr int ToInt(PortCategory category) {
  return static_cast<int>(category);
}

// A category's number is its row in the table: per-category arrays are indexed by it.
static_assert([] {
  for (std::size_t row = 0; row < kPortCategoryCount; ++row) {
    if (ToInt(kPortCategories[row].category) != static_cast<int>(row)) return false;
  }
  return true;
}());

// The row of a category; nothing for a number outside the table (a stored value may be one).
constexpr std::optional<std::size_t> RowOf(PortCategory category) {
  const int value = ToInt(category);
  if (value < 0 || value >= static_cast<int>(kPortCategoryCount)) return std::nullopt;
  return static_cast<std::size_t>(value);
}

// The category stored as `value`; nothing for a number outside the table.
constexpr std::optional<PortCategory> PortCategoryOfInt(int value) {
  for (const PortCategoryFacts& facts : kPortCategories) {
    if (ToInt(facts.category) == value) return facts.category;
  }
  return std::nullopt;
}

constexpr const PortCategoryFacts& FactsOf(PortCategory category) {
  for (const PortCategoryFacts& facts : kPortCategories) {
    if (facts.category == category) return facts;
  }
  return kPortCategories[0];
}

constexpr std::optional<PortCategory> PortCategoryOfCliName(std::string_view name) {
  for (const PortCategoryFacts& facts : kPortCategories) {
    if (facts.cli_name == name) return facts.category;
  }
  return std::nullopt;
}

}  // namespace ctrl
