// Catches lookups that fail silently or with the wrong text, a change protocol that commits what
// the camera refused or writes rows past a failure, and a bulk read that reads what the model
// lacks or loses values on a silent camera.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "camera/bulk_read.h"
#include "camera/command_engine.h"
#include "camera/parameter_database.h"
#include "support/map_channel.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

struct ControlsRecorder final : ControlSetter {
  void SetControlValue(int control_id, int32_t value) override { shown[control_id] = value; }
  std::map<int, int32_t> shown;
};

class DatabaseTest : public ::testing::Test {
 protected:
  DatabaseTest() : channel_(clock_), engine_(channel_, clock_, table_, status_) {}
  std::vector<std::string> Writes() const {
    std::vector<std::string> writes;
    for (const auto& r : channel_.requests) {
      if (r.rfind("wr", 0) == 0) writes.push_back(r);
    }
    return writes;
  }

  test::RecordingNotifier notifier_;
  FakeClock clock_;
  CommandTable table_;
  OnlineStatusPublisher status_;
  test::MapChannel channel_;
  Command engine_;
  ParameterDatabase db_;
};

TEST_F(DatabaseTest, LookupsOfUnknownKeysShowTheirMessageAndFailureValue) {
  int32_t min = 11, max = 12;
  EXPECT_EQ(db_.CtrlId2TblIndex(1000), -1);
  EXPECT_EQ(db_.ToCmdId(1000), -1);
  EXPECT_EQ(db_.ToCtrlId(0), -1);
  EXPECT_EQ(db_.GetDataValue(1000), -1);
  EXPECT_EQ(db_.GetSynchronisedValue(1000), -1);
  EXPECT_EQ(db_.SetDataValue(1000, 5), 0);
  EXPECT_EQ(db_.GetRange(1000, min, max), 0);
  EXPECT_EQ(db_.GetSpinRangeMode(1000), -1);
  EXPECT_EQ(db_.IsFactoryParam(1000), 0);
  EXPECT_EQ(db_.IsInSettingsFile(1000), 0);
  EXPECT_EQ(min, 11);
  EXPECT_EQ(max, 12);
  EXPECT_EQ(notifier_.Texts(),
            (std::vector<std::string>{
                "Unexpected error occurred in CtrlId2TblIndex().",
                "Unexpected error occurred in ToCmdId().",
                "Unexpected error occurred in ToCtrlId(): Command id is 0",
                "Unexpected error occurred in GetDataValue().",
                "Unexpected error occurred in GetDataValue().",
                "Unexpected error occurred in SetDataValue().",
                "Unexpected error occurred in CtrlId2TblIndex().",
                "Unexpected error occurred in CtrlId2TblIndex().",
                "ERROR: IsFactoryParam(): Control id \"1000: 0x3e8\" is not registered in database "
                "table"}));
  for (const auto& m : notifier_.messages) EXPECT_EQ(m.icon, MessageIcon::Exclamation);
}

TEST_F(DatabaseTest, KnownKeysAnswerWithoutMessages) {
  int32_t min = 0, max = 0;
  EXPECT_EQ(db_.ToCmdId(1704), 30);
  EXPECT_EQ(db_.ToCtrlId(30), 1704);
  EXPECT_EQ(db_.GetDataValue(1696), 8192);
  EXPECT_EQ(db_.GetRange(1706, min, max), 1);
  EXPECT_EQ(min, -4095);
  EXPECT_EQ(max, 4095);
  EXPECT_EQ(db_.IsFactoryParam(1688), 0);
  EXPECT_EQ(db_.CountReadableRows(), 81);
  EXPECT_EQ(db_.CountReadableUserRows(), 81);
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(DatabaseTest, BeforeTheFirstCommitEveryNonZeroDefaultIsPending) {
  EXPECT_EQ(db_.WritePendingChanges(engine_), 1);
  int non_zero = 0;
  for (const auto& row : db_.rows()) non_zero += row.current_value != 0;
  EXPECT_EQ(static_cast<int>(Writes().size()), non_zero);
  EXPECT_EQ(channel_.registers[0x01303040], 8192);
}

TEST_F(DatabaseTest, AcceptedChangeCommitsEveryRow) {
  db_.CommitAll();
  ControlsRecorder controls;
  EXPECT_TRUE(db_.ApplyChange(1704, 1234, engine_, &controls));
  EXPECT_EQ(Writes(), std::vector<std::string>{"wr 0x01001010 1234\r\n"});
  EXPECT_EQ(db_.GetSynchronisedValue(1704), 1234);
  EXPECT_TRUE(controls.shown.empty());
}

TEST_F(DatabaseTest, RefusedChangeRollsTheControlBackAndKeepsOthersPending) {
  db_.CommitAll();
  channel_.refused.insert(0x01001010);
  db_.SetDataValue(1701, 9000);  // pending from before, later in table order
  ControlsRecorder controls;
  EXPECT_FALSE(db_.ApplyChange(1704, 1234, engine_, &controls));
  EXPECT_EQ(db_.GetDataValue(1704), 4000);
  EXPECT_EQ(controls.shown, (std::map<int, int32_t>{{1704, 4000}}));
  // The write stopped at the failure: the later pending row was not written yet.
  EXPECT_EQ(Writes(), std::vector<std::string>{"wr 0x01001010 1234\r\n"});
  EXPECT_EQ(db_.GetDataValue(1701), 9000);
  EXPECT_NE(db_.GetSynchronisedValue(1701), 9000);

  channel_.refused.clear();
  EXPECT_TRUE(db_.ApplyChange(1712, 200, engine_, &controls));
  EXPECT_EQ(channel_.registers[0x0100101C], 9000);
  EXPECT_EQ(channel_.registers[0x01203C00], 200);
}

TEST_F(DatabaseTest, SilentCameraRollsBackAndReportsOffline) {
  db_.CommitAll();
  channel_.silent = true;
  ControlsRecorder controls;
  EXPECT_FALSE(db_.ApplyChange(1708, 512, engine_, &controls));
  EXPECT_EQ(controls.shown[1708], 256);
  EXPECT_FALSE(status_.online());
}

TEST_F(DatabaseTest, BulkReadReadsOnlyWhatTheModelHas) {
  engine_.device().kind = ModelKind::Mono;
  channel_.registers[0x01001010] = 777;
  NullProgress progress;
  BulkReadResult result = ReadAllParameters(engine_, db_, 0, nullptr, progress);
  EXPECT_EQ(db_.GetDataValue(1704), 777);
  EXPECT_EQ(result.failed, 0);
  for (const auto& r : channel_.requests) {
    EXPECT_NE(r, "rd 0x01103000\r\n") << "CSC Enable is not on mono cameras";
  }
  int available = 0;
  for (const auto& row : db_.rows()) {
    available += CommandTable::IsCommandAvailable(row.command_id, ModelKind::Mono, -1);
  }
  EXPECT_EQ(result.read, available);
}

TEST_F(DatabaseTest, BulkReadOnSilentCameraKeepsDefaultsThenOnlyTheChangeIsWritten) {
  engine_.device().kind = ModelKind::Mono;
  channel_.silent = true;
  NullProgress progress;
  BulkReadResult result = ReadAllParameters(engine_, db_, 0, nullptr, progress);
  EXPECT_EQ(result.read, 0);
  EXPECT_EQ(db_.GetDataValue(1696), 8192);
  db_.CommitAll();
  channel_.silent = false;
  channel_.requests.clear();
  EXPECT_TRUE(db_.ApplyChange(1704, 50, engine_, nullptr));
  EXPECT_EQ(Writes().size(), 1u);
}

// A camera that hangs up part way (during the sixth request): the rows after it fail at once,
// without a request or a time-out each, and the result says the line went away.
TEST_F(DatabaseTest, BulkReadStopsAskingOnceTheLineIsGone) {
  engine_.device().kind = ModelKind::Mono;
  channel_.answer_limit = 5;
  NullProgress progress;
  const int64_t start_us = clock_.NowUs();
  BulkReadResult result = ReadAllParameters(engine_, db_, 0, nullptr, progress);
  EXPECT_EQ(result.read, 5);
  EXPECT_GT(result.failed, 20);
  EXPECT_TRUE(result.line_lost);
  EXPECT_EQ(channel_.requests.size(), 6u) << "the request under way when it hung up, no more";
  EXPECT_EQ(clock_.NowUs(), start_us);
}

TEST_F(DatabaseTest, UnsupportedModelReadsNothing) {
  NullProgress progress;
  BulkReadResult result = ReadAllParameters(engine_, db_, 0, nullptr, progress);
  EXPECT_EQ(result.read + result.failed, 0);
  EXPECT_TRUE(channel_.requests.empty());
}

}  // namespace
}  // namespace ctrl
