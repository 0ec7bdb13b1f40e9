#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "camera/identity.h"
#include "camera/user_sets.h"
#include "fault_rig.h"
#include "files/camera_settings_file.h"
#include "lut/lut_editor.h"
#include "lut/lut_transfer.h"
#include "sim/register_map.h"

namespace ctrl::test {
namespace {

constexpr int kTimeoutMs = kDefaultTimeoutMs;

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.Start()) << rig.server().error();
    ASSERT_TRUE(rig.Identify());
    // The tool starts in step with the camera: every row read.
    BulkReadResult first = rig.ReadAll();
    ASSERT_EQ(first.failed, 0);
    ASSERT_GT(first.read, 20);
    rows = first.read;
    rig.db().CommitAll();
    ASSERT_EQ(rig.Mismatches(), std::vector<std::string>{});
  }

  int32_t Read(int command_id) {
    int32_t value = -12345;
    EXPECT_TRUE(rig.engine().ReadCommand(command_id, value, kTimeoutMs));
    return value;
  }
  bool Answers() {
    int32_t value = 0;
    return rig.engine().ReadCommand(cmd::kModelName, value, kTimeoutMs);
  }
  // After the fault: the camera answers again and every row reads back.
  void ExpectRecovered() {
    EXPECT_TRUE(Answers());
    EXPECT_TRUE(rig.status().online());
    BulkReadResult again = rig.ReadAll();
    EXPECT_EQ(again.failed, 0);
    EXPECT_EQ(again.read, rows);
    rig.db().CommitAll();
    EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  }

  FaultRig rig;
  int rows = 0;
};

// A silent camera must show as offline and must not leave the tool claiming values it never
// read.
TEST_F(FaultsTest, SilentCameraTimesOutOfflineAndKeepsValues) {
  rig.SetFaults([](sim::Faults& f) { f.silent = true; });
  int32_t value = 0;
  EXPECT_FALSE(rig.engine().ReadCommand(cmd::kLutIndex, value, kTimeoutMs));
  EXPECT_FALSE(rig.status().online());
  BulkReadResult result = rig.ReadAll();
  EXPECT_EQ(result.read, 0);
  EXPECT_EQ(result.failed, rows);
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  rig.ClearFaults();
  ExpectRecovered();
}

// Dropped replies fail exactly their own exchanges; the rows around them still read.
TEST_F(FaultsTest, EveryThirdReplyDroppedFailsOnlyThoseRows) {
  const uint64_t dropped_before =
      rig.server().WithCamera([](sim::CameraFrontEnd& c) { return c.replies_dropped(); });
  rig.SetFaults([](sim::Faults& f) { f.drop_every_nth_reply = 3; }, 100);
  BulkReadResult result = rig.ReadAll();
  const uint64_t dropped = rig.server().WithCamera([](sim::CameraFrontEnd& c) {
    return c.replies_dropped();
  }) - dropped_before;
  EXPECT_EQ(static_cast<uint64_t>(result.failed), dropped);
  EXPECT_NEAR(result.failed, rows / 3, 1);
  EXPECT_EQ(result.read + result.failed, rows);
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  rig.ClearFaults();
  ExpectRecovered();
}

// An echoed request is a first line without "=": the exchange fails at once, without an
// offline report, and nothing read is taken.
TEST_F(FaultsTest, EchoedRequestsFailWithoutOfflineReport) {
  rig.SetFaults([](sim::Faults& f) { f.echo_requests = true; }, 1);
  ASSERT_TRUE(rig.status().online());
  int32_t value = 0;
  EXPECT_FALSE(rig.engine().ReadCommand(cmd::kLutIndex, value, kTimeoutMs));
  EXPECT_TRUE(rig.status().online());
  BulkReadResult result = rig.ReadAll();
  EXPECT_EQ(result.read, 0);
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  rig.ClearFaults();
  ExpectRecovered();
}

// Bytes without LF before a reply become part of the value line; the value after "=" is
// still the camera's.
TEST_F(FaultsTest, GarbageBetweenRepliesStillReadsRightValues) {
  rig.SetFaults([](sim::Faults& f) { f.garbage_between_replies = true; }, 1);
  BulkReadResult result = rig.ReadAll();
  EXPECT_EQ(result.failed, 0);
  rig.db().CommitAll();
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  rig.ClearFaults();
  ExpectRecovered();
}

// More than 1023 bytes without LF overflow the line buffer once, with the message; the reply
// behind them is still read. The camera paces its bytes at 9600 baud like a real line (a pty
// delivers a whole burst at once, beyond what the 1023-byte receive ring holds).
TEST_F(FaultsTest, OverlongLineOverflowsOnceAndReplyStillCounts) {
  rig.SetFaults(
      [](sim::Faults& f) {
        f.overlong_line = true;
        f.emulate_line_speed = true;
      },
      1);
  const size_t messages = rig.notifier().messages.size();
  EXPECT_EQ(Read(cmd::kLutIndex), static_cast<int32_t>(rig.CameraRegisterOf(cmd::kLutIndex)));
  ASSERT_EQ(rig.notifier().messages.size(), messages + 1);
  EXPECT_EQ(rig.notifier().messages.back().text, "RS-232C receiving buffer overflowed");
  rig.ClearFaults();
  ExpectRecovered();
}

// Replies that come after their time-out land in later exchanges; none of them may be taken
// for the answer to another register.
TEST_F(FaultsTest, LateRepliesAfterTimeoutAreNotTakenForOtherRegisters) {
  rig.SetFaults([](sim::Faults& f) { f.reply_delay_us = 30'000; });
  BulkReadResult late = rig.ReadAll();
  EXPECT_EQ(late.read, 0);
  EXPECT_FALSE(rig.status().online());
  // Most late replies are still on their way while the camera answers normally again.
  rig.ClearFaults();
  ExpectRecovered();
}

// A reply that trickles in one byte at a time is assembled into the same lines.
TEST_F(FaultsTest, RepliesSplitIntoSingleBytesReadTheSame) {
  rig.SetFaults([](sim::Faults& f) { f.split_into_single_bytes = true; }, 1);
  BulkReadResult result = rig.ReadAll();
  EXPECT_EQ(result.failed, 0);
  rig.db().CommitAll();
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  rig.ClearFaults();
  ExpectRecovered();
}

// "OK> " is no prompt: the exchange fails, the value was delivered, and no offline report.
TEST_F(FaultsTest, PromptWithTrailingSpaceFailsEveryExchange) {
  rig.SetFaults([](sim::Faults& f) { f.trailing_space_after_prompt = true; }, 1);
  int32_t value = -1;
  EXPECT_FALSE(rig.engine().ReadCommand(cmd::kLutIndex, value, kTimeoutMs));
  EXPECT_EQ(value, static_cast<int32_t>(rig.CameraRegisterOf(cmd::kLutIndex)));
  EXPECT_TRUE(rig.status().online());
  EXPECT_EQ(rig.ReadAll().read, 0);
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  rig.ClearFaults();
  ExpectRecovered();
}

// Silence in the middle of reading every parameter: the rows before it are read, the rest
// keep their values, and a second read after the camera is back completes.
TEST_F(FaultsTest, SilentInTheMiddleOfBulkRead) {
  rig.channel().At(21, [&] { rig.SetFaults([](sim::Faults& f) { f.silent = true; }); });
  BulkReadResult result = rig.ReadAll();
  EXPECT_EQ(result.read, 20);
  EXPECT_EQ(result.failed, rows - 20);
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  rig.ClearFaults();
  ExpectRecovered();
}

// Silence in the middle of loading a settings file: the values sent before it are the
// camera's, the rest are reported as not accepted and keep the camera's values.
TEST_F(FaultsTest, SilentInTheMiddleOfSettingsFileLoad) {
  const std::string path = rig.dir() + "/settings.cam";
  SettingsFileContext context{rig.engine(), rig.db(), 1, [&] { return rig.CcmIndex(); },
                              nullptr,      nullptr};
  ASSERT_TRUE(WriteAllDataFile(path, context));
  // The file asks for another line period than the camera holds.
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string line_period = "0x01001010=";
  const size_t at = text.find(line_period);
  ASSERT_NE(at, std::string::npos);
  ASSERT_NE(rig.CameraRegister(0x01001010), 5000u);
  text.replace(at, text.find('\n', at) - at, line_period + "5000");
  std::ofstream(path) << text;

  rig.channel().At(5, [&] { rig.SetFaults([](sim::Faults& f) { f.silent = true; }); });
  SettingsLoadReport report;
  ASSERT_TRUE(ReadCameraSettingFile(path, context, &report));
  // Silence is no refusal: the lines after it are reported as not answered.
  EXPECT_EQ(report.sent - report.unanswered, 4);
  EXPECT_EQ(report.refused, 0);
  EXPECT_GT(report.unanswered, 0);
  EXPECT_NE(rig.CameraRegister(0x01001010), 5000u);
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  rig.ClearFaults();
  // Loaded again with the camera back, every value is taken, the changed one included.
  ASSERT_TRUE(ReadCameraSettingFile(path, context, &report));
  EXPECT_EQ(report.refused, 0);
  EXPECT_EQ(rig.CameraRegister(0x01001010), 5000u);
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  ExpectRecovered();
}

// Silence between selecting the area and the store command: the store fails without the
// completion message; once the camera answers, the store goes through.
TEST_F(FaultsTest, SilentInTheMiddleOfUserSetStore) {
  NullProgress progress;
  rig.channel().At(2, [&] { rig.SetFaults([](sim::Faults& f) { f.silent = true; }); });
  EXPECT_FALSE(StoreUserSetWithProgress(rig.engine(), 2, progress));
  for (const auto& m : rig.notifier().messages) {
    EXPECT_NE(m.text, "Completed to store current setting data!");
  }
  rig.ClearFaults();
  EXPECT_TRUE(StoreUserSetWithProgress(rig.engine(), 2, progress));
  EXPECT_EQ(rig.notifier().messages.back().text, "Completed to store current setting data!");
  EXPECT_EQ(Read(cmd::kUserSetArea), 2);
  ExpectRecovered();
}

// Replies that break the line in other ways: values printed unsigned, a reply cut off before its
// last digit, a stray fragment glued to a reply, control bytes and a NUL in the texts, a camera
// that talks without end, and one that hangs up halfway through a bulk read. In each, what the
// tool takes as the camera's value is the camera's, and it recovers once the camera is sound.
TEST_F(FaultsTest, LineBreakingFaults) {
  const auto camera_value = [&](uint32_t reg) {
    return static_cast<int32_t>(rig.CameraRegister(reg));
  };
  // A read that succeeds must give exactly the camera's value; returns whether it succeeded.
  const auto read_checked = [&](uint32_t reg) {
    int32_t value = -12345;
    const bool ok = rig.engine().ReadRegister(reg, value, kTimeoutMs);
    if (ok) {
      EXPECT_EQ(value, camera_value(reg)) << std::hex << reg;
    }
    return ok;
  };
  // Reads and writes retried up to three times, as the LUT transfer does.
  const auto read_lut_entries_with_retries = [&] {
    for (int entry : {0, 297, 1000, 4095}) {
      bool written = false;
      for (int attempt = 0; attempt < 3 && !written; ++attempt) {
        written = rig.engine().WriteCommand(cmd::kLutIndex, entry, kTimeoutMs);
      }
      ASSERT_TRUE(written) << entry;
      ASSERT_EQ(camera_value(sim::reg::kLutIndex), entry);
      int32_t value = -1;
      bool read = false;
      for (int attempt = 0; attempt < 3 && !read; ++attempt) {
        read = rig.engine().ReadRegister(sim::reg::kLutValue, value, kTimeoutMs);
      }
      ASSERT_TRUE(read) << entry;
      EXPECT_EQ(value, camera_value(sim::reg::kLutValue)) << entry;
    }
  };
  // Every row either reads the camera's value or fails; some fail.
  const auto bulk_read_fails_some_but_takes_no_wrong_value = [&] {
    BulkReadResult result = rig.ReadAll();
    EXPECT_GT(result.failed, 0);
    EXPECT_GT(result.read, 0);
    rig.db().CommitAll();
    EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  };

  struct Case {
    const char* name;
    std::function<void(sim::Faults&)> set;
    int scale;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"unsigned replies", [](sim::Faults& f) { f.unsigned_replies = true; }, 1,
       [&] {
         ASSERT_TRUE(rig.engine().WriteRegister(sim::reg::kBlackLevel, -4095, kTimeoutMs));
         ASSERT_EQ(camera_value(sim::reg::kBlackLevel), -4095);
         int32_t value = 0;
         EXPECT_TRUE(rig.engine().ReadRegister(sim::reg::kBlackLevel, value, kTimeoutMs));
         EXPECT_EQ(value, -4095);
         BulkReadResult result = rig.ReadAll();
         EXPECT_EQ(result.failed, 0);
         rig.db().CommitAll();
         EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
         ASSERT_TRUE(rig.engine().WriteRegister(sim::reg::kBlackLevel, 0, kTimeoutMs));
       }},
      {"every third reply cut", [](sim::Faults& f) { f.cut_reply_every_nth = 3; }, 100,
       [&] {
         int failed = 0;
         for (int i = 0; i < 9; ++i) failed += read_checked(sim::reg::kLutValue) ? 0 : 1;
         EXPECT_GE(failed, 3);  // more only if a stall of the real line ran out the fast clock
         read_lut_entries_with_retries();
         bulk_read_fails_some_but_takes_no_wrong_value();
       }},
      {"stray fragment before every second reply",
       [](sim::Faults& f) { f.stray_fragment_every_nth = 2; }, 100,
       [&] {
         int failed = 0;
         for (int i = 0; i < 8; ++i) failed += read_checked(sim::reg::kLutValue) ? 0 : 1;
         EXPECT_GE(failed, 4);  // more only if a stall of the real line ran out the fast clock
         read_lut_entries_with_retries();
         bulk_read_fails_some_but_takes_no_wrong_value();
       }},
      {"control bytes in texts", [](sim::Faults& f) { f.control_bytes_in_texts = true; }, 1,
       [&] {
         std::string user_id;
         ASSERT_TRUE(rig.engine().ReadText(cmd::kUserId, kMaxUserIdLength, user_id, kTimeoutMs));
         EXPECT_EQ(user_id, std::string("\x1b[2J"
                                        "caf\xe9"
                                        "\x01\x7f\xff|"));
         std::string vendor;
         ASSERT_TRUE(
             rig.engine().ReadText(cmd::kVendorName, kIdentityTextBytes, vendor, kTimeoutMs));
         EXPECT_EQ(vendor, std::string("Ornvik\x1b[2J\x07 caf\xe9"));
       }},
      {"endless talk", [](sim::Faults& f) { f.endless_talk = true; }, FaultRig::kFastScale,
       [&] {
         for (int i = 0; i < 3; ++i) {
           const uint64_t exchanges = rig.engine().exchanges();
           const int64_t start_us = rig.clock().NowUs();
           int32_t value = -12345;
           EXPECT_FALSE(rig.engine().ReadRegister(sim::reg::kLutValue, value, kTimeoutMs));
           EXPECT_EQ(rig.engine().last_failure(), Command::Failure::kNoAnswer);
           EXPECT_EQ(value, -12345);
           EXPECT_EQ(rig.engine().exchanges(), exchanges + 1);
           EXPECT_GE(rig.clock().NowUs() - start_us, int64_t{kTimeoutMs} * 1000)
               << "ended by its time-out, not before";
         }
         EXPECT_FALSE(rig.status().online());
       }},
      {"hang-up after ten requests", [](sim::Faults& f) { f.hang_up_after = 10; }, 1,
       [&] {
         int64_t hang_up_us = 0;
         rig.channel().At(11, [&] {
           rig.clock().set_scale(100);
           hang_up_us = rig.clock().NowUs();
         });
         const int requests_before = rig.channel().requests();
         BulkReadResult result = rig.ReadAll();
         EXPECT_EQ(result.read, 10);
         EXPECT_EQ(result.failed, rows - 10);
         EXPECT_EQ(rig.engine().last_failure(), Command::Failure::kLineLost);
         EXPECT_TRUE(rig.server().hung_up());
         // One request found the line gone; no later row even sent one, nor waited out a
         // time-out of its own.
         EXPECT_EQ(rig.channel().requests() - requests_before, 11);
         EXPECT_LT(rig.clock().NowUs() - hang_up_us, int64_t{kTimeoutMs} * 1000 * (rows - 10) / 2);
         EXPECT_FALSE(Answers());
         EXPECT_EQ(rig.engine().last_failure(), Command::Failure::kLineLost);
         rig.db().CommitAll();
         EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
         rig.channel().At(-1, nullptr);
         rig.ClearFaults();
         ASSERT_TRUE(rig.server().Start()) << rig.server().error();
         ASSERT_TRUE(rig.comm().ReopenCurrent());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.SetFaults(c.set, c.scale);
    c.check();
    rig.ClearFaults();
    ExpectRecovered();
  }
}

class LutFaultsTest : public FaultsTest {
 protected:
  void SetUp() override {
    FaultsTest::SetUp();
    // The camera's own addressing, which every transfer must leave as it found it.
    ASSERT_TRUE(rig.engine().WriteCommand(cmd::kLutIndex, 1234, kTimeoutMs));
    selector = static_cast<int32_t>(rig.CameraRegisterOf(cmd::kLutSelector));
    index = static_cast<int32_t>(rig.CameraRegisterOf(cmd::kLutIndex));
    ASSERT_EQ(index, 1234);
  }
  void ExpectAddressingRestored() {
    EXPECT_EQ(static_cast<int32_t>(rig.CameraRegisterOf(cmd::kLutSelector)), selector);
    EXPECT_EQ(static_cast<int32_t>(rig.CameraRegisterOf(cmd::kLutIndex)), index);
  }

  LutBank bank;
  NullProgress progress;
  NullWindowGate windows;
  LutTransferContext io{rig.engine(), rig.clock(), progress, windows};
  int32_t selector = 0;
  int32_t index = 0;
};

// Silence in the middle of a LUT read: the read fails; the next transfer, with the camera
// back, completes and leaves the camera's selector and index as they were before both.
TEST_F(LutFaultsTest, SilentInTheMiddleOfLutRead) {
  rig.channel().At(200, [&] { rig.SetFaults([](sim::Faults& f) { f.silent = true; }); });
  EXPECT_FALSE(ReadLutTable(io, bank, kGreenLut));
  rig.ClearFaults();
  EXPECT_TRUE(ReadLutTable(io, bank, kGreenLut));
  ExpectAddressingRestored();
  for (int entry : {0, 100, 2048, 4095}) {
    EXPECT_EQ(bank.table(kGreenLut)[entry], rig.server().WithCamera([&](sim::CameraFrontEnd& c) {
      return static_cast<int32_t>(c.model().LutEntry(1, entry));
    }));
  }
}

// The same for a LUT write: the entries written before the silence are in the camera, and the
// write after it completes the table.
TEST_F(LutFaultsTest, SilentInTheMiddleOfLutWrite) {
  bank.SetModeAndRedraw(kGreenLut, LutMode::kView);
  for (int entry = 0; entry < kLutEntryCount; ++entry) {
    bank.table(kGreenLut)[entry] = kLutMaxLevel - entry;
  }
  rig.channel().At(200, [&] { rig.SetFaults([](sim::Faults& f) { f.silent = true; }); });
  EXPECT_FALSE(WriteLutTable(io, bank, kGreenLut, kGreenLut));
  rig.ClearFaults();
  EXPECT_TRUE(WriteLutTable(io, bank, kGreenLut, kGreenLut));
  ExpectAddressingRestored();
  for (int entry : {0, 100, 2048, 4095}) {
    EXPECT_EQ(rig.server().WithCamera([&](sim::CameraFrontEnd& c) {
      return static_cast<int32_t>(c.model().LutEntry(1, entry));
    }),
              kLutMaxLevel - entry);
  }
}

// The camera's server goes away in the middle of a bulk read and comes back on a new pty
// behind the same link: the tool reports offline, and works again after reopening the port.
TEST_F(FaultsTest, ServerStoppedMidExchangeAndStartedAgain) {
  rig.channel().At(6, [&] {
    rig.server().Stop();
    rig.clock().set_scale(FaultRig::kFastScale);
  });
  BulkReadResult result = rig.ReadAll();
  EXPECT_EQ(result.read, 5);
  EXPECT_FALSE(rig.status().online());
  EXPECT_FALSE(Answers());
  ASSERT_TRUE(rig.server().Start()) << rig.server().error();
  rig.clock().set_scale(1);
  ASSERT_TRUE(rig.comm().ReopenCurrent());
  EXPECT_EQ(rig.Mismatches(), std::vector<std::string>{});
  ExpectRecovered();
}

// The camera moves to 115200 while the PC stays at 9600: the next exchanges fail cleanly by
// time-out; reopening at the camera's rate recovers.
TEST_F(FaultsTest, CameraSwitchedToAnotherBaudRate) {
  ASSERT_TRUE(rig.engine().WriteRegister(sim::reg::kBaudRate, sim::baud::k115200, kTimeoutMs));
  rig.clock().set_scale(FaultRig::kFastScale);
  EXPECT_FALSE(Answers());
  EXPECT_FALSE(rig.status().online());
  EXPECT_EQ(rig.ReadAll().read, 0);
  EXPECT_EQ(rig.server().WithCamera([](sim::CameraFrontEnd& c) { return c.model().baud_rate(); }),
            115200);
  rig.clock().set_scale(1);
  ASSERT_TRUE(rig.comm().ReopenWithBaudRate(115200));
  ExpectRecovered();
}

}  // namespace
}  // namespace ctrl::test
