#include "transport/comm_channel.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "app/connection_settings.h"
#include "app/registry_settings.h"
#include "fake_transports.h"
#include "transport/system_transports.h"

namespace ctrl {
namespace {

class CommChannelTest : public ::testing::Test {
 protected:
  CommChannelTest()
      : com_(log_, clock_),
        cl2000_("cl2000", log_, clock_),
        cl2001_("cl2001", log_, clock_),
        clv11_("clv11", log_, clock_),
        channel_(com_, cl2000_, cl2001_, clv11_, clock_) {}

  std::string Read(int length, int timeout_ms) {
    std::string out(static_cast<size_t>(length), '\0');
    out.resize(static_cast<size_t>(channel_.Read(out.data(), length, timeout_ms)));
    return out;
  }
  int64_t ElapsedMs() const { return (clock_.NowUs() - kStartUs) / 1000; }

  static constexpr int64_t kStartUs = 1'000'000'000;
  FakeClock clock_{kStartUs};
  test::CallLog log_;
  test::FakeComPort com_;
  test::FakeClSerialPort cl2000_;
  test::FakeClSerialPort cl2001_;
  test::FakeClSerialPort clv11_;
  CommChannel channel_;
};

TEST(ConnectionFacts, BaudRateIndexAndRateMapBothWays) {
  EXPECT_EQ(BaudRateOfIndex(0), 9600);
  EXPECT_EQ(BaudRateOfIndex(1), 115200);
  EXPECT_EQ(BaudRateOfIndex(2), 460800);
  EXPECT_EQ(BaudRateOfIndex(3), 9600);
  EXPECT_EQ(BaudRateOfIndex(-1), 9600);
  EXPECT_EQ(BaudRateIndex(9600), 0);
  EXPECT_EQ(BaudRateIndex(115200), 1);
  EXPECT_EQ(BaudRateIndex(460800), 2);
  EXPECT_EQ(BaudRateIndex(57600), 0);
}

// The stored numbers and the CLI names must keep meaning the same category.
TEST(ConnectionFacts, CategoriesKeepTheirStoredNumbersAndNames) {
  const struct {
    int stored;
    std::string_view cli_name;
    PortCategory category;
  } kCases[] = {
      {0, "com", PortCategory::kComPort},
      {1, "cl2000", PortCategory::kClSerial2000},
      {2, "cl2001", PortCategory::kClSerial2001},
      {3, "cl11", PortCategory::kClSerialV11},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(PortCategoryOfInt(c.stored), c.category) << c.stored;
    EXPECT_EQ(PortCategoryOfCliName(c.cli_name), c.category) << c.cli_name;
    EXPECT_EQ(RowOf(c.category), static_cast<std::size_t>(c.stored)) << c.stored;
  }
  for (int stored : {-1, 4, 7}) {
    EXPECT_EQ(PortCategoryOfInt(stored), std::nullopt) << stored;
    EXPECT_EQ(RowOf(PortCategory{stored}), std::nullopt) << stored;
  }
  EXPECT_EQ(PortCategoryOfCliName("COM"), std::nullopt);
}

TEST_F(CommChannelTest, ComPortOpensByNameWith8N1AndRemembersTheIndex) {
  EXPECT_TRUE(channel_.Open(PortCategory::kComPort, 115200, 2));
  EXPECT_EQ(channel_.CurrentPortIndex(), 2);
  EXPECT_EQ(channel_.BaudRateIndex(), 1);
  log_.calls.clear();
  EXPECT_TRUE(channel_.ReopenWithBaudRate(9600));
  EXPECT_EQ(log_.Joined(), "com.close | com.open COM3 9600 8000");
  log_.calls.clear();
  EXPECT_TRUE(channel_.ReopenWithPortIndex(11));
  EXPECT_EQ(log_.Joined(), "com.close | com.open COM12 9600 8000");
}

TEST_F(CommChannelTest, OpeningCameraLinkClosesTheComPortFirstThenSetsTheRate) {
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 0));
  log_.calls.clear();
  EXPECT_TRUE(channel_.Open(PortCategory::kClSerial2000, 9600, 0));
  EXPECT_EQ(log_.Joined(), "com.close | cl2000.open 0 | cl2000.baud 9600");
  EXPECT_FALSE(com_.IsOpen());
  EXPECT_EQ(channel_.PortIndexOf(PortCategory::kComPort), 0);
}

// A refused rate fails the open but must not close the port the library opened.
TEST_F(CommChannelTest, RefusedRateFailsTheOpenButTheLibraryPortStaysOpen) {
  cl2001_.baud_result = false;
  EXPECT_FALSE(channel_.Open(PortCategory::kClSerial2001, 460800, 0));
  EXPECT_TRUE(cl2001_.IsOpen());
  EXPECT_EQ(channel_.port_category(), PortCategory::kClSerial2001);
  EXPECT_EQ(channel_.baud_rate(), 460800);
}

TEST_F(CommChannelTest, FailedLibraryOpenDoesNotTryTheRateButKeepsTheChoice) {
  clv11_.open_result = false;
  EXPECT_FALSE(channel_.Open(PortCategory::kClSerialV11, 115200, 4));
  EXPECT_EQ(log_.Joined(), "com.close | clv11.open 4");
  EXPECT_EQ(channel_.port_category(), PortCategory::kClSerialV11);
  EXPECT_EQ(channel_.baud_rate(), 115200);
  EXPECT_EQ(channel_.CurrentPortIndex(), 4);
}

// "Communication Mode" 7: nothing opens and every operation answers like a dead line.
TEST_F(CommChannelTest, UnknownCategoryOpensNothingAndAnswersNothing) {
  EXPECT_FALSE(channel_.Open(PortCategory{7}, 9600, 0));
  EXPECT_EQ(log_.Joined(), "com.close");
  EXPECT_EQ(ToInt(channel_.port_category()), 7);
  EXPECT_EQ(channel_.PortCount(), 0);
  EXPECT_EQ(channel_.PortName(0), "ERROR");
  EXPECT_EQ(channel_.CurrentPortIndex(), 0);
  EXPECT_FALSE(channel_.Write("rd 0x01600004\r\n"));
  EXPECT_EQ(Read(1, 10), "");
  EXPECT_GE(ElapsedMs(), 10);  // It waited out the time-out rather than spinning.
  channel_.Close();
  EXPECT_EQ(log_.Joined(), "com.close");
}

TEST_F(CommChannelTest, PortListComesFromTheCurrentCategory) {
  EXPECT_EQ(channel_.PortCount(), 16);
  EXPECT_EQ(channel_.PortName(15), "COM16");
  EXPECT_EQ(channel_.PortName(16), "ERROR");
  clv11_.ports = {"Acme - port A", "Acme - port B"};
  channel_.set_port_category(PortCategory::kClSerialV11);
  EXPECT_EQ(channel_.PortCount(), 2);
  EXPECT_EQ(log_.Joined(), "clv11.enumerate");
  EXPECT_EQ(channel_.PortName(1), "Acme - port B");
  EXPECT_EQ(channel_.PortName(2), "");
}

// The engine never looks at the write result: a closed port still counts as sent.
TEST_F(CommChannelTest, WriteAlwaysSucceedsOnKnownCategoriesWithTheirTimeOuts) {
  EXPECT_TRUE(channel_.Write("rd 0x01600004\r\n"));
  EXPECT_EQ(com_.written, "rd 0x01600004\r\n");
  cl2000_.write_result = false;
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerial2000, 9600, 0));
  log_.calls.clear();
  EXPECT_TRUE(channel_.Write("abc"));
  EXPECT_EQ(log_.Joined(), "cl2000.write abc 500");
}

TEST_F(CommChannelTest, ComReadReturnsAtOnceWhenEverythingIsThere) {
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 0));
  com_.Arrive("abcdefg", kStartUs);
  EXPECT_EQ(Read(5, 100), "abcde");
  EXPECT_EQ(ElapsedMs(), 0);
  EXPECT_EQ(com_.waits, 0);
}

TEST_F(CommChannelTest, ComReadWaitsOutTheTimeOutForMissingBytes) {
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 0));
  com_.Arrive("abc", kStartUs);
  EXPECT_EQ(Read(5, 100), "abc");
  EXPECT_EQ(ElapsedMs(), 100);
}

// Bytes that come in during the wait are delivered as they arrive, not at the time-out.
TEST_F(CommChannelTest, ComReadWakesForBytesArrivingDuringTheWait) {
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 0));
  com_.Arrive("O", kStartUs + 3'000);
  com_.Arrive("K>", kStartUs + 7'000);
  EXPECT_EQ(Read(3, 5000), "OK>");
  EXPECT_EQ(ElapsedMs(), 7);
}

TEST_F(CommChannelTest, ZeroTimeOutStillMakesOneAttempt) {
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 0));
  com_.Arrive("x", kStartUs);
  EXPECT_EQ(Read(1, 0), "x");
  EXPECT_EQ(Read(1, 0), "");
  EXPECT_EQ(com_.read_calls, 2);
  EXPECT_EQ(ElapsedMs(), 0);
}

TEST_F(CommChannelTest, ClosedComPortReadsNothingUntilTheTimeOut) {
  EXPECT_EQ(Read(1, 10), "");
  EXPECT_EQ(ElapsedMs(), 10);
}

// Camera Link reads go one byte at a time with 10 ms inside the library per attempt.
TEST_F(CommChannelTest, CameraLinkReadsOneByteAtATimeWithTenMilliseconds) {
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerial2001, 9600, 0));
  cl2001_.incoming = {'O', 'K', '>'};
  EXPECT_EQ(Read(5, 40), "OK>");
  ASSERT_GE(cl2001_.read_requests.size(), 4u);
  for (const auto& request : cl2001_.read_requests) {
    EXPECT_EQ(request.length, 1);
    EXPECT_EQ(request.timeout_ms, 10);
  }
  EXPECT_GE(ElapsedMs(), 40);
  EXPECT_LT(ElapsedMs(), 50);
}

// A library read that fails at once must not turn the time-out into a busy loop.
TEST_F(CommChannelTest, CameraLinkReadThatFailsAtOncePacesItself) {
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerial2000, 9600, 0));
  cl2000_.blocks_in_read = false;
  EXPECT_EQ(Read(1, 100), "");
  EXPECT_LE(cl2000_.read_requests.size(), 11u);
  EXPECT_EQ(ElapsedMs(), 100);
}

TEST_F(CommChannelTest, DiscardInputGoesToTheCurrentTransport) {
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 0));
  com_.Arrive("late", kStartUs);
  channel_.DiscardInput();
  EXPECT_EQ(Read(1, 0), "");
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerialV11, 9600, 0));
  log_.calls.clear();
  channel_.DiscardInput();
  EXPECT_EQ(log_.Joined(), "clv11.discard");
}

TEST_F(CommChannelTest, SettingsGiveCategoryAndIndicesButNeverTheRate) {
  MemorySettingsBackend backend;
  backend.SetInt("Previous Application Shutdown Status", 1);
  backend.SetInt("Communication Mode", 3);
  backend.SetInt("Baudrate", 115200);
  backend.SetString("Com Port No", "3");
  backend.SetInt("Cameralink 2000 Dll Index", 1);
  backend.SetInt("Cameralink 2001 Dll Index", 2);
  backend.SetInt("Cameralink Ver11 Dll Index", 5);
  RegistrySettings settings(backend);
  channel_.Restore(ReadChannelChoice(settings));
  EXPECT_EQ(channel_.port_category(), PortCategory::kClSerialV11);
  EXPECT_EQ(channel_.baud_rate(), 9600);
  EXPECT_EQ(channel_.PortIndexOf(PortCategory::kComPort), 3);
  EXPECT_EQ(channel_.PortIndexOf(PortCategory::kClSerial2000), 1);
  EXPECT_EQ(channel_.PortIndexOf(PortCategory::kClSerial2001), 2);
  EXPECT_EQ(channel_.CurrentPortIndex(), 5);
  EXPECT_TRUE(channel_.ReopenCurrent());
  EXPECT_EQ(log_.Joined(), "clv11.close | clv11.open 5 | clv11.baud 9600");
}

TEST_F(CommChannelTest, SaveWritesTheSixFields) {
  MemorySettingsBackend backend;
  RegistrySettings settings(backend);
  channel_.Open(PortCategory::kClSerial2001, 460800, 1);
  channel_.Open(PortCategory::kComPort, 115200, 4);
  WriteChannelChoice(channel_.choice(), settings);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kCommunicationMode, -1).value, 0);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kBaudrate, -1).value, 115200);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kComPortNo, -1).value, 4);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kCameralink2000DllIndex, -1).value, 0);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kCameralink2001DllIndex, -1).value, 1);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kCameralinkVer11DllIndex, -1).value, 0);
}

// A stored category outside the table opens nothing but is written back as it was found.
TEST_F(CommChannelTest, UnknownStoredCategorySurvivesLoadAndSave) {
  MemorySettingsBackend backend;
  backend.SetInt("Previous Application Shutdown Status", 1);
  backend.SetInt("Communication Mode", 7);
  backend.SetInt("Cameralink 2001 Dll Index", 2);
  RegistrySettings settings(backend);
  channel_.Restore(ReadChannelChoice(settings));
  EXPECT_FALSE(channel_.ReopenCurrent());
  WriteChannelChoice(channel_.choice(), settings);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kCommunicationMode, -1).value, 7);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kCameralink2001DllIndex, -1).value, 2);
}

// A first run and a run fixed to COM1 start from the same values.
TEST_F(CommChannelTest, NothingStoredReadsAsTheFirstRunChoice) {
  MemorySettingsBackend backend;
  RegistrySettings settings(backend);
  const ChannelChoice read = ReadChannelChoice(settings);
  const ChannelChoice first_run;
  EXPECT_EQ(read.category, first_run.category);
  EXPECT_EQ(read.baud_rate, first_run.baud_rate);
  EXPECT_EQ(read.port_indices, first_run.port_indices);
}

// After an abnormal end the stored Camera Link choice is not trusted: the run starts on the
// COM port and that is what the next normal exit saves.
TEST_F(CommChannelTest, AbnormalPreviousEndForcesTheComPort) {
  MemorySettingsBackend backend;
  backend.SetInt("Previous Application Shutdown Status", 0);
  backend.SetInt("Communication Mode", 2);
  RegistrySettings settings(backend);
  channel_.Restore(ReadChannelChoice(settings));
  ApplyPreviousRunCheck(settings, channel_);
  EXPECT_EQ(channel_.port_category(), PortCategory::kComPort);
  WriteChannelChoice(channel_.choice(), settings);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kCommunicationMode, -1).value, 0);

  MemorySettingsBackend clean_exit;
  clean_exit.SetInt("Previous Application Shutdown Status", 1);
  clean_exit.SetInt("Communication Mode", 2);
  RegistrySettings after_clean_exit(clean_exit);
  channel_.Restore(ReadChannelChoice(after_clean_exit));
  ApplyPreviousRunCheck(after_clean_exit, channel_);
  EXPECT_EQ(channel_.port_category(), PortCategory::kClSerial2001);
}

}  // namespace
}  // namespace ctrl
