// Catches settings files with the wrong lines, order or skipping, a save that destroys the old
// file when it fails, and a load that sends what it must not, or claims values the camera
// refused.
#include <gtest/gtest.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "camera/command_engine.h"
#include "files/atomic_file.h"
#include "files/camera_settings_file.h"
#include "support/map_channel.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class RecordingProgress final : public Progress {
 public:
  void OpenProgress(const std::string& message) override { events.push_back("open " + message); }
  void SetProgressPercent(int percent) override { percents.push_back(percent); }
  void SetProgressMessage(const std::string& message) override { events.push_back(message); }
  void FinishProgress() override { events.push_back("finish"); }
  std::vector<std::string> events;
  std::vector<int> percents;
};

class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsFileTest()
      : channel_(clock_),
        engine_(channel_, clock_, table_, status_),
        dir_(fs::temp_directory_path() /
             ("ctrl_settings_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::create_directories(dir_);
    engine_.device().kind = ModelKind::Mono;
  }
  ~SettingsFileTest() override { fs::remove_all(dir_); }

  SettingsFileContext Context() {
    return SettingsFileContext{engine_, db_, 0, nullptr, &progress_, nullptr};
  }
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
  RecordingProgress progress_;
  fs::path dir_;
};

TEST_F(SettingsFileTest, AllDataWritesTheAvailableFiledRowsInTableOrder) {
  db_.SetDataValue(1706, -12);
  auto context = Context();
  fs::path file = dir_ / "a.cam";
  ASSERT_TRUE(WriteAllDataFile(file.string(), context));
  std::string text = ReadAll(file);
  std::vector<std::string> lines;
  std::stringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  // Mono: 73 filed rows minus field count, the three trigger extras, the two field gains, AWB
  // link, CSC/SC/WB (13) and CCM (11).
  EXPECT_EQ(lines.size(), 73u - 1 - 3 - 2 - 1 - 13 - 11);
  EXPECT_EQ(lines.front(), "0x01302040=0");
  EXPECT_NE(text.find("\n0x01209050=-12\n"), std::string::npos);
  EXPECT_NE(text.find("\n0x01303040=8192\n"), std::string::npos);
  EXPECT_EQ(text.find("0x01208000"), std::string::npos) << "Field Count is not on mono";
  EXPECT_EQ(text.find("0x01600324"), std::string::npos) << "selectors are never filed";
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_TRUE(Writes().empty()) << "saving reads and writes no register";

  fs::path shipping = dir_ / "s.cam";
  ASSERT_TRUE(WriteShippingDataFile(shipping.string(), context));
  EXPECT_EQ(ReadAll(shipping), text);
}

TEST_F(SettingsFileTest, FactoryRowsFollowTheModeAndTheVariant) {
  db_.mutable_rows()[12].parameter_class = parameter_class::kFactory;  // Exposure Time
  auto context = Context();
  fs::path file = dir_ / "f.cam";
  ASSERT_TRUE(WriteAllDataFile(file.string(), context));
  EXPECT_EQ(ReadAll(file).find("0x01001010="), std::string::npos);
  context.factory_mode = 1;
  ASSERT_TRUE(WriteAllDataFile(file.string(), context));
  EXPECT_NE(ReadAll(file).find("0x01001010="), std::string::npos);
  ASSERT_TRUE(WriteShippingDataFile(file.string(), context));
  EXPECT_EQ(ReadAll(file).find("0x01001010="), std::string::npos);

  WriteAll(file, "0x01001010=123\n");
  context.factory_mode = 0;
  ASSERT_TRUE(ReadCameraSettingFile(file.string(), context));
  EXPECT_TRUE(Writes().empty());
  context.factory_mode = 1;
  ASSERT_TRUE(ReadCameraSettingFile(file.string(), context));
  EXPECT_EQ(Writes(), std::vector<std::string>{"wr 0x01001010 123\r\n"});
}

TEST_F(SettingsFileTest, LoadSkipsWhatDoesNotBelongAndSendsTheRest) {
  fs::path file = dir_ / "in.cam";
  WriteAll(file,
           " 0x01001010 = 1234 \r\n"  // spaces and CR LF
           "0x0120604C=&H1F\n"        // hexadecimal value
           "0x01600324=1\n"           // master-file flag 0: skipped silently
           "0x01600000=5\n"           // in the table, no database row
           "0x01103000=1\n"           // CSC Enable: not on mono cameras
           "0x0100604c=3\n"           // lower-case: no command
           "garbage\n"
           "0x0100604C=2\n"
           "0x0100604C=4\n");  // the later value of a duplicate stays
  auto context = Context();
  SettingsLoadReport report;
  ASSERT_TRUE(ReadCameraSettingFile(file.string(), context, &report));
  EXPECT_EQ(Writes(), (std::vector<std::string>{"wr 0x01001010 1234\r\n", "wr 0x0120604C 31\r\n",
                                                "wr 0x0100604C 2\r\n", "wr 0x0100604C 4\r\n"}));
  // The lines that name no register are said at the end: the operator may believe them sent.
  EXPECT_EQ(notifier_.Texts(),
            (std::vector<std::string>{"Unexpected error occurred in ToCtrlId(): Command id is 0",
                                      "2 lines of " + file.string() +
                                          " were skipped: they name no register or hold no "
                                          "whole 32-bit value."}));
  EXPECT_EQ(db_.GetDataValue(1704), 1234);
  EXPECT_EQ(db_.GetDataValue(1708), 31);
  EXPECT_EQ(db_.GetDataValue(1691), 4);
  EXPECT_EQ(db_.GetSynchronisedValue(1691), 4);
  EXPECT_EQ(report.lines, 9);
  EXPECT_EQ(progress_.events,
            (std::vector<std::string>{"open Now, reading camera setting file.", "finish"}));
  EXPECT_EQ(progress_.percents, (std::vector<int>{0, 11, 22, 33, 44, 55, 66, 77, 88}));
}

TEST_F(SettingsFileTest, RefusedValuesKeepTheCameraValueAndAreCountedOnce) {
  db_.CommitAll();
  channel_.refused = {0x01001010, 0x0100101C};
  fs::path file = dir_ / "r.cam";
  WriteAll(file, "0x01001010=1\n0x0100101C=2\n0x0120604C=300\n");
  auto context = Context();
  SettingsLoadReport report;
  ASSERT_TRUE(ReadCameraSettingFile(file.string(), context, &report));
  EXPECT_EQ(report.refused, 2);
  EXPECT_EQ(db_.GetDataValue(1704), 4000);
  EXPECT_EQ(db_.GetSynchronisedValue(1704), 4000);
  EXPECT_EQ(db_.GetDataValue(1708), 300);
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_NE(notifier_.messages[0].text.find("2 lines of"), std::string::npos);
}

// A load tells a refusal from silence and from a line that went away: values nobody answered are
// not reported as refused, and after a hang-up nothing more is sent and no time-out is waited.
TEST_F(SettingsFileTest, LoadReportsRefusedUnansweredAndLostLinesApart) {
  struct Case {
    const char* name;
    std::set<uint32_t> refused;
    bool silent;
    int answer_limit;
    int want_refused, want_unanswered;
    size_t want_requests;
    const char* message_part;  // nullptr: no message
  } cases[] = {
      {"all accepted", {}, false, -1, 0, 0, 3, nullptr},
      {"one refused", {0x0100101C}, false, -1, 1, 0, 3, "1 line of"},
      {"silent camera", {}, true, -1, 0, 3, 3, "3 lines of"},
      {"hang-up in the second", {}, false, 1, 0, 2, 2, "The camera's line went away."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_.CommitAll();
    channel_.requests.clear();
    channel_.refused = c.refused;
    channel_.silent = c.silent;
    channel_.answer_limit = c.answer_limit;
    notifier_.messages.clear();
    fs::path file = dir_ / "l.cam";
    WriteAll(file, "0x01001010=4100\n0x0100101C=2\n0x0120604C=300\n");
    auto context = Context();
    SettingsLoadReport report;
    const int64_t start_us = clock_.NowUs();
    ASSERT_TRUE(ReadCameraSettingFile(file.string(), context, &report));
    EXPECT_EQ(report.refused, c.want_refused);
    EXPECT_EQ(report.unanswered, c.want_unanswered);
    EXPECT_EQ(report.line_lost, c.answer_limit >= 0);
    EXPECT_EQ(channel_.requests.size(), c.want_requests);
    if (c.answer_limit >= 0) {
      EXPECT_EQ(clock_.NowUs(), start_us);
    }
    if (c.message_part == nullptr) {
      EXPECT_TRUE(notifier_.messages.empty());
    } else {
      ASSERT_EQ(notifier_.messages.size(), 1u);
      EXPECT_NE(notifier_.messages[0].text.find(c.message_part), std::string::npos);
      EXPECT_EQ(notifier_.messages[0].text.find("not accepted") != std::string::npos,
                c.want_refused > 0);
    }
  }
}

TEST_F(SettingsFileTest, EmptyFileStillOpensAndFinishesProgressAndCommits) {
  fs::path file = dir_ / "empty.cam";
  WriteAll(file, "");
  auto context = Context();
  ASSERT_TRUE(ReadCameraSettingFile(file.string(), context));
  EXPECT_EQ(progress_.events.size(), 2u);
  for (const auto& row : db_.rows()) EXPECT_FALSE(row.pending());
}

TEST_F(SettingsFileTest, LongLinesAreReadAsPiecesOf255) {
  fs::path file = dir_ / "long.cam";
  // 300 spaces then a valid line: the first piece holds 255 spaces, the second the rest.
  WriteAll(file, std::string(255, ' ') + "0x01001010=77\n" + std::string(600, 'x'));
  auto context = Context();
  SettingsLoadReport report;
  ASSERT_TRUE(ReadCameraSettingFile(file.string(), context, &report));
  EXPECT_EQ(report.lines, 2 + 3);
  EXPECT_EQ(Writes(), std::vector<std::string>{"wr 0x01001010 77\r\n"});
}

TEST_F(SettingsFileTest, UnopenablePathsShowTheMessageAndReturnFalse) {
  auto context = Context();
  std::string missing = (dir_ / "missing.cam").string();
  EXPECT_FALSE(ReadCameraSettingFile(missing, context));
  EXPECT_FALSE(ReadCameraSettingFile(dir_.string(), context)) << "a folder is no file";
  EXPECT_FALSE(WriteAllDataFile((dir_ / "no" / "such" / "x.cam").string(), context));
  ASSERT_EQ(notifier_.messages.size(), 3u);
  EXPECT_EQ(notifier_.messages[0].text, missing + "\nCouldn't open this file");
  EXPECT_EQ(notifier_.messages[0].caption, "File Open Error");
  EXPECT_TRUE(Writes().empty());
}

#ifndef _WIN32  // The failing write comes from a POSIX file size limit in a forked child.
TEST_F(SettingsFileTest, FailedSaveKeepsThePreviousFile) {
  fs::path file = dir_ / "keep.cam";
  WriteAll(file, "previous content\n");
  // A file size limit of a few bytes makes the write fail half-way.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{64, 64};
    setrlimit(RLIMIT_FSIZE, &limit);
    test::RecordingNotifier quiet;
    auto context = Context();
    bool ok = WriteAllDataFile(file.string(), context);
    _exit(ok ? 0 : 3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3) << "the save must report failure";
  EXPECT_EQ(ReadAll(file), "previous content\n");
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename(), "keep.cam") << "no temporary file left behind";
  }
}
#endif

TEST(AtomicFile, FolderPartCutsBeforeTheLastSeparator) {
  EXPECT_EQ(FolderOf("C:\\data\\cams\\a.cam"), "C:\\data\\cams");
  EXPECT_EQ(FolderOf("/home/op/a.cam"), "/home/op");
  EXPECT_EQ(FolderOf("/home/op\\x/a.cam"), "/home/op\\x");
  EXPECT_EQ(FolderOf("a.cam"), "");
}

}  // namespace
}  // namespace ctrl
