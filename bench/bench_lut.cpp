// Cost of turning the LUT editor's points into a table, which happens at every repaint while the
// operator drags a point: the fast computation against the full scan of every sample per level.
#include <benchmark/benchmark.h>

#include <vector>

#include "lut/lut_curve.h"

namespace {

// Sixteen points (the most the editor holds): an S-shaped curve with a steep middle, so the
// x spline overshoots and doubles back between close points.
std::vector<ctrl::EditPoint> SixteenPoints() {
  return {{0, 256},   {10, 250}, {24, 246}, {40, 238}, {60, 226}, {80, 200}, {100, 160}, {110, 130},
          {116, 110}, {124, 90}, {140, 60}, {160, 40}, {190, 24}, {220, 12}, {240, 6},   {256, 0}};
}

void BM_LutTableFromPointsFast(benchmark::State& state) {
  const std::vector<ctrl::EditPoint> points = SixteenPoints();
  for (auto _ : state) {
    ctrl::LutTable table = ctrl::LutTableFromPoints(points);
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_LutTableFromPointsFast)->Unit(benchmark::kMicrosecond);

void BM_LutTableFromPointsFullScan(benchmark::State& state) {
  const std::vector<ctrl::EditPoint> points = SixteenPoints();
  for (auto _ : state) {
    ctrl::LutTable table = ctrl::LutTableFromPointsByFullScan(points);
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_LutTableFromPointsFullScan)->Unit(benchmark::kMicrosecond);

// The sampling alone, which both share.
void BM_LutSampleCurve(benchmark::State& state) {
  const std::vector<ctrl::EditPoint> points = SixteenPoints();
  for (auto _ : state) {
    ctrl::CurveSamples samples = ctrl::SampleCurve(points);
    benchmark::DoNotOptimize(samples.plot_y.data());
  }
}
BENCHMARK(BM_LutSampleCurve)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
