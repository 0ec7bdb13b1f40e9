#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <ostream>
#include <set>
#include <sstream>

#include <unistd.h>

#include <iostream>

#include "camera/bulk_read.h"
#include "camera/command_engine.h"
#include "camera/identity.h"
#include "camera/notifier.h"
#include "camera/parameter_database.h"
#include "camera/time_stamp.h"
#include "camera/user_sets.h"
#include "cli/arguments.h"
#include "cli/connection.h"
#include "cli/display_text.h"
#include "cli/json.h"
#include "cli/terminal_progress.h"
#include "files/atomic_file.h"
#include "files/camera_settings_file.h"
#include "lut/lut_file.h"
#include "lut/lut_transfer.h"

namespace ctrl::cli {
namespace {

constexpr const char* kLineLostMessage =
    "The camera's line went away (the camera hung up or the adapter was unplugged).\n";

// Messages of the core go to stderr; questions are never asked of a script.
class StreamNotifier final : public Notifier {
 public:
  explicit StreamNotifier(std::ostream& err) : err_(err) { InstallNotifier(this); }
  ~StreamNotifier() override { InstallNotifier(nullptr); }
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
    // Messages quote camera texts (an unsupported model's name): shown escaped.
    std::string flat = text;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    err_ << (caption.empty() ? "" : caption + ": ") << DisplayText(flat) << '\n';
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }

 private:
  std::ostream& err_;
};

class CcmFromDatabase {
 public:
  explicit CcmFromDatabase(const ParameterDatabase& db) : db_(db) {}
  int operator()() const {
    for (const auto& row : db_.rows()) {
      if (row.command_id == cmd::kCcmSelector) return row.current_value;
    }
    return -1;
  }

 private:
  const ParameterDatabase& db_;
};

struct Parsed {
  ConnectionOptions connection;
  bool json = false;
  bool factory = false;  // factory control mode for this run
  std::string target;    // get / set: label or address; userset: load, store or area
  std::string value;     // set: value; userset: area; identity: text
  std::string file;      // settings file or LUT file
  bool shipping = false;
  std::string lut_action;         // read or write
  std::string lut_table = "all";  // red, green, blue or all
};

// Prints the traffic with the terminal's time stamps.
class StampedTrace final : public TraceSink {
 public:
  explicit StampedTrace(std::ostream& out) : out_(out) {}
  void TraceLine(std::string_view line) override {
    out_ << TerminalTimeStamp(std::chrono::system_clock::now()) << DisplayText(line) << '\n'
         << std::flush;
  }

 private:
  std::ostream& out_;
};

int AreaOf(const std::string& text) {
  if (text == "factory" || text == "0") return kFactoryArea;
  if (text == "1" || text == "2" || text == "3") return text[0] - '0';
  return -1;
}

std::string Hex8(uint32_t reg) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", reg);
  return text;
}

bool IsTextCommand(int command_id) {
  return command_id >= cmd::kVendorName && command_id <= cmd::kXmlVersion;
}

// A label of the command table or a register address ("0x01001010"). Fills the command id when
// the target names a command, else only the register.
bool ResolveTarget(const std::string& target, const CommandTable& table, ModelKind kind,
                   int& command_id, uint32_t& reg) {
  command_id = CommandTable::FindCommandByLabel(target);
  if (command_id >= 0) {
    reg = table.GetCommandRegister(command_id);
    return true;
  }
  if (target.size() > 2 && target[0] == '0' && (target[1] == 'x' || target[1] == 'X') &&
      target.size() <= 10 &&
      target.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos) {
    reg = AutoBaseToUInt32(target);
    command_id = table.FindCommandByAddress(Hex8(reg), kind);
    return true;
  }
  return false;
}

// A terminal reply ends at the prompt, after this much silence, or at the latest this long after
// the line was sent, however much the camera keeps talking.
constexpr int kTerminalSilenceMs = 1000;
constexpr int64_t kTerminalReplyLimitMs = 5000;

class Runner {
 public:
  Runner(const Parsed& parsed, std::ostream& out, std::ostream& err, const Environment& environment)
      : parsed_(parsed),
        out_(out),
        err_(err),
        environment_(environment),
        clock_(environment.clock != nullptr ? *environment.clock : DefaultClock()) {}

  int Open() {
    connection_ = environment_.open_connection
                      ? environment_.open_connection(parsed_.connection, err_)
                      : OpenConnection(parsed_.connection, err_);
    if (!connection_) return kExitCamera;
    engine_ = std::make_unique<Command>(connection_->channel(), clock_, table_, status_);
    return kExitOk;
  }

  // Identifies the model so addresses and availability follow it. Commands on parameters need a
  // supported model; the model check has already named an unsupported one.
  bool Identify() {
    if (!engine_->CheckModel()) {
      err_ << "The camera did not answer.\n";
      return false;
    }
    if (engine_->device().kind == ModelKind::Unsupported) {
      err_ << "Nothing was done: this command needs a supported model.\n";
      return false;
    }
    if (engine_->device().IsWideMono()) table_.ApplyWideModelOverride();
    return true;
  }

  int IdentifyCommand() {
    DeviceIdentity id = ReadDeviceIdentity(*engine_);
    if (!id.firmware_version) {
      err_ << "The camera did not answer.\n";
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
    const ModelKind kind = engine_->device().kind;
    std::vector<std::string> unread;
    for (const auto& [label, value] : fields) {
      if (!value) unread.push_back(label);
    }
    fields.emplace_back("Model Kind", KindName(kind));
    if (parsed_.json) {
      Json json = Json::object();
      for (const auto& [label, value] : fields) json[label] = value ? Json(*value) : Json();
      out_ << JsonText(json) << '\n';
    } else {
      for (const auto& [label, value] : fields) {
        const bool version = label.find("Version") != std::string::npos;
        out_ << label << ": " << std::string(24 - std::min<size_t>(label.size(), 23), ' ')
             << (value     ? DisplayText(*value)
                 : version ? kVersionPlaceholder
                           : kTextPlaceholder)
             << '\n';
      }
    }
    if (!unread.empty()) {
      err_ << "Not read:";
      for (size_t i = 0; i < unread.size(); ++i) err_ << (i == 0 ? " " : ", ") << unread[i];
      err_ << ".\n";
    }
    return kind == ModelKind::Unsupported || !unread.empty() ? kExitCamera : kExitOk;
  }

  // The parameter a get or set names, with the label its messages use.
  struct Target {
    int command_id = -1;
    uint32_t reg = 0;
    std::string label;
  };

  bool Resolve(Target& target) {
    if (!ResolveTarget(parsed_.target, table_, engine_->device().kind, target.command_id,
                       target.reg)) {
      err_ << "Unknown parameter \"" << parsed_.target << "\".\n";
      return false;
    }
    target.label = target.command_id >= 0
                       ? std::string(CommandTable::FeatureLabel(target.command_id))
                       : Hex8(target.reg);
    return true;
  }

  int GetCommand() {
    if (!Identify()) return kExitCamera;
    Target target;
    if (!Resolve(target)) return kExitUsage;
    const int command_id = target.command_id;
    const uint32_t reg = target.reg;
    const std::string& label = target.label;
    if (IsTextCommand(command_id)) {
      std::string text;
      if (!engine_->ReadText(command_id, kIdentityTextBytes, text, kDefaultTimeoutMs)) {
        return PrintUnread(label, reg, "The camera did not answer for " + label + ".");
      }
      PrintValue(label, reg, text, DisplayText(text));
      return kExitOk;
    }
    int32_t value = 0;
    if (!engine_->ReadRegister(reg, value, kDefaultTimeoutMs)) {
      return PrintUnread(label, reg, "The camera did not answer or refused " + label + ".");
    }
    PrintValue(label, reg, value, std::to_string(value));
    return kExitOk;
  }

  int SetCommand() {
    if (!Identify()) return kExitCamera;
    Target target;
    if (!Resolve(target)) return kExitUsage;
    const int command_id = target.command_id;
    const uint32_t reg = target.reg;
    const std::string& label = target.label;
    if (const int field = TextFieldAt(reg); field >= 0) return SetText(field, reg);
    int32_t value = 0;
    if (!ParseRegisterValue(parsed_.value, value)) {
      err_ << "\"" << parsed_.value << "\" is not a 32-bit integer.\n";
      return kExitUsage;
    }
    int timeout = command_id == cmd::kDeviceReset ? kDeviceResetTimeoutMs : kDefaultTimeoutMs;
    if (command_id == 77 || command_id == 78) timeout = kCalibrationTimeoutMs;
    if (!engine_->WriteRegister(reg, value, timeout)) {
      err_ << "The camera did not accept " << value << " for " << label << ".\n";
      return kExitCamera;
    }
    return kExitOk;
  }

  // Lists every parameter the run reads (factory ones with --factory). A parameter the camera
  // did not give has no value, never a built-in one.
  int DumpCommand() {
    if (!Identify()) return kExitCamera;
    ParameterDatabase& db = Database();
    NullProgress progress;
    const BulkReadResult result =
        ReadAllParameters(*engine_, db, FactoryMode(), CcmFromDatabase(db), progress);
    const std::set<int> read(result.read_rows.begin(), result.read_rows.end());
    const std::set<int> failed(result.failed_rows.begin(), result.failed_rows.end());
    constexpr const char* kUnread = "The camera did not answer or refused it.";
    Json json = Json::array();
    const auto& rows = db.rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      const int row_index = static_cast<int>(i);
      const bool was_read = read.count(row_index) != 0;
      if (!was_read && failed.count(row_index) == 0) continue;
      const std::string label = ParameterDatabase::Label(row_index);
      const std::string address = table_.GetCommandAddress(rows[i].command_id);
      if (parsed_.json) {
        Json item = {{"label", label}, {"address", address}};
        item["value"] = was_read ? Json(rows[i].current_value) : Json();
        if (!was_read) item["error"] = kUnread;
        json.push_back(std::move(item));
      } else {
        out_ << label << std::string(30 - std::min<size_t>(label.size(), 29), ' ') << address
             << "  " << (was_read ? std::to_string(rows[i].current_value) : "(not read)") << '\n';
      }
    }
    if (parsed_.json) out_ << JsonText(json) << '\n';
    if (result.line_lost) err_ << kLineLostMessage;
    if (result.failed > 0) {
      err_ << result.failed << " parameters could not be read.\n";
      return kExitCamera;
    }
    return kExitOk;
  }

  int SaveSettingsCommand() {
    if (!CanWriteSettingsFile(parsed_.file)) return kExitCamera;
    if (!Identify()) return kExitCamera;
    ParameterDatabase& db = Database();
    TerminalProgress progress(err_, isatty(STDERR_FILENO) != 0);
    BulkReadResult result =
        ReadAllParameters(*engine_, db, FactoryMode(), CcmFromDatabase(db), progress);
    if (result.line_lost) err_ << kLineLostMessage;
    if (result.failed > 0) {
      // A file with built-in values in place of unread ones would not describe this camera.
      err_ << result.failed << " parameters could not be read; " << parsed_.file
           << " was not written.\n";
      return kExitCamera;
    }
    db.CommitAll();
    SettingsFileContext context{*engine_, db, FactoryMode(), CcmFromDatabase(db), nullptr, nullptr};
    bool written = parsed_.shipping ? WriteShippingDataFile(parsed_.file, context)
                                    : WriteAllDataFile(parsed_.file, context);
    if (!written) return kExitCamera;
    err_ << "Saved " << result.read << " parameters to " << parsed_.file << ".\n";
    return kExitOk;
  }

  int LoadSettingsCommand() {
    if (!Identify()) return kExitCamera;
    ParameterDatabase& db = Database();
    TerminalProgress progress(err_, isatty(STDERR_FILENO) != 0);
    // The camera's own values first, so a value it refuses is known and kept.
    NullProgress quiet;
    ReadAllParameters(*engine_, db, FactoryMode(), CcmFromDatabase(db), quiet);
    db.CommitAll();
    SettingsFileContext context{*engine_,  db,     FactoryMode(), CcmFromDatabase(db),
                                &progress, nullptr};
    SettingsLoadReport report;
    if (!ReadCameraSettingFile(parsed_.file, context, &report)) return kExitCamera;
    err_ << "Sent " << report.sent << " values from " << parsed_.file << "; "
         << report.sent - report.refused - report.unanswered << " accepted, " << report.refused
         << " not accepted, " << report.unanswered << " not answered.\n";
    return report.refused == 0 && report.unanswered == 0 ? kExitOk : kExitCamera;
  }

  int UserSetCommand() {
    const bool area_query = parsed_.target == "area";
    const int area = area_query ? kFactoryArea : AreaOf(parsed_.value);
    if (area < 0) {
      err_ << "The area is factory, 1, 2 or 3.\n";
      return kExitUsage;
    }
    if (parsed_.target == "store" && area == kFactoryArea && !parsed_.factory) {
      err_ << "Storing into the factory area needs --factory.\n";
      return kExitUsage;
    }
    if (!Identify()) return kExitCamera;
    if (area_query) {
      int32_t current = -1;
      if (!engine_->ReadCommand(cmd::kUserSetArea, current, kDefaultTimeoutMs)) {
        err_ << "The camera did not answer.\n";
        return kExitCamera;
      }
      out_ << AreaDataText(current) << '\n';
      return kExitOk;
    }
    if (parsed_.target == "load") {
      if (!LoadUserSet(*engine_, area)) {
        err_ << "The camera did not load " << AreaDataText(area) << ".\n";
        return kExitCamera;
      }
      err_ << "Loaded " << AreaDataText(area) << ".\n";
      return kExitOk;
    }
    TerminalProgress progress(err_, isatty(STDERR_FILENO) != 0);
    return StoreUserSetWithProgress(*engine_, area, progress) ? kExitOk : kExitCamera;
  }

  int SetUserIdCommand() { return Identify() ? WriteUserIdText(parsed_.value) : kExitCamera; }

  int SetSerialCommand() { return Identify() ? WriteSerialText(parsed_.value) : kExitCamera; }

  // Sends each input line with CR LF and prints every line sent and received with the
  // terminal's time stamp; a reply ends at the "OK>" prompt or after a second of silence.
  int TerminalCommand() {
    std::istream& in = environment_.in != nullptr ? *environment_.in : std::cin;
    StampedTrace trace(out_);
    engine_->set_trace_sink(&trace);
    bool interactive = isatty(STDIN_FILENO) != 0 && &in == &std::cin;
    if (interactive) err_ << "Type a command line (for example: rd 0x01001010); Ctrl-D ends.\n";
    std::string input;
    while (std::getline(in, input)) {
      if (!input.empty() && input.back() == '\r') input.pop_back();
      engine_->ReceiveLine();
      engine_->ClearReceive();
      engine_->SendText(input + "\r\n");
      const int64_t deadline_us = clock_.NowUs() + kTerminalReplyLimitMs * 1000;
      std::string line;
      for (int64_t left_us; (left_us = deadline_us - clock_.NowUs()) > 0;) {
        const auto wait_ms =
            static_cast<int>(std::min<int64_t>(kTerminalSilenceMs, (left_us + 999) / 1000));
        if (!engine_->WaitLine(wait_ms, line) || line == kPromptLine) break;
      }
    }
    engine_->set_trace_sink(nullptr);
    return kExitOk;
  }

  // Reads the camera's LUTs into a CSV file, or writes a CSV file's tables into the camera.
  int LutCommand() {
    // A destination that cannot be written is found before thousands of exchanges, not after.
    if (parsed_.lut_action == "read" && !CanWriteLutFile(parsed_.file)) return kExitCamera;
    if (!Identify()) return kExitCamera;
    const ModelKind kind = engine_->device().kind;
    const bool mono = engine_->device().IsMonochrome();
    std::vector<int> tables;
    if (parsed_.lut_table == "all") {
      tables = mono ? std::vector<int>{kGreenLut} : std::vector<int>{kRedLut, kGreenLut, kBlueLut};
    } else {
      int table = parsed_.lut_table == "red"     ? kRedLut
                  : parsed_.lut_table == "green" ? kGreenLut
                                                 : kBlueLut;
      if (mono && table != kGreenLut) {
        err_ << "A monochrome camera has only the green table.\n";
        return kExitUsage;
      }
      tables = {table};
    }
    LutBank bank;
    TerminalProgress progress(err_, isatty(STDERR_FILENO) != 0);
    NullWindowGate windows;
    LutTransferContext io{*engine_, clock_, progress, windows};
    if (parsed_.lut_action == "read") {
      for (int table : tables) {
        if (!ReadLutTable(io, bank, table)) {
          err_ << "The LUT transfer did not complete; " << parsed_.file << " was not written.\n";
          return kExitCamera;
        }
      }
      if (!mono && tables.size() == 1) {
        err_ << "Only the " << parsed_.lut_table << " table was read; the other columns are 0.\n";
      }
      return WriteLutFile(parsed_.file, bank, kind) ? kExitOk : kExitCamera;
    }
    // Entries the file lacks are not sent: the camera keeps its own values for them.
    int entries = 0;
    if (!ReadLutFile(parsed_.file, bank, kind, &entries)) return kExitCamera;
    if (entries == 0) {
      err_ << parsed_.file << " holds no LUT entries; nothing was written to the camera.\n";
      return kExitCamera;
    }
    for (int table : tables) {
      if (!WriteLutTable(io, bank, table, table, entries)) {
        err_ << "The LUT transfer did not complete.\n";
        return kExitCamera;
      }
    }
    if (entries < kLutEntryCount) {
      err_ << parsed_.file << " holds entries 0 to " << entries - 1
           << "; the camera keeps its values for the others.\n";
    }
    return kExitOk;
  }

 private:
  int FactoryMode() const { return parsed_.factory ? 1 : 0; }

  static std::string KindName(ModelKind kind) {
    switch (kind) {
      case ModelKind::Mono:
        return "monochrome";
      case ModelKind::Color:
        return "colour";
      case ModelKind::WideMono:
        return "wide monochrome";
      case ModelKind::Unsupported:
        return "unsupported";
    }
    return "unsupported";
  }

  template <typename Number, typename ToText>
  static std::optional<std::string> NumberText(const std::optional<Number>& value, ToText text) {
    return value ? std::optional<std::string>(text(value)) : std::nullopt;
  }

  // Prints a value read: as it is for JSON, `shown` for a person.
  template <typename T>
  void PrintValue(const std::string& label, uint32_t reg, const T& value,
                  const std::string& shown) {
    if (parsed_.json) {
      out_ << JsonText({{"label", label}, {"address", Hex8(reg)}, {"value", value}}) << '\n';
    } else {
      out_ << shown << '\n';
    }
  }

  // A value that could not be read: no value in JSON, the reason on stderr.
  int PrintUnread(const std::string& label, uint32_t reg, const std::string& error) {
    if (parsed_.json) {
      out_ << JsonText(
                  {{"label", label}, {"address", Hex8(reg)}, {"value", nullptr}, {"error", error}})
           << '\n';
    }
    err_ << error << '\n';
    return kExitCamera;
  }

  // The identity text field (command id) whose registers include `reg`, or -1.
  int TextFieldAt(uint32_t reg) const {
    for (int id = cmd::kVendorName; id <= cmd::kXmlVersion; ++id) {
      const uint32_t start = table_.GetCommandRegister(id);
      if (reg >= start && reg - start < static_cast<uint32_t>(kIdentityTextBytes)) return id;
    }
    return -1;
  }

  // `set` on an identity text: the user ID and serial number follow their own commands' rules
  // and are written whole; the other texts are the camera's own.
  int SetText(int field, uint32_t reg) {
    const std::string label(CommandTable::FeatureLabel(field));
    if (field != cmd::kUserId && field != cmd::kSerialNumber) {
      err_ << label << " is read-only.\n";
      return kExitUsage;
    }
    if (reg != table_.GetCommandRegister(field)) {
      err_ << Hex8(reg) << " is part of " << label << ", which is written as a whole: use "
           << (field == cmd::kUserId ? "set-user-id" : "set-serial") << ".\n";
      return kExitUsage;
    }
    return field == cmd::kUserId ? WriteUserIdText(parsed_.value) : WriteSerialText(parsed_.value);
  }

  int WriteUserIdText(const std::string& text) {
    if (text.size() > static_cast<size_t>(kMaxUserIdLength)) {
      err_ << "User ID string is too long !!\n";
      return kExitUsage;
    }
    return WriteUserId(*engine_, text) ? kExitOk : kExitCamera;
  }

  int WriteSerialText(const std::string& text) {
    if (!parsed_.factory) {
      err_ << "Writing the serial number needs --factory.\n";
      return kExitUsage;
    }
    if (text.size() > 10) {
      err_ << "A serial number has at most ten characters.\n";
      return kExitUsage;
    }
    return WriteSerialNumber(*engine_, text) ? kExitOk : kExitCamera;
  }

  const Parsed& parsed_;
  std::ostream& out_;
  std::ostream& err_;
  const Environment& environment_;
  Clock& clock_;
  StreamNotifier notifier_{err_};
  CommandTable table_;
  OnlineStatusPublisher status_;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Command> engine_;
};

int CategoryOf(const std::string& name) {
  if (name == "com") return 0;
  if (name == "cl2000") return 1;
  if (name == "cl2001") return 2;
  if (name == "cl11") return 3;
  return -1;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& environment) {
  IgnoreFileSizeSignal();
  CLI::App app{"Control tool for QX-4096M/TR-PCL and QX-8192M-PCL line-scan cameras",
               "ctrltool-cli"};
  Parsed parsed;
  std::string simulate_model;
  std::string category = "com";
  std::string port = "0";
  auto* simulate = app.add_option("--simulate", simulate_model,
                                  "Use a built-in simulated camera (default model QX-4096M-PCL)")
                       ->expected(0, 1);
  app.add_option("--device", parsed.connection.device, "Device path of the COM port (a tty)");
  app.add_option("--category", category, "Port category: com, cl2000, cl2001 or cl11")
      ->check(CLI::IsMember({"com", "cl2000", "cl2001", "cl11"}));
  app.add_option("--port", port, "Port index in the category (COM also as COMn)");
  app.add_option("--baud", parsed.connection.baud_rate, "Line rate")
      ->check(CLI::IsMember({9600, 115200, 460800}));
  app.add_flag("--json", parsed.json, "Machine-readable output (identify, get, dump)");
  app.add_flag("--factory", parsed.factory, "Factory control mode for this run");
  app.require_subcommand(1, 1);

  auto* identify = app.add_subcommand("identify", "Show the camera's identity");
  auto* get = app.add_subcommand("get", "Read one parameter by label or register address");
  get->add_option("parameter", parsed.target, "Feature label or address")->required();
  auto* set = app.add_subcommand("set", "Write one parameter by label or register address");
  set->add_option("parameter", parsed.target, "Feature label or address")->required();
  set->add_option("value", parsed.value, "Value (decimal or 0x hexadecimal)")->required();
  auto* dump = app.add_subcommand("dump", "Read and list every parameter");
  auto* save = app.add_subcommand("save-settings", "Read every parameter and save a .cam file");
  save->add_option("file", parsed.file, "Camera settings file")->required();
  save->add_flag("--shipping", parsed.shipping, "Shipping Data: leave factory parameters out");
  auto* load = app.add_subcommand("load-settings", "Send a .cam file to the camera");
  load->add_option("file", parsed.file, "Camera settings file")->required();
  auto* userset = app.add_subcommand("userset", "Load or store a flash user set, or show the area");
  userset->add_option("action", parsed.target, "load, store or area")
      ->required()
      ->check(CLI::IsMember({"load", "store", "area"}));
  userset->add_option("area", parsed.value, "factory, 1, 2 or 3");
  auto* user_id = app.add_subcommand("set-user-id", "Write the device user ID");
  user_id->add_option("text", parsed.value, "Up to 64 characters")->required();
  auto* serial = app.add_subcommand("set-serial", "Write the device serial number (--factory)");
  serial->add_option("text", parsed.value, "Up to 10 characters")->required();
  auto* ports = app.add_subcommand("ports", "List the ports of every category");
  auto* lut = app.add_subcommand("lut", "Read the camera's LUTs into a CSV file or write one");
  lut->add_option("action", parsed.lut_action, "read or write")
      ->required()
      ->check(CLI::IsMember({"read", "write"}));
  lut->add_option("file", parsed.file, "LUT file (*.csv)")->required();
  lut->add_option("--table", parsed.lut_table, "red, green, blue or all (default)")
      ->check(CLI::IsMember({"red", "green", "blue", "all"}));
  auto* terminal = app.add_subcommand(
      "terminal", "Raw line mode: send each input line, print the traffic with time stamps");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    err << e.what() << '\n' << "Run with --help for usage.\n";
    return kExitUsage;
  }

  parsed.connection.simulate = simulate->count() > 0;
  if (!simulate_model.empty()) parsed.connection.model = simulate_model;
  parsed.connection.category = CategoryOf(category);
  std::string port_text = port;
  if (port_text.rfind("COM", 0) == 0 || port_text.rfind("com", 0) == 0) {
    if (parsed.connection.category != 0) {
      err << "A COMn port name needs --category com.\n";
      return kExitUsage;
    }
    port_text = port_text.substr(3);
  }
  const bool com_name = port_text.size() != port.size();
  int64_t port_number = -1;
  if (!ParseInteger(port_text, com_name ? 1 : 0, std::numeric_limits<int>::max(), port_number)) {
    port_number = -1;
  }
  parsed.connection.port_index = static_cast<int>(com_name ? port_number - 1 : port_number);
  if (port_number < 0 || parsed.connection.port_index < 0 ||
      (parsed.connection.category == 0 && parsed.connection.port_index > 15)) {
    err << "Invalid port \"" << port << "\".\n";
    return kExitUsage;
  }

  if (ports->parsed()) {
    ListPorts(parsed.connection, out);
    return kExitOk;
  }
  Runner runner(parsed, out, err, environment);
  if (int code = runner.Open(); code != kExitOk) return code;
  if (identify->parsed()) return runner.IdentifyCommand();
  if (get->parsed()) return runner.GetCommand();
  if (set->parsed()) return runner.SetCommand();
  if (dump->parsed()) return runner.DumpCommand();
  if (save->parsed()) return runner.SaveSettingsCommand();
  if (load->parsed()) return runner.LoadSettingsCommand();
  if (userset->parsed()) {
    if (parsed.target != "area" && parsed.value.empty()) {
      err << "userset " << parsed.target << " needs an area: factory, 1, 2 or 3.\n";
      return kExitUsage;
    }
    return runner.UserSetCommand();
  }
  if (user_id->parsed()) return runner.SetUserIdCommand();
  if (serial->parsed()) return runner.SetSerialCommand();
  if (terminal->parsed()) return runner.TerminalCommand();
  if (lut->parsed()) return runner.LutCommand();
  return kExitUsage;
}

}  // namespace ctrl::cli
