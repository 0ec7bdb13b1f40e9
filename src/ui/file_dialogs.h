#pragma once

#include <QString>

class QWidget;

namespace ctrl::ui {

// The common file dialogs, behind an interface so tests can answer them.
class FileDialogs {
 public:
  enum Result { kOk = 1, kCancel = 2 };  // anything else is a failure code of the dialog

  struct Request {
    bool save = false;  // save dialog; otherwise open (an existing file only)
    QWidget* owner = nullptr;
    QString initial_name;    // folder followed by the name pattern, e.g. "/data/*.cam"
    QString default_suffix;  // added when the chosen name has none
    QString filter;          // in the form "Camera setting data (*.cam) | *.cam||"
  };
  struct Choice {
    int result = kCancel;
    QString path;  // the chosen full path when result is kOk
  };

  virtual ~FileDialogs() = default;
  virtual Choice Ask(const Request& request) = 0;
};

// QFileDialog.
class QtFileDialogs final : public FileDialogs {
 public:
  Choice Ask(const Request& request) override;
};

// The filter text of the tool ("text (*.x) | *.x||") as the toolkit writes it ("text (*.x)").
QString ToolkitFilter(const QString& filter);
// The chosen name with the default suffix added when it has none.
QString WithDefaultSuffix(const QString& path, const QString& suffix);

}  // namespace ctrl::ui
