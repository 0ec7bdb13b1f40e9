#include "lut/lut_editor.h"

#include <algorithm>
#include <cstdlib>

namespace ctrl {

LutEditor::LutEditor(int table_index) : table_index_(table_index), points_(DefaultEditPoints()) {}

void LutEditor::SetMode(LutMode mode) {
  mode_ = mode;
  Refresh();
}

void LutEditor::Refresh() {
  if (mode_ == LutMode::kEdit) table_ = LutTableFromPoints(points_);
}

bool LutEditor::OnMouseMove(int window_x, int window_y, MouseButtons buttons) {
  const int x = window_x - kPlotOriginX;
  const int y = window_y - kPlotOriginY;
  if (x < 0 || x > kPlotSize || y < 0 || y > kPlotSize) return false;
  switch (buttons) {
    case MouseButtons::kLeftOnly:
      return AddOrMovePoint(x, y);
    case MouseButtons::kRightOnly:
      return DeletePointNear(x, y);
    default:
      return false;
  }
}

bool LutEditor::AddOrMovePoint(int x, int y) {
  auto within_reach = [&](const EditPoint& p) {
    return std::abs(p.x - x) <= kGrabTolerance && std::abs(p.y - y) <= kGrabTolerance;
  };
  auto grabbed = std::find_if(points_.begin(), points_.end(), within_reach);
  if (grabbed != points_.end()) {
    *grabbed = {x, y};
  } else if (static_cast<int>(points_.size()) < kAddPointLimit) {
    points_.push_back({x, y});
  } else {
    return false;
  }
  SortEditPoints(points_);
  // In View Mode the points change but the table stays as stored.
  Refresh();
  return true;
}

bool LutEditor::DeletePointNear(int x, int y) {
  if (points_.size() <= static_cast<size_t>(kMinEditPoints)) return false;
  auto within_reach = [&](const EditPoint& p) {
    return std::abs(p.x - x) <= kDeleteTolerance && std::abs(p.y - y) <= kDeleteTolerance;
  };
  auto victim = std::find_if(points_.begin() + 1, points_.end() - 1, within_reach);
  if (victim == points_.end() - 1) return false;
  points_.erase(victim);
  SortEditPoints(points_);
  Refresh();
  return true;
}

void LutEditor::ClearTableData() {
  points_ = DefaultEditPoints();
  SetMode(LutMode::kEdit);
}

void LutEditor::ConvertEditable(int count) {
  points_ = EditPointsFromTable(table_, count);
  SetMode(LutMode::kEdit);
}

LutBank::LutBank() : editors_{LutEditor(kRedLut), LutEditor(kGreenLut), LutEditor(kBlueLut)} {}

void LutBank::SetModeAndRedraw(int table_index, LutMode mode) {
  editors_[table_index].SetMode(mode);
  Redraw(table_index);
}

void LutBank::Redraw(int table_index) {
  if (display_ != nullptr) display_->TableChanged(table_index);
}

}  // namespace ctrl
