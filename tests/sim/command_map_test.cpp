// The simulated camera against the tool's own register map: every command the tool considers
// available on a kind must be answered, and every command it considers missing must be refused
// unless its register serves another command of that kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "camera/command_table.h"
#include "camera/feature_catalogue.h"
#include "camera/model_profile.h"
#include "sim/camera_model.h"
#include "sim/register_map.h"

namespace ctrl::sim {
namespace {

constexpr int64_t kT0 = 1'000'000;

ctrl::ModelKind ToolKind(ModelKind kind) {
  return static_cast<ctrl::ModelKind>(kind);
}

// Catches: registers missing from the simulation, kinds answering registers they lack, and the
// wide models' moved registers not being where the tool looks for them.
TEST(SimCommandMap, AvailabilityMatchesTheToolsRegisterMap) {
  for (const std::string& name : ModelNames()) {
    CameraModel model(name);
    SCOPED_TRACE(name);
    CommandTable table;
    if (model.kind() == ModelKind::WideMono) table.ApplyWideModelOverride();
    const ctrl::ModelKind kind = ToolKind(model.kind());
    constexpr int kCcmUser1 = 1;  // with a user matrix selected every colour command counts

    std::set<uint32_t> available_registers;
    for (int id = 0; id < CommandTable::kCount; ++id) {
      if (CommandTable::IsCommandAvailable(id, kind, kCcmUser1)) {
        available_registers.insert(table.GetCommandRegister(id));
      }
    }
    for (int id = 0; id < CommandTable::kCount; ++id) {
      const uint32_t reg = table.GetCommandRegister(id);
      uint32_t value = 0;
      const bool answered = model.Read(reg, value, kT0);
      if (CommandTable::IsCommandAvailable(id, kind, kCcmUser1)) {
        EXPECT_TRUE(answered) << "command " << id << " " << table.GetCommandAddress(id);
      } else if (!available_registers.count(reg)) {
        EXPECT_FALSE(answered) << "command " << id << " " << table.GetCommandAddress(id);
      }
    }
  }
}

// Catches: the simulation answering registers beyond the tool's map (other than the words of
// the identity texts), which would hide addressing mistakes in the tool.
TEST(SimCommandMap, EveryValueRegisterOfTheSimulationIsACommand) {
  CommandTable table;
  std::set<uint32_t> tool_registers;
  for (int id = 0; id < CommandTable::kCount; ++id) {
    tool_registers.insert(table.GetCommandRegister(id));
  }
  table.ApplyWideModelOverride();
  for (int id = 0; id < CommandTable::kCount; ++id) {
    tool_registers.insert(table.GetCommandRegister(id));
  }
  for (const RegisterInfo& info : RegisterTable()) {
    EXPECT_TRUE(tool_registers.count(info.address)) << info.name;
  }
}

// Catches: two table entries claiming the same register for the same kind (the second would
// never be reached).
TEST(SimCommandMap, NoRegisterIsDefinedTwiceForOneKind) {
  for (const RegisterInfo& a : RegisterTable()) {
    for (const RegisterInfo& b : RegisterTable()) {
      if (&a == &b || a.address != b.address) continue;
      EXPECT_EQ(a.kinds & b.kinds, 0) << a.name << " / " << b.name;
    }
  }
}

// Catches: the catalogue offering an item that the camera of that kind refuses (an operator
// would pick it and see the change rolled back), or an item list that drifted from the camera's
// own one. The simulated camera's register map is written independently of the catalogue.
TEST(SimCommandMap, EveryItemTheCatalogueOffersIsAValueTheCameraTakes) {
  int checked = 0;
  for (const std::string& name : ModelNames()) {
    CameraModel model(name);
    SCOPED_TRACE(name);
    const ctrl::ModelKind kind = ToolKind(model.kind());
    CommandTable table;
    table.ApplyAddressMoves(ProfileOf(kind));
    constexpr int kCcmUser1 = 1;
    for (const Feature& feature : Features()) {
      if (feature.kind != FeatureKind::kEnum) continue;
      if (!CommandTable::IsCommandAvailable(feature.command_id, kind, kCcmUser1)) continue;
      const uint32_t reg = table.GetCommandRegister(feature.command_id);
      const RegisterInfo* info = FindRegister(reg, model.kind(), nullptr);
      ASSERT_NE(info, nullptr) << Label(feature);
      for (const EnumItem& item : ItemsFor(feature, kind, model.device_version_number())) {
        const bool taken = info->allowed.empty()
                               ? item.value >= info->min && item.value <= info->max
                               : std::find(info->allowed.begin(), info->allowed.end(),
                                           item.value) != info->allowed.end();
        EXPECT_TRUE(taken) << Label(feature) << " item " << item.name << " = " << item.value;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace ctrl::sim
