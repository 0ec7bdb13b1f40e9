// Catches undo and redo that step to the wrong change (a refusal undone, redo kept after a new
// change, a refused undo that moves on), and a partial settings file with rows the journal did
// not change, values other than the camera's last ones, or lines a load does not take.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "camera/control_ids.h"
#include "files/camera_settings_file.h"
#include "files/change_journal.h"
#include "support/map_channel.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

constexpr int kGain = 57;
constexpr int kGamma = 60;
constexpr int kLineRate = 34;
constexpr int kLutIndex = 108;  // not filed in settings files
constexpr int kA11 = cmd::kFirstCcmCoefficient;
constexpr int kCcm = cmd::kCcmSelector;  // 2 in the camera
constexpr auto kChange = JournalAction::kChange;
constexpr auto kUndo = JournalAction::kUndo;
constexpr auto kRedo = JournalAction::kRedo;

// One write of a scripted session and whether the camera confirmed it.
struct Step {
  JournalAction action;
  int command_id;
  int32_t from;
  int32_t to;
  bool confirmed = true;
};
using Target = std::optional<JournalTarget>;
using Rows = std::vector<std::pair<int, int32_t>>;

// Each scripted session leaves its undo and redo steps and a partial file of its changed rows,
// which a load's reader takes back value for value.
TEST(ChangeJournal, StepsAndPartialFileFollowTheConfirmedWrites) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Target undo;
    Target redo;
    Rows file;
  };
  const Target none;
  const std::vector<Case> cases = {
      {"undo goes newest first, redo back in the order undone; the file in command order",
       {{kChange, kGain, 256, 300},
        {kChange, kLineRate, 8000, 9600},
        {kUndo, kLineRate, 9600, 8000},
        {kUndo, kGain, 300, 256},
        {kRedo, kGain, 256, 300}},
       JournalTarget{kGain, 256},
       JournalTarget{kLineRate, 9600},
       {{kLineRate, 8000}, {kGain, 300}}},
      {"the same row twice undoes to each old value",
       {{kChange, kGain, 256, 300}, {kChange, kGain, 300, 400}, {kUndo, kGain, 400, 300}},
       JournalTarget{kGain, 256},
       JournalTarget{kGain, 400},
       {{kGain, 300}}},
      {"a new change drops the redo steps",
       {{kChange, kGain, 256, 300}, {kUndo, kGain, 300, 256}, {kChange, kLineRate, 8000, 8500}},
       JournalTarget{kLineRate, 8000},
       none,
       {{kLineRate, 8500}, {kGain, 256}}},
      {"a refusal is no step, changes nothing and is no value of the camera",
       {{kChange, kGain, 256, 300}, {kUndo, kGain, 300, 256}, {kChange, kGamma, 100, 999, false}},
       none,
       JournalTarget{kGain, 300},
       {{kGain, 256}}},
      {"a refused undo stays where it was",
       {{kChange, kGain, 256, 300}, {kUndo, kGain, 300, 256, false}},
       JournalTarget{kGain, 256},
       none,
       {{kGain, 300}}},
      {"a row settings files do not hold is left out of the file",
       {{kChange, kLutIndex, 0, 12}},
       JournalTarget{kLutIndex, 0},
       none,
       {}},
      {"a colour matrix value comes with the camera's selection",
       {{kChange, kA11, 1024, 1100}},
       JournalTarget{kA11, 1024},
       none,
       {{kCcm, 2}, {kA11, 1100}}},
  };
  test::RecordingNotifier notifier;
  FakeClock clock;
  CommandTable table;
  OnlineStatusPublisher status;
  test::MapChannel channel(clock);
  Command engine(channel, clock, table, status);
  engine.device().kind = ModelKind::Color;
  ParameterDatabase db;
  db.SetDataValue(control::kCcmSelector, 2);
  db.CommitAll();
  SettingsFileContext context{engine, db, 0,
                              [&db] { return db.GetDataValue(control::kCcmSelector); }};
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("ctrl_partial_" + std::to_string(getpid()) + ".cam");

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChangeJournal journal;
    for (const Step& s : c.steps) {
      journal.Record(
          {"", 0, s.action, s.command_id, s.from, s.to, s.confirmed ? s.to : s.from, s.confirmed});
    }
    EXPECT_EQ(journal.UndoTarget(), c.undo);
    EXPECT_EQ(journal.RedoTarget(), c.redo);
    EXPECT_EQ(journal.entries().size(), c.steps.size());  // every write is listed

    ASSERT_TRUE(WritePartialSettingsFile(file.string(), journal.entries(), table, db));
    std::string expected;
    for (const auto& [command_id, value] : c.file) {
      expected += table.GetCommandAddress(command_id) + "=" + std::to_string(value) + "\n";
    }
    std::stringstream written;
    written << std::ifstream(file, std::ios::binary).rdbuf();
    EXPECT_EQ(written.str(), expected);
    std::vector<SettingsFileValue> values;
    ASSERT_TRUE(ReadSettingsFileValues(file.string(), context, values));
    Rows read;
    for (const SettingsFileValue& value : values) read.emplace_back(value.command_id, value.value);
    EXPECT_EQ(read, c.file);
  }
  std::filesystem::remove(file);
  EXPECT_TRUE(notifier.messages.empty());
}

}  // namespace
}  // namespace ctrl
