#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <ostream>
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
#include "cli/connection.h"
#include "cli/json.h"
#include "cli/terminal_progress.h"
#include "files/atomic_file.h"
#include "files/camera_settings_file.h"
#include "lut/lut_file.h"
#include "lut/lut_transfer.h"

namespace ctrl::cli {
namespace {

// Messages of the core go to stderr; questions are never asked of a script.
class StreamNotifier final : public Notifier {
 public:
  explicit StreamNotifier(std::ostream& err) : err_(err) { InstallNotifier(this); }
  ~StreamNotifier() override { InstallNotifier(nullptr); }
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
    std::string flat = text;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    err_ << (caption.empty() ? "" : caption + ": ") << flat << '\n';
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
    out_ << TerminalTimeStamp(std::chrono::system_clock::now()) << line << '\n' << std::flush;
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

bool ParseValue(const std::string& text, int32_t& value) {
  if (text.empty()) return false;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i >= text.size()) return false;
  bool hex = text.size() > i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
  const char* digits = hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (text.find_first_not_of(digits, hex ? i + 2 : i) != std::string::npos) return false;
  // Values travel as 32-bit patterns: accept the unsigned range as well.
  long long parsed = std::stoll(text.substr(i), nullptr, hex ? 16 : 10);
  if (text[0] == '-') parsed = -parsed;
  if (parsed < -2147483648LL || parsed > 4294967295LL) return false;
  value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(parsed)));
  return true;
}

class Runner {
 public:
  Runner(const Parsed& parsed, std::ostream& out, std::ostream& err)
      : parsed_(parsed), out_(out), err_(err) {}

  int Open() {
    connection_ = OpenConnection(parsed_.connection, err_);
    if (!connection_) return kExitCamera;
    engine_ = std::make_unique<Command>(connection_->channel(), DefaultClock(), table_, status_);
    return kExitOk;
  }

  // Identifies the model so addresses and availability follow it.
  bool Identify() {
    if (!engine_->CheckModel()) {
      err_ << "The camera did not answer.\n";
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
    auto text = [](const std::optional<std::string>& v, const char* placeholder) {
      return v ? *v : std::string(placeholder);
    };
    const DeviceModel& device = engine_->device();
    std::vector<std::pair<std::string, std::string>> fields = {
        {"Device Vendor Name", text(id.vendor_name, kTextPlaceholder)},
        {"Device Model Name", text(id.model_name, kTextPlaceholder)},
        {"Device Serial Number", text(id.serial_number, kTextPlaceholder)},
        {"Device Type", DeviceTypeText(id.device_type)},
        {"Device Scan Type", ScanTypeText(id.scan_type)},
        {"Sensor ID", text(id.sensor_id, kTextPlaceholder)},
        {"Device Version", text(id.device_version, kVersionPlaceholder)},
        {"FPGA Version", text(id.fpga_version, kVersionPlaceholder)},
        {"Device Firmware Version", text(id.firmware_version, kVersionPlaceholder)},
        {"XML Version", text(id.xml_version, kVersionPlaceholder)},
        {"Device User ID", text(id.user_id, kTextPlaceholder)},
        {"Model Kind", KindName(device.kind)},
    };
    if (parsed_.json) {
      JsonObject json;
      for (const auto& [label, value] : fields) json.Add(label, value);
      out_ << json.str() << '\n';
    } else {
      for (const auto& [label, value] : fields) {
        out_ << label << ": " << std::string(24 - std::min<size_t>(label.size(), 23), ' ')
             << value << '\n';
      }
    }
    return device.kind == ModelKind::Unsupported ? kExitCamera : kExitOk;
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
        err_ << "The camera did not answer for " << label << ".\n";
        return kExitCamera;
      }
      PrintValue(label, reg, text);
      return kExitOk;
    }
    int32_t value = 0;
    if (!engine_->ReadRegister(reg, value, kDefaultTimeoutMs)) {
      err_ << "The camera did not answer or refused " << label << ".\n";
      return kExitCamera;
    }
    PrintValue(label, reg, value);
    return kExitOk;
  }

  int SetCommand() {
    if (!Identify()) return kExitCamera;
    Target target;
    if (!Resolve(target)) return kExitUsage;
    const int command_id = target.command_id;
    const uint32_t reg = target.reg;
    const std::string& label = target.label;
    if (IsTextCommand(command_id)) {
      if (!engine_->WriteText(command_id, parsed_.value, kDefaultTimeoutMs)) {
        err_ << "The camera did not accept " << label << ".\n";
        return kExitCamera;
      }
      return kExitOk;
    }
    int32_t value = 0;
    if (!ParseValue(parsed_.value, value)) {
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

  int DumpCommand() {
    if (!Identify()) return kExitCamera;
    ParameterDatabase& db = Database();
    NullProgress progress;
    BulkReadResult result =
        ReadAllParameters(*engine_, db, 0, CcmFromDatabase(db), progress);
    JsonArray json;
    const auto& rows = db.rows();
    int ccm = CcmFromDatabase(db)();
    for (size_t i = 0; i < rows.size(); ++i) {
      const ParameterRow& row = rows[i];
      if (!CommandTable::IsCommandAvailable(row.command_id, engine_->device().kind, ccm)) continue;
      std::string address = table_.GetCommandAddress(row.command_id);
      if (parsed_.json) {
        JsonObject item;
        item.Add("label", ParameterDatabase::Label(static_cast<int>(i)));
        item.Add("address", address);
        item.Add("value", row.current_value);
        json.Add(item);
      } else {
        std::string label = ParameterDatabase::Label(static_cast<int>(i));
        out_ << label << std::string(30 - std::min<size_t>(label.size(), 29), ' ') << address
             << "  " << row.current_value << '\n';
      }
    }
    if (parsed_.json) out_ << json.str() << '\n';
    if (result.failed > 0) {
      err_ << result.failed << " parameters could not be read; they show their built-in values.\n";
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
    if (result.failed > 0) {
      // A file with built-in values in place of unread ones would not describe this camera.
      err_ << result.failed << " parameters could not be read; " << parsed_.file
           << " was not written.\n";
      return kExitCamera;
    }
    db.CommitAll();
    SettingsFileContext context{*engine_, db, FactoryMode(), CcmFromDatabase(db), nullptr,
                                nullptr};
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
    SettingsFileContext context{*engine_, db, FactoryMode(), CcmFromDatabase(db), &progress,
                                nullptr};
    SettingsLoadReport report;
    if (!ReadCameraSettingFile(parsed_.file, context, &report)) return kExitCamera;
    err_ << "Sent " << report.sent << " values from " << parsed_.file << "; "
         << report.sent - report.refused << " accepted, " << report.refused
         << " not accepted.\n";
    return report.refused == 0 ? kExitOk : kExitCamera;
  }

  int UserSetCommand() {
    if (parsed_.target == "area") {
      int32_t area = -1;
      if (!engine_->ReadCommand(cmd::kUserSetArea, area, kDefaultTimeoutMs)) {
        err_ << "The camera did not answer.\n";
        return kExitCamera;
      }
      out_ << AreaDataText(area) << '\n';
      return kExitOk;
    }
    int area = AreaOf(parsed_.value);
    if (area < 0) {
      err_ << "The area is factory, 1, 2 or 3.\n";
      return kExitUsage;
    }
    if (parsed_.target == "load") {
      if (!LoadUserSet(*engine_, area)) {
        err_ << "The camera did not load " << AreaDataText(area) << ".\n";
        return kExitCamera;
      }
      err_ << "Loaded " << AreaDataText(area) << ".\n";
      return kExitOk;
    }
    if (area == kFactoryArea && !parsed_.factory) {
      err_ << "Storing into the factory area needs --factory.\n";
      return kExitUsage;
    }
    TerminalProgress progress(err_, isatty(STDERR_FILENO) != 0);
    return StoreUserSetWithProgress(*engine_, area, progress) ? kExitOk : kExitCamera;
  }

  int SetUserIdCommand() {
    if (parsed_.value.size() > static_cast<size_t>(kMaxUserIdLength)) {
      err_ << "User ID string is too long !!\n";
      return kExitUsage;
    }
    return WriteUserId(*engine_, parsed_.value) ? kExitOk : kExitCamera;
  }

  int SetSerialCommand() {
    if (!parsed_.factory) {
      err_ << "Writing the serial number needs --factory.\n";
      return kExitUsage;
    }
    if (parsed_.value.size() > 10) {
      err_ << "A serial number has at most ten characters.\n";
      return kExitUsage;
    }
    return WriteSerialNumber(*engine_, parsed_.value) ? kExitOk : kExitCamera;
  }

  // Sends each input line with CR LF and prints every line sent and received with the
  // terminal's time stamp; a reply ends at the "OK>" prompt or after a second of silence.
  int TerminalCommand(std::istream& in) {
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
      std::string line;
      while (engine_->WaitLine(1000, line)) {
        if (line == kPromptLine) break;
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
    if (kind == ModelKind::Unsupported) return kExitCamera;
    const bool mono = engine_->device().IsMonochrome();
    std::vector<int> tables;
    if (parsed_.lut_table == "all") {
      tables = mono ? std::vector<int>{kGreenLut} : std::vector<int>{kRedLut, kGreenLut, kBlueLut};
    } else {
      int table = parsed_.lut_table == "red" ? kRedLut
                  : parsed_.lut_table == "green" ? kGreenLut : kBlueLut;
      if (mono && table != kGreenLut) {
        err_ << "A monochrome camera has only the green table.\n";
        return kExitUsage;
      }
      tables = {table};
    }
    LutBank bank;
    TerminalProgress progress(err_, isatty(STDERR_FILENO) != 0);
    NullWindowGate windows;
    LutTransferContext io{*engine_, DefaultClock(), progress, windows};
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
    if (!ReadLutFile(parsed_.file, bank, kind)) return kExitCamera;
    for (int table : tables) {
      if (!WriteLutTable(io, bank, table, table)) {
        err_ << "The LUT transfer did not complete.\n";
        return kExitCamera;
      }
    }
    return kExitOk;
  }

 private:
  int FactoryMode() const { return parsed_.factory ? 1 : 0; }

  static std::string KindName(ModelKind kind) {
    switch (kind) {
      case ModelKind::Mono: return "monochrome";
      case ModelKind::Color: return "colour";
      case ModelKind::WideMono: return "wide monochrome";
      case ModelKind::Unsupported: return "unsupported";
    }
    return "unsupported";
  }

  template <typename T>
  void PrintValue(const std::string& label, uint32_t reg, const T& value) {
    if (parsed_.json) {
      JsonObject json;
      json.Add("label", label);
      json.Add("address", Hex8(reg));
      json.Add("value", value);
      out_ << json.str() << '\n';
    } else {
      out_ << value << '\n';
    }
  }

  const Parsed& parsed_;
  std::ostream& out_;
  std::ostream& err_;
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

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
    try {
      parsed.connection.port_index = std::stoi(port_text) - 1;
    } catch (...) {
      parsed.connection.port_index = -1;
    }
  } else {
    try {
      parsed.connection.port_index = std::stoi(port_text);
    } catch (...) {
      parsed.connection.port_index = -1;
    }
  }
  if (parsed.connection.port_index < 0 ||
      (parsed.connection.category == 0 && parsed.connection.port_index > 15)) {
    err << "Invalid port \"" << port << "\".\n";
    return kExitUsage;
  }

  if (ports->parsed()) {
    ListPorts(parsed.connection, out);
    return kExitOk;
  }
  Runner runner(parsed, out, err);
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
  if (terminal->parsed()) return runner.TerminalCommand(std::cin);
  if (lut->parsed()) return runner.LutCommand();
  return kExitUsage;
}

}  // namespace ctrl::cli
