#include "ui/compare_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "camera/feature_catalogue.h"
#include "camera/notifier.h"

namespace {

constexpr char kCaption[] = "Compare with Settings File";

QPushButton* Button(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setAutoDefault(false);
  return button;
}

std::optional<int32_t> ValueOf(const ctrl::SettingsValues& side, int command_id) {
  const auto found = side.find(command_id);
  if (found == side.end()) return std::nullopt;
  return found->second;
}

}  // namespace

CCompareDialog::CCompareDialog(CompareSetup setup, const QString& file_name,
                               ctrl::SettingsValues camera, ctrl::SettingsValues file,
                               QWidget* parent)
    : QDialog(parent),
      setup_(std::move(setup)),
      file_name_(file_name),
      camera_(std::move(camera)),
      file_(std::move(file)),
      summary_(new QLabel(this)),
      rows_(new QTreeWidget(this)),
      apply_(Button(QStringLiteral("Apply selected"), this)),
      save_(Button(QStringLiteral("Save camera values\u2026"), this)),
      close_(Button(QStringLiteral("Close"), this)) {
  setWindowTitle(QString::fromLatin1(kCaption));
  summary_->setWordWrap(true);
  summary_->setTextFormat(Qt::PlainText);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  rows_->setColumnCount(5);
  rows_->setHeaderLabels({QString(), QStringLiteral("Parameter"), QStringLiteral("Camera"),
                          QStringLiteral("File"), QStringLiteral("Status")});
  rows_->setRootIsDecorated(false);
  rows_->setUniformRowHeights(true);
  rows_->setSelectionMode(QAbstractItemView::NoSelection);
  rows_->header()->setStretchLastSection(true);
  rows_->header()->setSectionsMovable(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(apply_);
  buttons->addWidget(save_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(rows_, 1);
  layout->addLayout(buttons);

  connect(apply_, &QPushButton::clicked, this, &CCompareDialog::ApplySelected);
  connect(save_, &QPushButton::clicked, this, &CCompareDialog::SaveCameraValues);
  connect(close_, &QPushButton::clicked, this, &CCompareDialog::accept);
  Rebuild();
  // Wide enough for every column and for the longest status a row can get.
  int width = rows_->fontMetrics().horizontalAdvance(
      QStringLiteral("Refused — the camera keeps 00000.0000us  "));
  for (int column = kApplyColumn; column < kStatusColumn; ++column) {
    width += rows_->columnWidth(column);
  }
  const QMargins margins = layout->contentsMargins();
  resize(std::max(sizeHint().width(), width + margins.left() + margins.right() + 24), 360);
}

int CCompareDialog::RowOf(int command_id) const {
  for (int i = 0; i < rows_->topLevelItemCount(); ++i) {
    if (rows_->topLevelItem(i)->data(kApplyColumn, Qt::UserRole).toInt() == command_id) return i;
  }
  return -1;
}

QString CCompareDialog::Named(int command_id, const std::optional<int32_t>& value,
                              const char* side) const {
  if (!value) return QStringLiteral("(not in %1)").arg(QString::fromLatin1(side));
  return QString::fromStdString(
      ctrl::DisplayText(*ctrl::FeatureOfCommand(command_id), *value, *setup_.device));
}

void CCompareDialog::RememberTicks() {
  for (int i = 0; i < rows_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = rows_->topLevelItem(i);
    if (!(item->flags() & Qt::ItemIsUserCheckable)) continue;
    const int command_id = item->data(kApplyColumn, Qt::UserRole).toInt();
    if (item->checkState(kApplyColumn) == Qt::Checked) {
      unticked_.erase(command_id);
    } else {
      unticked_.insert(command_id);
    }
  }
}

void CCompareDialog::Rebuild() {
  const std::vector<ctrl::SettingsDifference> differences = ctrl::DiffSettings(camera_, file_);
  std::set<int> listed;
  for (const ctrl::SettingsDifference& difference : differences) {
    listed.insert(difference.command_id);
  }
  for (const auto& [command_id, outcome] : outcomes_) listed.insert(command_id);

  rows_->clear();
  for (const int command_id : listed) {
    const std::optional<int32_t> camera = ValueOf(camera_, command_id);
    const std::optional<int32_t> file = ValueOf(file_, command_id);
    const auto outcome = outcomes_.find(command_id);
    const bool done = outcome != outcomes_.end() && outcome->second.applied && camera == file;
    auto* item = new QTreeWidgetItem(rows_);
    item->setData(kApplyColumn, Qt::UserRole, command_id);
    item->setFlags(Qt::ItemIsEnabled);
    if (!done) {
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      item->setCheckState(kApplyColumn, unticked_.count(command_id) ? Qt::Unchecked : Qt::Checked);
    }
    item->setText(kParameterColumn,
                  QString::fromLatin1(ctrl::Label(*ctrl::FeatureOfCommand(command_id))));
    item->setText(kCameraColumn, Named(command_id, camera, "camera"));
    item->setText(kFileColumn, Named(command_id, file, "file"));
    if (outcome != outcomes_.end()) item->setText(kStatusColumn, outcome->second.text);
  }
  for (int column = kApplyColumn; column < kStatusColumn; ++column) {
    rows_->resizeColumnToContents(column);
    // Room beside the longest text, so neighbouring columns do not run together.
    rows_->setColumnWidth(column, rows_->columnWidth(column) + (column == kApplyColumn ? 0 : 12));
  }
  rows_->setCurrentItem(nullptr);

  const int count = static_cast<int>(differences.size());
  if (count == 0) {
    summary_->setText(QStringLiteral("The camera matches %1.").arg(file_name_));
  } else {
    summary_->setText(QStringLiteral("%1 %2 between the camera and %3.")
                          .arg(count)
                          .arg(count == 1 ? QStringLiteral("parameter differs")
                                          : QStringLiteral("parameters differ"))
                          .arg(file_name_));
  }
}

void CCompareDialog::ApplySelected() {
  RememberTicks();
  std::vector<int> ticked;
  for (int i = 0; i < rows_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = rows_->topLevelItem(i);
    if ((item->flags() & Qt::ItemIsUserCheckable) &&
        item->checkState(kApplyColumn) == Qt::Checked) {
      ticked.push_back(item->data(kApplyColumn, Qt::UserRole).toInt());
    }
  }
  apply_->setEnabled(false);
  save_->setEnabled(false);
  // The list is in command order, and so is the run: a selector goes before the rows it opens.
  for (const int command_id : ticked) {
    const auto in_file = file_.find(command_id);
    if (in_file == file_.end()) {
      outcomes_[command_id] = {false, QStringLiteral("Skipped — the file has no value for it")};
      continue;
    }
    if (!setup_.is_available(command_id)) {
      outcomes_[command_id] = {false, QStringLiteral("Skipped — not available on this camera")};
      continue;
    }
    if (setup_.apply(command_id, in_file->second)) {
      outcomes_[command_id] = {true, QStringLiteral("Applied")};
      continue;
    }
    if (setup_.line_lost()) {
      outcomes_[command_id] = {false, QStringLiteral("Not answered — the line went away")};
      ctrl::CurrentNotifier().ShowMessage(
          "The camera's line went away. The remaining parameters were not sent.", kCaption,
          ctrl::MessageIcon::Exclamation);
      break;
    }
    const QString kept = Named(command_id, ValueOf(setup_.camera_values(), command_id), "camera");
    outcomes_[command_id] = {false, QStringLiteral("Refused — the camera keeps %1").arg(kept)};
  }
  // The follow-up reads may have changed other rows too.
  camera_ = setup_.camera_values();
  Rebuild();
  apply_->setEnabled(true);
  save_->setEnabled(true);
}

void CCompareDialog::SaveCameraValues() {
  if (setup_.save_camera_values) setup_.save_camera_values(this);
}
