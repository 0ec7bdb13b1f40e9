// Catches a settings file that does not carry a camera's state to another camera: rows left
// out, values garbled on the way, or a load that leaves the second camera different.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "camera/bulk_read.h"
#include "camera/command_engine.h"
#include "files/camera_settings_file.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

namespace fs = std::filesystem;

// One simulated camera with its own engine and database, as one tool instance would see it.
struct Station {
  explicit Station(const std::string& model)
      : camera(model), front_end(camera), channel(front_end, clock),
        engine(channel, clock, table, status) {}

  void Connect() {
    ASSERT_TRUE(engine.CheckModel());
    if (engine.device().IsWideMono()) table.ApplyWideModelOverride();
    NullProgress progress;
    BulkReadResult result = ReadAllParameters(engine, db, 0, Ccm(), progress);
    ASSERT_EQ(result.failed, 0);
    db.CommitAll();
  }
  CcmSelectorIndex Ccm() {
    return [this] { return db.GetDataValue(1874); };
  }
  SettingsFileContext Context() { return SettingsFileContext{engine, db, 0, Ccm(), nullptr, nullptr}; }

  FakeClock clock;
  sim::CameraModel camera;
  sim::CameraFrontEnd front_end;
  sim::InProcessChannel channel;
  CommandTable table;
  OnlineStatusPublisher status;
  Command engine;
  ParameterDatabase db;
};

class SettingsRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(SettingsRoundTrip, SecondCameraEndsWithTheFirstCamerasFiledRegisters) {
  test::RecordingNotifier notifier;
  Station first(GetParam());
  Station second(GetParam());
  first.Connect();
  // Give the first camera values other than the defaults, through the tool itself.
  ASSERT_TRUE(first.db.ApplyChange(1704, 3210, first.engine, nullptr));  // exposure
  ASSERT_TRUE(first.db.ApplyChange(1708, 300, first.engine, nullptr));   // digital gain
  ASSERT_TRUE(first.db.ApplyChange(1712, 220, first.engine, nullptr));   // gamma
  ASSERT_TRUE(first.db.ApplyChange(1706, -40, first.engine, nullptr));   // black level
  first.Connect();

  fs::path file = fs::temp_directory_path() /
                  ("ctrl_round_trip_" + std::to_string(getpid()) + ".cam");
  auto save = first.Context();
  ASSERT_TRUE(WriteAllDataFile(file.string(), save));

  second.Connect();
  auto load = second.Context();
  SettingsLoadReport report;
  ASSERT_TRUE(ReadCameraSettingFile(file.string(), load, &report));
  fs::remove(file);
  EXPECT_EQ(report.refused, 0) << (notifier.messages.empty() ? "" : notifier.messages[0].text);
  EXPECT_GT(report.sent, 30);

  int compared = 0;
  for (const ParameterRow& row : first.db.rows()) {
    if (row.master_file == 0) continue;
    if (!CommandTable::IsCommandAvailable(row.command_id, first.engine.device().kind,
                                          first.db.GetDataValue(1874))) {
      continue;
    }
    uint32_t reg = first.table.GetCommandRegister(row.command_id);
    EXPECT_EQ(second.camera.Peek(reg), first.camera.Peek(reg))
        << first.table.GetCommandAddress(row.command_id);
    EXPECT_EQ(second.db.GetDataValue(row.control_id), row.current_value);
    ++compared;
  }
  EXPECT_GT(compared, 30);
}

INSTANTIATE_TEST_SUITE_P(Models, SettingsRoundTrip,
                         ::testing::Values("QX-4096M-PCL", "QX-4096TR-PCL", "QX-8192M-PCL"));

}  // namespace
}  // namespace ctrl
