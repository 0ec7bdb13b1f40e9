#include "files/camera_settings_file.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

#include "camera/feature_catalogue.h"
#include "camera/notifier.h"
#include "files/atomic_file.h"
#include "files/bounded_read.h"

namespace ctrl {
namespace {

// Lines are read with a 256-byte buffer: at most 255 characters per piece.
constexpr size_t kMaxPieceLength = 255;
// The windows are kept responsive by running their messages this often during a load, however
// many lines pass in between.
constexpr int64_t kMessagePumpIntervalUs = 50'000;
constexpr int64_t kLinesPerClockRead = 4096;

void ReportOpenFailure(const std::string& path) {
  CurrentNotifier().ShowMessage(path + "\nCouldn't open this file", "File Open Error",
                                MessageIcon::Exclamation);
}

void ReportTooLarge(const std::string& path) {
  CurrentNotifier().ShowMessage(path + "\nThis file is too large to be a camera setting file.",
                                "File Open Error", MessageIcon::Exclamation);
}

// A settings file's reader, or nothing after the load's message when the file cannot be read.
std::optional<PieceReader> OpenSettingsFile(const std::string& path) {
  FileForReading opened = OpenRegularFileForReading(path, kMaxReadFileBytes);
  if (opened.result == ReadOpenResult::kTooLarge) {
    ReportTooLarge(path);
    return std::nullopt;
  }
  if (opened.result != ReadOpenResult::kOpened) {
    ReportOpenFailure(path);
    return std::nullopt;
  }
  return std::optional<PieceReader>(std::in_place, std::move(opened.file), kMaxPieceLength, false);
}

bool WriteSettingsFile(const std::string& path, SettingsFileContext& context, bool shipping) {
  const ModelKind kind = context.engine.device().kind;
  int ccm = context.ccm_selector_index ? context.ccm_selector_index() : -1;
  std::vector<SettingsFileValue> values;
  for (const ParameterRow& row : context.database.rows()) {
    if (row.parameter_class == parameter_class::kFactory &&
        (shipping || context.factory_mode == 0)) {
      continue;
    }
    if (row.master_file == 0) continue;
    if (!CommandTable::IsCommandAvailable(row.command_id, kind, ccm)) continue;
    values.push_back({row.command_id, row.current_value});
  }
  return WriteSettingsFileValues(path, context.engine.table(), values);
}

}  // namespace

bool WriteSettingsFileValues(const std::string& path, const CommandTable& table,
                             std::span<const SettingsFileValue> values) {
  AtomicFileWriter writer;
  if (!writer.Open(path)) {
    ReportOpenFailure(path);
    return false;
  }
  for (const SettingsFileValue& line : values) {
    writer.Write(table.GetCommandAddress(line.command_id) + "=" + std::to_string(line.value) +
                 "\n");
  }
  std::error_code no_status;
  const bool replaces = std::filesystem::exists(path, no_status);
  if (!writer.Commit()) {
    CurrentNotifier().ShowMessage(
        path + "\nCouldn't write this file." + (replaces ? " The previous file is kept." : ""),
        "File Write Error", MessageIcon::Exclamation);
    return false;
  }
  return true;
}

bool WriteAllDataFile(const std::string& path, SettingsFileContext& context) {
  return WriteSettingsFile(path, context, false);
}

bool WriteShippingDataFile(const std::string& path, SettingsFileContext& context) {
  return WriteSettingsFile(path, context, true);
}

std::string NoSettingsSentText(const std::string& file) {
  return file + " holds no settings this camera takes; nothing was sent to the camera.";
}

bool CanWriteSettingsFile(const std::string& path) {
  if (CanReplaceFile(path)) return true;
  ReportOpenFailure(path);
  return false;
}

bool ReadCameraSettingFile(const std::string& path, SettingsFileContext& context,
                           SettingsLoadReport* report) {
  std::optional<PieceReader> opened = OpenSettingsFile(path);
  if (!opened) return false;
  PieceReader& reader = *opened;
  std::string piece;
  int64_t total = 0;
  while (reader.Next(piece)) ++total;
  if (reader.failed()) {
    ReportOpenFailure(path);
    return false;
  }
  reader.Rewind();

  NullProgress no_progress;
  Progress& progress = context.progress != nullptr ? *context.progress : no_progress;
  ParameterDatabase& db = context.database;
  Command& engine = context.engine;
  Clock& clock = engine.clock();
  SettingsLoadReport counts;
  counts.lines = static_cast<int>(total);

  progress.OpenProgress("Now, reading camera setting file.");
  int shown_percent = -1;
  int64_t pumped_at_us = 0;
  bool exchanged = false;
  for (int64_t k = 0; k < total && !engine.CancelRequested() && reader.Next(piece); ++k) {
    const int percent = static_cast<int>(100 * k / total);
    if (percent != shown_percent) progress.SetProgressPercent(shown_percent = percent);
    // Reading the clock costs more than a line that reaches no camera, so it is read after
    // each exchange and otherwise only every few thousand lines.
    if (k == 0 || exchanged || k % kLinesPerClockRead == 0) {
      const int64_t now_us = clock.NowUs();
      if (k == 0 || now_us - pumped_at_us >= kMessagePumpIntervalUs) {
        progress.ProcessPendingMessages();
        pumped_at_us = now_us;
      }
      exchanged = false;
    }

    // A piece without a separator names no register; blank lines end here cheaply.
    if (piece.find_first_of("=?") == std::string::npos) {
      if (piece.find_first_not_of(" \t\r\n") != std::string::npos) ++counts.foreign;
      continue;
    }
    int command_id = -1;
    std::string name;
    int32_t value = 0;
    if (!engine.ParseLine(piece, command_id, name, value)) {
      ++counts.foreign;
      continue;
    }
    int control_id = db.ToCtrlId(command_id);
    if (control_id < 0) continue;
    if (db.IsFactoryParam(control_id) && context.factory_mode == 0) continue;
    if (db.IsInSettingsFile(control_id) == 0) continue;
    int ccm = context.ccm_selector_index ? context.ccm_selector_index() : -1;
    if (!CommandTable::IsCommandAvailable(command_id, engine.device().kind, ccm)) continue;

    ++counts.sent;
    exchanged = true;
    if (engine.WriteCommand(command_id, value, kDefaultTimeoutMs)) {
      db.SetDataValue(control_id, value);
    } else {
      // The database must not claim the file's value; the camera's last known one stands.
      if (engine.last_failure() == Command::Failure::kRefused) {
        ++counts.refused;
      } else {
        ++counts.unanswered;
      }
      db.SetDataValue(control_id, db.GetSynchronisedValue(control_id));
    }
  }
  counts.line_lost = engine.line_lost();

  reader.Close();
  if (context.controls != nullptr) db.RefreshAllControls(*context.controls);
  db.CommitAll();
  progress.FinishProgress();
  auto lines_of = [&path](int count, const char* what) {
    return std::to_string(count) + (count == 1 ? " line of " : " lines of ") + path +
           (count == 1 ? " was" : " were") + what;
  };
  std::string message;
  if (counts.refused > 0) {
    message = lines_of(counts.refused, " not accepted by the camera.") +
              "\nThose parameters keep the camera's values.";
  }
  if (counts.unanswered > 0) {
    // Whether the camera took these values is not known: it never said.
    if (!message.empty()) message += "\n";
    message += counts.line_lost ? "The camera's line went away. " : "";
    message += lines_of(counts.unanswered, " not answered by the camera.");
  }
  if (counts.foreign > 0) {
    // Each of them is a value the operator may believe sent.
    if (!message.empty()) message += "\n";
    message += lines_of(counts.foreign, " skipped:") +
               (counts.foreign == 1 ? " it names no register or holds"
                                    : " they name no register or hold") +
               " no whole 32-bit value.";
  }
  if (!message.empty()) {
    CurrentNotifier().ShowMessage(message, "Camera Setting File", MessageIcon::Exclamation);
  }
  if (report != nullptr) *report = counts;
  return true;
}

bool ReadSettingsFileValues(const std::string& path, SettingsFileContext& context,
                            std::vector<SettingsFileValue>& values) {
  values.clear();
  std::optional<PieceReader> opened = OpenSettingsFile(path);
  if (!opened) return false;
  PieceReader& reader = *opened;
  const ParameterDatabase& db = context.database;
  const Command& engine = context.engine;
  // The colour matrix rows follow the file's own CCM Selector line once it has one, as they
  // follow the camera's selection during a load.
  int ccm = context.ccm_selector_index ? context.ccm_selector_index() : -1;
  std::string piece;
  while (reader.Next(piece)) {
    if (piece.find_first_of("=?") == std::string::npos) continue;
    int command_id = -1;
    std::string name;
    int32_t value = 0;
    if (!engine.ParseLine(piece, command_id, name, value)) continue;
    // Asked of the catalogue first: a register the file may not hold is skipped quietly.
    const Feature* feature = FeatureOfCommand(command_id);
    if (feature == nullptr || !InSettingsFile(*feature)) continue;
    const int control_id = db.ToCtrlId(command_id);
    if (control_id < 0) continue;
    if (db.IsFactoryParam(control_id) && context.factory_mode == 0) continue;
    if (!CommandTable::IsCommandAvailable(command_id, engine.device().kind, ccm)) continue;
    auto same = std::find_if(values.begin(), values.end(), [&](const SettingsFileValue& known) {
      return known.command_id == command_id;
    });
    if (same != values.end()) {
      same->value = value;
    } else {
      values.push_back({command_id, value});
    }
    if (command_id == cmd::kCcmSelector) ccm = value;
  }
  if (reader.failed()) {
    ReportOpenFailure(path);
    return false;
  }
  return true;
}

}  // namespace ctrl
