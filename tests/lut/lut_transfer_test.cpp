// Catches LUT transfers that address the wrong camera LUT, lose or skip entries, give up too early
// or retry without end on a silent camera, leave the camera's selector and index changed or the
// windows disabled, or show the wrong progress; and menu steps that touch the camera unasked.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "camera/command_table.h"
#include "lut/lut_flows.h"
#include "lut/lut_transfer.h"
#include "lut/operator_answers.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

constexpr uint32_t kSelectorRegister = 0x01204C00;
constexpr uint32_t kIndexRegister = 0x01204C08;

// Records the progress window. The camera goes silent once the message equals `drop_out_at` and
// answers again when the window closes, as a cable pulled and plugged in again would.
class RecordingProgress final : public Progress {
 public:
  explicit RecordingProgress(sim::CameraFrontEnd& camera) : camera_(camera) {}
  void OpenProgress(const std::string& message) override { opened.push_back(message); }
  void SetProgressPercent(int percent) override { percents.push_back(percent); }
  void SetProgressMessage(const std::string& message) override {
    last_message = message;
    if (message == drop_out_at) camera_.faults().silent = true;
  }
  void FinishProgress() override {
    ++finished;
    camera_.faults().silent = false;
  }
  void ProcessPendingMessages() override { ++pumps; }

  std::string drop_out_at;
  std::vector<std::string> opened;
  std::vector<int> percents;
  std::string last_message;
  int finished = 0;
  int pumps = 0;

 private:
  sim::CameraFrontEnd& camera_;
};

struct CountingGate final : WindowGate {
  void DisableWindows() override { ++disabled; }
  void EnableWindows() override { ++enabled; }
  void DisableMainWindow() override { ++main_disabled; }
  void EnableMainWindow() override { ++main_enabled; }
  int disabled = 0, enabled = 0, main_disabled = 0, main_enabled = 0;
};

struct RequestLog final : TraceSink {
  void TraceLine(std::string_view line) override {
    if (line.starts_with("Tx: ")) requests.emplace_back(line.substr(4));
  }
  int Count(const std::string& request) const {
    return static_cast<int>(std::count(requests.begin(), requests.end(), request));
  }
  std::vector<std::string> requests;
};

class LutTransfer : public ::testing::TestWithParam<const char*> {
 protected:
  LutTransfer()
      : model_(GetParam()),
        front_end_(model_),
        channel_(front_end_, clock_),
        engine_(channel_, clock_, table_, status_),
        progress_(front_end_) {
    engine_.CheckModel();
    engine_.set_trace_sink(&log_);
    model_.Poke(kSelectorRegister, 0);
    model_.Poke(kIndexRegister, 33);
    for (int t = 0; t < kLutTableCount; ++t) {
      for (int i = 0; i < kLutEntryCount; ++i) {
        model_.SetLutEntry(t, i, static_cast<uint16_t>((i + 100 * (t + 1)) % 4096));
      }
      bank_.SetModeAndRedraw(t, LutMode::kView);  // as after a file load
      bank_.table(t).fill(-1);
    }
  }

  bool monochrome() const { return engine_.device().IsMonochrome(); }
  // The table a camera of this kind has, or tests first.
  int first_table() const { return monochrome() ? kGreenLut : kRedLut; }
  std::string Suffix(int t) const { return LutColourSuffix(t, monochrome()); }
  LutTable CameraLut(int t) const {
    LutTable lut{};
    for (int i = 0; i < kLutEntryCount; ++i) lut[i] = model_.LutEntry(t, i);
    return lut;
  }
  void ExpectAddressingRestored() const {
    EXPECT_EQ(model_.Peek(kSelectorRegister), 0u);
    EXPECT_EQ(model_.Peek(kIndexRegister), 33u);
    EXPECT_EQ(gate_.disabled, gate_.enabled);
    EXPECT_EQ(gate_.main_disabled, gate_.main_enabled);
  }

  FakeClock clock_;
  sim::CameraModel model_;
  sim::CameraFrontEnd front_end_;
  sim::InProcessChannel channel_;
  CommandTable table_;
  OnlineStatusPublisher status_;
  Command engine_;
  RequestLog log_;
  RecordingProgress progress_;
  CountingGate gate_;
  LutTransferContext io_{engine_, clock_, progress_, gate_};
  LutBank bank_;
  test::RecordingNotifier notifier_;
};

TEST_P(LutTransfer, ReadFetchesTheSelectedCameraLutAndClampsIt) {
  const int t = first_table();
  model_.SetLutEntry(t, 5, 5000);
  ASSERT_TRUE(ReadLutTable(io_, bank_, t));
  LutTable expected = CameraLut(t);
  expected[5] = 4095;
  EXPECT_EQ(bank_.table(t), expected);
  EXPECT_EQ(bank_.editor(t).mode(), LutMode::kView);
  const std::string text = "Now, reading camera lut data. " + Suffix(t);
  EXPECT_EQ(progress_.opened, std::vector<std::string>{text});
  EXPECT_EQ(progress_.last_message, text + " (4096 / 4096)");
  EXPECT_EQ(progress_.percents.front(), 0);
  EXPECT_EQ(progress_.percents.back(), 99);
  EXPECT_EQ(progress_.pumps, kLutEntryCount);
  EXPECT_EQ(progress_.finished, 1);
  EXPECT_EQ(gate_.disabled, 1);
  ExpectAddressingRestored();
}

TEST_P(LutTransfer, CameraSilentAtEntry100KeepsTheFirst100AndRestoresAddressing) {
  const int t = first_table();
  const std::string text = "Now, reading camera lut data. " + Suffix(t);
  progress_.drop_out_at = text + " (100 / 4096)";
  EXPECT_FALSE(ReadLutTable(io_, bank_, t));
  const LutTable camera = CameraLut(t);
  EXPECT_TRUE(std::equal(camera.begin(), camera.begin() + 100, bank_.table(t).begin()));
  EXPECT_EQ(bank_.table(t)[100], -1);
  EXPECT_EQ(progress_.last_message, text + " (100 / 4096)");
  EXPECT_EQ(log_.Count("wr 0x01204C08 100"), kLutAccessAttempts);
  EXPECT_EQ(log_.Count("wr 0x01204C08 101"), 0);
  EXPECT_EQ(bank_.editor(t).mode(), LutMode::kView);
  ExpectAddressingRestored();
}

TEST_P(LutTransfer, WrittenTablesLandInTheirColourAndReadBack) {
  const int last = monochrome() ? kGreenLut : kBlueLut;
  for (int t = first_table(); t <= last; ++t) {
    for (int i = 0; i < kLutEntryCount; ++i) bank_.table(t)[i] = (i * (t + 2) + 11 * t) % 4096;
    ASSERT_TRUE(WriteLutTable(io_, bank_, t, t)) << t;
    EXPECT_EQ(CameraLut(t), bank_.table(t)) << t;
  }
  EXPECT_EQ(progress_.last_message,
            "Now, writing camera lut data. " + Suffix(last) + " (4096 / 4096)");
  LutBank fresh;
  progress_.opened.clear();
  ASSERT_TRUE(ReadAllLutTables(io_, fresh));
  for (int t = first_table(); t <= last; ++t) EXPECT_EQ(fresh.table(t), bank_.table(t)) << t;
  // A monochrome camera has only the green table, read without a colour suffix.
  EXPECT_EQ(progress_.opened.size(), monochrome() ? 1u : 3u);
  EXPECT_EQ(progress_.opened.front(), "Now, reading camera lut data. " + Suffix(first_table()));
  EXPECT_EQ(gate_.main_disabled, 1);
  ExpectAddressingRestored();
}

TEST_P(LutTransfer, WriteKeepsTheEditModeAndStopsWhereTheCameraFallsSilent) {
  const int t = first_table();
  bank_.editor(t).ClearTableData();  // Edit Mode: the table follows the straight line
  const LutTable line = bank_.table(t);
  const LutTable before = CameraLut(t);
  progress_.drop_out_at = "Now, writing camera lut data. " + Suffix(t) + " (100 / 4096)";
  EXPECT_FALSE(WriteLutTable(io_, bank_, t, t));
  const LutTable after = CameraLut(t);
  EXPECT_TRUE(std::equal(line.begin(), line.begin() + 100, after.begin()));
  EXPECT_TRUE(std::equal(before.begin() + 100, before.end(), after.begin() + 100));
  EXPECT_EQ(bank_.editor(t).mode(), LutMode::kEdit);
  EXPECT_EQ(bank_.table(t), line);
  EXPECT_EQ(gate_.disabled, gate_.enabled);
}

TEST_P(LutTransfer, PartialWriteSendsOnlyItsEntriesInTheFullTransfersOrder) {
  const int t = first_table();
  for (int i = 0; i < kLutEntryCount; ++i) bank_.table(t)[i] = 4000 - i;
  const LutTable before = CameraLut(t);
  ASSERT_TRUE(WriteLutTable(io_, bank_, t, t, 2));
  const std::vector<std::string> expected = {
      "rd 0x01204C00",
      "rd 0x01204C08",
      "wr 0x01204C00 " + std::to_string(LutSelectorOfTable(t)),
      "wr 0x01204C08 0",
      "wr 0x01204C0C 4000",
      "wr 0x01204C08 1",
      "wr 0x01204C0C 3999",
      "wr 0x01204C00 0",
      "wr 0x01204C08 33",
  };
  EXPECT_EQ(log_.requests, expected);
  const LutTable after = CameraLut(t);
  EXPECT_EQ(after[0], 4000);
  EXPECT_EQ(after[1], 3999);
  EXPECT_TRUE(std::equal(before.begin() + 2, before.end(), after.begin() + 2));
  EXPECT_EQ(progress_.last_message, "Now, writing camera lut data. " + Suffix(t) + " (2 / 2)");
  ExpectAddressingRestored();
}

TEST_P(LutTransfer, UnansweredSelectorReadEndsBeforeAnyWrite) {
  front_end_.faults().silent = true;
  EXPECT_FALSE(ReadLutTable(io_, bank_, first_table()));
  EXPECT_FALSE(WriteLutTable(io_, bank_, first_table(), first_table()));
  for (const std::string& request : log_.requests)
    EXPECT_FALSE(request.starts_with("wr")) << request;
  EXPECT_TRUE(progress_.opened.empty());
  EXPECT_EQ(gate_.disabled, 2);
  EXPECT_EQ(gate_.enabled, 2);
}

TEST_P(LutTransfer, ReadAllStopsAtTheFirstFailedTable) {
  progress_.drop_out_at = "Now, reading camera lut data. " + Suffix(first_table()) + " (10 / 4096)";
  EXPECT_FALSE(ReadAllLutTables(io_, bank_));
  EXPECT_EQ(progress_.opened.size(), 1u);
  for (int t = 0; t < kLutTableCount; ++t) {
    if (t != first_table()) {
      EXPECT_EQ(bank_.table(t)[0], -1) << t;
    }
  }
  ExpectAddressingRestored();
}

TEST_P(LutTransfer, SaveAndLoadAllAskBeforeTouchingTheCamera) {
  // No: the tables are saved as they are, without camera traffic.
  test::OperatorAnswers operator_;
  EXPECT_TRUE(ReadTablesBeforeSave(io_, bank_, operator_.Asker()));
  EXPECT_FALSE(LoadAllLutTablesConfirmed(io_, bank_, operator_.Asker()));
  EXPECT_TRUE(log_.requests.empty());
  ASSERT_EQ(operator_.questions.size(), 2u);
  for (const LutMessage& question : operator_.questions) {
    EXPECT_EQ(question.text, "Read all lut data from the camera ?");
    EXPECT_EQ(question.caption, "Confirm");
    EXPECT_EQ(question.icon, MessageIcon::Question);
  }

  // Yes with a camera that fails: the save must not go on.
  progress_.drop_out_at = "Now, reading camera lut data. " + Suffix(first_table()) + " (50 / 4096)";
  operator_.answers = {true, true};
  EXPECT_FALSE(ReadTablesBeforeSave(io_, bank_, operator_.Asker()));
  progress_.drop_out_at.clear();
  EXPECT_TRUE(LoadAllLutTablesConfirmed(io_, bank_, operator_.Asker()));
  EXPECT_EQ(bank_.table(first_table()), CameraLut(first_table()));
  EXPECT_EQ(operator_.questions.size(), 4u);
  // The windows ask; the core never does.
  EXPECT_TRUE(notifier_.questions.empty());
}

INSTANTIATE_TEST_SUITE_P(Models, LutTransfer,
                         ::testing::Values("QX-4096M-PCL", "VR5300-KQ08-630C-07",
                                           "VR5300-KQ16-520M-07"));

}  // namespace
}  // namespace ctrl
