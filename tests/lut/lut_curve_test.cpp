// Catches a wrong spline, a curve that turns into a wrong table (also where it leaves the plot),
// a fast table that picks other samples than the full scan, and edit rules that add, move or
// delete the wrong point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "lut/lut_editor.h"

namespace ctrl {
namespace {

int MaxDeviationFromIdentity(const LutTable& table) {
  int worst = 0;
  for (int i = 0; i < kLutEntryCount; ++i) worst = std::max(worst, std::abs(table[i] - i));
  return worst;
}

TEST(LutSpline, NaturalSplinePassesThroughItsValuesWithStraightEnds) {
  const std::vector<double> values = {0, 40, 10, 90, 60};
  NaturalCubicSpline spline(values);
  for (size_t k = 0; k < values.size(); ++k) EXPECT_NEAR(spline.Evaluate(k), values[k], 1e-9);
  auto second_derivative = [&](double t) {
    const double h = 1e-3;
    return (spline.Evaluate(t + h) - 2 * spline.Evaluate(t) + spline.Evaluate(t - h)) / (h * h);
  };
  EXPECT_NEAR(second_derivative(0.001), 0.0, 0.5);
  EXPECT_NEAR(second_derivative(3.999), 0.0, 0.5);
  // Smooth inside: the slope from both sides of a knot agrees.
  const double h = 1e-6;
  EXPECT_NEAR((spline.Evaluate(2) - spline.Evaluate(2 - h)) / h,
              (spline.Evaluate(2 + h) - spline.Evaluate(2)) / h, 1e-3);

  // Values on a line give the line, also past the last knot.
  NaturalCubicSpline line(std::vector<double>{3, 5, 7, 9});
  EXPECT_NEAR(line.Evaluate(1.5), 6.0, 1e-12);
  EXPECT_NEAR(line.Evaluate(3.5), 10.0, 1e-12);
}

TEST(LutSpline, SamplesRunToThePointCountInSteps) {
  const std::vector<EditPoint> two = DefaultEditPoints();
  const CurveSamples samples = SampleCurve(two);
  ASSERT_GE(samples.input_level.size(), 1000u);
  ASSERT_LE(samples.input_level.size(), 1001u);
  EXPECT_DOUBLE_EQ(samples.input_level[1], 16 * 256 * 0.002);
  EXPECT_NEAR(samples.plot_y[500], 256 - 256 * 1.0, 1e-6);  // t = 1, the second point
  const std::vector<EditPoint> sixteen(16, EditPoint{100, 100});
  EXPECT_LE(SampleCurve(sixteen).input_level.size(), 8001u);
}

TEST(LutSpline, OutputLevelsOutsideThePlotAreLimited) {
  EXPECT_EQ(OutputLevelOfPlotY(256.0), 0);
  EXPECT_EQ(OutputLevelOfPlotY(0.0), 4095);
  EXPECT_EQ(OutputLevelOfPlotY(128.0), 2048);
  EXPECT_EQ(OutputLevelOfPlotY(127.99), 2048);  // truncated
  EXPECT_EQ(OutputLevelOfPlotY(-20.0), 4095);
  EXPECT_EQ(OutputLevelOfPlotY(280.0), 0);  // below the bottom: a negative output
}

TEST(LutCurve, CurveDippingBelowTheBottomStoresZeroNotFullScale) {
  // Y through 256, 256, 0 overshoots to about 280 near t = 0.58 (input level about 1180).
  const std::vector<EditPoint> points = {{0, 256}, {128, 256}, {256, 0}};
  const LutTable table = LutTableFromPoints(points);
  EXPECT_EQ(table[1180], 0);
  for (int i = 0; i < 2048; ++i) ASSERT_LT(table[i], 100) << i;
  EXPECT_GT(table[4000], 3800);
}

// The fast table must pick the same samples as the full scan. Random point sets, sorted as the
// editor keeps them, with narrow x ranges that give equal x values and curves that double back.
TEST(LutCurve, FastTableMatchesTheFullScanExactly) {
  std::mt19937 random(20240607);
  constexpr int kSets = 120;
  std::vector<std::vector<EditPoint>> point_sets = {
      // A curve that comes back on itself: entry 145 is as near to a sample of the first run as
      // to one of a later run, and the earlier run wins the tie.
      {{9, 5}, {17, 155}, {187, 126}, {256, 118}},
  };
  for (int set = 0; set < kSets; ++set) {
    const int count = 2 + static_cast<int>(random() % 15);
    const int x_span = set % 3 == 0 ? 24 : 257;
    std::vector<EditPoint> points;
    for (int k = 0; k < count; ++k) {
      points.push_back({static_cast<int32_t>(random() % x_span) + (set % 5 == 0 ? 100 : 0),
                        static_cast<int32_t>(random() % 257)});
    }
    SortEditPoints(points);
    point_sets.push_back(std::move(points));
  }
  for (size_t set = 0; set < point_sets.size(); ++set) {
    const LutTable fast = LutTableFromPoints(point_sets[set]);
    const LutTable reference = LutTableFromPointsByFullScan(point_sets[set]);
    for (int i = 0; i < kLutEntryCount; ++i) {
      ASSERT_EQ(fast[i], reference[i]) << "set " << set << ", entry " << i;
    }
  }
  EXPECT_EQ(LutTableFromPoints(point_sets[0])[145], 4016);
}

TEST(LutCurve, SortOrdersByAscendingX) {
  std::vector<EditPoint> points = {{200, 1}, {0, 2}, {90, 3}, {256, 4}, {90, 5}, {10, 6}};
  SortEditPoints(points);
  for (size_t k = 1; k < points.size(); ++k) EXPECT_LE(points[k - 1].x, points[k].x);
  EXPECT_EQ(points.front(), (EditPoint{0, 2}));
  EXPECT_EQ(points.back(), (EditPoint{256, 4}));
}

TEST(LutEditor, NewEditorIsAStraightLineInEditMode) {
  LutEditor editor(kGreenLut);
  EXPECT_EQ(editor.mode(), LutMode::kEdit);
  EXPECT_EQ(editor.points(), DefaultEditPoints());
  EXPECT_EQ(editor.table(), LutTable{});  // nothing computed before the first repaint
  editor.Refresh();
  const LutTable& table = editor.table();
  EXPECT_EQ(table[0], 0);
  EXPECT_LE(MaxDeviationFromIdentity(table), 5);
  EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));
  EXPECT_GT(table[4095], 4085);
}

TEST(LutEditor, LeftButtonAddsFarFromPointsAndMovesNearOne) {
  LutEditor editor(kRedLut);
  // Press over an empty part of the plot: a point is added there...
  EXPECT_TRUE(editor.OnMouseMove(kPlotOriginX + 128, kPlotOriginY + 40, MouseButtons::kLeftOnly));
  ASSERT_EQ(editor.points().size(), 3u);
  EXPECT_EQ(editor.points()[1], (EditPoint{128, 40}));
  // ...and follows the mouse while the button stays down.
  EXPECT_TRUE(editor.OnMouseMove(kPlotOriginX + 140, kPlotOriginY + 60, MouseButtons::kLeftOnly));
  ASSERT_EQ(editor.points().size(), 3u);
  EXPECT_EQ(editor.points()[1], (EditPoint{140, 60}));
  // Dragging it past another point reorders the points; the first point within reach is the one
  // that moves.
  EXPECT_TRUE(editor.AddOrMovePoint(200, 120));
  ASSERT_EQ(editor.points().size(), 4u);
  for (int x : {170, 200, 230}) EXPECT_TRUE(editor.AddOrMovePoint(x, 60));
  EXPECT_EQ(editor.points(), (std::vector<EditPoint>{{0, 256}, {200, 120}, {230, 60}, {256, 0}}));
}

TEST(LutEditor, MouseOutsideThePlotOrWithOtherButtonsIsIgnored) {
  LutEditor editor(kRedLut);
  EXPECT_FALSE(editor.OnMouseMove(kPlotOriginX + 257, kPlotOriginY + 100, MouseButtons::kLeftOnly));
  EXPECT_FALSE(editor.OnMouseMove(kPlotOriginX + 100, kPlotOriginY - 1, MouseButtons::kLeftOnly));
  EXPECT_FALSE(editor.OnMouseMove(kPlotOriginX + 100, kPlotOriginY + 100, MouseButtons::kOther));
  EXPECT_FALSE(editor.OnMouseMove(kPlotOriginX + 100, kPlotOriginY + 100, MouseButtons::kNone));
  EXPECT_EQ(editor.points(), DefaultEditPoints());
  // Both edges belong to the plot.
  EXPECT_TRUE(editor.OnMouseMove(kPlotOriginX + 256, kPlotOriginY + 256, MouseButtons::kLeftOnly));
  EXPECT_EQ(editor.points().size(), 3u);
}

TEST(LutEditor, AddingStopsAtFifteenPointsButMovingGoesOn) {
  LutEditor editor(kRedLut);
  // Neighbours alternate between two heights so no new point lands within reach of another.
  for (int k = 1; k <= 13; ++k) ASSERT_TRUE(editor.AddOrMovePoint(k * 18, k % 2 ? 200 : 60));
  ASSERT_EQ(editor.points().size(), 15u);
  // (120, 0) is more than 32 pixels from every point.
  EXPECT_FALSE(editor.AddOrMovePoint(120, 0));
  EXPECT_EQ(editor.points().size(), 15u);
  EXPECT_TRUE(editor.AddOrMovePoint(18, 190));
  EXPECT_EQ(editor.points()[1], (EditPoint{18, 190}));
}

TEST(LutEditor, RightButtonDeletesOnlyInnerPointsWithinReach) {
  LutEditor editor(kRedLut);
  EXPECT_FALSE(editor.DeletePointNear(0, 256));  // two points: nothing is ever deleted
  ASSERT_TRUE(editor.AddOrMovePoint(100, 100));
  ASSERT_TRUE(editor.AddOrMovePoint(180, 60));
  EXPECT_FALSE(editor.DeletePointNear(2, 250));    // the end point stays
  EXPECT_FALSE(editor.DeletePointNear(117, 100));  // 17 pixels away
  EXPECT_TRUE(editor.OnMouseMove(kPlotOriginX + 116, kPlotOriginY + 84, MouseButtons::kRightOnly));
  EXPECT_EQ(editor.points(), (std::vector<EditPoint>{{0, 256}, {180, 60}, {256, 0}}));
}

TEST(LutEditor, EditsInViewModeLeaveTheTableAlone) {
  LutEditor editor(kBlueLut);
  editor.table().fill(1000);
  editor.SetMode(LutMode::kView);
  EXPECT_TRUE(editor.AddOrMovePoint(128, 0));
  editor.Refresh();
  EXPECT_EQ(editor.table()[0], 1000);
  EXPECT_EQ(editor.table()[4095], 1000);
}

TEST(LutEditor, ClearTableDataReturnsToTheStraightLine) {
  LutEditor editor(kBlueLut);
  ASSERT_TRUE(editor.AddOrMovePoint(128, 0));
  editor.SetMode(LutMode::kView);
  editor.ClearTableData();
  EXPECT_EQ(editor.mode(), LutMode::kEdit);
  EXPECT_EQ(editor.points(), DefaultEditPoints());
  EXPECT_LE(MaxDeviationFromIdentity(editor.table()), 5);
}

TEST(LutEditor, ConvertEditableFollowsTheTable) {
  LutEditor editor(kGreenLut);
  editor.table().fill(0);
  editor.table()[0] = 800;
  editor.SetMode(LutMode::kView);
  editor.ConvertEditable(2);
  EXPECT_EQ(editor.mode(), LutMode::kEdit);
  EXPECT_EQ(editor.points(), (std::vector<EditPoint>{{0, 256 - 800 / 16}, {256, 0}}));

  // The identity table comes back within one level through eight points.
  for (int i = 0; i < kLutEntryCount; ++i) editor.table()[i] = i;
  editor.SetMode(LutMode::kView);
  editor.ConvertEditable(kDefaultConvertPointCount);
  EXPECT_EQ(
      editor.points(),
      (std::vector<EditPoint>{
          {0, 256}, {36, 220}, {73, 183}, {109, 147}, {146, 110}, {182, 74}, {219, 37}, {256, 0}}));
  EXPECT_LE(MaxDeviationFromIdentity(editor.table()), 1);

  // The count is held to 2..16.
  editor.ConvertEditable(40);
  EXPECT_EQ(editor.points().size(), 16u);
}

TEST(LutEditor, BankSwitchesModesAndTellsTheDisplay) {
  struct Display final : LutDisplay {
    void TableChanged(int table_index) override { changed.push_back(table_index); }
    std::vector<int> changed;
  } display;
  LutBank bank;
  bank.set_display(&display);
  bank.SetModeAndRedraw(kBlueLut, LutMode::kView);
  EXPECT_EQ(bank.editor(kBlueLut).mode(), LutMode::kView);
  EXPECT_EQ(bank.editor(kBlueLut).table_index(), kBlueLut);
  EXPECT_EQ(display.changed, std::vector<int>{kBlueLut});
  bank.SetModeAndRedraw(kRedLut, LutMode::kEdit);
  EXPECT_LE(MaxDeviationFromIdentity(bank.table(kRedLut)), 5);
}

}  // namespace
}  // namespace ctrl
