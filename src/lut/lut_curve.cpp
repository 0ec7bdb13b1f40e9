#include "lut/lut_curve.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ctrl {

NaturalCubicSpline::NaturalCubicSpline(std::span<const double> values)
    : a_(values.begin(), values.end()) {
  const int n = static_cast<int>(a_.size());
  if (n < 2) return;
  // c[k-1] + 4 c[k] + c[k+1] = 3 (v[k+1] - 2 v[k] + v[k-1]), c[0] = c[n-1] = 0, solved by
  // forward elimination and back substitution.
  c_.assign(n, 0.0);
  std::vector<double> diagonal(n, 4.0);
  std::vector<double> rhs(n, 0.0);
  for (int k = 1; k <= n - 2; ++k) rhs[k] = 3.0 * (a_[k + 1] - 2.0 * a_[k] + a_[k - 1]);
  for (int k = 2; k <= n - 2; ++k) {
    const double factor = 1.0 / diagonal[k - 1];
    diagonal[k] -= factor;
    rhs[k] -= factor * rhs[k - 1];
  }
  for (int k = n - 2; k >= 1; --k) {
    const double next = k + 1 <= n - 2 ? c_[k + 1] : 0.0;
    c_[k] = (rhs[k] - next) / diagonal[k];
  }
  b_.assign(n - 1, 0.0);
  d_.assign(n - 1, 0.0);
  for (int k = 0; k < n - 1; ++k) {
    d_[k] = (c_[k + 1] - c_[k]) / 3.0;
    b_[k] = a_[k + 1] - a_[k] - c_[k] - d_[k];
  }
}

double NaturalCubicSpline::Evaluate(double t) const {
  const int n = static_cast<int>(a_.size());
  if (n == 0) return 0.0;
  if (n == 1) return a_[0];
  const int segment = std::clamp(static_cast<int>(std::floor(t)), 0, n - 2);
  const double s = t - segment;
  return a_[segment] + s * (b_[segment] + s * (c_[segment] + s * d_[segment]));
}

CurveSamples SampleCurve(std::span<const EditPoint> points) {
  CurveSamples samples;
  const int n = static_cast<int>(points.size());
  if (n < kMinEditPoints) return samples;
  std::vector<double> xs, ys;
  for (const EditPoint& p : points) {
    xs.push_back(p.x);
    ys.push_back(p.y);
  }
  const NaturalCubicSpline x_of_t(xs);
  const NaturalCubicSpline y_of_t(ys);
  const size_t expected = static_cast<size_t>(n / kCurveSampleStep) + 2;
  samples.input_level.reserve(expected);
  samples.plot_y.reserve(expected);
  // The step is accumulated, not multiplied, so the sample positions match the editor's curve
  // to the last bit.
  for (double t = 0.0; t <= n; t += kCurveSampleStep) {
    samples.input_level.push_back(16.0 * x_of_t.Evaluate(t));
    samples.plot_y.push_back(y_of_t.Evaluate(t));
  }
  return samples;
}

int32_t OutputLevelOfPlotY(double plot_y) {
  const double level = (kPlotSize - plot_y) * 16.0;
  if (!(level > 0.0)) return 0;  // below the plot's bottom, or not a number
  if (level >= kLutMaxLevel) return kLutMaxLevel;
  return static_cast<int32_t>(level);
}

namespace {

// A stretch of samples whose input levels never change direction.
struct MonotoneRun {
  size_t begin = 0;
  size_t end = 0;  // one past the last sample
  bool increasing = true;
  double low = 0.0;
  double high = 0.0;
  size_t cursor = 0;  // first sample on the far side of the current level
};

std::vector<MonotoneRun> SplitIntoMonotoneRuns(const std::vector<double>& levels) {
  std::vector<MonotoneRun> runs;
  size_t begin = 0;
  while (begin < levels.size()) {
    size_t end = begin + 1;
    int direction = 0;  // 0 while every level so far is equal
    while (end < levels.size()) {
      const double step = levels[end] - levels[end - 1];
      const int step_direction = step > 0 ? 1 : (step < 0 ? -1 : 0);
      if (direction == 0) {
        direction = step_direction;
      } else if (step_direction != 0 && step_direction != direction) {
        break;
      }
      ++end;
    }
    MonotoneRun run;
    run.begin = begin;
    run.end = end;
    run.increasing = direction >= 0;
    run.low = run.increasing ? levels[begin] : levels[end - 1];
    run.high = run.increasing ? levels[end - 1] : levels[begin];
    run.cursor = run.increasing ? begin : end;
    runs.push_back(run);
    begin = end;
  }
  return runs;
}

int TruncatedDistance(int level, double sample_level) {
  return static_cast<int>(std::fabs(level - sample_level));
}

// Within one run: the smallest truncated distance to `level` and the first sample that has it.
// Returns false when the run cannot beat `best_distance`.
bool NearestInRun(const std::vector<double>& levels, MonotoneRun& run, int level, int best_distance,
                  int& distance, size_t& index) {
  // Levels only grow, so the cursor of a run only moves one way.
  size_t split;
  if (run.increasing) {
    while (run.cursor < run.end && levels[run.cursor] < level) ++run.cursor;
  } else {
    while (run.cursor > run.begin && levels[run.cursor - 1] <= level) --run.cursor;
  }
  split = run.cursor;
  // Before the split the distance shrinks sample by sample; from the split on it grows.
  const int before = split > run.begin ? TruncatedDistance(level, levels[split - 1])
                                       : std::numeric_limits<int>::max();
  const int after =
      split < run.end ? TruncatedDistance(level, levels[split]) : std::numeric_limits<int>::max();
  distance = std::min(before, after);
  if (distance >= best_distance) return false;
  if (before == distance) {
    const double limit = distance + 1.0;
    auto first = std::partition_point(
        levels.begin() + static_cast<std::ptrdiff_t>(run.begin),
        levels.begin() + static_cast<std::ptrdiff_t>(split),
        [&](double sample_level) { return std::fabs(level - sample_level) >= limit; });
    index = static_cast<size_t>(first - levels.begin());
  } else {
    index = split;
  }
  return true;
}

}  // namespace

LutTable LutTableFromPoints(std::span<const EditPoint> points) {
  LutTable table{};
  const CurveSamples samples = SampleCurve(points);
  if (samples.input_level.empty()) return table;
  std::vector<MonotoneRun> runs = SplitIntoMonotoneRuns(samples.input_level);
  for (int level = 0; level < kLutEntryCount; ++level) {
    int best_distance = std::numeric_limits<int>::max();
    size_t best_index = 0;
    for (MonotoneRun& run : runs) {
      // An earlier run keeps a tie, so a later one must be strictly closer.
      const double gap =
          level < run.low ? run.low - level : (level > run.high ? level - run.high : 0);
      if (static_cast<int>(gap) >= best_distance) continue;
      int distance;
      size_t index;
      if (NearestInRun(samples.input_level, run, level, best_distance, distance, index)) {
        best_distance = distance;
        best_index = index;
      }
    }
    table[level] = OutputLevelOfPlotY(samples.plot_y[best_index]);
  }
  return table;
}

LutTable LutTableFromPointsByFullScan(std::span<const EditPoint> points) {
  LutTable table{};
  const CurveSamples samples = SampleCurve(points);
  if (samples.input_level.empty()) return table;
  for (int level = 0; level < kLutEntryCount; ++level) {
    int best = 999999;
    size_t chosen = 0;
    for (size_t j = 0; j < samples.input_level.size(); ++j) {
      const double distance = std::fabs(level - samples.input_level[j]);
      if (distance < best) {
        best = static_cast<int>(distance);
        chosen = j;
      }
    }
    table[level] = OutputLevelOfPlotY(samples.plot_y[chosen]);
  }
  return table;
}

void SortEditPoints(std::vector<EditPoint>& points) {
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = 0; j < points.size(); ++j) {
      if (points[i].x < points[j].x) std::swap(points[i], points[j]);
    }
  }
}

std::vector<EditPoint> EditPointsFromTable(const LutTable& table, int count) {
  count = std::clamp(count, kMinEditPoints, kMaxEditPoints);
  std::vector<EditPoint> points;
  for (int k = 0; k <= count - 2; ++k) {
    const int x = static_cast<int>(static_cast<float>(k) * static_cast<float>(kPlotSize) /
                                   static_cast<float>(count - 1));
    const int entry = std::min(16 * x, kLutEntryCount - 1);
    const int y = static_cast<int>(kPlotSize - table[entry] * 0.0625);
    points.push_back({x, y});
  }
  points.push_back({kPlotSize, 0});
  return points;
}

std::vector<EditPoint> DefaultEditPoints() {
  return {{0, kPlotSize}, {kPlotSize, 0}};
}

}  // namespace ctrl
