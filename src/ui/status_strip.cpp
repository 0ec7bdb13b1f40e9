#include "ui/status_strip.h"

#include <QPainter>

namespace ctrl::ui {

StatusStrip::StatusStrip(OnlineStatusPublisher& publisher, QWidget* parent)
    : QWidget(parent), publisher_(publisher) {
  setFixedHeight(6);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  publisher_.Register(this);
}

StatusStrip::~StatusStrip() {
  publisher_.Unregister(this);
}

void StatusStrip::OnlineStatusChanged(bool online) {
  online_ = online;
  update();
}

void StatusStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), online_ ? QColor(0, 200, 0) : QColor(230, 0, 0));
}

}  // namespace ctrl::ui
