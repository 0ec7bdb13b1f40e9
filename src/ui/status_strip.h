#pragma once

#include <QWidget>

#include "camera/online_status.h"

namespace ctrl::ui {

// The thin strip along a window's bottom edge: solid green while the camera answers, solid red
// after a time-out. Registered with the publisher for its whole life.
class StatusStrip final : public QWidget, public OnlineStatusObserver {
  Q_OBJECT

 public:
  static constexpr int kControlId = 1069;

  StatusStrip(OnlineStatusPublisher& publisher, QWidget* parent = nullptr);
  ~StatusStrip() override;

  void OnlineStatusChanged(bool online) override;
  bool online() const { return online_; }
  // While the line is gone the strip grows to say "Offline", whatever the last exchange said.
  void SetLineLost(bool lost);
  bool line_lost() const { return line_lost_; }
  QString Text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  OnlineStatusPublisher& publisher_;
  bool online_ = false;
  bool line_lost_ = false;
};

}  // namespace ctrl::ui
