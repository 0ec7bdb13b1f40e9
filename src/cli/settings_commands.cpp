// save-settings, load-settings, userset, set-user-id and set-serial: what the camera keeps
// beyond one parameter.
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <string>

#include "camera/bulk_read.h"
#include "camera/identity.h"
#include "camera/parameter_database.h"
#include "camera/user_sets.h"
#include "cli/completion.h"
#include "cli/json.h"
#include "cli/subcommands.h"
#include "cli/terminal_progress.h"
#include "files/camera_settings_file.h"

namespace ctrl::cli {
namespace {

constexpr size_t kMaxSerialNumberLength = 10;

int AreaOf(const std::string& text) {
  if (text == "factory" || text == "0") return kFactoryArea;
  if (text == "1" || text == "2" || text == "3") return text[0] - '0';
  return -1;
}

struct SaveArguments {
  std::string file;
  bool shipping = false;
};

int SaveSettingsCommand(Session& session, const SaveArguments& arguments) {
  if (!CanWriteSettingsFile(arguments.file)) return kExitCamera;
  if (!session.Identify()) return kExitCamera;
  ParameterDatabase& db = Database();
  TerminalProgress progress(session.err(), session.ProgressOnTerminal());
  BulkReadResult result =
      ReadAllParameters(session.engine(), db, session.FactoryMode(), CcmFromDatabase(db), progress);
  if (result.line_lost) session.err() << kLineLostMessage;
  if (result.failed > 0) {
    // A file with built-in values in place of unread ones would not describe this camera.
    session.err() << result.failed << " parameters could not be read; " << arguments.file
                  << " was not written.\n";
    return kExitCamera;
  }
  db.CommitAll();
  SettingsFileContext context{session.engine(),    db,      session.FactoryMode(),
                              CcmFromDatabase(db), nullptr, nullptr};
  const bool written = arguments.shipping ? WriteShippingDataFile(arguments.file, context)
                                          : WriteAllDataFile(arguments.file, context);
  if (!written) return kExitCamera;
  session.err() << "Saved " << result.read << " parameters to " << arguments.file << ".\n";
  if (session.json()) {
    session.EmitJson({{"command", "save-settings"},
                      {"exit", kExitOk},
                      {"file", arguments.file},
                      {"parameters", result.read}});
  }
  return kExitOk;
}

int LoadSettingsCommand(Session& session, const std::string& file) {
  if (!session.Identify()) return kExitCamera;
  ParameterDatabase& db = Database();
  TerminalProgress progress(session.err(), session.ProgressOnTerminal());
  // The camera's own values first, so a value it refuses is known and kept.
  NullProgress quiet;
  ReadAllParameters(session.engine(), db, session.FactoryMode(), CcmFromDatabase(db), quiet);
  db.CommitAll();
  SettingsFileContext context{session.engine(),    db,        session.FactoryMode(),
                              CcmFromDatabase(db), &progress, nullptr};
  SettingsLoadReport report;
  if (!ReadCameraSettingFile(file, context, &report)) return kExitCamera;
  const int accepted = report.sent - report.refused - report.unanswered;
  std::string summary = "Sent " + std::to_string(report.sent) + " values from " + file + "; " +
                        std::to_string(accepted) + " accepted, " + std::to_string(report.refused) +
                        " not accepted, " + std::to_string(report.unanswered) + " not answered.";
  // A provisioning script must not take a wrong or empty file for a camera set up.
  if (report.sent == 0) summary = NoSettingsSentText(file);
  session.err() << summary << '\n';
  const int code =
      report.sent > 0 && report.refused == 0 && report.unanswered == 0 ? kExitOk : kExitCamera;
  if (session.json()) {
    session.EmitJson({{"command", "load-settings"},
                      {"exit", code},
                      {"file", file},
                      {"sent", report.sent},
                      {"accepted", accepted},
                      {"refused", report.refused},
                      {"unanswered", report.unanswered},
                      {"skipped", report.foreign},
                      {"error", code == kExitOk ? Json() : Json(summary)}});
  }
  return code;
}

struct UserSetArguments {
  std::string action;  // load, store or area
  std::string area;
};

int UserSetCommand(Session& session, const UserSetArguments& arguments) {
  std::ostream& err = session.err();
  const bool area_query = arguments.action == "area";
  if (!area_query && arguments.area.empty()) {
    err << "userset " << arguments.action << " needs an area: factory, 1, 2 or 3.\n";
    return kExitUsage;
  }
  const int area = area_query ? kFactoryArea : AreaOf(arguments.area);
  if (area < 0) {
    err << "The area is factory, 1, 2 or 3.\n";
    return kExitUsage;
  }
  if (arguments.action == "store" && area == kFactoryArea && !session.factory()) {
    err << "Storing into the factory area needs --factory.\n";
    return kExitUsage;
  }
  if (!session.Identify()) return kExitCamera;
  Command& engine = session.engine();
  if (area_query) {
    int32_t current = -1;
    if (!engine.ReadCommand(cmd::kUserSetArea, current, kDefaultTimeoutMs)) {
      err << "The camera did not answer.\n";
      return kExitCamera;
    }
    if (session.json()) {
      Json item = ValueRecord(std::string(CommandTable::FeatureLabel(cmd::kUserSetArea)),
                              session.table().GetCommandAddress(cmd::kUserSetArea));
      item["value"] = current;
      item["text"] = AreaDataText(current);
      session.EmitJson(std::move(item));
    } else {
      session.out() << AreaDataText(current) << '\n';
    }
    return kExitOk;
  }
  if (arguments.action == "load") {
    if (!LoadUserSet(engine, area)) {
      err << "The camera did not load " << AreaDataText(area) << ".\n";
      return kExitCamera;
    }
    err << "Loaded " << AreaDataText(area) << ".\n";
    return kExitOk;
  }
  TerminalProgress progress(err, session.ProgressOnTerminal());
  return StoreUserSetWithProgress(engine, area, progress) ? kExitOk : kExitCamera;
}

}  // namespace

int WriteUserIdText(Session& session, const std::string& text) {
  if (text.size() > static_cast<size_t>(kMaxUserIdLength)) {
    session.err() << "User ID string is too long !!\n";
    return kExitUsage;
  }
  return WriteUserId(session.engine(), text) ? kExitOk : kExitCamera;
}

int WriteSerialText(Session& session, const std::string& text) {
  if (!session.factory()) {
    session.err() << "Writing the serial number needs --factory.\n";
    return kExitUsage;
  }
  if (text.size() > kMaxSerialNumberLength) {
    session.err() << "A serial number has at most ten characters.\n";
    return kExitUsage;
  }
  return WriteSerialNumber(session.engine(), text) ? kExitOk : kExitCamera;
}

Subcommand AddSaveSettings(CLI::App& app) {
  auto arguments = std::make_shared<SaveArguments>();
  CLI::App* parser =
      app.add_subcommand("save-settings", "Read every parameter and save a .cam file");
  parser->add_option("file", arguments->file, "Camera settings file")
      ->type_name(kFileValue)
      ->required();
  parser->add_flag("--shipping", arguments->shipping,
                   "Shipping Data: leave factory parameters out");
  return {parser,
          [arguments](Session& session) { return SaveSettingsCommand(session, *arguments); },
          /*needs_camera=*/true, /*long_transfer=*/true};
}

Subcommand AddLoadSettings(CLI::App& app) {
  auto file = std::make_shared<std::string>();
  CLI::App* parser = app.add_subcommand("load-settings", "Send a .cam file to the camera");
  parser->add_option("file", *file, "Camera settings file")->type_name(kFileValue)->required();
  return {parser, [file](Session& session) { return LoadSettingsCommand(session, *file); },
          /*needs_camera=*/true, /*long_transfer=*/true};
}

Subcommand AddUserSet(CLI::App& app) {
  auto arguments = std::make_shared<UserSetArguments>();
  CLI::App* parser =
      app.add_subcommand("userset", "Load or store a flash user set, or show the area");
  parser->add_option("action", arguments->action, "load, store or area")
      ->required()
      ->check(CLI::IsMember({"load", "store", "area"}));
  parser->add_option("area", arguments->area, "factory, 1, 2 or 3");
  return {parser, [arguments](Session& session) { return UserSetCommand(session, *arguments); }};
}

Subcommand AddSetUserId(CLI::App& app) {
  auto text = std::make_shared<std::string>();
  CLI::App* parser = app.add_subcommand("set-user-id", "Write the device user ID");
  parser->add_option("text", *text, "Up to 64 characters")->required();
  return {parser, [text](Session& session) {
            return session.Identify() ? WriteUserIdText(session, *text) : kExitCamera;
          }};
}

Subcommand AddSetSerial(CLI::App& app) {
  auto text = std::make_shared<std::string>();
  CLI::App* parser = app.add_subcommand("set-serial", "Write the device serial number (--factory)");
  parser->add_option("text", *text, "Up to 10 characters")->required();
  return {parser, [text](Session& session) {
            return session.Identify() ? WriteSerialText(session, *text) : kExitCamera;
          }};
}

}  // namespace ctrl::cli
