// Catches saves that replace what a path names instead of the file behind it (links, devices,
// FIFOs, folders, protected files), lose a file's permissions or leave temporary files, and
// reads that block on a FIFO, exhaust memory on endless or huge input, or run the window
// messages once per line instead of by time.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "camera/command_engine.h"
#include "files/atomic_file.h"
#include "files/camera_settings_file.h"
#include "lut/lut_file.h"
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

fs::perms PermissionsOf(const fs::path& path) {
  return fs::status(path).permissions() & fs::perms::mask;
}

// Records the pumps with the time they happened at.
class PumpRecorder final : public Progress {
 public:
  explicit PumpRecorder(const Clock& clock) : clock_(clock) {}
  void OpenProgress(const std::string&) override {}
  void SetProgressPercent(int) override { ++percent_updates; }
  void SetProgressMessage(const std::string&) override {}
  void FinishProgress() override {}
  void ProcessPendingMessages() override { pumps_at_us.push_back(clock_.NowUs()); }

  int percent_updates = 0;
  std::vector<int64_t> pumps_at_us;

 private:
  const Clock& clock_;
};

// A camera whose every request takes the given time to answer.
class SlowChannel final : public ByteChannel {
 public:
  SlowChannel(test::MapChannel& inner, FakeClock& clock, int64_t per_request_us)
      : inner_(inner), clock_(clock), per_request_us_(per_request_us) {}
  bool Write(std::string_view bytes) override {
    clock_.AdvanceUs(per_request_us_);
    return inner_.Write(bytes);
  }
  int Read(char* buffer, int length, int timeout_ms) override {
    return inner_.Read(buffer, length, timeout_ms);
  }
  void DiscardInput() override { inner_.DiscardInput(); }

 private:
  test::MapChannel& inner_;
  FakeClock& clock_;
  int64_t per_request_us_;
};

class FileSafetyTest : public ::testing::Test {
 protected:
  FileSafetyTest()
      : channel_(clock_),
        engine_(channel_, clock_, table_, status_),
        dir_(fs::temp_directory_path() /
             ("ctrl_file_safety_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    engine_.device().kind = ModelKind::Mono;
  }
  ~FileSafetyTest() override { fs::remove_all(dir_); }

  SettingsFileContext Context(Progress* progress) {
    return SettingsFileContext{engine_, db_, 0, nullptr, progress, nullptr};
  }
  std::vector<std::string> TemporaryFilesLeft() const {
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".tmp") != std::string::npos) left.push_back(name);
    }
    return left;
  }

  test::RecordingNotifier notifier_;
  FakeClock clock_;
  CommandTable table_;
  OnlineStatusPublisher status_;
  test::MapChannel channel_;
  Command engine_;
  ParameterDatabase db_;
  fs::path dir_;
};

TEST_F(FileSafetyTest, SaveTargets) {
  struct Case {
    const char* name;
    const char* path;  // inside the test folder
    std::function<void(const fs::path& dir)> prepare;
    bool written;
    std::function<void(const fs::path& dir)> check;
  };
  const std::vector<Case> cases = {
      {"link to a 0600 file: the file is replaced, the link stays", "out",
       [](const fs::path& d) {
         WriteAll(d / "real", "old");
         fs::permissions(d / "real", fs::perms::owner_read | fs::perms::owner_write);
         fs::create_symlink("real", d / "out");
       },
       true,
       [](const fs::path& d) {
         EXPECT_TRUE(fs::is_symlink(d / "out"));
         std::error_code no_link;
         EXPECT_EQ(fs::read_symlink(d / "out", no_link), "real");
         EXPECT_NE(ReadAll(d / "real"), "old");
         EXPECT_EQ(PermissionsOf(d / "real"), fs::perms::owner_read | fs::perms::owner_write);
       }},
      {"dangling link: the file it names is created", "out",
       [](const fs::path& d) { fs::create_symlink("made", d / "out"); }, true,
       [](const fs::path& d) {
         EXPECT_TRUE(fs::is_symlink(d / "out"));
         EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(d / "made")));
         EXPECT_FALSE(ReadAll(d / "made").empty());
       }},
      {"FIFO is refused and stays", "out",
       [](const fs::path& d) { ASSERT_EQ(::mkfifo((d / "out").c_str(), 0644), 0); }, false,
       [](const fs::path& d) { EXPECT_TRUE(fs::is_fifo(fs::symlink_status(d / "out"))); }},
      {"link to a device is refused, device and link stay", "out",
       [](const fs::path& d) { fs::create_symlink("/dev/null", d / "out"); }, false,
       [](const fs::path& d) {
         EXPECT_TRUE(fs::is_symlink(d / "out"));
         EXPECT_TRUE(fs::is_character_file(fs::symlink_status("/dev/null")));
       }},
      {"folder is refused and stays", "out",
       [](const fs::path& d) { fs::create_directories(d / "out" / "inside"); }, false,
       [](const fs::path& d) { EXPECT_TRUE(fs::is_directory(d / "out" / "inside")); }},
      {"0600 file keeps its mode", "out",
       [](const fs::path& d) {
         WriteAll(d / "out", "old");
         fs::permissions(d / "out", fs::perms::owner_read | fs::perms::owner_write);
       },
       true,
       [](const fs::path& d) {
         EXPECT_NE(ReadAll(d / "out"), "old");
         EXPECT_EQ(PermissionsOf(d / "out"), fs::perms::owner_read | fs::perms::owner_write);
       }},
      {"0444 file is refused and kept", "out",
       [](const fs::path& d) {
         WriteAll(d / "out", "old");
         fs::permissions(d / "out",
                         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       },
       false,
       [](const fs::path& d) {
         EXPECT_EQ(ReadAll(d / "out"), "old");
         EXPECT_EQ(PermissionsOf(d / "out"),
                   fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       }},
      {"missing folder is refused", "missing/out", [](const fs::path&) {}, false,
       [](const fs::path& d) { EXPECT_FALSE(fs::exists(d / "missing")); }},
  };
  LutBank bank;
  struct Writer {
    const char* name;
    std::function<bool(const std::string&)> write;
    bool reports;  // shows "Couldn't open this file" itself; the logs' callers show their own
  };
  const std::vector<Writer> writers = {
      {"settings file",
       [&](const std::string& path) {
         auto context = Context(nullptr);
         return WriteAllDataFile(path, context);
       },
       true},
      {"LUT file",
       [&](const std::string& path) { return WriteLutFile(path, bank, ModelKind::Mono); }, true},
      {"log",
       [](const std::string& path) {
         AtomicFileWriter log;
         if (!log.Open(path)) return false;
         log.Write("12:00:00  Tx: rd 0x01001010\n");
         return log.Commit();
       },
       false},
  };
  for (const Writer& writer : writers) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(writer.name) + ": " + c.name);
      fs::remove_all(dir_);
      fs::create_directories(dir_);
      notifier_.messages.clear();
      c.prepare(dir_);
      const std::string path = (dir_ / c.path).string();
      EXPECT_EQ(writer.write(path), c.written);
      if (c.written || !writer.reports) {
        EXPECT_TRUE(notifier_.messages.empty());
      } else {
        EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{path + "\nCouldn't open this file"});
      }
      c.check(dir_);
      EXPECT_EQ(TemporaryFilesLeft(), std::vector<std::string>{});
    }
  }
}

// The target turns into a folder after the writer opened it: the final rename fails, which must
// be reported, with the temporary file gone and the folder untouched.
TEST_F(FileSafetyTest, FailedRenameIsAFailure) {
  const fs::path target = dir_ / "log.txt";
  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Open(target.string()));
  writer.Write("12:00:00  Tx: rd 0x01001010\n");
  fs::create_directories(target / "inside");
  EXPECT_FALSE(writer.Commit());
  EXPECT_TRUE(fs::is_directory(target / "inside"));
  EXPECT_EQ(TemporaryFilesLeft(), std::vector<std::string>{});
}

TEST_F(FileSafetyTest, ReadSources) {
  // Every line of a file as large as accepted is blank: counted and read in bounded memory.
  const int64_t blank_lines = 8 << 20;
  struct Case {
    const char* name;
    std::function<std::string(const fs::path& dir)> make;  // the path to read
    bool settings_loads;
    std::string settings_message;  // a part of the one message; empty: no message
    bool lut_loads;
    std::string lut_message;
    std::function<void(const SettingsLoadReport&, const LutBank&)> check;
  };
  const std::vector<Case> cases = {
      {"FIFO without writer",
       [](const fs::path& d) {
         EXPECT_EQ(::mkfifo((d / "fifo").c_str(), 0644), 0);
         return (d / "fifo").string();
       },
       false, "\nCouldn't open this file", false, "\nCouldn't open this file", nullptr},
      {"endless device", [](const fs::path&) { return std::string("/dev/zero"); }, false,
       "\nCouldn't open this file", false, "\nCouldn't open this file", nullptr},
      {"larger than the bound",
       [](const fs::path& d) {
         WriteAll(d / "big", "");
         fs::resize_file(d / "big", (16 << 20) + 1);
         return (d / "big").string();
       },
       false, "\nThis file is too large", false, "\nThis file is too large", nullptr},
      {"many blank lines",
       [&](const fs::path& d) {
         WriteAll(d / "blank", std::string(static_cast<size_t>(blank_lines), '\n'));
         return (d / "blank").string();
       },
       true, "", false, "Too many data",
       [&](const SettingsLoadReport& report, const LutBank&) {
         EXPECT_EQ(report.lines, blank_lines);
         EXPECT_EQ(report.sent, 0);
       }},
      {"CR LF line ends",
       [](const fs::path& d) {
         WriteAll(d / "crlf", "GammaData\r\n0x01001010=3000\r\n17\r\n");
         return (d / "crlf").string();
       },
       true, "", true, "Invalid data value: Line(0)",
       [](const SettingsLoadReport& report, const LutBank& bank) {
         EXPECT_EQ(report.lines, 3);
         EXPECT_EQ(report.sent, 1);
         // "0x01001010=3000" is read as its digits on a LUT line: clamped, reported.
         EXPECT_EQ(bank.table(kGreenLut)[0], 4095);
         EXPECT_EQ(bank.table(kGreenLut)[1], 17);
       }},
      {"binary bytes",
       [](const fs::path& d) {
         WriteAll(d / "binary", std::string("\0\xff\x01=\x80\n", 6) + "0x01001010=3000\n" +
                                    std::string("\0\0"
                                                "7\xfe\n",
                                                5));
         return (d / "binary").string();
       },
       true, "", true, "Invalid data value: Line(0)",
       [](const SettingsLoadReport& report, const LutBank& bank) {
         EXPECT_EQ(report.lines, 3);
         EXPECT_EQ(report.sent, 1);
         EXPECT_EQ(bank.table(kGreenLut)[1], 7);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = c.make(dir_);
    // A read that blocks fails here instead of hanging the suite.
    ::alarm(60);
    PumpRecorder progress(clock_);
    auto context = Context(&progress);
    SettingsLoadReport report;
    notifier_.messages.clear();
    EXPECT_EQ(ReadCameraSettingFile(path, context, &report), c.settings_loads);
    if (!c.settings_message.empty()) {
      ASSERT_EQ(notifier_.messages.size(), 1u);
      EXPECT_EQ(notifier_.messages[0].text.find(path + c.settings_message), 0u)
          << notifier_.messages[0].text;
      EXPECT_EQ(notifier_.messages[0].caption, "File Open Error");
    } else {
      // A load says only what it skipped.
      ASSERT_EQ(notifier_.messages.size(), report.foreign > 0 ? 1u : 0u);
      if (report.foreign > 0) {
        EXPECT_EQ(notifier_.messages[0].caption, "Camera Setting File");
        EXPECT_NE(notifier_.messages[0].text.find(" skipped: "), std::string::npos);
      }
    }
    if (c.settings_loads) {
      // The camera answers at once, so no time passes: one pump and one bar step per percent,
      // however many lines the file has.
      EXPECT_EQ(progress.pumps_at_us.size(), 1u);
      EXPECT_LE(progress.percent_updates, 100);
    }

    LutBank bank;
    notifier_.messages.clear();
    EXPECT_EQ(ReadLutFile(path, bank, ModelKind::Mono), c.lut_loads);
    if (c.lut_message.empty()) {
      EXPECT_TRUE(notifier_.messages.empty());
    } else {
      ASSERT_EQ(notifier_.messages.size(), 1u);
      EXPECT_NE(notifier_.messages[0].text.find(c.lut_message), std::string::npos)
          << notifier_.messages[0].text;
    }
    ::alarm(0);
    if (c.check) c.check(report, bank);
  }
}

// Files from other programs: a byte order mark before the first line must not cost that line
// its value, and lines that name no register are counted, so a load can say what it skipped.
TEST_F(FileSafetyTest, ForeignFilesSayWhatTheyHold) {
  constexpr uint32_t kExposureTime = 0x01001010;
  constexpr uint32_t kLineRate = 0x0100101C;
  struct Case {
    const char* name;
    std::string text;
    int sent;
    int foreign;
    int32_t exposure;  // the camera's exposure time afterwards
  };
  const std::string bom = "\xEF\xBB\xBF";
  const std::vector<Case> cases = {
      {"byte order mark before the first line", bom + "0x01001010=3000\n0x0100101C=9000\n", 2, 0,
       3000},
      {"byte order mark and CR LF", bom + "0x01001010=3100\r\n", 1, 0, 3100},
      {"a byte order mark alone", bom, 0, 0, 4000},
      {"a byte order mark inside the file is foreign",
       "0x0100101C=9000\n" + bom + "0x01001010=3200\n", 1, 1, 4000},
      {"blank lines are not foreign, a misspelt register and a word are",
       "  \t \r\n\n0x0100101O=3300\ngarbage\n0x01001010=3300\n", 1, 2, 3300},
      {"a spreadsheet's export", "Address,Value\n0x01001010;3400\n", 0, 2, 4000},
      {"values the file does not state whole: empty, cut, beyond 32 bits, two, a query",
       "0x01001010=\n0x01001010=35abc\n0x01001010=4294971296\n0x01001010=&H1FFFFFFFF\n"
       "0x01001010=&H\n0x01001010=3500,1\n0x01001010?3500\n",
       0, 7, 4000},
      {"whole values in every form the grammar has", "0x01001010 = &HDAC\n0x0100101C=+9000\t\n", 2,
       0, 3500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    channel_.registers[kExposureTime] = 4000;
    channel_.registers[kLineRate] = 8000;
    WriteAll(dir_ / "foreign.cam", c.text);
    auto context = Context(nullptr);
    SettingsLoadReport report;
    ASSERT_TRUE(ReadCameraSettingFile((dir_ / "foreign.cam").string(), context, &report));
    EXPECT_EQ(report.sent, c.sent);
    EXPECT_EQ(report.foreign, c.foreign);
    EXPECT_EQ(channel_.registers[kExposureTime], c.exposure);

    std::vector<SettingsFileValue> values;
    ASSERT_TRUE(ReadSettingsFileValues((dir_ / "foreign.cam").string(), context, values));
    EXPECT_EQ(static_cast<int>(values.size()), c.sent);
  }
}

// A save that fails part way says the previous file is kept only when there was one. Runs in a
// child, where the file size limit makes the write fail.
TEST_F(FileSafetyTest, FailedSaveSpeaksOfAPreviousFileOnlyWhenThereWasOne) {
  struct Case {
    const char* name;
    bool previous;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"over an existing file", true, "Couldn't write this file. The previous file is kept."},
      {"a new file", false, "Couldn't write this file."},
  };
  const std::vector<SettingsFileValue> values(100, SettingsFileValue{0, 123456});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir_ / "limited.cam";
    fs::remove(file);
    if (c.previous) WriteAll(file, "previous\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      IgnoreFileSizeSignal();
      rlimit limit{64, 64};
      setrlimit(RLIMIT_FSIZE, &limit);
      test::RecordingNotifier notifier;
      const bool written = WriteSettingsFileValues(file.string(), table_, values);
      const bool said = notifier.messages.size() == 1 &&
                        notifier.messages[0].text == file.string() + "\n" + c.says;
      _exit(!written && said ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fs::exists(file), c.previous);
    EXPECT_EQ(TemporaryFilesLeft(), std::vector<std::string>{});
  }
}

// Window messages run by the engine's clock: at most every 50 ms and no later than one
// exchange after that.
TEST_F(FileSafetyTest, LoadPumpsMessagesByTimeNotByLine) {
  constexpr int64_t kExchangeUs = 20'000;
  SlowChannel slow(channel_, clock_, kExchangeUs);
  engine_.set_channel(slow);
  std::string text;
  for (int k = 0; k < 100; ++k) text += "0x01001010=" + std::to_string(1000 + k) + "\n";
  for (int k = 0; k < 1000; ++k) text += "\n";  // blank lines take no time
  WriteAll(dir_ / "slow.cam", text);
  PumpRecorder progress(clock_);
  auto context = Context(&progress);
  SettingsLoadReport report;
  const int64_t start_us = clock_.NowUs();
  ASSERT_TRUE(ReadCameraSettingFile((dir_ / "slow.cam").string(), context, &report));
  ASSERT_EQ(report.sent, 100);
  ASSERT_FALSE(progress.pumps_at_us.empty());
  EXPECT_EQ(progress.pumps_at_us.front(), start_us);
  for (size_t i = 1; i < progress.pumps_at_us.size(); ++i) {
    const int64_t gap = progress.pumps_at_us[i] - progress.pumps_at_us[i - 1];
    EXPECT_GE(gap, 50'000) << "pump " << i;
    EXPECT_LE(gap, 50'000 + kExchangeUs) << "pump " << i;
  }
  // 100 exchanges of 20 ms: a pump every third line, none for the blank lines.
  EXPECT_EQ(progress.pumps_at_us.size(), 34u);
}

}  // namespace
}  // namespace ctrl

#endif  // !_WIN32
