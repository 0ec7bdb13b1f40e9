// Catches a comparison that drops rows held by one side only, reports equal values as different,
// mixes up which side a value came from, or lists the rows out of command order.
#include <gtest/gtest.h>

#include "files/settings_diff.h"

namespace ctrl {
namespace {

TEST(SettingsDiff, ListsEveryRowWhoseSidesDisagreeInCommandOrder) {
  struct Case {
    const char* name;
    SettingsValues a;
    SettingsValues b;
    std::vector<SettingsDifference> expected;
  };
  const std::vector<Case> cases = {
      {"both empty", {}, {}, {}},
      {"same values", {{22, 4096}, {57, 256}}, {{22, 4096}, {57, 256}}, {}},
      {"one value differs", {{22, 4096}, {57, 256}}, {{22, 4096}, {57, 300}}, {{57, 256, 300}}},
      {"negative against zero", {{30, -1}}, {{30, 0}}, {{30, -1, 0}}},
      {"only in a", {{22, 4096}, {94, 1}}, {{22, 4096}}, {{94, 1, std::nullopt}}},
      {"only in b", {{22, 4096}}, {{22, 4096}, {95, 7}}, {{95, std::nullopt, 7}}},
      {"one side empty", {}, {{3, 0}, {9, 1}}, {{3, std::nullopt, 0}, {9, std::nullopt, 1}}},
      {"all kinds interleaved",
       {{10, 1}, {20, 2}, {30, 3}, {50, 5}},
       {{20, 2}, {30, 4}, {40, 4}, {60, 6}},
       {{10, 1, std::nullopt},
        {30, 3, 4},
        {40, std::nullopt, 4},
        {50, 5, std::nullopt},
        {60, std::nullopt, 6}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DiffSettings(c.a, c.b), c.expected) << c.name;
    // Swapping the sides swaps each row's values and nothing else.
    std::vector<SettingsDifference> swapped = c.expected;
    for (SettingsDifference& row : swapped) std::swap(row.a, row.b);
    EXPECT_EQ(DiffSettings(c.b, c.a), swapped) << c.name << " (swapped)";
  }
}

}  // namespace
}  // namespace ctrl
