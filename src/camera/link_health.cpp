#include "camera/link_health.h"

#include <algorithm>

namespace ctrl {

void LinkHealth::AddRoundTrip(int64_t microseconds) {
  if (round_trips_.size() < kRoundTripWindow) {
    round_trips_.push_back(microseconds);
    return;
  }
  round_trips_[next_] = microseconds;
  next_ = (next_ + 1) % kRoundTripWindow;
}

int64_t LinkHealth::PercentileUs(int percent) const {
  if (round_trips_.empty()) return 0;
  std::vector<int64_t> sorted = round_trips_;
  // Nearest rank: the smallest value with at least `percent` % of the samples at or below it.
  const size_t count = sorted.size();
  size_t rank = (static_cast<size_t>(std::clamp(percent, 1, 100)) * count + 99) / 100;
  rank = std::clamp<size_t>(rank, 1, count);
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(rank - 1),
                   sorted.end());
  return sorted[rank - 1];
}

}  // namespace ctrl
