// Where the communication window goes beside the main window, on screens of several sizes.
#include "ui/window_placement.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct PlacementCase {
  const char* name;
  QRect screen;  // available area
  QRect main_window;
  QSize companion;
  QPoint expected;
};

void PrintTo(const PlacementCase& c, std::ostream* out) {
  *out << c.name;
}

// The communication window's frame at its natural size.
const QSize kCommunication(508, 567);

const PlacementCase kCases[] = {
    {"room on the right", {0, 0, 1920, 1080}, {0, 0, 1281, 473}, kCommunication, {1289, 0}},
    {"main window at the right edge goes left",
     {0, 0, 1920, 1080},
     {639, 100, 1281, 473},
     kCommunication,
     {123, 100}},
    {"neither side, room below", {0, 0, 1920, 1080}, {0, 0, 1900, 300}, kCommunication, {0, 308}},
    {"centred on 1920x1080: nothing fits, the right side overlaps least",
     {0, 0, 1920, 1080},
     {310, 264, 1281, 473},
     kCommunication,
     {1412, 264}},
    {"small screen: below, pulled up onto the screen",
     {0, 0, 1024, 768},
     {0, 0, 1000, 473},
     kCommunication,
     {0, 201}},
    {"2560x1440 at scale 2 (1280x720): main window wider than the screen, above overlaps least",
     {0, 0, 1280, 720},
     {0, 124, 1281, 473},
     kCommunication,
     {0, 0}},
    {"main window low on the screen: beside it, pulled up",
     {0, 0, 1920, 1080},
     {0, 900, 1000, 170},
     kCommunication,
     {1008, 513}},
    {"taller than the screen: its top stays on the screen",
     {0, 0, 1280, 720},
     {0, 0, 600, 400},
     {508, 900},
     {608, 0}},
    {"second screen right of the first, with a task bar",
     {1920, 0, 1920, 1040},
     {2000, 100, 800, 400},
     kCommunication,
     {2808, 100}},
    {"second screen: no room on the left of its left edge, below instead",
     {1920, 0, 1920, 1040},
     {1920, 0, 1700, 400},
     kCommunication,
     {1920, 408}},
};

class PlacementTest : public testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, PlacesTheCompanionOnTheScreen) {
  const PlacementCase& c = GetParam();
  const QPoint place = ctrl::ui::PlaceBeside(c.main_window, c.companion, c.screen);
  EXPECT_EQ(place.x(), c.expected.x());
  EXPECT_EQ(place.y(), c.expected.y());
  EXPECT_GE(place.x(), c.screen.left());
  EXPECT_GE(place.y(), c.screen.top());
}

INSTANTIATE_TEST_SUITE_P(Screens, PlacementTest, testing::ValuesIn(kCases));

// When the main window may move too: the two never overlap where they fit on the screen side by
// side or one above the other, and both stay on it.
TEST(PlaceTogether, KeepsBothOnTheScreenApartWhereTheyFit) {
  struct Case {
    const char* name;
    QRect screen;
    QRect main_window;
    bool apart;  // the two fit without overlapping
    QPoint main_expected;
  };
  const Case cases[] = {
      {"room on the right: the main window stays",
       {0, 0, 1920, 1080},
       {0, 0, 1281, 473},
       true,
       {0, 0}},
      {"centred on 1920x1080: the pair is centred instead",
       {0, 0, 1920, 1080},
       {310, 264, 1281, 473},
       true,
       {61, 264}},
      {"1280x1024: one above the other", {0, 0, 1280, 1024}, {0, 236, 1100, 400}, true, {0, 24}},
      {"1280x720 (2560x1440 at scale 2): no way apart, both on it",
       {0, 0, 1280, 720},
       {0, 124, 1281, 473},
       false,
       {0, 124}},
      {"second screen, centred there",
       {1920, 0, 1920, 1040},
       {2230, 200, 1281, 473},
       true,
       {1981, 200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ctrl::ui::WindowPair pair =
        ctrl::ui::PlaceTogether(c.main_window, kCommunication, c.screen);
    EXPECT_EQ(pair.main_window, c.main_expected);
    const QRect main_window(pair.main_window, c.main_window.size());
    const QRect companion(pair.companion, kCommunication);
    EXPECT_EQ(!main_window.intersects(companion), c.apart);
    EXPECT_TRUE(c.screen.contains(companion)) << companion.x() << "," << companion.y();
    EXPECT_GE(main_window.left(), c.screen.left());
    EXPECT_GE(main_window.top(), c.screen.top());
  }
}

}  // namespace
