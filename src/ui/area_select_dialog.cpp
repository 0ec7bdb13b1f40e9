#include "ui/area_select_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/registered_windows.h"
#include "ui/status_strip.h"

CParameterAreaSelectDialog::CParameterAreaSelectDialog(QWidget* parent, Mode mode, int factory_mode,
                                                       ctrl::OnlineStatusPublisher& status)
    : QDialog(parent),
      mode_(mode),
      areas_(new QComboBox(this)),
      prompt_(new QLabel(this)),
      strip_(new ctrl::ui::StatusStrip(status, this)) {
  const bool load = mode_ == kLoad;
  setWindowTitle(load ? QStringLiteral("Load setting data") : QStringLiteral("Store setting data"));
  prompt_->setText(load ? QStringLiteral("Select the flash memory area to load setting data")
                        : QStringLiteral("Select the flash memory area to save setting data"));
  if (load || factory_mode != 0) areas_->addItem(QStringLiteral("Factory"));
  areas_->addItems({"User 1", "User 2", "User 3"});
  areas_->setCurrentIndex(0);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CParameterAreaSelectDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CParameterAreaSelectDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 2);
  layout->addWidget(prompt_);
  layout->addWidget(areas_);
  layout->addWidget(line);
  layout->addWidget(buttons);
  layout->addWidget(strip_);
  ctrl::ui::RegisteredWindows::Instance().Add(this);
}

CParameterAreaSelectDialog::~CParameterAreaSelectDialog() {
  ctrl::ui::RegisteredWindows::Instance().Remove(this);
}

void CParameterAreaSelectDialog::accept() {
  const QString item = areas_->currentText();
  if (item == "Factory") {
    chosen_area_ = 0;
  } else if (item == "User 1") {
    chosen_area_ = 1;
  } else if (item == "User 2") {
    chosen_area_ = 2;
  } else if (item == "User 3") {
    chosen_area_ = 3;
  } else {
    chosen_area_ = -1;
  }
  QDialog::accept();
}
