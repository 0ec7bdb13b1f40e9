#include "ui/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace ctrl::ui {

QString ToolkitFilter(const QString& filter) {
  // "Camera setting data (*.cam) | *.cam||": the part before the first '|' names the files.
  return filter.section('|', 0, 0).trimmed();
}

QString WithDefaultSuffix(const QString& path, const QString& suffix) {
  if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
  return path + '.' + suffix;
}

FileDialogs::Choice QtFileDialogs::Ask(const Request& request) {
  const QFileInfo initial(request.initial_name);
  QFileDialog dialog(request.owner, QString(), initial.path(), ToolkitFilter(request.filter));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(request.default_suffix);
  // The tool asks about replacing an existing file itself.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return {kOk, WithDefaultSuffix(dialog.selectedFiles().front(), request.default_suffix)};
}

}  // namespace ctrl::ui
