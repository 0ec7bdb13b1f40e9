#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/file_dialogs.h"

class QWidget;

namespace ctrl {
class RegistrySettings;
}

namespace ctrl::ui {

// The steps around the tool's file dialogs: the remembered folder, the dialog, the failure
// report, the replace question and storing the folder of the chosen file.
class FileFlows {
 public:
  // Without settings the dialogs start in the working directory and nothing is remembered.
  FileFlows(FileDialogs& dialogs, RegistrySettings* settings)
      : dialogs_(dialogs), settings_(settings) {}

  using FileAction = std::function<bool(const std::string& path)>;

  // Save as camera settings file; `writer` runs only after the operator chose the file and,
  // for an existing one, agreed to replace it. True when the writer ran and succeeded.
  bool SaveCameraFile(QWidget* owner, const FileAction& writer);
  // Open a camera settings file and run `reader` on it. True when it ran and succeeded.
  bool OpenCameraFile(QWidget* owner, const FileAction& reader);

  enum class Log { kMessageList, kTerminal };
  // Saves the log lines (already in file order). `append` adds the completion line to the log.
  bool SaveLog(QWidget* owner, Log log, const std::vector<std::string>& lines,
               const std::function<void(const std::string&)>& append);

  // The folder a dialog of this setting starts in (the working directory when none is stored).
  std::string FolderFor(int setting_index) const;

 private:
  // Runs the dialog and reports a failure; the chosen path, or empty when there is none.
  QString Choose(const FileDialogs::Request& request, const std::string& failure_text);
  bool ConfirmReplace(const QString& path);
  void RememberFolder(int setting_index, const QString& path);

  FileDialogs& dialogs_;
  RegistrySettings* settings_;
};

}  // namespace ctrl::ui
