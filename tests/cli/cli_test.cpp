// Catches a CLI that reports success for a refused or unanswered command, misreads its
// arguments, resolves names wrongly, or prints output a script cannot rely on.
#include <gtest/gtest.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/cli.h"
#include "cli/json.h"
#ifndef _WIN32
#include "transport/pty_pair.h"
#endif

namespace ctrl::cli {
namespace {

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result RunCli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = Run(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(Cli, IdentifyShowsEveryIdentityFieldOfTheSimulatedCamera) {
  Result r = RunCli({"--simulate", "QX-4096TR-PCL", "identify"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  for (const char* label :
       {"Device Vendor Name:", "Device Model Name:", "Device Serial Number:", "Device Type:",
        "Device Scan Type:", "Sensor ID:", "Device Version:", "FPGA Version:",
        "Device Firmware Version:", "XML Version:", "Device User ID:"}) {
    EXPECT_NE(r.out.find(label), std::string::npos) << label;
  }
  EXPECT_NE(r.out.find("QX-4096TR-PCL"), std::string::npos);
  EXPECT_NE(r.out.find("colour"), std::string::npos);
}

TEST(Cli, JsonIdentifyIsOneObject) {
  Result r = RunCli({"--simulate", "--json", "identify"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out.front(), '{');
  EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
  EXPECT_NE(r.out.find("\"Device Model Name\":\"QX-4096M-PCL\""), std::string::npos);
}

TEST(Cli, GetAndSetByLabelOrAddress) {
  Result get = RunCli({"--simulate", "get", "EXPOSURE TIME"});
  ASSERT_EQ(get.code, kExitOk) << get.err;
  EXPECT_EQ(get.out, "4000\n");
  Result by_address = RunCli({"--simulate", "--json", "get", "0x01001010"});
  EXPECT_EQ(by_address.out,
            "{\"label\":\"Exposure Time\",\"address\":\"0x01001010\",\"value\":4000,"
            "\"text\":\"50.0000us\",\"unit\":\"us\",\"error\":null}\n");
  Result text = RunCli({"--simulate", "QX-8192M-PCL", "get", "device model name"});
  EXPECT_EQ(text.out, "QX-8192M-PCL\n");
  EXPECT_EQ(RunCli({"--simulate", "set", "Exposure Time", "3000"}).code, kExitOk);
}

TEST(Cli, RefusedAndUnknownValuesGiveTheirExitCodes) {
  Result refused = RunCli({"--simulate", "set", "Exposure Time", "999999999"});
  EXPECT_EQ(refused.code, kExitCamera);
  EXPECT_NE(refused.err.find("did not accept"), std::string::npos);
  // Colour-only register on a monochrome camera: the camera refuses it.
  EXPECT_EQ(RunCli({"--simulate", "get", "CSC Enable"}).code, kExitCamera);
  EXPECT_EQ(RunCli({"--simulate", "get", "No Such Feature"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"--simulate", "set", "Gamma", "12x"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"--simulate", "set", "Gamma", "99999999999"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"--simulate", "QX-1", "identify"}).code, kExitCamera);
  EXPECT_EQ(RunCli({"identify", "--baud", "1200"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"--simulate"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"--simulate", "--port", "COM17", "identify"}).code, kExitUsage);
}

TEST(Cli, DumpListsEveryParameterTheModelHas) {
  Result mono = RunCli({"--simulate", "dump"});
  ASSERT_EQ(mono.code, kExitOk) << mono.err;
  EXPECT_NE(mono.out.find("Exposure Time"), std::string::npos);
  EXPECT_EQ(mono.out.find("CSC Enable"), std::string::npos);
  Result color = RunCli({"--simulate", "QX-4096TR-PCL", "dump"});
  EXPECT_NE(color.out.find("CSC Enable"), std::string::npos);
  EXPECT_EQ(color.out.find("TDI Stage"), std::string::npos);
  auto lines = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
  EXPECT_GT(lines(mono.out), 40);
  Result json = RunCli({"--simulate", "--json", "dump"});
  EXPECT_EQ(json.out.front(), '{');  // JSON Lines: one record per parameter
  EXPECT_EQ(lines(json.out), lines(mono.out));
}

TEST(Cli, SettingsFilesAndUserSets) {
  namespace fs = std::filesystem;
  fs::path file = fs::temp_directory_path() / ("ctrl_cli_" + std::to_string(getpid()) + ".cam");
  Result save = RunCli({"--simulate", "save-settings", file.string()});
  ASSERT_EQ(save.code, kExitOk) << save.err;
  std::ifstream in(file);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "0x01302040=1");
  in.close();  // Windows refuses to remove a file that is still open.
  Result load = RunCli({"--simulate", "load-settings", file.string()});
  EXPECT_EQ(load.code, kExitOk) << load.err;
  fs::remove(file);
  EXPECT_EQ(RunCli({"--simulate", "load-settings", file.string()}).code, kExitCamera);

  EXPECT_EQ(RunCli({"--simulate", "userset", "store", "factory"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"--simulate", "--factory", "userset", "store", "factory"}).code, kExitOk);
  EXPECT_EQ(RunCli({"--simulate", "userset", "load", "2"}).code, kExitOk);
  EXPECT_EQ(RunCli({"--simulate", "userset", "load", "4"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"--simulate", "userset", "area"}).out, "Factory Data\n");
}

// A file another program made: a provisioning script must not take an empty or foreign file
// for a camera set up, and a skipped line is said, not silently lost.
TEST(Cli, LoadSettingsSaysWhatAFileFromAnotherProgramHeld) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("ctrl_cli_foreign_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string saved = (dir / "saved.cam").string();
  ASSERT_EQ(RunCli({"--simulate", "save-settings", saved}).code, kExitOk);
  std::string settings;
  {
    std::ifstream in(saved, std::ios::binary);
    settings.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const Result plain = RunCli({"--simulate", "load-settings", saved});
  ASSERT_EQ(plain.code, kExitOk) << plain.err;
  const std::string sent_all = plain.err.substr(0, plain.err.find(" from "));

  struct Case {
    const char* name;
    std::string text;
    int code;
    std::string said;  // a part of what stderr says
  };
  const std::vector<Case> cases = {
      {"empty", "", kExitCamera, "holds no settings this camera takes; nothing was sent"},
      {"binary", std::string("\0\x89PNG\r\n\x1a\n\xff\xfe=\x01\n", 14), kExitCamera,
       "holds no settings this camera takes"},
      {"spreadsheet export", "Address;Value\n0x01001010;3000\n", kExitCamera,
       "holds no settings this camera takes"},
      {"byte order mark", "\xEF\xBB\xBF" + settings, kExitOk, sent_all + " from "},
      {"two foreign lines", settings + "0x0100101O=3000\n# note\n\n", kExitOk,
       "2 lines of " + (dir / "other.cam").string() +
           " were skipped: they name no register or hold no whole 32-bit value."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = (dir / "other.cam").string();
    std::ofstream(file, std::ios::binary) << c.text;
    const Result r = RunCli({"--simulate", "load-settings", file});
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    const Result json = RunCli({"--simulate", "--json", "load-settings", file});
    EXPECT_EQ(json.code, c.code);
    EXPECT_NE(json.out.find(c.code == kExitOk ? "\"error\":null" : "\"exit\":1"), std::string::npos)
        << json.out;
  }
  fs::remove_all(dir);
}

TEST(Cli, IdentityWrites) {
  EXPECT_EQ(RunCli({"--simulate", "set-user-id", std::string(64, 'u')}).code, kExitOk);
  Result too_long = RunCli({"--simulate", "set-user-id", std::string(65, 'u')});
  EXPECT_EQ(too_long.code, kExitUsage);
  EXPECT_NE(too_long.err.find("User ID string is too long !!"), std::string::npos);
  EXPECT_EQ(RunCli({"--simulate", "set-serial", "AB12"}).code, kExitUsage);
  Result serial = RunCli({"--simulate", "--factory", "set-serial", "AB12"});
  EXPECT_EQ(serial.code, kExitOk);
  EXPECT_NE(serial.err.find("Completed saving Device Serial ID: AB12."), std::string::npos);
}

TEST(Cli, LutTablesGoToAndFromCsvFiles) {
  namespace fs = std::filesystem;
  fs::path file = fs::temp_directory_path() / ("ctrl_cli_lut_" + std::to_string(getpid()) + ".csv");
  Result read = RunCli({"--simulate", "QX-4096TR-PCL", "lut", "read", file.string()});
  ASSERT_EQ(read.code, kExitOk) << read.err;
  std::ifstream in(file);
  std::string header, first;
  std::getline(in, header);
  std::getline(in, first);
  EXPECT_EQ(header, "GammaData (R G B)");
  EXPECT_EQ(first, "0,0,0");
  in.close();
  EXPECT_EQ(
      RunCli({"--simulate", "QX-4096TR-PCL", "lut", "write", file.string(), "--table", "blue"})
          .code,
      kExitOk);
  // A colour file does not fit a monochrome camera.
  EXPECT_EQ(RunCli({"--simulate", "lut", "write", file.string()}).code, kExitCamera);
  EXPECT_EQ(RunCli({"--simulate", "lut", "read", "--table", "red", file.string()}).code,
            kExitUsage);
  fs::remove(file);
  EXPECT_EQ(RunCli({"--simulate", "lut", "write", file.string()}).code, kExitCamera);
}

#ifndef _WIN32
namespace fs = std::filesystem;

// A folder of its own per test, removed afterwards.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(fs::temp_directory_path() / ("ctrl_cli_" + name + "_" + std::to_string(getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }
  std::vector<std::string> TemporaryFiles() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(path_)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".tmp") != std::string::npos) found.push_back(name);
    }
    return found;
  }

 private:
  fs::path path_;
};

// A save beyond the file size limit is a write error (exit 1, message, previous file kept, no
// temporary file), not a signal that ends the program. Runs in a child so the limit stays there.
TEST(Cli, FileSizeLimitIsAWriteError) {
  ScratchFolder folder("fsize");
  struct Case {
    std::vector<std::string> args;  // the file name follows
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--simulate", "save-settings"}, "Couldn't write this file. The previous file is kept."},
      {{"--simulate", "lut", "read"}, "Couldn't write this file"},
  };
  for (const Case& c : cases) {
    const fs::path file = folder.path() / "limited";
    SCOPED_TRACE(c.args.back());
    std::ofstream(file) << "previous\n";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      rlimit limit{64, 64};
      setrlimit(RLIMIT_FSIZE, &limit);
      std::vector<std::string> args = c.args;
      args.push_back(file.string());
      Result r = RunCli(args);
      const bool reported = r.err.find(c.message) != std::string::npos;
      _exit(r.code * 10 + (reported ? 1 : 0));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status))
        << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), kExitCamera * 10 + 1) << "exit code * 10 + message shown";
    std::ifstream in(file);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "previous");
    EXPECT_EQ(folder.TemporaryFiles(), std::vector<std::string>{});
  }
}

// A destination that cannot be written fails at once: no request reaches the camera (here a
// silent line), nothing is reported saved and no temporary file is left.
TEST(Cli, UnwritableDestinationFailsBeforeAnyCameraTraffic) {
  ScratchFolder folder("dest");
  fs::create_directories(folder.path() / "taken" / "inside");
  std::ofstream(folder.path() / "protected") << "kept\n";
  fs::permissions(folder.path() / "protected", fs::perms::owner_read);
  test::PtyPair camera;
  ASSERT_TRUE(camera.ok());
  const std::vector<std::vector<std::string>> commands = {
      {"save-settings"}, {"save-settings", "--shipping"}, {"lut", "read"}};
  for (const auto& command : commands) {
    for (const char* name : {"taken", "missing/x", "protected"}) {
      SCOPED_TRACE(command.front() + " " + name);
      std::vector<std::string> args = {"--device", camera.slave_path()};
      args.insert(args.end(), command.begin(), command.end());
      args.push_back((folder.path() / name).string());
      Result r = RunCli(args);
      EXPECT_EQ(r.code, kExitCamera);
      EXPECT_NE(r.err.find("Couldn't open this file"), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("Saved"), std::string::npos) << r.err;
      EXPECT_EQ(camera.Receive(1, 0), "");
    }
  }
  EXPECT_TRUE(fs::is_directory(folder.path() / "taken" / "inside"));
  EXPECT_EQ(folder.TemporaryFiles(), std::vector<std::string>{});
}

// A port that does not open says once, on one line, which device failed and why.
TEST(Cli, PortThatDoesNotOpenNamesTheDeviceAndTheReasonOnce) {
  test::PtyPair held;
  ASSERT_TRUE(held.ok());
  ASSERT_EQ(::flock(held.own_slave(), LOCK_EX | LOCK_NB), 0);
  const struct {
    std::string device;
    std::string reason;
  } cases[] = {
      {"/nonexistent/ttyCAM9",
       "/nonexistent/ttyCAM9: no such device (is it plugged in, and is the name right?)."},
      {"/dev/null", "/dev/null is not a serial port (not a terminal)."},
      {held.slave_path(), held.slave_path() + " is in use by another program."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    Result r = RunCli({"--device", c.device, "get", "Exposure Time"});
    EXPECT_EQ(r.code, kExitCamera);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Failed to initialize COM1 port! Error in CreateFile() " + c.reason + "\n");
  }
}
#endif

TEST(Cli, JsonQuotingEscapesWhatWouldBreakAParser) {
  EXPECT_EQ(JsonText("a\"b\\c\n"), "\"a\\\"b\\\\c\\n\"");
  // UTF-8 stays as it is; a byte that is not UTF-8 becomes U+FFFD.
  EXPECT_EQ(JsonText(std::string("\x01Z\xc3\xbc\xff", 5)), "\"\\u0001Z\xc3\xbc\xef\xbf\xbd\"");
}

}  // namespace
}  // namespace ctrl::cli
