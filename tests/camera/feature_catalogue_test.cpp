// Guards the feature catalogue: a row for a command the table does not have, a label that does
// not find its own row, an item list that names or values two items alike on one camera, a
// database row the catalogue describes differently, and lookups or conversions that drift.
#include "camera/feature_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "camera/command_table.h"
#include "camera/parameter_database.h"

namespace ctrl {
namespace {

struct Camera {
  ModelKind kind;
  int32_t version;
};

// Every item variant: the wide models before and from their newer device versions.
constexpr Camera kCameras[] = {{ModelKind::Mono, 100},
                               {ModelKind::Color, 100},
                               {ModelKind::WideMono, 199},
                               {ModelKind::WideMono, 200}};

std::string Lower(std::string_view text) {
  std::string lower(text);
  while (!lower.empty() && lower.back() == ' ') lower.pop_back();
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

TEST(FeatureCatalogue, EveryCommandHasOneRowThatItsLabelFinds) {
  CommandTable table;
  ASSERT_EQ(Features().size(), static_cast<size_t>(CommandTable::kCount));
  for (const Feature& feature : Features()) {
    ASSERT_GE(feature.command_id, 0);
    ASSERT_LT(feature.command_id, CommandTable::kCount);
    EXPECT_EQ(table.GetCommandAddress(feature.command_id).size(), 10u) << feature.command_id;
    EXPECT_EQ(FeatureOfCommand(feature.command_id), &feature);
    const std::string label(Label(feature));
    ASSERT_FALSE(label.empty()) << feature.command_id;
    EXPECT_EQ(FindFeature(Lower(label)), &feature) << label;
    EXPECT_FALSE(feature.description.empty()) << label;
    EXPECT_EQ(feature.kind == FeatureKind::kEnum, !feature.items.empty()) << label;
    if (feature.min_command >= 0) {
      EXPECT_NE(FeatureOfCommand(feature.min_command), nullptr);
    }
    if (feature.max_command >= 0) {
      EXPECT_NE(FeatureOfCommand(feature.max_command), nullptr);
    }
  }
  EXPECT_EQ(FeatureOfCommand(CommandTable::kCount), nullptr);
  EXPECT_EQ(FindFeature("No Such Feature"), nullptr);
}

TEST(FeatureCatalogue, ItemsAreUniqueInNameAndValueOnEveryCamera) {
  for (const Feature& feature : Features()) {
    if (feature.kind != FeatureKind::kEnum) continue;
    for (const Camera& camera : kCameras) {
      SCOPED_TRACE(std::string(Label(feature)) + " kind " +
                   std::to_string(static_cast<int>(camera.kind)) + " version " +
                   std::to_string(camera.version));
      const auto items = ItemsFor(feature, camera.kind, camera.version);
      EXPECT_FALSE(items.empty());
      std::set<std::string> names;
      std::set<int32_t> values;
      for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_TRUE(names.insert(Lower(items[i].name)).second) << items[i].name;
        EXPECT_TRUE(values.insert(items[i].value).second) << items[i].name;
        if (feature.positional) {
          EXPECT_EQ(items[i].value, static_cast<int32_t>(i));
        }
        EXPECT_EQ(ItemValue(feature, camera.kind, items[i].name, camera.version), items[i].value);
        EXPECT_EQ(ItemName(feature, camera.kind, items[i].value, camera.version), items[i].name);
      }
    }
    EXPECT_TRUE(ItemsFor(feature, ModelKind::Unsupported).empty());
  }
}

TEST(FeatureCatalogue, DatabaseRowsAgreeWithTheirFeature) {
  ParameterDatabase database;
  for (const ParameterRow& row : database.rows()) {
    const Feature* feature = FeatureOfCommand(row.command_id);
    ASSERT_NE(feature, nullptr) << row.control_id;
    SCOPED_TRACE(std::string(Label(*feature)));
    if (row.control_type == control_type::kCombo) {
      EXPECT_EQ(feature->kind, FeatureKind::kEnum);
      EXPECT_FALSE(StaticRange(*feature).has_value());
    } else {
      EXPECT_TRUE(feature->kind == FeatureKind::kInteger || feature->kind == FeatureKind::kReadout);
      ASSERT_TRUE(StaticRange(*feature).has_value());
      EXPECT_EQ(StaticRange(*feature)->min, row.min);
      EXPECT_EQ(StaticRange(*feature)->max, row.max);
    }
    EXPECT_EQ(InSettingsFile(*feature), row.master_file != 0);
  }
}

TEST(FeatureCatalogue, NamedValuesFollowTheCamera) {
  struct Case {
    int command;
    Camera camera;
    std::string_view name;
    std::optional<int32_t> value;
  };
  const Case cases[] = {
      {24, {ModelKind::Color, 100}, "rgb8", 0x02180014},
      {24, {ModelKind::Mono, 100}, "RGB8", std::nullopt},
      {24, {ModelKind::WideMono, 199}, "Mono12P", 0x010C0047},
      {24, {ModelKind::WideMono, 200}, "Mono12P", std::nullopt},
      {116, {ModelKind::Color, 100}, "Geometry_1X1", 1},
      {116, {ModelKind::Color, 100}, "Geometry_1X8", std::nullopt},
      {105, {ModelKind::Color, 100}, "Red", 2},
      {105, {ModelKind::Mono, 100}, "Red", std::nullopt},
      {114, {ModelKind::WideMono, 100}, "Full", std::nullopt},
      {86, {ModelKind::Color, 100}, "once", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ItemValue(*FeatureOfCommand(c.command), c.camera.kind, c.name, c.camera.version),
              c.value)
        << c.command << " " << c.name;
  }
  EXPECT_EQ(ItemName(*FeatureOfCommand(24), ModelKind::Mono, 0x02180014), "");
}

TEST(FeatureCatalogue, RawValuesShowAsTheOperatorSeesThem) {
  const DeviceModel mono{ModelKind::Mono, "QX-4096M-PCL", 100};
  const DeviceModel newer_wide{ModelKind::WideMono, "QX-8192M-PCL", 200};
  struct Case {
    const char* label;
    const DeviceModel* device;
    int32_t raw;
    std::string shown;
  };
  const Case cases[] = {
      {"Device Temperature", &mono, 2450, "45.0"},
      {"Device Voltage", &mono, 1234, "1.234V"},
      {"Internal Line Rate", &mono, 8000, "100.0000us"},
      {"Internal Line Rate", &newer_wide, 9600, "100.0000us"},
      {"Exposure Time", &mono, 4000, "50.0000us"},
      {"Pixel Format", &mono, 0x010A0046, "Mono10P"},
      {"Pixel Format", &mono, 12345, "12345"},
      {"Black Level", &mono, -7, "-7"},
  };
  for (const Case& c : cases) {
    const Feature* feature = FindFeature(c.label);
    ASSERT_NE(feature, nullptr) << c.label;
    EXPECT_EQ(DisplayText(*feature, c.raw, *c.device), c.shown) << c.label;
  }
}

TEST(FeatureCatalogue, CalibrationsAndResetHaveTheirOwnWriteTimes) {
  EXPECT_EQ(WriteTimeoutMs(77), 10000);
  EXPECT_EQ(WriteTimeoutMs(78), 10000);
  EXPECT_EQ(WriteTimeoutMs(cmd::kDeviceReset), 1000);
  EXPECT_EQ(WriteTimeoutMs(30), 5000);
  EXPECT_EQ(WriteTimeoutMs(-1), 5000);
}

}  // namespace
}  // namespace ctrl
