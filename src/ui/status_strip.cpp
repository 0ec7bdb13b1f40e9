#include "ui/status_strip.h"

#include <QPainter>

namespace ctrl::ui {

namespace {
constexpr int kThinHeight = 6;
}  // namespace

StatusStrip::StatusStrip(OnlineStatusPublisher& publisher, QWidget* parent)
    : QWidget(parent), publisher_(publisher) {
  setFixedHeight(kThinHeight);
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

void StatusStrip::SetLineLost(bool lost) {
  if (lost == line_lost_) return;
  line_lost_ = lost;
  setFixedHeight(lost ? fontMetrics().height() + 4 : kThinHeight);
  update();
}

QString StatusStrip::Text() const {
  return line_lost_ ? QStringLiteral("Offline") : QString();
}

void StatusStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), online_ && !line_lost_ ? QColor(0, 200, 0) : QColor(230, 0, 0));
  if (line_lost_) {
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, Text());
  }
}

}  // namespace ctrl::ui
