#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "camera/device_model.h"
#include "files/change_journal.h"

class QPushButton;
class QTableWidget;

namespace ctrl::ui {

// The parameter's label as the catalogue names it ("Digital Gain"); the command id for a
// command outside the catalogue.
std::string JournalParameterLabel(int command_id);
// A value in the form the operator sees it: an item's name, a converted value with its unit, or
// the number.
std::string JournalValueText(int command_id, int32_t value, const DeviceModel& device);
// The result column: "Confirmed", "Undo", "Redo", or what the camera kept when it refused.
std::string JournalResultText(const JournalEntry& entry, const DeviceModel& device);

// What the journal window's buttons ask of its owner.
struct JournalWindowActions {
  std::function<void()> undo;
  std::function<void()> redo;
  std::function<void()> export_file;
};

// "Change Journal": every value sent to the camera during this run, oldest first, with undo,
// redo and the export of the changed rows as a settings file. Not modal; closing only hides it.
class JournalDialog final : public QDialog {
  Q_OBJECT

 public:
  enum Column { kTimeColumn, kParameterColumn, kOldColumn, kNewColumn, kResultColumn };

  JournalDialog(const ChangeJournal& journal, const DeviceModel& device,
                JournalWindowActions actions, QWidget* parent = nullptr);
  ~JournalDialog() override;

  // Shows the journal as it is now: the rows and which buttons have something to do.
  void Refresh();

  QTableWidget* table() const { return table_; }
  QPushButton* undo_button() const { return undo_; }
  QPushButton* redo_button() const { return redo_; }
  QPushButton* export_button() const { return export_; }

 public slots:
  void reject() override;  // Escape, the close box and "Close" only hide the window

 private:
  const ChangeJournal& journal_;
  const DeviceModel& device_;
  JournalWindowActions actions_;
  QTableWidget* table_;
  QPushButton* undo_;
  QPushButton* redo_;
  QPushButton* export_;
  QPushButton* close_;
};

}  // namespace ctrl::ui
