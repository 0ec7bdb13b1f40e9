#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "camera/clock.h"
#include "camera/device_model.h"
#include "camera/parameter_database.h"

namespace ctrl {

// When to try again to reach a camera whose line went away: the first attempt at once, then
// after pauses of 0.5 s, 1 s, 2 s, 4 s and from then on 5 s, so a camera that is being
// power-cycled is found soon and one that stays away costs little. Time comes from the clock.
class ReconnectSchedule {
 public:
  static constexpr int64_t kFirstPauseUs = 500'000;
  static constexpr int64_t kLongestPauseUs = 5'000'000;

  explicit ReconnectSchedule(const Clock& clock) : clock_(clock) {}

  // The line is gone: an attempt is due now. Nothing changes while the schedule already runs.
  void Start();
  // The camera is back (or nobody wants it back): no attempt is due, and the next Start
  // begins again with the shortest pause.
  void Stop();
  // An attempt failed: the next one is due after the current pause, and the pause doubles.
  void Failed();
  // A sign that the camera may be back (its device has reappeared): an attempt is due now;
  // the pauses after a failure go on from where they were.
  void AttemptNow();

  bool active() const { return active_; }
  // Running and its time has come.
  bool Due() const { return active_ && clock_.NowUs() >= due_us_; }
  // Microseconds until the next attempt is due: 0 when it is due now, -1 when none is.
  int64_t UsUntilDue() const;
  // The clock time the next attempt is due at (meaningful while active).
  int64_t due_us() const { return due_us_; }

 private:
  const Clock& clock_;
  bool active_ = false;
  int64_t pause_us_ = kFirstPauseUs;
  int64_t due_us_ = 0;
};

// The value of one parameter as the tool last showed it.
struct ShownValue {
  int command_id;
  int32_t value;
};

// The values the database holds as the camera's, one per command, in table order: what the
// pages show when nothing is pending.
std::vector<ShownValue> ShownValues(const ParameterDatabase& database);

// "Exposure Time: 100 us → 250 us" for every parameter whose value differs between the two
// snapshots, named by the feature catalogue in the camera's terms; commands found in only one
// snapshot are left out.
std::vector<std::string> ChangedParameters(const std::vector<ShownValue>& before,
                                           const std::vector<ShownValue>& after,
                                           const DeviceModel& device);

}  // namespace ctrl
