// Catches LUT transfers that address the wrong camera LUT, lose or skip entries, give up too
// early or retry forever on a silent camera, leave the camera's selector and index changed,
// leave the windows disabled, or show the wrong progress.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "camera/command_table.h"
#include "lut/lut_flows.h"
#include "lut/lut_transfer.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

constexpr uint32_t kSelectorRegister = 0x01204C00;
constexpr uint32_t kIndexRegister = 0x01204C08;
constexpr uint32_t kValueRegister = 0x01204C0C;

// A camera with the three LUT registers on the request/reply protocol. It answers at once, or
// not at all while it is made silent; a silent exchange costs the fake clock its time-out.
class FakeLutCamera final : public ByteChannel {
 public:
  explicit FakeLutCamera(FakeClock& clock) : clock_(clock) {
    for (auto& lut : luts) lut.fill(0);
  }

  bool Write(std::string_view bytes) override {
    requests.emplace_back(bytes);
    const std::string request(bytes);
    unsigned reg = 0;
    unsigned value = 0;
    if (std::sscanf(request.c_str(), "wr 0x%X %u", &reg, &value) == 2) {
      if (IsSilentFor(reg, value)) return true;
      WriteRegister(reg, value);
      Reply(reg, static_cast<int32_t>(value));
    } else if (std::sscanf(request.c_str(), "rd 0x%X", &reg) == 1) {
      if (silent_always) return true;
      Reply(reg, ReadRegister(reg));
    }
    return true;
  }

  int Read(char* buffer, int length, int timeout_ms) override {
    int delivered = 0;
    while (delivered < length && !pending_.empty()) {
      buffer[delivered++] = pending_.front();
      pending_.erase(pending_.begin());
    }
    if (delivered == 0) clock_.AdvanceUs(int64_t{timeout_ms} * 1000);
    return delivered;
  }

  void DiscardInput() override { pending_.clear(); }

  int CountRequests(const std::string& text) const {
    int count = 0;
    for (const std::string& r : requests) count += r == text;
    return count;
  }

  // LUTs by selector value.
  std::array<std::array<int32_t, kLutEntryCount>, 3> luts{};
  int32_t selector = 0;
  int32_t index = 0;
  // Index writes from this entry on go unanswered (and select nothing); -1 never.
  int silent_from_index = -1;
  // Only while this selector is active; -1 for any.
  int silent_selector = -1;
  bool silent_always = false;
  std::vector<std::string> requests;

 private:
  bool IsSilentFor(uint32_t reg, uint32_t value) const {
    if (silent_always) return true;
    if (reg != kIndexRegister || silent_from_index < 0) return false;
    if (silent_selector >= 0 && selector != silent_selector) return false;
    return static_cast<int>(value) >= silent_from_index;
  }

  int32_t ReadRegister(uint32_t reg) const {
    if (reg == kSelectorRegister) return selector;
    if (reg == kIndexRegister) return index;
    if (reg == kValueRegister) return luts[selector][index];
    return 0;
  }

  void WriteRegister(uint32_t reg, uint32_t value) {
    if (reg == kSelectorRegister) selector = static_cast<int32_t>(value);
    if (reg == kIndexRegister) index = static_cast<int32_t>(value);
    if (reg == kValueRegister) luts[selector][index] = static_cast<int32_t>(value);
  }

  void Reply(uint32_t reg, int32_t value) {
    char line[64];
    std::snprintf(line, sizeof line, "0x%08X=%d\r\nOK>\r\n", reg, value);
    pending_ += line;
  }

  FakeClock& clock_;
  std::string pending_;
};

class RecordingProgress final : public Progress {
 public:
  void OpenProgress(const std::string& message) override { opened.push_back(message); }
  void SetProgressPercent(int percent) override { percents.push_back(percent); }
  void SetProgressMessage(const std::string& message) override { last_message = message; }
  void FinishProgress() override { ++finished; }
  void ProcessPendingMessages() override { ++pumps; }

  std::vector<std::string> opened;
  std::vector<int> percents;
  std::string last_message;
  int finished = 0;
  int pumps = 0;
};

class CountingGate final : public WindowGate {
 public:
  void DisableWindows() override { ++disabled; }
  void EnableWindows() override { ++enabled; }
  void DisableMainWindow() override { ++main_disabled; }
  void EnableMainWindow() override { ++main_enabled; }
  int disabled = 0, enabled = 0, main_disabled = 0, main_enabled = 0;
};

class LutTransfer : public ::testing::Test {
 protected:
  LutTransfer() : camera_(clock_), engine_(camera_, clock_, table_, status_) {
    engine_.device().kind = ModelKind::Color;
    camera_.selector = 1;
    camera_.index = 7;
    for (int s = 0; s < 3; ++s) {
      for (int i = 0; i < kLutEntryCount; ++i) camera_.luts[s][i] = (i + 100 * (s + 1)) % 4096;
    }
    for (int t = 0; t < kLutTableCount; ++t) bank_.table(t).fill(-1);
  }

  void ExpectAddressingRestored() {
    EXPECT_EQ(camera_.selector, 1);
    EXPECT_EQ(camera_.index, 7);
    EXPECT_EQ(gate_.disabled, gate_.enabled);
  }

  FakeClock clock_;
  FakeLutCamera camera_;
  CommandTable table_;
  OnlineStatusPublisher status_;
  Command engine_;
  RecordingProgress progress_;
  CountingGate gate_;
  LutTransferContext io_{engine_, clock_, progress_, gate_};
  LutBank bank_;
  test::RecordingNotifier notifier_;
};

TEST_F(LutTransfer, ReadFetchesTheSelectedCameraLut) {
  ASSERT_TRUE(ReadLutTable(io_, bank_, kRedLut));
  EXPECT_EQ(bank_.table(kRedLut), camera_.luts[2]);  // red is selector 2
  EXPECT_EQ(bank_.table(kGreenLut)[0], -1);
  EXPECT_EQ(bank_.editor(kRedLut).mode(), LutMode::kView);
  EXPECT_EQ(progress_.opened, std::vector<std::string>{"Now, reading camera lut data. [R]"});
  EXPECT_EQ(progress_.last_message, "Now, reading camera lut data. [R] (4096 / 4096)");
  EXPECT_EQ(progress_.percents.front(), 0);
  EXPECT_EQ(progress_.percents.back(), 99);
  EXPECT_EQ(progress_.pumps, 4096);
  EXPECT_EQ(progress_.finished, 1);
  ExpectAddressingRestored();
  EXPECT_EQ(gate_.disabled, 1);
}

TEST_F(LutTransfer, ReadClampsValuesAboveTheRange) {
  camera_.luts[0][5] = 5000;
  camera_.luts[0][6] = -3;
  ASSERT_TRUE(ReadLutTable(io_, bank_, kGreenLut));
  EXPECT_EQ(bank_.table(kGreenLut)[5], 4095);
  EXPECT_EQ(bank_.table(kGreenLut)[6], 0);
}

TEST_F(LutTransfer, CameraSilentAtEntry100KeepsTheFirst100AndRestoresAddressing) {
  camera_.silent_from_index = 100;
  EXPECT_FALSE(ReadLutTable(io_, bank_, kBlueLut));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(bank_.table(kBlueLut)[i], camera_.luts[1][i]) << i;
  EXPECT_EQ(bank_.table(kBlueLut)[100], -1);
  EXPECT_EQ(progress_.last_message, "Now, reading camera lut data. [B] (100 / 4096)");
  EXPECT_EQ(camera_.CountRequests("wr 0x01204C08 100\r\n"), kLutAccessAttempts);
  EXPECT_EQ(camera_.CountRequests("wr 0x01204C08 101\r\n"), 0);
  EXPECT_EQ(progress_.finished, 1);
  EXPECT_EQ(bank_.editor(kBlueLut).mode(), LutMode::kView);
  ExpectAddressingRestored();
}

TEST_F(LutTransfer, WriteStoresTheSourceTableInTheTargetLutAndKeepsTheEditMode) {
  bank_.editor(kGreenLut).ClearTableData();  // Edit Mode, the straight line
  const LutTable line = bank_.table(kGreenLut);
  EXPECT_TRUE(WriteLutTable(io_, bank_, kGreenLut, kRedLut));
  EXPECT_EQ(camera_.luts[2], line);
  EXPECT_EQ(bank_.editor(kGreenLut).mode(), LutMode::kEdit);
  EXPECT_EQ(bank_.table(kGreenLut), line);
  EXPECT_EQ(progress_.opened, std::vector<std::string>{"Now, writing camera lut data. [R]"});
  EXPECT_EQ(progress_.last_message, "Now, writing camera lut data. [R] (4096 / 4096)");
  EXPECT_EQ(progress_.finished, 1);
  ExpectAddressingRestored();
}

TEST_F(LutTransfer, WriteToASilentCameraStopsAt100AndReportsFailure) {
  const auto before = camera_.luts[0];
  bank_.table(kGreenLut).fill(1234);
  camera_.silent_from_index = 100;
  EXPECT_FALSE(WriteLutTable(io_, bank_, kGreenLut, kGreenLut));
  EXPECT_EQ(camera_.luts[0][99], 1234);
  EXPECT_EQ(camera_.luts[0][100], before[100]);
  EXPECT_EQ(progress_.last_message, "Now, writing camera lut data. [G] (100 / 4096)");
  EXPECT_EQ(bank_.editor(kGreenLut).mode(), LutMode::kEdit);
  ExpectAddressingRestored();
}

TEST_F(LutTransfer, UnansweredSelectorReadEndsBeforeAnyWrite) {
  camera_.silent_always = true;
  EXPECT_FALSE(ReadLutTable(io_, bank_, kRedLut));
  EXPECT_FALSE(WriteLutTable(io_, bank_, kRedLut, kRedLut));
  for (const std::string& request : camera_.requests)
    EXPECT_EQ(request.rfind("wr", 0), std::string::npos);
  EXPECT_TRUE(progress_.opened.empty());
  EXPECT_EQ(gate_.disabled, 2);
  EXPECT_EQ(gate_.enabled, 2);
  EXPECT_EQ(bank_.editor(kRedLut).mode(), LutMode::kEdit);
}

TEST_F(LutTransfer, ReadAllOnMonochromeReadsOnlyGreenWithoutSuffix) {
  engine_.device().kind = ModelKind::Mono;
  EXPECT_TRUE(ReadAllLutTables(io_, bank_));
  EXPECT_EQ(progress_.opened, std::vector<std::string>{"Now, reading camera lut data. "});
  EXPECT_EQ(bank_.table(kGreenLut), camera_.luts[0]);
  EXPECT_EQ(bank_.table(kRedLut)[0], -1);
  EXPECT_EQ(bank_.table(kBlueLut)[0], -1);
  EXPECT_EQ(gate_.main_disabled, 1);
  EXPECT_EQ(gate_.main_enabled, 1);
}

TEST_F(LutTransfer, ReadAllOnColourReadsRedGreenBlueAndStopsAtTheFirstFailure) {
  EXPECT_TRUE(ReadAllLutTables(io_, bank_));
  EXPECT_EQ(progress_.opened, (std::vector<std::string>{"Now, reading camera lut data. [R]",
                                                        "Now, reading camera lut data. [G]",
                                                        "Now, reading camera lut data. [B]"}));
  EXPECT_EQ(bank_.table(kBlueLut), camera_.luts[1]);

  progress_.opened.clear();
  bank_.table(kGreenLut).fill(-1);
  camera_.silent_from_index = 10;
  camera_.silent_selector = 2;  // only the red LUT fails
  EXPECT_FALSE(ReadAllLutTables(io_, bank_));
  EXPECT_EQ(progress_.opened, std::vector<std::string>{"Now, reading camera lut data. [R]"});
  EXPECT_EQ(bank_.table(kGreenLut)[0], -1);
  EXPECT_EQ(gate_.main_disabled, gate_.main_enabled);
  ExpectAddressingRestored();
}

TEST_F(LutTransfer, SaveAndLoadAllAskBeforeTouchingTheCamera) {
  // No: the tables are saved as they are, without camera traffic.
  EXPECT_TRUE(ReadTablesBeforeSave(io_, bank_));
  EXPECT_FALSE(LoadAllLutTablesConfirmed(io_, bank_));
  EXPECT_TRUE(camera_.requests.empty());
  ASSERT_EQ(notifier_.questions.size(), 2u);
  EXPECT_EQ(notifier_.questions[0].text, "Read all lut data from the camera ?");
  EXPECT_EQ(notifier_.questions[0].caption, "Confirm");

  // Yes with a camera that fails: the save must not go on.
  camera_.silent_from_index = 50;
  notifier_.answers = {true, true};
  EXPECT_FALSE(ReadTablesBeforeSave(io_, bank_));
  camera_.silent_from_index = -1;
  EXPECT_TRUE(LoadAllLutTablesConfirmed(io_, bank_));
  EXPECT_EQ(bank_.table(kRedLut), camera_.luts[2]);
}

}  // namespace
}  // namespace ctrl
