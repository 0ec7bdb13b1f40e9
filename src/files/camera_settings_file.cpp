#include "files/camera_settings_file.h"

#include <cstdio>
#include <vector>

#include "camera/notifier.h"
#include "files/atomic_file.h"

namespace ctrl {
namespace {

constexpr int kLineBufferSize = 256;

void ReportOpenFailure(const std::string& path) {
  CurrentNotifier().ShowMessage(path + "\nCouldn't open this file", "File Open Error",
                                MessageIcon::Exclamation);
}

bool WriteSettingsFile(const std::string& path, SettingsFileContext& context, bool shipping) {
  AtomicFileWriter writer;
  if (!writer.Open(path)) {
    ReportOpenFailure(path);
    return false;
  }
  const ModelKind kind = context.engine.device().kind;
  const CommandTable& table = context.engine.table();
  int ccm = context.ccm_selector_index ? context.ccm_selector_index() : -1;
  for (const ParameterRow& row : context.database.rows()) {
    if (row.parameter_class == parameter_class::kFactory && (shipping || context.factory_mode == 0)) {
      continue;
    }
    if (row.master_file == 0) continue;
    if (!CommandTable::IsCommandAvailable(row.command_id, kind, ccm)) continue;
    writer.Write(table.GetCommandAddress(row.command_id) + "=" +
                 std::to_string(row.current_value) + "\n");
  }
  if (!writer.Commit()) {
    CurrentNotifier().ShowMessage(path + "\nCouldn't write this file. The previous file is kept.",
                                  "File Write Error", MessageIcon::Exclamation);
    return false;
  }
  return true;
}

// Reads the file the way a 256-byte line buffer does: a piece ends after a line feed or after
// 255 characters, whichever comes first.
std::vector<std::string> ReadPieces(std::FILE* file) {
  std::vector<std::string> pieces;
  std::string piece;
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    piece.push_back(static_cast<char>(c));
    if (c == '\n' || piece.size() == kLineBufferSize - 1) {
      pieces.push_back(std::move(piece));
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(std::move(piece));
  return pieces;
}

}  // namespace

bool WriteAllDataFile(const std::string& path, SettingsFileContext& context) {
  return WriteSettingsFile(path, context, false);
}

bool WriteShippingDataFile(const std::string& path, SettingsFileContext& context) {
  return WriteSettingsFile(path, context, true);
}

bool ReadCameraSettingFile(const std::string& path, SettingsFileContext& context,
                           SettingsLoadReport* report) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    ReportOpenFailure(path);
    return false;
  }
  std::vector<std::string> pieces = ReadPieces(file);
  // A folder opens on Linux but cannot be read: treat it like a file that cannot be opened.
  bool read_error = std::ferror(file) != 0;
  std::fclose(file);
  if (read_error) {
    ReportOpenFailure(path);
    return false;
  }

  NullProgress no_progress;
  Progress& progress = context.progress != nullptr ? *context.progress : no_progress;
  ParameterDatabase& db = context.database;
  Command& engine = context.engine;
  SettingsLoadReport counts;
  counts.lines = static_cast<int>(pieces.size());
  const int total = counts.lines;

  progress.OpenProgress("Now, reading camera setting file.");
  for (int k = 0; k < total; ++k) {
    progress.SetProgressPercent(100 * k / total);
    progress.ProcessPendingMessages();

    int command_id = -1;
    std::string name;
    int32_t value = 0;
    if (!engine.ParseLine(pieces[k], command_id, name, value)) continue;
    int control_id = db.ToCtrlId(command_id);
    if (control_id < 0) continue;
    if (db.IsFactoryParam(control_id) && context.factory_mode == 0) continue;
    if (db.IsInSettingsFile(control_id) == 0) continue;
    int ccm = context.ccm_selector_index ? context.ccm_selector_index() : -1;
    if (!CommandTable::IsCommandAvailable(command_id, engine.device().kind, ccm)) continue;

    ++counts.sent;
    if (engine.WriteCommand(command_id, value, kDefaultTimeoutMs)) {
      db.SetDataValue(control_id, value);
    } else {
      // The camera still holds its own value; the database must not claim otherwise.
      ++counts.refused;
      db.SetDataValue(control_id, db.GetSynchronisedValue(control_id));
    }
  }

  if (context.controls != nullptr) db.RefreshAllControls(*context.controls);
  db.CommitAll();
  progress.FinishProgress();
  if (counts.refused > 0) {
    CurrentNotifier().ShowMessage(
        std::to_string(counts.refused) +
            (counts.refused == 1 ? " line of " : " lines of ") + path +
            (counts.refused == 1 ? " was" : " were") +
            " not accepted by the camera.\nThose parameters keep the camera's values.",
        "Camera Setting File", MessageIcon::Exclamation);
  }
  if (report != nullptr) *report = counts;
  return true;
}

}  // namespace ctrl
