#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "camera/bulk_read.h"
#include "camera/command_engine.h"
#include "camera/parameter_database.h"
#include "camera/progress.h"
#include "files/camera_settings_file.h"

namespace ctrl {

// Command id → value of one side of a comparison (the camera, or a settings file).
using SettingsValues = std::map<int, int32_t>;

// What went wrong while the camera's side was read.
struct CameraReadTrouble {
  int failed_rows = 0;     // rows the camera did not answer
  bool line_lost = false;  // the line went away during the read
  // "N parameters could not be read from the camera."; empty when every row was read.
  std::string message;
};

// Reads the camera's settings-file rows now, as a settings file would file them: factory rows
// only when factory mode is exactly 1, commands the connected model has only. Nothing when any
// row could not be read: a value never read would show up as a difference that is not there.
// The database holds the values read afterwards, like after a reload.
std::optional<SettingsValues> ReadCameraSettingsValues(Command& engine, ParameterDatabase& database,
                                                       int factory_mode,
                                                       const CcmSelectorIndex& ccm_selector_index,
                                                       Progress& progress,
                                                       CameraReadTrouble* trouble = nullptr);

// The rows a settings file files for the connected model (factory rows only when factory mode is
// exactly 1) with the values the database holds for them now.
SettingsValues DatabaseSettingsValues(const ParameterDatabase& database, ModelKind kind,
                                      int factory_mode, int ccm_selector_index);

// The values a settings file holds for the connected model (see ReadSettingsFileValues);
// nothing (with the load's message) when the file cannot be read.
std::optional<SettingsValues> ReadFileSettingsValues(const std::string& path,
                                                     SettingsFileContext& context);

// One row where the two sides disagree; a side without the row has no value.
struct SettingsDifference {
  int command_id = -1;
  std::optional<int32_t> a;
  std::optional<int32_t> b;

  bool operator==(const SettingsDifference&) const = default;
};

// Every row held by either side whose values are not the same on both, in command order.
std::vector<SettingsDifference> DiffSettings(const SettingsValues& a, const SettingsValues& b);

}  // namespace ctrl
