#include "ui/spin_arrows.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace ctrl::ui {

SpinArrows::SpinArrows(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* button : {up_, down_}) {
    button->setArrowType(button == up_ ? Qt::UpArrow : Qt::DownArrow);
    button->setFixedSize(16, 11);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    layout->addWidget(button);
  }
  connect(up_, &QToolButton::clicked, this, [this] { emit stepRequested(1); });
  connect(down_, &QToolButton::clicked, this, [this] { emit stepRequested(-1); });
  setFixedSize(16, 22);
}

void SpinArrows::setRange(int32_t minimum, int32_t maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

}  // namespace ctrl::ui
