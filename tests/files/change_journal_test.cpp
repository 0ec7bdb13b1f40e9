// Catches undo and redo that step to the wrong change (a refusal undone, redo kept after a new
// change, a refused undo that still moves on), and a partial settings file that holds rows the
// journal did not change, values other than the camera's last ones, or lines a load rejects.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "camera/bulk_read.h"
#include "camera/command_engine.h"
#include "camera/control_ids.h"
#include "files/camera_settings_file.h"
#include "files/change_journal.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

namespace fs = std::filesystem;

constexpr int kGain = 57;
constexpr int kGamma = 60;
constexpr int kLineRate = 34;
constexpr int kLutIndex = 108;  // not filed in settings files

// One step of a scripted session: what was sent and whether the camera confirmed it.
struct Step {
  JournalAction action;
  int command_id;
  int32_t from;
  int32_t to;
  bool confirmed = true;
};

JournalEntry EntryOf(const Step& step) {
  JournalEntry entry;
  entry.action = step.action;
  entry.command_id = step.command_id;
  entry.before = step.from;
  entry.requested = step.to;
  entry.after = step.confirmed ? step.to : step.from;
  entry.confirmed = step.confirmed;
  return entry;
}

constexpr JournalAction kChange = JournalAction::kChange;
constexpr JournalAction kUndo = JournalAction::kUndo;
constexpr JournalAction kRedo = JournalAction::kRedo;

TEST(ChangeJournal, UndoAndRedoStepThroughConfirmedChangesOnly) {
  using Target = std::optional<JournalTarget>;
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Target undo;
    Target redo;
  };
  const std::vector<Case> cases = {
      {"nothing yet", {}, std::nullopt, std::nullopt},
      {"one change", {{kChange, kGain, 256, 300}}, JournalTarget{kGain, 256}, std::nullopt},
      {"undone change can be redone",
       {{kChange, kGain, 256, 300}, {kUndo, kGain, 300, 256}},
       std::nullopt,
       JournalTarget{kGain, 300}},
      {"undo goes newest first",
       {{kChange, kGain, 256, 300}, {kChange, kGamma, 100, 220}, {kUndo, kGamma, 220, 100}},
       JournalTarget{kGain, 256},
       JournalTarget{kGamma, 220}},
      {"redo goes back in the order undone",
       {{kChange, kGain, 256, 300},
        {kChange, kGamma, 100, 220},
        {kUndo, kGamma, 220, 100},
        {kUndo, kGain, 300, 256},
        {kRedo, kGain, 256, 300}},
       JournalTarget{kGain, 256},
       JournalTarget{kGamma, 220}},
      {"the same row twice undoes to each old value",
       {{kChange, kGain, 256, 300}, {kChange, kGain, 300, 400}, {kUndo, kGain, 400, 300}},
       JournalTarget{kGain, 256},
       JournalTarget{kGain, 400}},
      {"a new change drops the redo steps",
       {{kChange, kGain, 256, 300}, {kUndo, kGain, 300, 256}, {kChange, kGamma, 100, 150}},
       JournalTarget{kGamma, 100},
       std::nullopt},
      {"a refusal is never an undo step",
       {{kChange, kGain, 256, 300}, {kChange, kGamma, 100, 999, false}},
       JournalTarget{kGain, 256},
       std::nullopt},
      {"a refusal changed nothing, so redo stays",
       {{kChange, kGain, 256, 300}, {kUndo, kGain, 300, 256}, {kChange, kGamma, 100, 999, false}},
       std::nullopt,
       JournalTarget{kGain, 300}},
      {"a refused undo stays where it was",
       {{kChange, kGain, 256, 300}, {kUndo, kGain, 300, 256, false}},
       JournalTarget{kGain, 256},
       std::nullopt},
      {"a refused redo stays where it was",
       {{kChange, kGain, 256, 300}, {kUndo, kGain, 300, 256}, {kRedo, kGain, 256, 300, false}},
       std::nullopt,
       JournalTarget{kGain, 300}},
      {"an undo of another row moves nothing",
       {{kChange, kGain, 256, 300}, {kUndo, kGamma, 220, 100}},
       JournalTarget{kGain, 256},
       std::nullopt},
      {"undo and redo do not count as new changes",
       {{kChange, kGain, 256, 300},
        {kChange, kGamma, 100, 220},
        {kUndo, kGamma, 220, 100},
        {kUndo, kGain, 300, 256},
        {kRedo, kGain, 256, 300},
        {kRedo, kGamma, 100, 220}},
       JournalTarget{kGamma, 100},
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChangeJournal journal;
    for (const Step& step : c.steps) journal.Record(EntryOf(step));
    EXPECT_EQ(journal.UndoTarget(), c.undo);
    EXPECT_EQ(journal.RedoTarget(), c.redo);
    // Every write is listed, whatever the camera answered and whatever sent it.
    ASSERT_EQ(journal.entries().size(), c.steps.size());
    for (size_t i = 0; i < c.steps.size(); ++i) {
      EXPECT_EQ(journal.entries()[i].action, c.steps[i].action);
      EXPECT_EQ(journal.entries()[i].confirmed, c.steps[i].confirmed);
    }
  }
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class PartialSettingsFile : public ::testing::Test {
 protected:
  PartialSettingsFile()
      : dir_(fs::temp_directory_path() /
             ("ctrl_journal_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::create_directories(dir_);
  }
  ~PartialSettingsFile() override { fs::remove_all(dir_); }

  std::string Line(int command_id, int32_t value) const {
    return table_.GetCommandAddress(command_id) + "=" + std::to_string(value) + "\n";
  }

  test::RecordingNotifier notifier_;
  CommandTable table_;
  ParameterDatabase db_;
  fs::path dir_;
};

TEST_F(PartialSettingsFile, HoldsTheLastConfirmedValueOfEachChangedFiledRowInCommandOrder) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"nothing changed", {}, ""},
      {"rows in command order, not journal order",
       {{kChange, kGain, 256, 300}, {kChange, kLineRate, 8000, 9600}},
       Line(kLineRate, 9600) + Line(kGain, 300)},
      {"the last value of a row",
       {{kChange, kGain, 256, 300}, {kChange, kGain, 300, 400}},
       Line(kGain, 400)},
      {"an undo leaves the camera's value",
       {{kChange, kGain, 256, 300}, {kChange, kGain, 300, 400}, {kUndo, kGain, 400, 300}},
       Line(kGain, 300)},
      {"a refusal after a change keeps the confirmed value",
       {{kChange, kGain, 256, 300}, {kChange, kGain, 300, 5000, false}},
       Line(kGain, 300)},
      {"a row only refused is not written",
       {{kChange, kGamma, 100, 999, false}, {kChange, kGain, 256, 300}},
       Line(kGain, 300)},
      {"a row settings files do not hold is not written",
       {{kChange, kLutIndex, 0, 12}, {kChange, kGain, 256, 300}},
       Line(kGain, 300)},
      {"a colour matrix value comes with its selection",
       {{kChange, cmd::kFirstCcmCoefficient, 1024, 1100}},
       Line(cmd::kCcmSelector, 2) + Line(cmd::kFirstCcmCoefficient, 1100)},
      {"a changed selection is written as changed",
       {{kChange, cmd::kCcmSelector, 2, 1}, {kChange, cmd::kFirstCcmCoefficient, 1024, 1100}},
       Line(cmd::kCcmSelector, 1) + Line(cmd::kFirstCcmCoefficient, 1100)},
  };
  db_.SetDataValue(control::kCcmSelector, 2);
  db_.CommitAll();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChangeJournal journal;
    for (const Step& step : c.steps) journal.Record(EntryOf(step));
    const fs::path file = dir_ / "partial.cam";
    ASSERT_TRUE(WritePartialSettingsFile(file.string(), journal.entries(), table_, db_));
    EXPECT_EQ(ReadAll(file), c.expected);
  }
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(PartialSettingsFile, UnwritablePathIsReportedAndLeftAsItWas) {
  ChangeJournal journal;
  journal.Record(EntryOf({kChange, kGain, 256, 300}));
  const fs::path folder = dir_ / "a folder";
  fs::create_directories(folder / "inside");
  EXPECT_FALSE(WritePartialSettingsFile(folder.string(), journal.entries(), table_, db_));
  EXPECT_FALSE(WritePartialSettingsFile((dir_ / "missing" / "x.cam").string(), journal.entries(),
                                        table_, db_));
  EXPECT_TRUE(fs::is_directory(folder / "inside"));
  ASSERT_EQ(notifier_.messages.size(), 2u);
  for (const auto& message : notifier_.messages) {
    EXPECT_NE(message.text.find("Couldn't open this file"), std::string::npos);
  }
}

// One simulated camera read whole by its own engine, as one run of the tool sees it.
struct Station {
  explicit Station(const std::string& model)
      : camera(model),
        front_end(camera),
        channel(front_end, clock),
        engine(channel, clock, table, status) {}

  void Connect() {
    ASSERT_TRUE(engine.CheckModel());
    if (engine.device().IsWideMono()) table.ApplyWideModelOverride();
    NullProgress progress;
    ASSERT_EQ(ReadAllParameters(engine, db, 0, Ccm(), progress).failed, 0);
    db.CommitAll();
  }
  CcmSelectorIndex Ccm() {
    return [this] { return db.GetDataValue(control::kCcmSelector); };
  }
  SettingsFileContext Context() { return {engine, db, 0, Ccm(), nullptr, nullptr}; }
  int32_t Peek(int command_id) const {
    return static_cast<int32_t>(camera.Peek(table.GetCommandRegister(command_id)));
  }

  FakeClock clock;
  sim::CameraModel camera;
  sim::CameraFrontEnd front_end;
  sim::InProcessChannel channel;
  CommandTable table;
  OnlineStatusPublisher status;
  Command engine;
  ParameterDatabase db;
};

class PartialFileRoundTrip : public ::testing::TestWithParam<const char*> {};

// The exported rows reach another camera through a load, and only they are sent.
TEST_P(PartialFileRoundTrip, LoadBringsTheChangedRowsBackAndSendsNothingElse) {
  test::RecordingNotifier notifier;
  Station first(GetParam());
  first.Connect();
  ChangeJournal journal;
  auto change = [&](int control_id, int32_t value) {
    JournalEntry entry;
    entry.command_id = first.db.ToCmdId(control_id);
    entry.before = first.db.GetSynchronisedValue(control_id);
    entry.requested = value;
    entry.confirmed = first.db.ApplyChange(control_id, value, first.engine, nullptr);
    entry.after = first.db.GetSynchronisedValue(control_id);
    journal.Record(entry);
  };
  change(control::kDigitalGain, 300);
  change(control::kGamma, 220);
  change(control::kDigitalGain, 310);
  ASSERT_EQ(journal.UndoTarget(), (JournalTarget{kGain, 300}));

  const fs::path file =
      fs::temp_directory_path() / ("ctrl_journal_round_trip_" + std::to_string(getpid()) + ".cam");
  ASSERT_TRUE(WritePartialSettingsFile(file.string(), journal.entries(), first.table, first.db));

  Station second(GetParam());
  second.Connect();
  ASSERT_NE(second.Peek(kGain), 310);
  ASSERT_NE(second.Peek(kGamma), 220);
  auto read = second.Context();
  std::vector<SettingsFileValue> values;
  ASSERT_TRUE(ReadSettingsFileValues(file.string(), read, values));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].command_id, kGain);
  EXPECT_EQ(values[0].value, 310);
  EXPECT_EQ(values[1].command_id, kGamma);
  EXPECT_EQ(values[1].value, 220);

  auto load = second.Context();
  SettingsLoadReport report;
  ASSERT_TRUE(ReadCameraSettingFile(file.string(), load, &report));
  fs::remove(file);
  EXPECT_EQ(report.sent, 2);
  EXPECT_EQ(report.refused, 0);
  EXPECT_EQ(second.Peek(kGain), 310);
  EXPECT_EQ(second.Peek(kGamma), 220);
  EXPECT_TRUE(notifier.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Models, PartialFileRoundTrip,
                         ::testing::Values("QX-4096M-PCL", "QX-4096TR-PCL", "QX-8192M-PCL"));

}  // namespace
}  // namespace ctrl
