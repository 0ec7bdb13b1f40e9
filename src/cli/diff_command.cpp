// diff: two sets of camera settings, each a settings file or the camera itself, row by row.
#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "camera/feature_catalogue.h"
#include "cli/completion.h"
#include "cli/display_text.h"
#include "cli/json.h"
#include "cli/subcommands.h"
#include "files/camera_settings_file.h"
#include "files/settings_diff.h"

namespace ctrl::cli {
namespace {

// diff's exit codes, as diff(1) has them.
constexpr int kDiffSame = 0;
constexpr int kDiffDifferent = 1;
constexpr int kDiffTrouble = 2;

constexpr const char* kCameraSide = "camera";

struct DiffArguments {
  std::string a;
  std::string b;
};

std::optional<SettingsValues> ReadCameraSide(Session& session) {
  ParameterDatabase& db = Database();
  NullProgress progress;
  CameraReadTrouble trouble;
  std::optional<SettingsValues> values = ReadCameraSettingsValues(
      session.engine(), db, session.FactoryMode(), CcmFromDatabase(db), progress, &trouble);
  if (trouble.line_lost) session.err() << kLineLostMessage;
  if (!trouble.message.empty()) session.err() << trouble.message << '\n';
  return values;
}

std::optional<SettingsValues> ReadFileSide(Session& session, const std::string& path) {
  ParameterDatabase& db = Database();
  SettingsFileContext context{session.engine(),    db,      session.FactoryMode(),
                              CcmFromDatabase(db), nullptr, nullptr};
  return ReadFileSettingsValues(path, context);
}

Json SideJson(Session& session, const Feature& feature, const SettingsValues& side,
              int command_id) {
  const auto found = side.find(command_id);
  if (found == side.end()) return Json();
  return {{"value", found->second},
          {"text", DisplayText(feature, found->second, session.engine().device())}};
}

std::string SideText(Session& session, const Feature& feature, const SettingsValues& side,
                     int command_id, const std::string& name) {
  const auto found = side.find(command_id);
  if (found == side.end()) return "(not in " + name + ")";
  return session.raw() ? std::to_string(found->second)
                       : DisplayText(feature, found->second, session.engine().device());
}

int DiffCommand(Session& session, const DiffArguments& arguments) {
  if (session.Open() != kExitOk || !session.Identify()) return kDiffTrouble;
  // The camera first: its CCM selection decides which matrix rows a file can hold.
  std::optional<SettingsValues> camera;
  if (arguments.a == kCameraSide || arguments.b == kCameraSide) {
    camera = ReadCameraSide(session);
    if (!camera) return kDiffTrouble;
  }
  const auto side = [&](const std::string& name) {
    return name == kCameraSide ? camera : ReadFileSide(session, name);
  };
  const std::optional<SettingsValues> a = side(arguments.a);
  if (!a) return kDiffTrouble;
  const std::optional<SettingsValues> b = side(arguments.b);
  if (!b) return kDiffTrouble;

  const std::vector<SettingsDifference> differences = DiffSettings(*a, *b);
  for (const SettingsDifference& difference : differences) {
    const int command_id = difference.command_id;
    const Feature& feature = *FeatureOfCommand(command_id);
    const std::string label(Label(feature));
    if (session.json()) {
      session.EmitJson({{"label", label},
                        {"address", session.table().GetCommandAddress(command_id)},
                        {"a", SideJson(session, feature, *a, command_id)},
                        {"b", SideJson(session, feature, *b, command_id)}});
      continue;
    }
    const std::string a_text = SideText(session, feature, *a, command_id, arguments.a);
    session.out() << label << std::string(30 - std::min<size_t>(label.size(), 29), ' ')
                  << DisplayText(a_text)
                  << std::string(24 - std::min<size_t>(a_text.size(), 23), ' ')
                  << DisplayText(SideText(session, feature, *b, command_id, arguments.b)) << '\n';
  }
  const int code = differences.empty() ? kDiffSame : kDiffDifferent;
  if (session.json()) {
    session.EmitJson({{"command", "diff"},
                      {"exit", code},
                      {"differences", static_cast<int>(differences.size())}});
  }
  return code;
}

}  // namespace

Subcommand AddDiff(CLI::App& app) {
  auto arguments = std::make_shared<DiffArguments>();
  CLI::App* parser = app.add_subcommand(
      "diff", "Compare two settings: each a .cam file or the word camera (exit 0 same, 1 differ)");
  parser->add_option("a", arguments->a, "A .cam file or camera")->type_name(kFileValue)->required();
  parser->add_option("b", arguments->b, "A .cam file or camera")->type_name(kFileValue)->required();
  // Opens the camera itself: its trouble is exit 2, as diff(1) has it.
  return {parser, [arguments](Session& session) { return DiffCommand(session, *arguments); },
          /*needs_camera=*/false};
}

}  // namespace ctrl::cli
