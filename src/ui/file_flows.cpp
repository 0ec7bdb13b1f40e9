#include "ui/file_flows.h"

#include <QDir>
#include <QFileInfo>

#include "app/registry_settings.h"
#include "camera/notifier.h"
#include "files/atomic_file.h"
#include "files/camera_settings_file.h"

namespace ctrl::ui {
namespace {

constexpr char kLoadDialogError[] = "Error in Load Dialog! (Return-code = %1)";
constexpr char kLogFilter[] = "txt file (*.txt) | *.txt||";
constexpr char kTerminalFilter[] = "CSV file (*.csv) | *.csv";

}  // namespace

std::string FileFlows::FolderFor(int setting_index) const {
  if (settings_ != nullptr) return settings_->ReadFolder(setting_index).value;
  return QDir::currentPath().toStdString();
}

QString FileFlows::Choose(const FileDialogs::Request& request, const std::string& failure_text) {
  const FileDialogs::Choice choice = dialogs_.Ask(request);
  if (choice.result == FileDialogs::kCancel) return {};
  if (choice.result != FileDialogs::kOk) {
    const QString text = QString::fromStdString(failure_text);
    CurrentNotifier().ShowMessage(
        (text.contains("%1") ? text.arg(choice.result) : text).toStdString(), "Load Error",
        MessageIcon::Exclamation);
    return {};
  }
  return choice.path;
}

bool FileFlows::ConfirmReplace(const QString& path) {
  if (!QFileInfo::exists(path)) return true;
  return CurrentNotifier().AskYesNo(
      path.toStdString() + "\nThis file already exists." + "\nReplace existing file?", "");
}

void FileFlows::RememberFolder(int setting_index, const QString& path) {
  if (settings_ != nullptr) settings_->WriteText(setting_index, FolderOf(path.toStdString()));
}

bool FileFlows::SaveCameraFile(QWidget* owner, const FileAction& writer) {
  FileDialogs::Request request;
  request.save = true;
  request.owner = owner;
  request.initial_name =
      QString::fromStdString(FolderFor(RegistrySettings::kCameraFilePath)) + "/*.cam";
  request.default_suffix = kCameraFileExtension;
  request.filter = kCameraFileFilter;
  const QString path = Choose(request, kLoadDialogError);
  if (path.isEmpty() || !ConfirmReplace(path)) return false;
  const bool written = writer(path.toStdString());
  RememberFolder(RegistrySettings::kCameraFilePath, path);
  return written;
}

bool FileFlows::OpenCameraFile(QWidget* owner, const FileAction& reader) {
  FileDialogs::Request request;
  request.owner = owner;
  request.initial_name =
      QString::fromStdString(FolderFor(RegistrySettings::kCameraFilePath)) + "/*.cam";
  request.default_suffix = kCameraFileExtension;
  request.filter = kCameraFileFilter;
  const QString path = Choose(request, kLoadDialogError);
  if (path.isEmpty()) return false;
  const bool loaded = reader(path.toStdString());
  RememberFolder(RegistrySettings::kCameraFilePath, path);
  return loaded;
}

bool FileFlows::SaveLog(QWidget* owner, Log log, const std::vector<std::string>& lines,
                        const std::function<void(const std::string&)>& append) {
  const bool terminal = log == Log::kTerminal;
  FileDialogs::Request request;
  request.save = true;
  request.owner = owner;
  request.initial_name = QString::fromStdString(FolderFor(RegistrySettings::kCommandLogFilePath)) +
                         (terminal ? "/*.csv" : "/*.txt");
  request.default_suffix = terminal ? "csv" : "txt";
  request.filter = terminal ? kTerminalFilter : kLogFilter;
  const QString path = Choose(request, terminal ? "Error in Load Dialog!" : kLoadDialogError);
  if (path.isEmpty() || !ConfirmReplace(path)) return false;

  // A failed save keeps the previous file: the new text replaces it only once complete.
  AtomicFileWriter file;
  bool written = file.Open(path.toStdString());
  if (written) {
    for (const std::string& line : lines) file.Write(line + "\n");
    written = file.Commit();
  }
  if (written) {
    append(terminal ? "Writing file has been done !" : "Writing file has been done!");
  } else {
    CurrentNotifier().ShowMessage("File open error !", "", MessageIcon::Error);
  }
  RememberFolder(RegistrySettings::kCommandLogFilePath, path);
  return written;
}

}  // namespace ctrl::ui
