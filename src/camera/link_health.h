#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ctrl {

// How the link to the camera has been doing since the connection opened: what the operator
// looks at when a line is slow or unreliable.
class LinkHealth {
 public:
  // Round trips kept for the median and the 99th percentile: the most recent ones.
  static constexpr size_t kRoundTripWindow = 4096;

  uint64_t exchanges = 0;
  uint64_t timeouts = 0;       // exchanges nothing answered in time
  uint64_t refused = 0;        // the camera answered with a refusal or error
  uint64_t lines_skipped = 0;  // lines with "=" that did not answer (stale, fragments, others)
  uint64_t line_lost = 0;      // exchanges that found the line gone
  uint64_t bytes_sent = 0;
  uint64_t bytes_received = 0;

  // From sending a request to its prompt, of an exchange that succeeded.
  void AddRoundTrip(int64_t microseconds);
  size_t round_trip_count() const { return round_trips_.size(); }
  // 0 when no exchange succeeded yet. The nearest-rank percentile of the kept round trips.
  int64_t MedianRoundTripUs() const { return PercentileUs(50); }
  int64_t P99RoundTripUs() const { return PercentileUs(99); }
  int64_t PercentileUs(int percent) const;

 private:
  std::vector<int64_t> round_trips_;
  size_t next_ = 0;  // where the next round trip goes once the window is full
};

}  // namespace ctrl
