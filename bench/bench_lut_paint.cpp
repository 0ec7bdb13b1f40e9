// Cost of one repaint of a LUT editor's plot, which runs at every mouse move while the operator
// drags a point: the table recomputed from 16 points plus the drawing, the drawing alone (View
// Mode), and the real widget repaint. Goal: well under 5 ms. Runs offscreen by default.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "camera/online_status.h"
#include "lut/lut_editor.h"
#include "ui/lut_dialog.h"

namespace {

// An S-shaped table turned into the most points the editor holds.
ctrl::LutEditor SixteenPointEditor(int table_index) {
  ctrl::LutEditor editor(table_index);
  for (int i = 0; i < ctrl::kLutEntryCount; ++i) {
    const double s = 0.5 - 0.5 * std::cos(M_PI * i / (ctrl::kLutEntryCount - 1));
    editor.table()[i] = ctrl::ClampLutLevel(std::lround(s * ctrl::kLutMaxLevel));
  }
  editor.ConvertEditable(ctrl::kMaxEditPoints);
  return editor;
}

void Draw(QImage& image, const ctrl::LutEditor& editor) {
  image.fill(Qt::white);
  QPainter painter(&image);
  ctrl::ui::PaintLutPlot(painter, editor);
}

void BM_PlotPaintEditMode(benchmark::State& state) {
  ctrl::LutEditor editor = SixteenPointEditor(ctrl::kRedLut);
  QImage image(ctrl::kPlotSize, ctrl::kPlotSize, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    editor.Refresh();
    Draw(image, editor);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PlotPaintEditMode)->Unit(benchmark::kMicrosecond);

void BM_PlotPaintViewMode(benchmark::State& state) {
  ctrl::LutEditor editor = SixteenPointEditor(ctrl::kBlueLut);
  editor.SetMode(ctrl::LutMode::kView);
  QImage image(ctrl::kPlotSize, ctrl::kPlotSize, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    Draw(image, editor);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PlotPaintViewMode)->Unit(benchmark::kMicrosecond);

// The editor window's plot control repainted through the toolkit, as a mouse move causes it.
void BM_EditorWindowPlotRepaint(benchmark::State& state) {
  ctrl::OnlineStatusPublisher status;
  ctrl::LutEditor editor = SixteenPointEditor(ctrl::kGreenLut);
  CLUTDlg window(editor, status, {});
  window.show();
  QApplication::processEvents();
  QWidget* plot = window.Control(CLUTDlg::kPlot);
  for (auto _ : state) {
    plot->repaint();
  }
}
BENCHMARK(BM_EditorWindowPlotRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
