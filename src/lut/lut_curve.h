#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lut/lut_table.h"

namespace ctrl {

// The editor's plot is 256 x 256 pixels, y growing downwards; input level i sits at x = i / 16
// and a plot height y stands for the output level (256 - y) * 16.
inline constexpr int kPlotSize = 256;
inline constexpr int kMaxEditPoints = 16;
inline constexpr int kMinEditPoints = 2;
// Parameter step between two curve samples; a curve of n points has about n / step samples.
inline constexpr double kCurveSampleStep = 0.002;

// A control point of the curve in plot pixels.
struct EditPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const EditPoint&, const EditPoint&) = default;
};

// A natural cubic spline over the parameter t = 0, 1, ..., n - 1 (unit spacing). Outside that
// range the first or last segment is extended.
class NaturalCubicSpline {
 public:
  explicit NaturalCubicSpline(std::span<const double> values);
  double Evaluate(double t) const;

 private:
  std::vector<double> a_, b_, c_, d_;
};

// The curve through the points sampled at t = 0, 0.002, ... up to the point count: for every
// sample the input level it stands for (16 x X(t)) and its plot height Y(t).
struct CurveSamples {
  std::vector<double> input_level;
  std::vector<double> plot_y;
};
CurveSamples SampleCurve(std::span<const EditPoint> points);

// Output level of a curve point at plot height y: (256 - y) x 16 truncated, limited to 0..4095.
// A curve that dips below the plot's bottom gives 0.
int32_t OutputLevelOfPlotY(double plot_y);

// The table the points describe: for every input level the output level of the nearest curve
// sample, where "nearest" compares distances truncated to whole levels and the earliest sample
// along the curve wins a tie. Runs in time proportional to the samples plus the levels times the
// monotone stretches of the curve. Fewer than two points give an all-zero table.
LutTable LutTableFromPoints(std::span<const EditPoint> points);

// The same table by comparing every sample with every input level (about 33 million distances
// for 16 points). Kept as the reference the fast computation is checked and timed against.
LutTable LutTableFromPointsByFullScan(std::span<const EditPoint> points);

// Orders the points by ascending x (an exchange sort over all pairs, as the editor has always
// ordered them, so points of equal x keep the order that sort gives them).
void SortEditPoints(std::vector<EditPoint>& points);

// Edit points that follow a table: count - 1 points spread evenly from x = 0 with the height of
// the table there, and (256, 0) as the last. `count` is limited to 2..16.
std::vector<EditPoint> EditPointsFromTable(const LutTable& table, int count);

// The straight line from the plot's bottom-left to its top-right corner.
std::vector<EditPoint> DefaultEditPoints();

}  // namespace ctrl
