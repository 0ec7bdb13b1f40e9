#pragma once

#include <QDialog>

#include "camera/online_status.h"

class QComboBox;
class QLabel;

namespace ctrl::ui {
class StatusStrip;
}

// "Parameter Flash Area Select": which flash area of the camera the menu's load or store acts
// on. The factory area is offered for loading always, for storing only in factory control mode.
class CParameterAreaSelectDialog final : public QDialog {
  Q_OBJECT

 public:
  enum Mode { kStore = 0, kLoad = 1 };
  enum ControlId { kAreaList = 1015, kPrompt = 1020, kStatusStrip = 1086 };

  CParameterAreaSelectDialog(QWidget* parent, Mode mode, int factory_mode,
                             ctrl::OnlineStatusPublisher& status);
  ~CParameterAreaSelectDialog() override;

  // 0 factory, 1 to 3 user areas, -1 for an item that names no area; valid after OK.
  int chosen_area() const { return chosen_area_; }
  QComboBox* area_list() const { return areas_; }
  QLabel* prompt() const { return prompt_; }

 public slots:
  void accept() override;

 private:
  Mode mode_;
  QComboBox* areas_;
  QLabel* prompt_;
  ctrl::ui::StatusStrip* strip_;
  int chosen_area_ = -1;
};
