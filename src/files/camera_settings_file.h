#pragma once

#include <span>
#include <string>
#include <vector>

#include "camera/bulk_read.h"
#include "camera/command_engine.h"
#include "camera/parameter_database.h"
#include "camera/progress.h"

namespace ctrl {

inline constexpr const char* kCameraFileFilter = "Camera setting data (*.cam) | *.cam||";
inline constexpr const char* kCameraFileExtension = "cam";

// What the settings-file writer and reader work on.
struct SettingsFileContext {
  Command& engine;
  ParameterDatabase& database;
  int factory_mode = 0;
  CcmSelectorIndex ccm_selector_index;  // empty: no selection
  Progress* progress = nullptr;         // the reader's progress window; none when null
  ControlSetter* controls = nullptr;    // refreshed after a load; none when null
};

// One value line of a settings file: the register it names and its value, in file order.
struct SettingsFileValue {
  int command_id;
  int32_t value;
};

// Writes one line per value, in the given order, in the form every settings file has: the
// register's address text, "=", the value. The previous file is replaced only when the new one
// was written completely. False (with the "Couldn't open this file" or "Couldn't write this
// file" message) when the file cannot be written.
bool WriteSettingsFileValues(const std::string& path, const CommandTable& table,
                             std::span<const SettingsFileValue> values);

// One line per filed row the connected model has: address text, "=", current value. Rows of
// the factory class are filed by "All Data" only in factory mode, never by "Shipping Data".
// The previous file is replaced only when the new one was written completely. False (with the
// "Couldn't open this file" message) when the file cannot be written.
bool WriteAllDataFile(const std::string& path, SettingsFileContext& context);
bool WriteShippingDataFile(const std::string& path, SettingsFileContext& context);

// Whether the writers could replace this path now (see AtomicFileWriter); reports the
// "Couldn't open this file" message when not. For checking before a long camera transfer.
bool CanWriteSettingsFile(const std::string& path);

struct SettingsLoadReport {
  int lines = 0;       // pieces read (lines of up to 255 characters)
  int sent = 0;        // values written to the camera
  int refused = 0;     // writes the camera answered with a refusal
  int unanswered = 0;  // writes with no answer (time-out, or the line went away)
  int foreign = 0;     // pieces neither blank nor naming a register with one whole value
  bool line_lost = false;
};

// What a load that sent nothing says: the file holds no value this camera takes (an empty file,
// another program's file, another model's rows), so nothing was changed in the camera.
std::string NoSettingsSentText(const std::string& file);

// Sends every applicable line to the camera and records what the camera accepted; a refused
// value keeps the camera's value in the database and is counted in one message at the end, as
// are the lines skipped for naming no register or stating no whole value.
// Then all controls are refreshed and the database marked synchronised. False only when the
// file cannot be opened: it is missing, unreadable, not a regular file (a folder, device or
// FIFO) or larger than any settings file could be. The file is read piece by piece, and the
// windows get their messages run every 50 ms of the engine's clock, not once per line.
bool ReadCameraSettingFile(const std::string& path, SettingsFileContext& context,
                           SettingsLoadReport* report = nullptr);

// The values a settings file holds for the connected model, read with the same grammar and the
// same rules as a load (rows the model has, factory rows only in factory mode), without sending
// anything. A later line for the same register replaces the earlier one, as a load would leave
// the camera. False (with the load's message) when the file cannot be read.
bool ReadSettingsFileValues(const std::string& path, SettingsFileContext& context,
                            std::vector<SettingsFileValue>& values);

}  // namespace ctrl
