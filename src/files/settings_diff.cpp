#include "files/settings_diff.h"

#include <set>

#include "camera/command_table.h"

namespace ctrl {

std::optional<SettingsValues> ReadCameraSettingsValues(Command& engine, ParameterDatabase& database,
                                                       int factory_mode,
                                                       const CcmSelectorIndex& ccm_selector_index,
                                                       Progress& progress,
                                                       CameraReadTrouble* trouble) {
  const BulkReadResult result =
      ReadAllParameters(engine, database, factory_mode, ccm_selector_index, progress);
  if (trouble != nullptr) {
    trouble->failed_rows = result.failed;
    trouble->line_lost = result.line_lost;
    trouble->message.clear();
    if (result.failed > 0) {
      trouble->message =
          std::to_string(result.failed) + " parameters could not be read from the camera.";
    }
  }
  if (result.failed > 0) return std::nullopt;

  SettingsValues values = DatabaseSettingsValues(database, engine.device().kind, factory_mode,
                                                 ccm_selector_index ? ccm_selector_index() : -1);
  const std::set<int> read(result.read_rows.begin(), result.read_rows.end());
  const auto& rows = database.rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!read.count(static_cast<int>(i))) values.erase(rows[i].command_id);
  }
  return values;
}

SettingsValues DatabaseSettingsValues(const ParameterDatabase& database, ModelKind kind,
                                      int factory_mode, int ccm_selector_index) {
  SettingsValues values;
  const auto& rows = database.rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const ParameterRow& row = rows[i];
    if (!database.IsReadableRow(static_cast<int>(i)) || row.master_file == 0) continue;
    if (row.parameter_class == parameter_class::kFactory && factory_mode != 1) continue;
    if (!CommandTable::IsCommandAvailable(row.command_id, kind, ccm_selector_index)) continue;
    values[row.command_id] = row.current_value;
  }
  return values;
}

std::optional<SettingsValues> ReadFileSettingsValues(const std::string& path,
                                                     SettingsFileContext& context) {
  std::vector<SettingsFileValue> lines;
  if (!ReadSettingsFileValues(path, context, lines)) return std::nullopt;
  SettingsValues values;
  for (const SettingsFileValue& line : lines) values[line.command_id] = line.value;
  return values;
}

std::vector<SettingsDifference> DiffSettings(const SettingsValues& a, const SettingsValues& b) {
  std::vector<SettingsDifference> differences;
  auto in_a = a.begin();
  auto in_b = b.begin();
  // Both maps are in command order: one merge pass.
  while (in_a != a.end() || in_b != b.end()) {
    if (in_b == b.end() || (in_a != a.end() && in_a->first < in_b->first)) {
      differences.push_back({in_a->first, in_a->second, std::nullopt});
      ++in_a;
    } else if (in_a == a.end() || in_b->first < in_a->first) {
      differences.push_back({in_b->first, std::nullopt, in_b->second});
      ++in_b;
    } else {
      if (in_a->second != in_b->second) {
        differences.push_back({in_a->first, in_a->second, in_b->second});
      }
      ++in_a;
      ++in_b;
    }
  }
  return differences;
}

}  // namespace ctrl
