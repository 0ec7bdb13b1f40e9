// identify, get, set and dump: the camera's identity and its parameters one by one or all.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "camera/bulk_read.h"
#include "camera/feature_catalogue.h"
#include "camera/identity.h"
#include "camera/link_rate.h"
#include "camera/model_profile.h"
#include "camera/parameter_database.h"
#include "camera/parameter_target.h"
#include "cli/arguments.h"
#include "cli/completion.h"
#include "cli/display_text.h"
#include "cli/json.h"
#include "cli/subcommands.h"

namespace ctrl::cli {
namespace {

std::string Hex8(uint32_t reg) { return RegisterAddressText(reg); }

bool IsTextCommand(int command_id) {
  const Feature* feature = FeatureOfCommand(command_id);
  return feature != nullptr && feature->kind == FeatureKind::kText;
}

template <typename Number, typename ToText>
std::optional<std::string> NumberText(const std::optional<Number>& value, ToText text) {
  return value ? std::optional<std::string>(text(value)) : std::nullopt;
}

using Target = ParameterTarget;

// A label of the command table or a register address ("0x01001010"); nothing after a message.
std::optional<Target> ResolveTarget(Session& session, const std::string& text) {
  std::optional<Target> target =
      FindParameterTarget(session.table(), session.engine().device().kind, text);
  if (!target) session.err() << "Unknown parameter \"" << DisplayText(text) << "\".\n";
  return target;
}

// The catalogue's entry of a command; nullptr for a register outside the command table.
const Feature* FeatureOf(int command_id) {
  return command_id >= 0 ? FeatureOfCommand(command_id) : nullptr;
}

// A register value as an operator reads it: an enum's item name for this camera, else the
// number. With --raw always the number.
std::string NamedValue(Session& session, const Feature* feature, int32_t value) {
  if (!session.raw() && feature != nullptr && feature->kind == FeatureKind::kEnum) {
    const DeviceModel& device = session.engine().device();
    const std::string_view name = ItemName(*feature, device.kind, value, device.version_number);
    if (!name.empty()) return std::string(name);
  }
  return std::to_string(value);
}

// The JSON record of a value read: the integer, its named (and converted) text, its unit.
Json ValueJson(Session& session, const std::string& label, const std::string& address,
               const Feature* feature, int32_t value) {
  Json item = ValueRecord(label, address);
  item["value"] = value;
  item["text"] = feature != nullptr ? DisplayText(*feature, value, session.engine().device())
                                    : std::to_string(value);
  if (feature != nullptr && !feature->unit.empty()) item["unit"] = std::string(feature->unit);
  return item;
}

// The record of a value that could not be read or written: no value, the reason.
Json UnreadJson(const std::string& label, const std::string& address, const Feature* feature,
                const std::string& error) {
  Json item = ValueRecord(label, address);
  if (feature != nullptr && !feature->unit.empty()) item["unit"] = std::string(feature->unit);
  item["error"] = error;
  return item;
}

// Prints a register value read.
void PrintValue(Session& session, const Target& target, int32_t value) {
  const Feature* feature = FeatureOf(target.command_id);
  if (session.json()) {
    session.EmitJson(ValueJson(session, target.label, Hex8(target.reg), feature, value));
  } else {
    session.out() << NamedValue(session, feature, value) << '\n';
  }
}

// Prints a text read: as it is for JSON, made safe for a terminal otherwise.
void PrintText(Session& session, const Target& target, const std::string& text) {
  if (session.json()) {
    Json item = ValueRecord(target.label, Hex8(target.reg));
    item["value"] = text;
    item["text"] = text;
    session.EmitJson(std::move(item));
  } else {
    session.out() << DisplayText(text) << '\n';
  }
}

// The value `set` writes: an item name of this camera (any case) or, with --raw or for
// parameters without items, a number. Nothing after a message on stderr when neither.
std::optional<int32_t> ValueToWrite(Session& session, const Target& target,
                                    const std::string& text) {
  const Feature* feature = FeatureOf(target.command_id);
  const bool named = !session.raw() && feature != nullptr && feature->kind == FeatureKind::kEnum;
  if (named) {
    const DeviceModel& device = session.engine().device();
    if (auto value = ItemValue(*feature, device.kind, text, device.version_number)) return value;
  }
  int32_t value = 0;
  if (ParseRegisterValue(text, value)) return value;
  if (named) {
    const DeviceModel& device = session.engine().device();
    session.err() << "\"" << DisplayText(text) << "\" is not a value of " << target.label
                  << ". Valid:";
    const std::vector<EnumItem> items = ItemsFor(*feature, device.kind, device.version_number);
    for (size_t i = 0; i < items.size(); ++i) {
      session.err() << (i == 0 ? " " : ", ") << items[i].name;
    }
    session.err() << " (or a number).\n";
  } else {
    session.err() << "\"" << DisplayText(text) << "\" is not a 32-bit integer.\n";
  }
  return std::nullopt;
}

// A value that could not be read: no value in JSON, the reason on stderr.
int PrintUnread(Session& session, const Target& target, const std::string& error) {
  if (session.json()) {
    session.EmitJson(
        UnreadJson(target.label, Hex8(target.reg), FeatureOf(target.command_id), error));
  }
  session.err() << error << '\n';
  return kExitCamera;
}

// `set` on an identity text: the user ID and serial number follow their own commands' rules
// and are written whole; the other texts are the camera's own.
int SetText(Session& session, int field, uint32_t reg, const std::string& text) {
  const std::string label(CommandTable::FeatureLabel(field));
  if (field != cmd::kUserId && field != cmd::kSerialNumber) {
    session.err() << label << " is read-only.\n";
    return kExitUsage;
  }
  if (reg != session.table().GetCommandRegister(field)) {
    session.err() << Hex8(reg) << " is part of " << label << ", which is written as a whole: use "
                  << (field == cmd::kUserId ? "set-user-id" : "set-serial") << ".\n";
    return kExitUsage;
  }
  const int code =
      field == cmd::kUserId ? WriteUserIdText(session, text) : WriteSerialText(session, text);
  if (code == kExitOk && session.json()) {
    Json item = ValueRecord(label, Hex8(reg));
    item["value"] = text;
    item["text"] = text;
    session.EmitJson(std::move(item));
  }
  return code;
}

int IdentifyCommand(Session& session) {
  Command& engine = session.engine();
  // A camera left at another rate is found there; any model, supported or not, is identified.
  if (LineRateControl* line = session.line_rate()) {
    const RateDetection detection = DetectCameraRate(engine, *line, /*report_unsupported=*/false);
    if (detection.changed) session.err() << detection.message << '\n';
  }
  DeviceIdentity id = ReadDeviceIdentity(engine);
  if (!id.firmware_version) {
    session.err() << "The camera did not answer.\n";
    return kExitCamera;
  }
  // Label and value of each field; no value when its read failed.
  std::vector<std::pair<std::string, std::optional<std::string>>> fields = {
      {"Device Vendor Name", id.vendor_name},
      {"Device Model Name", id.model_name},
      {"Device Serial Number", id.serial_number},
      {"Device Type", NumberText(id.device_type, DeviceTypeText)},
      {"Device Scan Type", NumberText(id.scan_type, ScanTypeText)},
      {"Sensor ID", id.sensor_id},
      {"Device Version", id.device_version},
      {"FPGA Version", id.fpga_version},
      {"Device Firmware Version", id.firmware_version},
      {"XML Version", id.xml_version},
      {"Device User ID", id.user_id},
  };
  const ModelKind kind = engine.device().kind;
  std::vector<std::string> unread;
  for (const auto& [label, value] : fields) {
    if (!value) unread.push_back(label);
  }
  fields.emplace_back("Model Kind", std::string(ProfileOf(kind).name));
  std::ostream& out = session.out();
  std::string not_read;
  for (size_t i = 0; i < unread.size(); ++i) not_read += (i == 0 ? "Not read: " : ", ") + unread[i];
  if (!not_read.empty()) not_read += '.';
  if (session.json()) {
    Json json = Json::object();
    for (const auto& [label, value] : fields) json[label] = value ? Json(*value) : Json();
    json["error"] = not_read.empty() ? Json() : Json(not_read);
    session.EmitJson(std::move(json));
  } else {
    for (const auto& [label, value] : fields) {
      const bool version = label.find("Version") != std::string::npos;
      out << label << ": " << std::string(24 - std::min<size_t>(label.size(), 23), ' ')
          << (value     ? DisplayText(*value)
              : version ? kVersionPlaceholder
                        : kTextPlaceholder)
          << '\n';
    }
  }
  if (!not_read.empty()) session.err() << not_read << '\n';
  return kind == ModelKind::Unsupported || !unread.empty() ? kExitCamera : kExitOk;
}

int GetCommand(Session& session, const std::string& parameter) {
  if (!session.Identify()) return kExitCamera;
  const std::optional<Target> target = ResolveTarget(session, parameter);
  if (!target) return kExitUsage;
  Command& engine = session.engine();
  if (IsTextCommand(target->command_id)) {
    std::string text;
    if (!engine.ReadText(target->command_id, kIdentityTextBytes, text, kDefaultTimeoutMs)) {
      return PrintUnread(session, *target, "The camera did not answer for " + target->label + ".");
    }
    PrintText(session, *target, text);
    return kExitOk;
  }
  int32_t value = 0;
  if (!engine.ReadRegister(target->reg, value, kDefaultTimeoutMs)) {
    return PrintUnread(session, *target,
                       "The camera did not answer or refused " + target->label + ".");
  }
  PrintValue(session, *target, value);
  return kExitOk;
}

struct SetArguments {
  std::string parameter;
  std::string value;
};

int SetCommand(Session& session, const SetArguments& arguments) {
  if (!session.Identify()) return kExitCamera;
  const std::optional<Target> target = ResolveTarget(session, arguments.parameter);
  if (!target) return kExitUsage;
  const int command_id = target->command_id;
  if (const int field = IdentityTextFieldAt(session.table(), target->reg); field >= 0) {
    return SetText(session, field, target->reg, arguments.value);
  }
  const std::optional<int32_t> value = ValueToWrite(session, *target, arguments.value);
  if (!value) return kExitUsage;
  const Feature* feature = FeatureOf(command_id);
  if (!session.engine().WriteRegister(target->reg, *value, WriteTimeoutMs(command_id))) {
    const std::string error =
        "The camera did not accept " + DisplayText(arguments.value) + " for " + target->label + ".";
    if (session.json()) {
      session.EmitJson(UnreadJson(target->label, Hex8(target->reg), feature, error));
    }
    session.err() << error << '\n';
    return kExitCamera;
  }
  // The camera answers at its new rate from now on: the PC side follows.
  LineRateControl* line = session.line_rate();
  if (command_id == cmd::kBaudRate && line != nullptr) {
    const int new_rate = RateOfBaudRateCode(*value);
    std::string message;
    if (new_rate != 0 &&
        !FollowCameraRate(session.engine(), *line, line->LineRate(), new_rate, message)) {
      if (session.json()) {
        session.EmitJson(UnreadJson(target->label, Hex8(target->reg), feature, message));
      }
      session.err() << message << '\n';
      return kExitCamera;
    }
    if (!message.empty() && !session.json()) session.err() << message << '\n';
  }
  // What the camera now holds: the value written, which it accepted.
  if (session.json()) {
    session.EmitJson(ValueJson(session, target->label, Hex8(target->reg), feature, *value));
  }
  return kExitOk;
}

// Lists every parameter the run reads (factory ones with --factory). A parameter the camera
// did not give has no value, never a built-in one.
int DumpCommand(Session& session) {
  if (!session.Identify()) return kExitCamera;
  ParameterDatabase& db = Database();
  NullProgress progress;
  const BulkReadResult result =
      ReadAllParameters(session.engine(), db, session.FactoryMode(), CcmFromDatabase(db), progress);
  const std::set<int> read(result.read_rows.begin(), result.read_rows.end());
  const std::set<int> failed(result.failed_rows.begin(), result.failed_rows.end());
  constexpr const char* kUnread = "The camera did not answer or refused it.";
  const auto& rows = db.rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row_index = static_cast<int>(i);
    const bool was_read = read.count(row_index) != 0;
    if (!was_read && failed.count(row_index) == 0) continue;
    const std::string label = ParameterDatabase::Label(row_index);
    const std::string address = session.table().GetCommandAddress(rows[i].command_id);
    const Feature* feature = FeatureOf(rows[i].command_id);
    if (session.json()) {
      session.EmitJson(was_read ? ValueJson(session, label, address, feature, rows[i].current_value)
                                : UnreadJson(label, address, feature, kUnread));
    } else {
      session.out() << label << std::string(30 - std::min<size_t>(label.size(), 29), ' ') << address
                    << "  "
                    << (was_read ? NamedValue(session, feature, rows[i].current_value)
                                 : "(not read)")
                    << '\n';
    }
  }
  if (result.line_lost) session.err() << kLineLostMessage;
  if (result.failed > 0) {
    session.err() << result.failed << " parameters could not be read.\n";
    return kExitCamera;
  }
  return kExitOk;
}

}  // namespace

Subcommand AddIdentify(CLI::App& app) {
  return {app.add_subcommand("identify", "Show the camera's identity"), IdentifyCommand};
}

Subcommand AddGet(CLI::App& app) {
  auto parameter = std::make_shared<std::string>();
  CLI::App* parser = app.add_subcommand("get", "Read one parameter by label or register address");
  parser->add_option("parameter", *parameter, "Feature label or address")
      ->type_name(kFeatureValue)
      ->required();
  return {parser, [parameter](Session& session) { return GetCommand(session, *parameter); }};
}

Subcommand AddSet(CLI::App& app) {
  auto arguments = std::make_shared<SetArguments>();
  CLI::App* parser = app.add_subcommand("set", "Write one parameter by label or register address");
  parser->add_option("parameter", arguments->parameter, "Feature label or address")
      ->type_name(kFeatureValue)
      ->required();
  parser
      ->add_option("value", arguments->value,
                   "Item name (any case) or number (decimal or 0x hexadecimal)")
      ->required();
  return {parser, [arguments](Session& session) { return SetCommand(session, *arguments); }};
}

Subcommand AddDump(CLI::App& app) {
  return {app.add_subcommand("dump", "Read and list every parameter with its named value"),
          DumpCommand, /*needs_camera=*/true, /*long_transfer=*/true};
}

}  // namespace ctrl::cli
