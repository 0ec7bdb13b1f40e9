#pragma once

#include <QColor>
#include <QDialog>
#include <QFrame>
#include <functional>
#include <map>

#include "camera/online_status.h"
#include "lut/lut_editor.h"

class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;

namespace ctrl::ui {
class SpinArrows;
class StatusStrip;

// Colour of a table's curve: red, green (also on a monochrome camera) or blue.
QColor LutCurveColour(int table_index);

// Draws the plot of one editor into a 256 x 256 area at the painter's origin: the grid, in Edit
// Mode the edit point circles, and the curve of what the table holds. The table is drawn as it
// is; the caller refreshes it from the points first.
void PaintLutPlot(QPainter& painter, const LutEditor& editor);

// The plot control: a sunken frame whose 256 x 256 client area shows the editor's table. Mouse
// input goes to the dialog underneath, which measures it from the frame's outer corner.
class LutPlot final : public QFrame {
  Q_OBJECT

 public:
  LutPlot(LutEditor& editor, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  LutEditor& editor_;
};

}  // namespace ctrl::ui

// One LUT editor window: the curve of one table, its edit points under the mouse, and the
// buttons that read it from the camera, write it back, clear it and turn it into edit points.
// Created hidden at start-up; closing it only hides it.
class CLUTDlg final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWriteButton = 1054;
  static constexpr int kClearButton = 1055;
  static constexpr int kPlot = 1056;
  static constexpr int kConvertButton = 1057;
  static constexpr int kStatusStrip = 1067;
  static constexpr int kReadButton = 1133;
  static constexpr int kPointCountEdit = 1134;
  static constexpr int kPointCountSpin = 1135;
  static constexpr int kModeLabel = 1136;

  // What the transfer buttons run; given the window's table index.
  struct Actions {
    std::function<void(int)> read_table;
    std::function<void(int)> write_table;
  };

  CLUTDlg(ctrl::LutEditor& editor, ctrl::OnlineStatusPublisher& status, Actions actions);
  ~CLUTDlg() override;

  int table_index() const { return editor_.table_index(); }
  ctrl::LutEditor& editor() { return editor_; }
  // The control with this id; nullptr for none.
  QWidget* Control(int control_id) const;
  int point_count() const;

  // Shows the editor's mode and repaints the curve.
  void ShowModeAndRedraw();

  void ReadTableData();
  void WriteTableData();
  void ClearTableData();
  void ConvertEditable();

 public slots:
  void accept() override {}  // Enter does nothing here

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Edit(QMouseEvent* event);
  void StepPointCount(int step);
  void Register(int control_id, QWidget* control) { controls_[control_id] = control; }

  ctrl::LutEditor& editor_;
  Actions actions_;
  std::map<int, QWidget*> controls_;
  ctrl::ui::LutPlot* plot_;
  QLabel* mode_;
  QLineEdit* count_edit_;
  ctrl::ui::SpinArrows* count_spin_;
  ctrl::ui::StatusStrip* status_strip_;
};
