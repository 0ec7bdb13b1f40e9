// The link's round-trip figures: a wrong percentile or a window that keeps the oldest samples
// instead of the newest would show a healthy line as slow, or hide a line that became slow.
#include "camera/link_health.h"

#include <gtest/gtest.h>

#include <vector>

namespace ctrl {
namespace {

TEST(LinkHealth, MedianAndP99AreNearestRankOfTheNewestRoundTrips) {
  struct Case {
    const char* what;
    std::vector<int64_t> samples;
    int64_t median;
    int64_t p99;
  };
  std::vector<int64_t> hundred;
  for (int64_t i = 1; i <= 100; ++i) hundred.push_back(i * 10);
  std::vector<int64_t> slow_after_fast(LinkHealth::kRoundTripWindow, 5);
  slow_after_fast.insert(slow_after_fast.end(), LinkHealth::kRoundTripWindow, 900);
  const std::vector<Case> cases = {
      {"none", {}, 0, 0},
      {"one", {42}, 42, 42},
      {"two", {10, 30}, 10, 30},
      {"hundred in reverse", {hundred.rbegin(), hundred.rend()}, 500, 990},
      {"one outlier", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1000}, 1, 1000},
      {"only the newest window counts", slow_after_fast, 900, 900},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LinkHealth health;
    for (const int64_t sample : c.samples) health.AddRoundTrip(sample);
    EXPECT_EQ(health.MedianRoundTripUs(), c.median);
    EXPECT_EQ(health.P99RoundTripUs(), c.p99);
    EXPECT_LE(health.round_trip_count(), LinkHealth::kRoundTripWindow);
  }
}

}  // namespace
}  // namespace ctrl
