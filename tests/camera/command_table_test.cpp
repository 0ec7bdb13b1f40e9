// Catches wrong or missing register addresses, a broken shared-address rule, the wide-model
// override leaking or not sticking, and database rows that disagree with the command table.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "camera/command_table.h"
#include "camera/parameter_database.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

TEST(CommandTable, AddressTextsAreWellFormedAndOnlyTheKnownPairsShareOne) {
  CommandTable table;
  std::multiset<std::string> seen;
  for (int id = 0; id < CommandTable::kCount; ++id) {
    std::string address = table.GetCommandAddress(id);
    ASSERT_EQ(address.size(), 10u) << id;
    EXPECT_EQ(address.substr(0, 2), "0x") << id;
    EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF", 2), std::string::npos) << id;
    seen.insert(address);
  }
  std::set<std::string> shared;
  for (const auto& a : seen) {
    if (seen.count(a) > 1) shared.insert(a);
  }
  EXPECT_EQ(shared, (std::set<std::string>{"0x0100604C", "0x01600314", "0x01600318",
                                            "0x01600320"}));
}

TEST(CommandTable, RegisterNumbersFollowTheAddressText) {
  CommandTable table;
  EXPECT_EQ(table.GetCommandRegister(1), 0x01600004u);
  EXPECT_EQ(table.GetCommandRegister(24), 0x01401040u);
  EXPECT_EQ(table.GetCommandRegister(119), 0x00010004u);
  EXPECT_EQ(table.GetCommandAddress(123), "0x01501110");
}

TEST(CommandTable, SharedAddressLookupFindsTheLowerIdExceptPreDividerOnWideModels) {
  CommandTable table;
  for (ModelKind kind : {ModelKind::Mono, ModelKind::Color, ModelKind::Unsupported}) {
    EXPECT_EQ(table.FindCommandByAddress("0x0100604C", kind), 51);
  }
  EXPECT_EQ(table.FindCommandByAddress("0x0100604C", ModelKind::WideMono), 52);
  EXPECT_EQ(table.FindCommandByAddress("0x01600314", ModelKind::Mono), 111);
  EXPECT_EQ(table.FindCommandByAddress("0x01600318", ModelKind::WideMono), 112);
  EXPECT_EQ(table.FindCommandByAddress("0x01600320", ModelKind::Color), 113);
}

TEST(CommandTable, LookupIsExactAndCaseSensitive) {
  CommandTable table;
  EXPECT_EQ(table.FindCommandByAddress("0x01600004", ModelKind::Mono), 1);
  EXPECT_EQ(table.FindCommandByAddress("0x0120204c", ModelKind::Mono), -1);
  EXPECT_EQ(table.FindCommandByAddress("0X01600004", ModelKind::Mono), -1);
  EXPECT_EQ(table.FindCommandByAddress("0x1600004", ModelKind::Mono), -1);
  EXPECT_EQ(table.FindCommandByAddress("", ModelKind::Mono), -1);
}

TEST(CommandTable, WideOverrideMovesFourRegistersAndStaysForTheRun) {
  CommandTable table;
  table.ApplyWideModelOverride();
  EXPECT_EQ(table.GetCommandAddress(55), "0x0120C054");
  EXPECT_EQ(table.GetCommandAddress(56), "0x0120C050");
  EXPECT_EQ(table.GetCommandAddress(41), "0x01001064");
  EXPECT_EQ(table.GetCommandAddress(43), "0x0100106C");
  // Another kind connected later keeps the moved addresses.
  EXPECT_EQ(table.FindCommandByAddress("0x01001064", ModelKind::Mono), 41);
  EXPECT_EQ(table.FindCommandByAddress("0x01209054", ModelKind::Mono), -1);
}

TEST(CommandTable, SetCommandAddressRefusesIdsOutsideTheTable) {
  CommandTable table;
  EXPECT_FALSE(table.SetCommandAddress(124, "0x00000000"));
  EXPECT_FALSE(table.SetCommandAddress(-1, "0x00000000"));
  EXPECT_TRUE(table.SetCommandAddress(123, "0x00000008"));
  EXPECT_EQ(table.GetCommandRegister(123), 8u);
}

TEST(CommandTable, AvailabilityPerKind) {
  auto unavailable = [](ModelKind kind, int ccm) {
    std::vector<int> ids;
    for (int id = 0; id < CommandTable::kCount; ++id) {
      if (!CommandTable::IsCommandAvailable(id, kind, ccm)) ids.push_back(id);
    }
    return ids;
  };
  auto range = [](std::vector<int> ids, int from, int to) {
    for (int id = from; id <= to; ++id) ids.push_back(id);
    return ids;
  };
  std::vector<int> mono = range(range({26}, 52, 54), 65, 66);
  mono.push_back(71);
  mono = range(range(mono, 79, 91), 93, 103);
  EXPECT_EQ(unavailable(ModelKind::Mono, -1), mono);

  std::vector<int> color = range(range(range({26}, 52, 54), 61, 66), 68, 68);
  std::vector<int> color_default = range(color, 95, 103);
  color.insert(color.end(), {117, 118});
  color_default.insert(color_default.end(), {117, 118});
  EXPECT_EQ(unavailable(ModelKind::Color, 1), color);
  EXPECT_EQ(unavailable(ModelKind::Color, -1), color) << "no selection counts as not 0";
  EXPECT_EQ(unavailable(ModelKind::Color, 0), color_default);

  std::vector<int> wide = range(range({51, 71, 74}, 79, 91), 93, 103);
  wide.insert(wide.end(), {117, 118});
  EXPECT_EQ(unavailable(ModelKind::WideMono, -1), wide);

  EXPECT_EQ(unavailable(ModelKind::Unsupported, 1).size(), 124u);
}

TEST(CommandTable, FeatureLabelsFindCommandsWithoutRegardToCase) {
  EXPECT_EQ(CommandTable::FindCommandByLabel("exposure time"), 30);
  EXPECT_EQ(CommandTable::FindCommandByLabel("DEVICE RESET"), 17);
  EXPECT_EQ(CommandTable::FindCommandByLabel("Pixel Format"), 24);
  EXPECT_EQ(CommandTable::FindCommandByLabel("Exposure"), -1);
  EXPECT_EQ(CommandTable::FeatureLabel(3), "Device Model Name");
}

// The database and the command table are one source of truth: they must agree.
TEST(DatabaseGuard, RowsNameExistingCommandsWithUniqueIds) {
  ParameterDatabase db;
  ASSERT_EQ(db.rows().size(), 81u);
  std::set<int> controls, commands;
  for (const ParameterRow& row : db.rows()) {
    EXPECT_GE(row.command_id, 0);
    EXPECT_LT(row.command_id, CommandTable::kCount);
    EXPECT_TRUE(controls.insert(row.control_id).second) << row.control_id;
    EXPECT_TRUE(commands.insert(row.command_id).second) << row.command_id;
    EXPECT_TRUE(row.control_type == 4 || row.control_type == 6);
    EXPECT_EQ(row.spin_range_mode, 0);
    EXPECT_EQ(row.parameter_class, 1);
    EXPECT_EQ(row.synchronised_value, 0);
    if (row.control_type == 4) {
      EXPECT_EQ(row.min, 0) << row.control_id;
    }
  }
}

TEST(DatabaseGuard, SettingsFileRowsAreTheSeventyThreeInFileOrder) {
  const std::vector<std::string> expected = {
      "0x01302040", "0x01302044", "0x01303048", "0x01303040", "0x01401040", "0x01301000",
      "0x01208000", "0x01100000", "0x01001080", "0x01001010", "0x0100101C", "0x01001004",
      "0x01006044", "0x01006048", "0x0100604C", "0x0100604C", "0x01006060", "0x01006064",
      "0x01209054", "0x01209050", "0x0120604C", "0x01207040", "0x01203000", "0x01203C00",
      "0x01106008", "0x0110600C", "0x01108044", "0x01108040", "0x01106010", "0x01209010",
      "0x01102000", "0x01102080", "0x01102D00", "0x01102C18", "0x01102040", "0x01102048",
      "0x01102C00", "0x01102C04", "0x01102C08", "0x01103000", "0x01103040", "0x01103044",
      "0x01103048", "0x01104000", "0x01104040", "0x01104044", "0x01201080", "0x01201040",
      "0x01201044", "0x01201098", "0x01201088", "0x01201090", "0x01202000", "0x01202C00",
      "0x01202040", "0x01202044", "0x01202048", "0x0120204C", "0x01202050", "0x01202054",
      "0x01202058", "0x0120205C", "0x01202060", "0x01204000", "0x01204C00", "0x01600320",
      "0x01501008", "0x01501060", "0x01501010", "0x01501070", "0x01501074", "0x00010004",
      "0x01501110"};
  ParameterDatabase db;
  CommandTable table;
  std::vector<std::string> in_file;
  for (const ParameterRow& row : db.rows()) {
    if (row.master_file == 1) in_file.push_back(table.GetCommandAddress(row.command_id));
  }
  EXPECT_EQ(in_file, expected);
  // The User Set Default Selector is filed; the Stop Bits control on the same register is not.
  EXPECT_EQ(db.IsInSettingsFile(1753), 1);
  EXPECT_EQ(db.IsInSettingsFile(1797), 0);
}

}  // namespace
}  // namespace ctrl
