// Reconnecting: catches a back-off that does not double, passes its ceiling, restarts at the
// long end after a success, or is reset by a second loss report; and a list of changed
// parameters that names raw registers, lists unchanged ones or invents values it never saw.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/clock.h"
#include "camera/feature_catalogue.h"
#include "camera/reconnect.h"

namespace ctrl {
namespace {

constexpr int64_t kMs = 1000;

// Fails every attempt as soon as it is due; returns the pauses between the attempts.
std::vector<int64_t> PausesOfFailures(ReconnectSchedule& schedule, FakeClock& clock, int count) {
  std::vector<int64_t> pauses;
  for (int i = 0; i < count; ++i) {
    EXPECT_TRUE(schedule.Due());
    schedule.Failed();
    const int64_t pause = schedule.UsUntilDue();
    pauses.push_back(pause / kMs);
    clock.AdvanceUs(pause - 1);
    EXPECT_FALSE(schedule.Due()) << "due before its pause is over, after failure " << i + 1;
    clock.AdvanceUs(1);
  }
  return pauses;
}

TEST(ReconnectSchedule, PausesDoubleToTheirCeilingAndStartShortAgain) {
  struct Case {
    const char* name;
    int failures_before;  // failed attempts of an earlier loss, then Stop (the camera is back)
    bool second_start;    // Start() once more while the schedule runs (a second loss report)
    int failures;
    std::vector<int64_t> pauses_ms;
  };
  const Case cases[] = {
      {"first loss", 0, false, 7, {500, 1000, 2000, 4000, 5000, 5000, 5000}},
      {"after a success", 6, false, 3, {500, 1000, 2000}},
      {"loss reported twice", 0, true, 4, {500, 1000, 2000, 4000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock clock(1'000'000);
    ReconnectSchedule schedule(clock);
    EXPECT_FALSE(schedule.Due());
    EXPECT_EQ(schedule.UsUntilDue(), -1);
    if (c.failures_before > 0) {
      schedule.Start();
      PausesOfFailures(schedule, clock, c.failures_before);
      schedule.Stop();
      EXPECT_FALSE(schedule.Due());
    }
    schedule.Start();
    EXPECT_EQ(schedule.UsUntilDue(), 0) << "the first attempt is due at once";
    std::vector<int64_t> pauses;
    if (c.second_start) {
      pauses = PausesOfFailures(schedule, clock, 1);
      schedule.Failed();
      const int64_t waiting = schedule.UsUntilDue();
      schedule.Start();
      EXPECT_EQ(schedule.UsUntilDue(), waiting) << "a running schedule keeps its place";
      clock.AdvanceUs(waiting);
      pauses.push_back(waiting / kMs);
      const std::vector<int64_t> more = PausesOfFailures(schedule, clock, c.failures - 2);
      pauses.insert(pauses.end(), more.begin(), more.end());
    } else {
      pauses = PausesOfFailures(schedule, clock, c.failures);
    }
    EXPECT_EQ(pauses, c.pauses_ms);
  }
}

TEST(ReconnectSchedule, StoppedScheduleIgnoresFailures) {
  FakeClock clock(0);
  ReconnectSchedule schedule(clock);
  schedule.Failed();
  clock.AdvanceUs(60'000'000);
  EXPECT_FALSE(schedule.Due());
  EXPECT_EQ(schedule.UsUntilDue(), -1);
}

TEST(ChangedParameters, NamesWhatDiffersInTheOperatorsTerms) {
  const DeviceModel mono{ModelKind::Mono, "QX-4096M-PCL", 100};
  const int exposure = FindFeature("Exposure Time")->command_id;
  const int pixel_format = FindFeature("Pixel Format")->command_id;
  const int black_level = FindFeature("Black Level")->command_id;
  struct Case {
    const char* name;
    std::vector<ShownValue> before;
    std::vector<ShownValue> after;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"nothing changed",
       {{exposure, 4000}, {pixel_format, 0x010A0046}},
       {{exposure, 4000}, {pixel_format, 0x010A0046}},
       {}},
      {"converted value and item name, in table order",
       {{exposure, 4000}, {black_level, 3}, {pixel_format, 0x010A0046}},
       {{exposure, 8000}, {black_level, 3}, {pixel_format, 12345}},
       {"Exposure Time: 50.0000us \u2192 100.0000us", "Pixel Format: Mono10P \u2192 12345"}},
      {"a parameter seen on one side only",
       {{exposure, 4000}},
       {{exposure, 4000}, {black_level, -7}},
       {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChangedParameters(c.before, c.after, mono), c.lines) << c.name;
  }
}

}  // namespace
}  // namespace ctrl
