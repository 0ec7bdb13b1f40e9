#include "agent/operations.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <optional>
#include <set>
#include <sstream>

#include "camera/bulk_read.h"
#include "camera/feature_catalogue.h"
#include "camera/number_parse.h"
#include "camera/parameter_target.h"
#include "camera/progress.h"
#include "camera/user_sets.h"
#include "files/camera_settings_file.h"
#include "files/settings_diff.h"
#include "lut/lut_editor.h"
#include "lut/lut_file.h"
#include "lut/lut_transfer.h"

namespace ctrl::agent {
namespace {

// A file of the agent's own for one operation: the core's readers and writers work on paths.
// A private folder (0700) holds it; both go away with the object.
class ScratchFile {
 public:
  ScratchFile() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/ctrltool-agent.XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
      folder_ = pattern;
      path_ = folder_ + "/data";
    }
  }
  ~ScratchFile() {
    if (folder_.empty()) return;
    std::remove(path_.c_str());
    rmdir(folder_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  bool ok() const { return !folder_.empty(); }
  const std::string& path() const { return path_; }

  bool Write(const std::string& content) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out.flush());
  }
  std::optional<std::string> Read() const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  }

 private:
  std::string folder_;
  std::string path_;
};

Json Failure(const std::string& error) { return Json{{"ok", false}, {"error", error}}; }

Json Success() { return Json{{"ok", true}, {"error", nullptr}}; }

std::string Hex8(uint32_t reg) { return RegisterAddressText(reg); }

using Target = ParameterTarget;

std::optional<Target> ResolveTarget(Command& engine, const std::string& text) {
  return FindParameterTarget(engine.table(), engine.device().kind, text);
}

bool NamesParameter(const std::string& text) {
  uint32_t reg = 0;
  return CommandTable::FindCommandByLabel(text) >= 0 || ParseRegisterAddress(text, reg);
}

const Feature* FeatureOf(int command_id) {
  return command_id >= 0 ? FeatureOfCommand(command_id) : nullptr;
}

Json ValueJson(const CameraContext& camera, const Target& target, int32_t value) {
  const Feature* feature = FeatureOf(target.command_id);
  Json reply = Success();
  reply["feature"] = target.label;
  reply["address"] = Hex8(target.reg);
  reply["value"] = value;
  reply["text"] = feature != nullptr ? DisplayText(*feature, value, camera.engine.device())
                                     : std::to_string(value);
  if (feature != nullptr && !feature->unit.empty()) reply["unit"] = std::string(feature->unit);
  return reply;
}

Json Get(CameraContext& camera, const Json& request) {
  const std::optional<Target> target = ResolveTarget(camera.engine, request["feature"]);
  if (!target) return Failure("Unknown parameter.");
  const Feature* feature = FeatureOf(target->command_id);
  if (feature != nullptr && feature->kind == FeatureKind::kText) {
    std::string text;
    if (!camera.engine.ReadText(target->command_id, kIdentityTextBytes, text, kDefaultTimeoutMs)) {
      return Failure("The camera did not answer for " + target->label + ".");
    }
    Json reply = Success();
    reply["feature"] = target->label;
    reply["address"] = Hex8(target->reg);
    reply["value"] = text;
    reply["text"] = text;
    return reply;
  }
  int32_t value = 0;
  if (!camera.engine.ReadRegister(target->reg, value, kDefaultTimeoutMs)) {
    return Failure("The camera did not answer or refused " + target->label + ".");
  }
  return ValueJson(camera, *target, value);
}

// The value a set writes: an item name of this camera (any case) or a number, as text or as a
// JSON integer within the 32-bit range.
std::optional<int32_t> ValueToWrite(const CameraContext& camera, const Target& target,
                                    const Json& given, std::string& error) {
  if (given.is_number_integer()) {
    const bool is_unsigned = given.is_number_unsigned();
    const int64_t value = is_unsigned ? static_cast<int64_t>(std::min<uint64_t>(
                                            given.get<uint64_t>(), uint64_t{1} << 40))
                                      : given.get<int64_t>();
    if (value < std::numeric_limits<int32_t>::min() ||
        value > int64_t{std::numeric_limits<uint32_t>::max()}) {
      error = "The value is not a 32-bit integer.";
      return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  const std::string text = given;
  const Feature* feature = FeatureOf(target.command_id);
  const DeviceModel& device = camera.engine.device();
  if (feature != nullptr && feature->kind == FeatureKind::kEnum) {
    if (auto value = ItemValue(*feature, device.kind, text, device.version_number)) return value;
  }
  int32_t value = 0;
  if (ParseRegisterValue(text, value)) return value;
  if (feature != nullptr && feature->kind == FeatureKind::kEnum) {
    error = "\"" + text + "\" is not a value of " + target.label + ". Valid:";
    const std::vector<EnumItem> items = ItemsFor(*feature, device.kind, device.version_number);
    for (size_t i = 0; i < items.size(); ++i) {
      error += i == 0 ? " " : ", ";
      error += items[i].name;
    }
    error += " (or a number).";
  } else {
    error = "\"" + text + "\" is not a 32-bit integer.";
  }
  return std::nullopt;
}

Json Set(CameraContext& camera, const Json& request) {
  const std::optional<Target> target = ResolveTarget(camera.engine, request["feature"]);
  if (!target) return Failure("Unknown parameter.");
  if (const int field = IdentityTextFieldAt(camera.engine.table(), target->reg); field >= 0) {
    return Failure(std::string(CommandTable::FeatureLabel(field)) +
                   " is an identity text: it is not written through the fleet.");
  }
  std::string error;
  const std::optional<int32_t> value = ValueToWrite(camera, *target, request["value"], error);
  if (!value) return Failure(error);
  if (!camera.engine.WriteRegister(target->reg, *value, WriteTimeoutMs(target->command_id))) {
    return Failure("The camera did not accept " + std::to_string(*value) + " for " +
                   target->label + ".");
  }
  // The camera answers at its new rate from now on: the PC side follows.
  if (target->command_id == cmd::kBaudRate && camera.line_rate != nullptr) {
    const int new_rate = RateOfBaudRateCode(*value);
    std::string message;
    if (new_rate != 0 && !FollowCameraRate(camera.engine, *camera.line_rate,
                                           camera.line_rate->LineRate(), new_rate, message)) {
      return Failure(message);
    }
  }
  return ValueJson(camera, *target, *value);
}

BulkReadResult ReadAll(CameraContext& camera) {
  NullProgress progress;
  return ReadAllParameters(camera.engine, camera.database, 0, CcmSelectorOf(camera.database),
                           progress);
}

std::string UnreadMessage(const BulkReadResult& result) {
  std::string message = std::to_string(result.failed) + " parameters could not be read";
  if (result.line_lost) message += " (the camera's line went away)";
  return message + ".";
}

Json Dump(CameraContext& camera) {
  const BulkReadResult result = ReadAll(camera);
  Json reply = result.failed == 0 ? Success() : Failure(UnreadMessage(result));
  reply["params"] = NamedParameters(camera, result.read_rows);
  Json unread = Json::array();
  for (int row : result.failed_rows) unread.push_back(ParameterDatabase::Label(row));
  reply["unread"] = std::move(unread);
  return reply;
}

SettingsFileContext FileContext(CameraContext& camera) {
  return SettingsFileContext{camera.engine, camera.database, 0, CcmSelectorOf(camera.database),
                             nullptr, nullptr};
}

Json SaveSettings(CameraContext& camera) {
  ScratchFile file;
  if (!file.ok()) return Failure("The agent could not make a scratch file.");
  const BulkReadResult result = ReadAll(camera);
  // A file with built-in values in place of unread ones would not describe this camera.
  if (result.failed > 0) return Failure(UnreadMessage(result) + " Nothing was saved.");
  camera.database.CommitAll();
  SettingsFileContext context = FileContext(camera);
  if (!WriteAllDataFile(file.path(), context)) return Failure("The settings could not be written.");
  const std::optional<std::string> content = file.Read();
  if (!content) return Failure("The settings could not be read back.");
  Json reply = Success();
  reply["parameters"] = result.read;
  reply["content"] = *content;
  return reply;
}

Json LoadSettings(CameraContext& camera, const Json& request) {
  ScratchFile file;
  if (!file.ok() || !file.Write(request["content"])) {
    return Failure("The agent could not make a scratch file.");
  }
  // The camera's own values first, so a value it refuses is known and kept.
  ReadAll(camera);
  camera.database.CommitAll();
  SettingsFileContext context = FileContext(camera);
  SettingsLoadReport report;
  if (!ReadCameraSettingFile(file.path(), context, &report)) {
    return Failure("The settings could not be read.");
  }
  if (report.sent == 0) return Failure(NoSettingsSentText("The settings file"));
  const int accepted = report.sent - report.refused - report.unanswered;
  std::string summary = "Sent " + std::to_string(report.sent) + " values; " +
                        std::to_string(accepted) + " accepted, " + std::to_string(report.refused) +
                        " not accepted, " + std::to_string(report.unanswered) + " not answered.";
  if (report.foreign > 0) {
    summary += " " + std::to_string(report.foreign) +
               (report.foreign == 1 ? " line was" : " lines were") +
               " skipped: no register, or no whole 32-bit value.";
  }
  const bool complete = report.refused == 0 && report.unanswered == 0 && !report.line_lost;
  Json reply = complete ? Success() : Failure(summary);
  reply["sent"] = report.sent;
  reply["accepted"] = accepted;
  reply["refused"] = report.refused;
  reply["unanswered"] = report.unanswered;
  reply["skipped"] = report.foreign;
  reply["message"] = summary;
  return reply;
}

int AreaOf(const Json& area) {
  if (area.is_number_integer()) {
    const int64_t value = area.get<int64_t>();
    return value >= kFactoryArea && value <= kLastUserArea ? static_cast<int>(value) : -1;
  }
  if (!area.is_string()) return -1;
  const std::string text = area;
  if (text == "factory" || text == "0") return kFactoryArea;
  if (text == "1" || text == "2" || text == "3") return text[0] - '0';
  return -1;
}

Json UserSet(CameraContext& camera, const Json& request) {
  const std::string action = request["action"];
  if (action == "show") {
    Json reply = Success();
    reply["area"] = ReadAreaText(camera.engine);
    return reply;
  }
  const int area = AreaOf(request["area"]);
  if (action == "load") {
    if (!LoadUserSet(camera.engine, area)) return Failure("The camera did not load " + AreaDataText(area) + ".");
  } else if (!StoreUserSet(camera.engine, area)) {
    return Failure("The camera did not store its settings in " + AreaDataText(area) + ".");
  }
  Json reply = Success();
  reply["area"] = AreaDataText(area);
  return reply;
}

// The tables a LUT operation covers; empty (with `error`) when the camera has not that table.
std::vector<int> TablesOf(const CameraContext& camera, const Json& request, std::string& error) {
  const std::string name = request.contains("table") ? std::string(request["table"]) : "all";
  const bool mono = camera.engine.device().IsMonochrome();
  if (name == "all") {
    return mono ? std::vector<int>{kGreenLut} : std::vector<int>{kRedLut, kGreenLut, kBlueLut};
  }
  const int table = name == "red" ? kRedLut : name == "green" ? kGreenLut : kBlueLut;
  if (mono && table != kGreenLut) {
    error = "A monochrome camera has only the green table.";
    return {};
  }
  return {table};
}

Json LutRead(CameraContext& camera, const Json& request) {
  std::string error;
  const std::vector<int> tables = TablesOf(camera, request, error);
  if (tables.empty()) return Failure(error);
  ScratchFile file;
  if (!file.ok()) return Failure("The agent could not make a scratch file.");
  NullProgress progress;
  NullWindowGate windows;
  LutTransferContext io{camera.engine, camera.engine.clock(), progress, windows};
  LutBank bank;
  for (int table : tables) {
    if (!ReadLutTable(io, bank, table)) return Failure("The LUT transfer did not complete.");
  }
  if (!WriteLutFile(file.path(), bank, camera.engine.device().kind)) {
    return Failure("The LUT file could not be written.");
  }
  const std::optional<std::string> content = file.Read();
  if (!content) return Failure("The LUT file could not be read back.");
  Json reply = Success();
  reply["content"] = *content;
  return reply;
}

Json LutWrite(CameraContext& camera, const Json& request) {
  std::string error;
  const std::vector<int> tables = TablesOf(camera, request, error);
  if (tables.empty()) return Failure(error);
  ScratchFile file;
  if (!file.ok() || !file.Write(request["content"])) {
    return Failure("The agent could not make a scratch file.");
  }
  LutBank bank;
  int entries = 0;
  if (!ReadLutFile(file.path(), bank, camera.engine.device().kind, &entries)) {
    return Failure("The LUT file could not be read.");
  }
  if (entries == 0) return Failure("The LUT file holds no entries; nothing was written.");
  NullProgress progress;
  NullWindowGate windows;
  LutTransferContext io{camera.engine, camera.engine.clock(), progress, windows};
  for (int table : tables) {
    if (!WriteLutTable(io, bank, table, table, entries)) {
      return Failure("The LUT transfer did not complete.");
    }
  }
  Json reply = Success();
  reply["entries"] = entries;
  return reply;
}

Json SideJson(const CameraContext& camera, const Feature* feature, const SettingsValues& side,
              int command_id) {
  const auto found = side.find(command_id);
  if (found == side.end()) return nullptr;
  return Json{{"value", found->second},
              {"text", feature != nullptr
                           ? DisplayText(*feature, found->second, camera.engine.device())
                           : std::to_string(found->second)}};
}

Json Diff(CameraContext& camera, const Json& request) {
  ScratchFile file;
  if (!file.ok() || !file.Write(request["content"])) {
    return Failure("The agent could not make a scratch file.");
  }
  SettingsFileContext context = FileContext(camera);
  const std::optional<SettingsValues> file_values = ReadFileSettingsValues(file.path(), context);
  if (!file_values) return Failure("The settings could not be read.");
  // Against a file without a value for this camera every camera would "match".
  if (file_values->empty()) {
    return Failure("The settings file holds no settings this camera takes; nothing to compare.");
  }
  NullProgress progress;
  CameraReadTrouble trouble;
  const std::optional<SettingsValues> camera_values = ReadCameraSettingsValues(
      camera.engine, camera.database, 0, CcmSelectorOf(camera.database), progress, &trouble);
  if (!camera_values) return Failure(trouble.message);
  Json differences = Json::array();
  for (const SettingsDifference& difference : DiffSettings(*camera_values, *file_values)) {
    const Feature* feature = FeatureOf(difference.command_id);
    differences.push_back(
        {{"feature", std::string(CommandTable::FeatureLabel(difference.command_id))},
         {"address", camera.engine.table().GetCommandAddress(difference.command_id)},
         {"camera", SideJson(camera, feature, *camera_values, difference.command_id)},
         {"file", SideJson(camera, feature, *file_values, difference.command_id)}});
  }
  Json reply = Success();
  reply["same"] = differences.empty();
  reply["differences"] = std::move(differences);
  return reply;
}

// Checks one argument: present with the right type (and what else `valid` wants).
bool HasString(const Json& request, const char* key, std::string& error, size_t max_size = 256) {
  if (!request.contains(key) || !request[key].is_string()) {
    error = std::string("\"") + key + "\" is missing or not a string.";
    return false;
  }
  if (request[key].get_ref<const std::string&>().size() > max_size) {
    error = std::string("\"") + key + "\" is longer than " + std::to_string(max_size) + " bytes.";
    return false;
  }
  return true;
}

}  // namespace

std::string CheckRequest(const Json& request) {
  if (!request.is_object()) return "The request is not a JSON object.";
  if (!request.contains("id") || !request["id"].is_string() ||
      !fleet::IsValidRequestId(request["id"].get_ref<const std::string&>())) {
    return "The request has no \"id\" of 1 to 128 printable characters.";
  }
  if (!request.contains("op") || !request["op"].is_string()) return "The request has no \"op\".";
  const std::string op = request["op"];
  if (!fleet::IsOperation(op)) return "\"" + op + "\" is not an operation of the agent.";
  std::set<std::string> allowed = {"id", "op"};
  std::string error;
  if (op == "get" || op == "set") {
    allowed.insert("feature");
    if (!HasString(request, "feature", error)) return error;
    if (!NamesParameter(request["feature"])) {
      return "Unknown parameter \"" + std::string(request["feature"]) + "\".";
    }
  }
  if (op == "set") {
    allowed.insert("value");
    if (!request.contains("value") ||
        !(request["value"].is_string() || request["value"].is_number_integer())) {
      return "\"value\" is missing or neither a string nor an integer.";
    }
  }
  if (op == "load-settings" || op == "diff" || op == "lut-write") {
    allowed.insert("content");
    if (!HasString(request, "content", error, kMaxRequestContent)) return error;
  }
  if (op == "lut-read" || op == "lut-write") {
    allowed.insert("table");
    if (request.contains("table")) {
      const Json& table = request["table"];
      if (!table.is_string() || (table != "red" && table != "green" && table != "blue" &&
                                 table != "all")) {
        return "\"table\" is red, green, blue or all.";
      }
    }
  }
  if (op == "userset") {
    allowed.insert("action");
    allowed.insert("area");
    if (!HasString(request, "action", error)) return error;
    const std::string action = request["action"];
    if (action != "load" && action != "store" && action != "show") {
      return "\"action\" is load, store or show.";
    }
    if (action != "show" && (!request.contains("area") || AreaOf(request["area"]) < 0)) {
      return "userset " + action + " needs an \"area\": factory, 1, 2 or 3.";
    }
  }
  for (const auto& [key, value] : request.items()) {
    if (allowed.count(key) == 0) return "\"" + key + "\" is not an argument of " + op + ".";
  }
  return "";
}

Json RunOperation(CameraContext& camera, const Json& request) {
  const std::string op = request["op"];
  if (op == "get") return Get(camera, request);
  if (op == "set") return Set(camera, request);
  if (op == "dump") return Dump(camera);
  if (op == "save-settings") return SaveSettings(camera);
  if (op == "load-settings") return LoadSettings(camera, request);
  if (op == "userset") return UserSet(camera, request);
  if (op == "lut-read") return LutRead(camera, request);
  if (op == "lut-write") return LutWrite(camera, request);
  if (op == "diff") return Diff(camera, request);
  return Failure("\"" + op + "\" is not an operation of the agent.");
}

Json NamedParameters(const CameraContext& camera, const std::vector<int>& read_rows) {
  Json params = Json::object();
  const auto& rows = camera.database.rows();
  for (int row_index : read_rows) {
    if (row_index < 0 || static_cast<size_t>(row_index) >= rows.size()) continue;
    const ParameterRow& row = rows[static_cast<size_t>(row_index)];
    const Feature* feature = FeatureOf(row.command_id);
    params[ParameterDatabase::Label(row_index)] = {
        {"address", camera.engine.table().GetCommandAddress(row.command_id)},
        {"value", row.current_value},
        {"text", feature != nullptr
                     ? DisplayText(*feature, row.current_value, camera.engine.device())
                     : std::to_string(row.current_value)}};
  }
  return params;
}

bool MayChangeParameters(const Json& request) {
  const std::string op = request["op"];
  if (op == "set" || op == "load-settings") return true;
  return op == "userset" && request["action"] == "load";
}

}  // namespace ctrl::agent
