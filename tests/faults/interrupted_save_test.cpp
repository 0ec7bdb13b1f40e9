#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/online_status.h"
#include "camera/parameter_database.h"
#include "files/atomic_file.h"
#include "files/camera_settings_file.h"
#include "lut/lut_editor.h"
#include "lut/lut_file.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "support/recording_notifier.h"

namespace ctrl::test {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Forks a child that saves `save(k)` over and over (k = 0, 1, 0, ...) and reports each finished
// save on a pipe; the parent kills it with SIGKILL after a random number of reports, that is at
// a random point of the next save. Returns the file's content after each kill.
template <typename Save>
std::vector<std::string> KillWhileSaving(const std::string& path, Save save, int rounds) {
  std::vector<std::string> seen;
  std::mt19937 random(20240611u);
  for (int round = 0; round < rounds; ++round) {
    int reports[2];
    if (::pipe(reports) != 0) return seen;
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(reports[0]);
      for (int k = 0;; k ^= 1) {
        if (!save(k)) ::_exit(3);
        const char done = 1;
        if (::write(reports[1], &done, 1) != 1) ::_exit(4);
      }
    }
    ::close(reports[1]);
    const int wait_for = 1 + static_cast<int>(random() % 3);
    char done;
    for (int i = 0; i < wait_for && ::read(reports[0], &done, 1) == 1; ++i) {
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(reports[0]);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the saving child ended on its own: " << status;
    seen.push_back(ReadAll(path));
  }
  return seen;
}

class InterruptedSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "ctrl-save-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string dir;
  RecordingNotifier notifier;
};

// A LUT file killed in the middle of a save is the previous file or the new one, complete.
TEST_F(InterruptedSaveTest, LutFileIsOldOrNewNeverAMix) {
  const std::string path = dir + "/table.csv";
  LutBank banks[2];
  for (int k = 0; k < 2; ++k) {
    for (int t = 0; t < kLutTableCount; ++t) {
      banks[k].SetModeAndRedraw(t, LutMode::kView);
      for (int e = 0; e < kLutEntryCount; ++e) banks[k].table(t)[e] = k == 0 ? e : 4095 - e;
    }
  }
  ASSERT_TRUE(WriteLutFile(path, banks[0], ModelKind::Color));
  const std::string first = ReadAll(path);
  ASSERT_TRUE(WriteLutFile(path, banks[1], ModelKind::Color));
  const std::string second = ReadAll(path);
  ASSERT_GT(first.size(), 50'000u);

  auto seen = KillWhileSaving(
      path, [&](int k) { return WriteLutFile(path, banks[k], ModelKind::Color); }, 25);
  ASSERT_EQ(seen.size(), 25u);
  for (const std::string& content : seen) {
    EXPECT_TRUE(content == first || content == second)
        << "a file of " << content.size() << " bytes";
  }
  // No temporary file is left to be taken for a table.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    files += entry.path().extension() == ".csv" ? 1 : 0;
  }
  EXPECT_EQ(files, 1);
}

// The same for a camera settings file.
TEST_F(InterruptedSaveTest, SettingsFileIsOldOrNewNeverAMix) {
  const std::string path = dir + "/camera.cam";
  FakeClock clock;
  sim::CameraModel camera("QX-4096TR-PCL");
  sim::CameraFrontEnd front_end(camera);
  sim::InProcessChannel channel(front_end, clock);
  CommandTable table;
  OnlineStatusPublisher status;
  Command engine(channel, clock, table, status);
  ASSERT_TRUE(engine.CheckModel());
  ParameterDatabase databases[2];
  for (auto& row : databases[1].mutable_rows()) row.current_value += 1;
  auto save = [&](int k) {
    SettingsFileContext context{engine, databases[k], 1, [] { return 0; }, nullptr, nullptr};
    return WriteAllDataFile(path, context);
  };
  ASSERT_TRUE(save(0));
  const std::string first = ReadAll(path);
  ASSERT_TRUE(save(1));
  const std::string second = ReadAll(path);
  ASSERT_NE(first, second);
  ASSERT_GT(first.size(), 500u);

  for (const std::string& content : KillWhileSaving(path, save, 25)) {
    EXPECT_TRUE(content == first || content == second)
        << "a file of " << content.size() << " bytes";
  }
}

// The same for a log: the message list and the terminal save their lines through this writer,
// here with a full message list of 4096 lines.
TEST_F(InterruptedSaveTest, LogFileIsOldOrNewNeverAMix) {
  const std::string path = dir + "/traffic.txt";
  auto save = [&](int k) {
    AtomicFileWriter file;
    if (!file.Open(path)) return false;
    for (int line = 0; line < 4096; ++line) {
      file.Write("12:34:" + std::to_string(line % 1000) +
                 "  Rx: 0x01001010=" + std::to_string(k == 0 ? line : 4095 - line) + "\n");
    }
    return file.Commit();
  };
  ASSERT_TRUE(save(0));
  const std::string first = ReadAll(path);
  ASSERT_TRUE(save(1));
  const std::string second = ReadAll(path);
  ASSERT_NE(first, second);

  for (const std::string& content : KillWhileSaving(path, save, 25)) {
    EXPECT_TRUE(content == first || content == second)
        << "a file of " << content.size() << " bytes";
  }
}

}  // namespace
}  // namespace ctrl::test
