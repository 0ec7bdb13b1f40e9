#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "camera/device_model.h"
#include "files/settings_diff.h"

class QLabel;
class QPushButton;
class QTreeWidget;

// What the compare window works with; the main window fills it in.
struct CompareSetup {
  // The camera's model, for the named values.
  const ctrl::DeviceModel* device = nullptr;
  // Sends a value through the window's change protocol; true when the camera confirmed it.
  std::function<bool(int command_id, int32_t value)> apply;
  // Whether the connected camera has the command now (its model, the CCM selection).
  std::function<bool(int command_id)> is_available;
  // Whether the camera's line went away.
  std::function<bool()> line_lost;
  // The camera's settings-file values as the tool holds them now.
  std::function<ctrl::SettingsValues()> camera_values;
  // Saves the camera's values as a settings file; `owner` owns the file dialog.
  std::function<void(QWidget* owner)> save_camera_values;
};

// "Compare with Settings File": the rows where the camera and a settings file disagree, each with
// a check box; the ticked rows can take the file's value, and the camera's values can be saved.
class CCompareDialog final : public QDialog {
  Q_OBJECT

 public:
  enum Column { kApplyColumn, kParameterColumn, kCameraColumn, kFileColumn, kStatusColumn };

  CCompareDialog(CompareSetup setup, const QString& file_name, ctrl::SettingsValues camera,
                 ctrl::SettingsValues file, QWidget* parent = nullptr);

  // Sends the file's value of every ticked row, in command order, and shows how each went.
  void ApplySelected();
  void SaveCameraValues();

  QTreeWidget* rows() const { return rows_; }
  QLabel* summary() const { return summary_; }
  QPushButton* apply_button() const { return apply_; }
  QPushButton* save_button() const { return save_; }
  // The list row of a command; -1 when it is not listed.
  int RowOf(int command_id) const;

 private:
  struct Outcome {
    bool applied = false;
    QString text;
  };

  // Rebuilds the list: every row that differs now, and every row this window applied.
  void Rebuild();
  QString Named(int command_id, const std::optional<int32_t>& value, const char* side) const;
  void RememberTicks();

  CompareSetup setup_;
  QString file_name_;
  ctrl::SettingsValues camera_;
  ctrl::SettingsValues file_;
  std::map<int, Outcome> outcomes_;
  std::set<int> unticked_;
  QLabel* summary_;
  QTreeWidget* rows_;
  QPushButton* apply_;
  QPushButton* save_;
  QPushButton* close_;
};
