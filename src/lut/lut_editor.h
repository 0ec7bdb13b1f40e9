#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "lut/lut_curve.h"
#include "lut/lut_table.h"

namespace ctrl {

// Where the plot sits in the editor window: mouse positions arrive in window coordinates and
// count only over the plot, both edges included.
inline constexpr int kPlotOriginX = 160;
inline constexpr int kPlotOriginY = 20;
// How close (per axis, in pixels) the mouse must be to grab a point, and to delete one.
inline constexpr int kGrabTolerance = 32;
inline constexpr int kDeleteTolerance = 16;
// Adding stops once this many points exist; "Convert Editable" may still make up to 16.
inline constexpr int kAddPointLimit = 15;
inline constexpr int kDefaultConvertPointCount = 8;

// Button state during a mouse move; only one button alone edits.
enum class MouseButtons { kNone, kLeftOnly, kRightOnly, kOther };

// One LUT editor window without the drawing: its table, its edit points and its mode. In Edit
// Mode the table follows the points; every operation that changes the points recomputes it, and
// the window calls Refresh() when it repaints. A new editor is in Edit Mode with the straight
// line, but its table stays all 0 until the first repaint.
class LutEditor {
 public:
  explicit LutEditor(int table_index);

  int table_index() const { return table_index_; }
  LutMode mode() const { return mode_; }
  const LutTable& table() const { return table_; }
  // Direct access for loads from a file or the camera; callers switch to View Mode so the
  // entries are not replaced by the curve at the next repaint.
  LutTable& table() { return table_; }
  const std::vector<EditPoint>& points() const { return points_; }

  // Entering Edit Mode makes the table follow the points at once.
  void SetMode(LutMode mode);
  // The repaint: in Edit Mode the table is recomputed from the points.
  void Refresh();

  // A mouse move at window coordinates; true when the points changed (the window repaints).
  bool OnMouseMove(int window_x, int window_y, MouseButtons buttons);
  // Left button at plot coordinates: moves the first point within reach, else adds one.
  bool AddOrMovePoint(int x, int y);
  // Right button at plot coordinates: removes the first inner point within reach; the two end
  // points are never removed.
  bool DeletePointNear(int x, int y);

  // "Clear Table Data": back to the straight line, Edit Mode.
  void ClearTableData();
  // "Convert Editable": `count` points (2..16) that follow the current table, Edit Mode.
  void ConvertEditable(int count);

 private:
  int table_index_;
  LutMode mode_ = LutMode::kEdit;
  LutTable table_{};
  std::vector<EditPoint> points_;
};

// What the windows do when the core changes a table under them: show the mode and repaint.
class LutDisplay {
 public:
  virtual ~LutDisplay() = default;
  virtual void TableChanged(int table_index) = 0;
};

// The three tables of the tool with their editors, as file loads and camera transfers see them.
class LutBank {
 public:
  LutBank();

  LutEditor& editor(int table_index) { return editors_[table_index]; }
  const LutEditor& editor(int table_index) const { return editors_[table_index]; }
  LutTable& table(int table_index) { return editors_[table_index].table(); }
  const LutTable& table(int table_index) const { return editors_[table_index].table(); }

  // Mode switch and repaint of one table's window.
  void SetModeAndRedraw(int table_index, LutMode mode);
  void Redraw(int table_index);
  // The display is borrowed; nullptr for none.
  void set_display(LutDisplay* display) { display_ = display; }

  // The camera's LUT selector and index as a transfer found them. When the camera stopped
  // answering before the transfer could put them back, the bank keeps them until a later
  // transfer restores them.
  struct CameraAddressing {
    int32_t selector = 0;
    int32_t index = 0;
  };
  std::optional<CameraAddressing>& owed_addressing() { return owed_addressing_; }

 private:
  std::array<LutEditor, kLutTableCount> editors_;
  LutDisplay* display_ = nullptr;
  std::optional<CameraAddressing> owed_addressing_;
};

}  // namespace ctrl
