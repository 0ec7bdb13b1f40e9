// diff: two sets of camera settings, each a settings file or the camera itself, row by row.
#include <CLI/CLI.hpp>

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "camera/feature_catalogue.h"
#include "cli/display_text.h"
#include "cli/json.h"
#include "cli/subcommands.h"
#include "files/camera_settings_file.h"

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

// command id → value of one side.
using SideValues = std::map<int, int32_t>;

// The camera's settings-file rows, read now; nothing when a row could not be read (comparing
// with a value never read would report a difference that is not there).
std::optional<SideValues> ReadCameraSide(Session& session) {
  ParameterDatabase& db = Database();
  NullProgress progress;
  const BulkReadResult result =
      ReadAllParameters(session.engine(), db, session.FactoryMode(), CcmFromDatabase(db), progress);
  if (result.line_lost) session.err() << kLineLostMessage;
  if (result.failed > 0) {
    session.err() << result.failed << " parameters could not be read from the camera.\n";
    return std::nullopt;
  }
  const std::set<int> read(result.read_rows.begin(), result.read_rows.end());
  const int ccm = CcmFromDatabase(db)();
  SideValues values;
  const auto& rows = db.rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const ParameterRow& row = rows[i];
    if (!read.count(static_cast<int>(i)) || row.master_file == 0) continue;
    if (row.parameter_class == parameter_class::kFactory && !session.factory()) continue;
    if (!CommandTable::IsCommandAvailable(row.command_id, session.engine().device().kind, ccm)) {
      continue;
    }
    values[row.command_id] = row.current_value;
  }
  return values;
}

std::optional<SideValues> ReadFileSide(Session& session, const std::string& path) {
  ParameterDatabase& db = Database();
  SettingsFileContext context{session.engine(),    db,      session.FactoryMode(),
                              CcmFromDatabase(db), nullptr, nullptr};
  std::vector<SettingsFileValue> lines;
  if (!ReadSettingsFileValues(path, context, lines)) return std::nullopt;
  SideValues values;
  for (const SettingsFileValue& line : lines) values[line.command_id] = line.value;
  return values;
}

Json SideJson(Session& session, const Feature& feature, const SideValues& side, int command_id) {
  const auto found = side.find(command_id);
  if (found == side.end()) return Json();
  return {{"value", found->second},
          {"text", DisplayText(feature, found->second, session.engine().device())}};
}

std::string SideText(Session& session, const Feature& feature, const SideValues& side,
                     int command_id, const std::string& name) {
  const auto found = side.find(command_id);
  if (found == side.end()) return "(not in " + name + ")";
  return session.raw() ? std::to_string(found->second)
                       : DisplayText(feature, found->second, session.engine().device());
}

int DiffCommand(Session& session, const DiffArguments& arguments) {
  if (session.Open() != kExitOk || !session.Identify()) return kDiffTrouble;
  // The camera first: its CCM selection decides which matrix rows a file can hold.
  std::optional<SideValues> camera;
  if (arguments.a == kCameraSide || arguments.b == kCameraSide) {
    camera = ReadCameraSide(session);
    if (!camera) return kDiffTrouble;
  }
  const auto side = [&](const std::string& name) {
    return name == kCameraSide ? camera : ReadFileSide(session, name);
  };
  const std::optional<SideValues> a = side(arguments.a);
  if (!a) return kDiffTrouble;
  const std::optional<SideValues> b = side(arguments.b);
  if (!b) return kDiffTrouble;

  std::set<int> commands;
  for (const auto& [command_id, value] : *a) commands.insert(command_id);
  for (const auto& [command_id, value] : *b) commands.insert(command_id);
  int differences = 0;
  for (const int command_id : commands) {
    const auto in_a = a->find(command_id);
    const auto in_b = b->find(command_id);
    if (in_a != a->end() && in_b != b->end() && in_a->second == in_b->second) continue;
    ++differences;
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
  const int code = differences == 0 ? kDiffSame : kDiffDifferent;
  if (session.json()) {
    session.EmitJson({{"command", "diff"}, {"exit", code}, {"differences", differences}});
  }
  return code;
}

}  // namespace

Subcommand AddDiff(CLI::App& app) {
  auto arguments = std::make_shared<DiffArguments>();
  CLI::App* parser = app.add_subcommand(
      "diff", "Compare two settings: each a .cam file or the word camera (exit 0 same, 1 differ)");
  parser->add_option("a", arguments->a, "A .cam file or camera")->required();
  parser->add_option("b", arguments->b, "A .cam file or camera")->required();
  // Opens the camera itself: its trouble is exit 2, as diff(1) has it.
  return {parser, [arguments](Session& session) { return DiffCommand(session, *arguments); },
          /*needs_camera=*/false};
}

}  // namespace ctrl::cli
