// Reconnecting: catches a back-off that does not double, passes its ceiling or keeps its long
// pauses after a success; and a list of changed parameters that names raw registers, lists
// unchanged ones or invents values it never saw.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/clock.h"
#include "camera/feature_catalogue.h"
#include "camera/reconnect.h"

namespace ctrl {
namespace {

// Fails every attempt as soon as it is due; returns the pauses between the attempts in ms.
std::vector<int64_t> PausesOfFailures(ReconnectSchedule& schedule, FakeClock& clock, int count) {
  std::vector<int64_t> pauses;
  for (int i = 0; i < count; ++i) {
    EXPECT_TRUE(schedule.Due());
    schedule.Failed();
    const int64_t pause = schedule.UsUntilDue();
    pauses.push_back(pause / 1000);
    clock.AdvanceUs(pause - 1);
    EXPECT_FALSE(schedule.Due()) << "due before its pause is over, after failure " << i + 1;
    clock.AdvanceUs(1);
  }
  return pauses;
}

TEST(ReconnectSchedule, PausesDoubleToTheirCeilingAndStartShortAgain) {
  FakeClock clock(1'000'000);
  ReconnectSchedule schedule(clock);
  EXPECT_FALSE(schedule.Due());
  EXPECT_EQ(schedule.UsUntilDue(), -1);
  schedule.Start();
  EXPECT_EQ(schedule.UsUntilDue(), 0) << "the first attempt is due at once";
  EXPECT_EQ(PausesOfFailures(schedule, clock, 7),
            (std::vector<int64_t>{500, 1000, 2000, 4000, 5000, 5000, 5000}));
  schedule.Start();  // a second loss report while it runs keeps its place
  EXPECT_EQ(PausesOfFailures(schedule, clock, 1), std::vector<int64_t>{5000});
  // The camera came back; the next loss starts short again.
  schedule.Stop();
  EXPECT_FALSE(schedule.Due());
  schedule.Start();
  EXPECT_EQ(PausesOfFailures(schedule, clock, 3), (std::vector<int64_t>{500, 1000, 2000}));
  // The device came back in the middle of a pause: an attempt is due now, and a failure goes
  // on with the pause where it stood; a stopped schedule takes no such sign.
  schedule.Failed();
  clock.AdvanceUs(1000);
  schedule.AttemptNow();
  EXPECT_TRUE(schedule.Due());
  EXPECT_EQ(PausesOfFailures(schedule, clock, 1), std::vector<int64_t>{5000});
  schedule.Stop();
  schedule.AttemptNow();
  EXPECT_FALSE(schedule.Due());
}

TEST(ChangedParameters, NamesWhatDiffersInTheOperatorsTerms) {
  const DeviceModel mono{ModelKind::Mono, "QX-4096M-PCL", 100};
  const int exposure = FindFeature("Exposure Time")->command_id;
  const int pixel_format = FindFeature("Pixel Format")->command_id;
  const int black_level = FindFeature("Black Level")->command_id;
  struct Case {
    const char* name;
    std::vector<ShownValue> before, after;
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
