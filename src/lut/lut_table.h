#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "camera/device_model.h"

namespace ctrl {

// One camera look-up table: output level per 12-bit input level.
inline constexpr int kLutEntryCount = 4096;
inline constexpr int32_t kLutMaxLevel = 4095;
using LutTable = std::array<int32_t, kLutEntryCount>;

// The tool holds three tables: 0 red, 1 green (the only one of a monochrome camera), 2 blue.
inline constexpr int kLutTableCount = 3;
inline constexpr int kRedLut = 0;
inline constexpr int kGreenLut = 1;
inline constexpr int kBlueLut = 2;

// Edit Mode: the table follows the edit points. View Mode: the table is shown as stored.
enum class LutMode : int { kEdit = 0, kView = 1 };

// Mono and WideMono have one LUT; every other kind, Unsupported included, counts as colour.
bool IsMonochromeKind(ModelKind kind);

// Value of the camera's LUT Selector register that addresses the table (red 2, green 0, blue 1);
// -1 for an index outside 0..2.
int32_t LutSelectorOfTable(int table_index);

// "[R]", "[G]" or "[B]"; empty for the green table of a monochrome camera.
std::string LutColourSuffix(int table_index, bool monochrome);

// Title of the table's editor window.
std::string LutEditorTitle(int table_index, bool monochrome);

// Limits a level to the table's range 0..4095.
inline int32_t ClampLutLevel(int64_t level) {
  if (level < 0) return 0;
  if (level > kLutMaxLevel) return kLutMaxLevel;
  return static_cast<int32_t>(level);
}

}  // namespace ctrl
