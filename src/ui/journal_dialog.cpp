#include "ui/journal_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "camera/feature_catalogue.h"
#include "ui/registered_windows.h"

namespace ctrl::ui {
namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

std::string JournalParameterLabel(int command_id) {
  const Feature* feature = FeatureOfCommand(command_id);
  return feature != nullptr ? std::string(Label(*feature)) : std::to_string(command_id);
}

std::string JournalValueText(int command_id, int32_t value, const DeviceModel& device) {
  const Feature* feature = FeatureOfCommand(command_id);
  return feature != nullptr ? DisplayText(*feature, value, device) : std::to_string(value);
}

std::string JournalResultText(const JournalEntry& entry, const DeviceModel& device) {
  if (!entry.confirmed) {
    const char* what = entry.action == JournalAction::kUndo   ? "Undo refused"
                       : entry.action == JournalAction::kRedo ? "Redo refused"
                                                              : "Refused";
    return std::string(what) + " \u2014 the camera keeps " +
           JournalValueText(entry.command_id, entry.after, device);
  }
  switch (entry.action) {
    case JournalAction::kUndo:
      return "Undo";
    case JournalAction::kRedo:
      return "Redo";
    case JournalAction::kChange:
      break;
  }
  return "Confirmed";
}

JournalDialog::JournalDialog(const ChangeJournal& journal, const DeviceModel& device,
                             JournalWindowActions actions, QWidget* parent)
    : QDialog(parent),
      journal_(journal),
      device_(device),
      actions_(std::move(actions)),
      table_(new QTableWidget(0, 5, this)),
      undo_(new QPushButton(QStringLiteral("Undo"), this)),
      redo_(new QPushButton(QStringLiteral("Redo"), this)),
      export_(new QPushButton(QStringLiteral("Export\u2026"), this)),
      close_(new QPushButton(QStringLiteral("Close"), this)) {
  setWindowTitle(QStringLiteral("Change Journal"));
  setModal(false);
  setSizeGripEnabled(true);
  table_->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Parameter"),
                                     QStringLiteral("Old value"), QStringLiteral("New value"),
                                     QStringLiteral("Result")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setWordWrap(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

  // The keys work here as they do in the main window.
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  for (QPushButton* button : {undo_, redo_, export_, close_}) button->setAutoDefault(false);
  connect(undo_, &QPushButton::clicked, this, [this] {
    if (actions_.undo) actions_.undo();
  });
  connect(redo_, &QPushButton::clicked, this, [this] {
    if (actions_.redo) actions_.redo();
  });
  connect(export_, &QPushButton::clicked, this, [this] {
    if (actions_.export_file) actions_.export_file();
  });
  connect(close_, &QPushButton::clicked, this, &JournalDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(undo_);
  buttons->addWidget(redo_);
  buttons->addWidget(export_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);
  resize(680, 300);
  Refresh();
  close_->setFocus();
  // Disabled with the others while a long operation runs, so no undo starts in the middle.
  RegisteredWindows::Instance().Add(this);
}

JournalDialog::~JournalDialog() {
  RegisteredWindows::Instance().Remove(this);
}

void JournalDialog::Refresh() {
  const auto& entries = journal_.entries();
  table_->setRowCount(static_cast<int>(entries.size()));
  for (int row = 0; row < table_->rowCount(); ++row) {
    const JournalEntry& entry = entries[static_cast<size_t>(row)];
    const QString cells[] = {
        Text(entry.time),
        Text(JournalParameterLabel(entry.command_id)),
        Text(JournalValueText(entry.command_id, entry.before, device_)),
        Text(JournalValueText(entry.command_id, entry.requested, device_)),
        Text(JournalResultText(entry, device_)),
    };
    for (int column = 0; column <= kResultColumn; ++column) {
      QTableWidgetItem* item = table_->item(row, column);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        table_->setItem(row, column, item);
      }
      item->setText(cells[column]);
    }
  }
  table_->resizeColumnsToContents();
  // No cell is picked out until the operator picks one.
  if (table_->selectedItems().isEmpty()) table_->setCurrentItem(nullptr);
  if (!entries.empty()) table_->scrollToBottom();
  undo_->setEnabled(journal_.UndoTarget().has_value());
  redo_->setEnabled(journal_.RedoTarget().has_value());
  export_->setEnabled(journal_.HasConfirmedChange());
}

void JournalDialog::reject() {
  hide();
}

}  // namespace ctrl::ui
