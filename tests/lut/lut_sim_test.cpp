// Catches LUT transfers that disagree with the simulated camera on which selector value names
// which colour, and a read that does not survive the camera dropping out part-way.
#include <gtest/gtest.h>

#include <string>

#include "camera/command_table.h"
#include "lut/lut_transfer.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

constexpr uint32_t kSelectorRegister = 0x01204C00;
constexpr uint32_t kIndexRegister = 0x01204C08;

// The camera goes silent once the progress shows entry 100 and is back when the progress window
// closes, as a cable pulled and plugged in again would do.
class DropoutProgress final : public Progress {
 public:
  explicit DropoutProgress(sim::CameraFrontEnd& camera) : camera_(camera) {}
  void OpenProgress(const std::string&) override {}
  void SetProgressPercent(int) override {}
  void SetProgressMessage(const std::string& message) override {
    last_message = message;
    if (drop_out && message.ends_with(" (100 / 4096)")) camera_.faults().silent = true;
  }
  void FinishProgress() override { camera_.faults().silent = false; }

  bool drop_out = false;
  std::string last_message;

 private:
  sim::CameraFrontEnd& camera_;
};

class LutWithSimulator : public ::testing::TestWithParam<const char*> {
 protected:
  LutWithSimulator()
      : model_(GetParam()),
        front_end_(model_),
        channel_(front_end_, clock_),
        engine_(channel_, clock_, table_, status_),
        progress_(front_end_) {
    engine_.CheckModel();
    model_.Poke(kSelectorRegister, 0);
    model_.Poke(kIndexRegister, 33);
  }

  bool monochrome() const { return engine_.device().IsMonochrome(); }

  FakeClock clock_;
  sim::CameraModel model_;
  sim::CameraFrontEnd front_end_;
  sim::InProcessChannel channel_;
  CommandTable table_;
  OnlineStatusPublisher status_;
  Command engine_;
  DropoutProgress progress_;
  NullWindowGate gate_;
  LutTransferContext io_{engine_, clock_, progress_, gate_};
  LutBank bank_;
  test::RecordingNotifier notifier_;
};

TEST_P(LutWithSimulator, WrittenTablesLandInTheirColourAndReadBack) {
  const int first = monochrome() ? kGreenLut : kRedLut;
  const int last = monochrome() ? kGreenLut : kBlueLut;
  for (int t = first; t <= last; ++t) {
    bank_.SetModeAndRedraw(t, LutMode::kView);  // as after a file load
    for (int i = 0; i < kLutEntryCount; ++i) bank_.table(t)[i] = (i * (t + 2) + 11 * t) % 4096;
    ASSERT_TRUE(WriteLutTable(io_, bank_, t, t)) << t;
    for (int i = 0; i < kLutEntryCount; i += 97) {
      ASSERT_EQ(model_.LutEntry(t, i), bank_.table(t)[i]) << "table " << t << " entry " << i;
    }
  }
  LutBank fresh;
  ASSERT_TRUE(ReadAllLutTables(io_, fresh));
  for (int t = first; t <= last; ++t) EXPECT_EQ(fresh.table(t), bank_.table(t)) << t;
  EXPECT_EQ(model_.Peek(kSelectorRegister), 0u);
  EXPECT_EQ(model_.Peek(kIndexRegister), 33u);
}

TEST_P(LutWithSimulator, DropoutAtEntry100KeepsWhatWasReadAndRestoresAddressing) {
  for (int i = 0; i < kLutEntryCount; ++i) model_.SetLutEntry(kGreenLut, i, 4095 - i);
  bank_.table(kGreenLut).fill(-1);
  progress_.drop_out = true;
  EXPECT_FALSE(ReadLutTable(io_, bank_, kGreenLut));
  EXPECT_EQ(bank_.table(kGreenLut)[0], 4095);
  EXPECT_EQ(bank_.table(kGreenLut)[99], 3996);
  EXPECT_EQ(bank_.table(kGreenLut)[100], -1);
  EXPECT_TRUE(progress_.last_message.ends_with(" (100 / 4096)"));
  EXPECT_EQ(model_.Peek(kSelectorRegister), 0u);
  EXPECT_EQ(model_.Peek(kIndexRegister), 33u);
}

INSTANTIATE_TEST_SUITE_P(Models, LutWithSimulator,
                         ::testing::Values("QX-4096M-PCL", "VR5300-KQ08-630C-07",
                                           "VR5300-KQ16-520M-07"));

}  // namespace
}  // namespace ctrl
