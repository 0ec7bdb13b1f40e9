// describe and list: what a parameter is, and every parameter of the camera with its value.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "camera/feature_catalogue.h"
#include "camera/identity.h"
#include "camera/model_profile.h"
#include "cli/completion.h"
#include "cli/display_text.h"
#include "cli/json.h"
#include "cli/subcommands.h"

namespace ctrl::cli {
namespace {

std::string_view KindText(FeatureKind kind) {
  switch (kind) {
    case FeatureKind::kInteger:
      return "integer";
    case FeatureKind::kEnum:
      return "enum";
    case FeatureKind::kText:
      return "text";
    case FeatureKind::kAction:
      return "action";
    case FeatureKind::kReadout:
      return "readout";
  }
  return "integer";
}

// The CCM Selector's current value on a colour camera (its coefficients exist only for a user
// matrix); -1 where the camera has no selector or did not say.
int32_t CcmSelection(Session& session) {
  int32_t selection = -1;
  if (ProfileOf(session.engine().device()).colour &&
      !session.engine().ReadCommand(cmd::kCcmSelector, selection, kDefaultTimeoutMs)) {
    selection = -1;
  }
  return selection;
}

bool AvailableOnCamera(Session& session, const Feature& feature, int32_t ccm_selection) {
  return CommandTable::IsCommandAvailable(feature.command_id, session.engine().device().kind,
                                          ccm_selection);
}

std::string Address(Session& session, const Feature& feature) {
  return session.table().GetCommandAddress(feature.command_id);
}

// The range the camera reports now through its limit registers; nothing where the feature has
// none or the camera did not answer.
std::optional<FeatureRange> CameraRange(Session& session, const Feature& feature) {
  if (feature.min_command < 0 || feature.max_command < 0) return std::nullopt;
  FeatureRange range{};
  Command& engine = session.engine();
  if (!engine.ReadCommand(feature.min_command, range.min, kDefaultTimeoutMs) ||
      !engine.ReadCommand(feature.max_command, range.max, kDefaultTimeoutMs)) {
    return std::nullopt;
  }
  return range;
}

Json RangeJson(const std::optional<FeatureRange>& range) {
  return range ? Json{{"min", range->min}, {"max", range->max}} : Json();
}

int DescribeCommand(Session& session, const std::string& parameter) {
  const Feature* feature = FindFeature(parameter);
  if (feature == nullptr) {
    session.err() << "Unknown parameter \"" << DisplayText(parameter) << "\".\n";
    return kExitUsage;
  }
  if (!session.Identify()) return kExitCamera;
  const DeviceModel& device = session.engine().device();
  const int32_t ccm_selection = CcmSelection(session);
  const bool available = AvailableOnCamera(session, *feature, ccm_selection);
  const bool needs_user_matrix =
      !available && ProfileOf(device).selector_dependent.Contains(feature->command_id) &&
      CommandTable::IsCommandAvailable(feature->command_id, device.kind, 1);
  const std::vector<EnumItem> items = ItemsFor(*feature, device.kind, device.version_number);
  const std::optional<FeatureRange> range = StaticRange(*feature);
  const std::optional<FeatureRange> camera_range =
      available ? CameraRange(session, *feature) : std::nullopt;
  const std::string label(Label(*feature));
  const std::string profile(ProfileOf(device).name);

  if (session.json()) {
    Json item_list = Json::array();
    for (const EnumItem& item : items) {
      item_list.push_back({{"name", std::string(item.name)}, {"value", item.value}});
    }
    Json json = {{"label", label},
                 {"address", Address(session, *feature)},
                 {"kind", std::string(KindText(feature->kind))},
                 {"items", item_list},
                 {"unit", feature->unit.empty() ? Json() : Json(std::string(feature->unit))},
                 {"range", RangeJson(range)},
                 {"camera_range", RangeJson(camera_range)},
                 {"in_settings_file", InSettingsFile(*feature)},
                 {"available", available},
                 {"description", std::string(feature->description)}};
    session.EmitJson(std::move(json));
    return kExitOk;
  }
  std::ostream& out = session.out();
  out << label << '\n';
  out << "  address:        " << Address(session, *feature) << '\n';
  out << "  kind:           " << KindText(feature->kind) << '\n';
  if (!items.empty()) {
    out << "  items:          ";
    for (size_t i = 0; i < items.size(); ++i) {
      out << (i == 0 ? "" : ", ") << items[i].name << " = " << items[i].value;
    }
    out << '\n';
  }
  if (!feature->unit.empty()) out << "  unit:           " << feature->unit << '\n';
  if (range) out << "  range:          " << range->min << " .. " << range->max << '\n';
  if (camera_range) {
    out << "  camera's range: " << camera_range->min << " .. " << camera_range->max << '\n';
  }
  out << "  settings file:  " << (InSettingsFile(*feature) ? "yes" : "no") << '\n';
  out << "  on this camera: "
      << (available           ? "yes (" + profile + ")"
          : needs_user_matrix ? "when CCM Selector names a user matrix"
                              : "no (" + profile + ")")
      << '\n';
  out << "  " << feature->description << '\n';
  return kExitOk;
}

struct ListArguments {
  bool all = false;
};

// One feature's value for the listing: read from the camera, except actions (never touched) and
// features the camera does not have.
struct Listed {
  const Feature* feature;
  bool available;
  bool read;
  int32_t value = 0;
  std::string text;  // the shown form
};

Listed ReadListed(Session& session, const Feature& feature, int32_t ccm_selection) {
  Listed listed{&feature, AvailableOnCamera(session, feature, ccm_selection), false, 0, ""};
  if (!listed.available || feature.kind == FeatureKind::kAction) return listed;
  Command& engine = session.engine();
  if (feature.kind == FeatureKind::kText) {
    listed.read =
        engine.ReadText(feature.command_id, kIdentityTextBytes, listed.text, kDefaultTimeoutMs);
    return listed;
  }
  listed.read = engine.ReadCommand(feature.command_id, listed.value, kDefaultTimeoutMs);
  if (listed.read) {
    const DeviceModel& device = engine.device();
    listed.text =
        session.raw() ? std::to_string(listed.value) : DisplayText(feature, listed.value, device);
  }
  return listed;
}

int ListCommand(Session& session, const ListArguments& arguments) {
  if (!session.Identify()) return kExitCamera;
  const int32_t ccm_selection = CcmSelection(session);
  int unread = 0;
  for (const Feature& feature : Features()) {
    const Listed listed = ReadListed(session, feature, ccm_selection);
    if (!listed.available && !arguments.all) continue;
    const bool wanted = listed.available && feature.kind != FeatureKind::kAction;
    if (wanted && !listed.read) ++unread;
    const std::string label(Label(feature));
    if (session.json()) {
      Json item = {{"label", label},
                   {"address", Address(session, feature)},
                   {"kind", std::string(KindText(feature.kind))},
                   {"available", listed.available},
                   {"value", nullptr},
                   {"text", nullptr},
                   {"unit", nullptr},
                   {"error", nullptr}};
      if (listed.read && feature.kind == FeatureKind::kText) {
        item["value"] = listed.text;
        item["text"] = listed.text;
      } else if (listed.read) {
        item["value"] = listed.value;
        item["text"] = DisplayText(feature, listed.value, session.engine().device());
        if (!feature.unit.empty()) item["unit"] = std::string(feature.unit);
      } else if (wanted) {
        item["error"] = "The camera did not answer or refused it.";
      }
      session.EmitJson(std::move(item));
      continue;
    }
    const std::string shown = !listed.available                      ? "(not on this camera)"
                              : feature.kind == FeatureKind::kAction ? "(action)"
                              : !listed.read                         ? "(not read)"
                                                                     : DisplayText(listed.text);
    session.out() << label << std::string(30 - std::min<size_t>(label.size(), 29), ' ')
                  << KindText(feature.kind)
                  << std::string(9 - std::min<size_t>(KindText(feature.kind).size(), 8), ' ')
                  << shown << '\n';
  }
  if (unread > 0) {
    session.err() << unread << " parameters could not be read.\n";
    return kExitCamera;
  }
  return kExitOk;
}

}  // namespace

Subcommand AddDescribe(CLI::App& app) {
  auto parameter = std::make_shared<std::string>();
  CLI::App* parser = app.add_subcommand(
      "describe", "Show what a parameter is: address, kind, items, unit, range, description");
  parser->add_option("parameter", *parameter, "Feature label")
      ->type_name(kFeatureValue)
      ->required();
  return {parser, [parameter](Session& session) { return DescribeCommand(session, *parameter); }};
}

Subcommand AddList(CLI::App& app) {
  auto arguments = std::make_shared<ListArguments>();
  CLI::App* parser =
      app.add_subcommand("list", "List the camera's parameters with their kind and value");
  parser->add_flag("--all", arguments->all,
                   "Also the catalogue's parameters this camera does not have");
  return {parser, [arguments](Session& session) { return ListCommand(session, *arguments); }};
}

}  // namespace ctrl::cli
