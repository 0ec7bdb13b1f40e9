#pragma once

#include <QWidget>
#include <cstdint>

class QToolButton;

namespace ctrl::ui {

// The up/down arrows beside a bound edit. A separate control from its edit: it keeps its own
// position and range, and showing a value in the edit never clamps it. A click does not move
// the arrows by itself; it asks, and the page moves them once the camera confirmed.
class SpinArrows final : public QWidget {
  Q_OBJECT

 public:
  explicit SpinArrows(QWidget* parent = nullptr);

  int32_t position() const { return position_; }
  void setPosition(int32_t position) { position_ = position; }
  int32_t minimum() const { return minimum_; }
  int32_t maximum() const { return maximum_; }
  void setRange(int32_t minimum, int32_t maximum);
  void setBuddyId(int id) { buddy_id_ = id; }
  int buddyId() const { return buddy_id_; }

  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }

 signals:
  void stepRequested(int step);

 private:
  QToolButton* up_;
  QToolButton* down_;
  int32_t position_ = 0;
  int32_t minimum_ = 0;
  int32_t maximum_ = 100;
  int buddy_id_ = 0;
};

}  // namespace ctrl::ui
