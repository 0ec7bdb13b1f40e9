// The CLI against a simulated camera held by the test on a fake clock: catches commands that
// report success for work they did not do, touch files or the camera when they must not, crash
// on arguments, show values that were never read, or pass camera text raw to a terminal.
#include <gtest/gtest.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "camera/clock.h"
#include "cli/cli.h"
#include "cli/json.h"
#include "cli/session.h"
#include "cli/subcommands.h"
#include "ctrl_version.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "sim/register_map.h"

namespace ctrl::cli {
namespace {

namespace fs = std::filesystem;

// The simulated camera's channel, refusing reads and writes of chosen registers as a camera
// refuses a register it lacks, and keeping every request.
class CameraChannel final : public ByteChannel {
 public:
  CameraChannel(sim::CameraFrontEnd& camera, Clock& clock) : inner_(camera, clock) {}

  bool Write(std::string_view bytes) override {
    requests.emplace_back(bytes);
    char op[3] = {};
    unsigned reg = 0;
    if (std::sscanf(requests.back().c_str(), "%2s 0x%X", op, &reg) == 2 && refused.count(reg)) {
      refusals_ += "Error: register not available on this model\r\nOK>\r\n";
      return true;
    }
    return inner_.Write(bytes);
  }
  int Read(char* buffer, int length, int timeout_ms) override {
    if (refusals_.empty()) return inner_.Read(buffer, length, timeout_ms);
    const int count = std::min(length, static_cast<int>(refusals_.size()));
    std::copy_n(refusals_.begin(), count, buffer);
    refusals_.erase(0, static_cast<size_t>(count));
    return count;
  }
  void DiscardInput() override {
    refusals_.clear();
    inner_.DiscardInput();
  }

  int writes() const {
    return static_cast<int>(
        std::count_if(requests.begin(), requests.end(),
                      [](const std::string& r) { return r.rfind("wr ", 0) == 0; }));
  }

  std::set<uint32_t> refused;
  std::vector<std::string> requests;

 private:
  sim::InProcessChannel inner_;
  std::string refusals_;
};

// Whether `out` is JSON Lines: one object on each line, and at least one line.
bool IsJsonLines(const std::string& out) {
  std::istringstream lines(out);
  int objects = 0;
  for (std::string line; std::getline(lines, line); ++objects) {
    if (!Json::accept(line) || !Json::parse(line).is_object()) return false;
  }
  return objects > 0 && out.back() == '\n';
}

class BorrowedConnection final : public Connection {
 public:
  explicit BorrowedConnection(ByteChannel& channel) : channel_(channel) {}
  ByteChannel& channel() override { return channel_; }

 private:
  ByteChannel& channel_;
};

struct Result {
  int code;
  std::string out;
  std::string err;
};

// `input` is what the run reads as its input; none when `input` is nothing.
Result RunOn(ByteChannel& channel, Clock& clock, const std::vector<std::string>& args,
             const std::optional<std::string>& input = "", bool input_is_terminal = false) {
  std::istringstream in(input.value_or(""));
  Environment environment;
  environment.open_connection = [&](const ConnectionOptions&, std::ostream&) {
    return std::make_unique<BorrowedConnection>(channel);
  };
  environment.clock = &clock;
  environment.in = input ? &in : nullptr;
  environment.input_is_terminal = input_is_terminal;
  std::ostringstream out, err;
  const int code = Run(args, out, err, environment);
  return {code, out.str(), err.str()};
}

struct TestCamera {
  explicit TestCamera(const std::string& model_name = "QX-4096M-PCL")
      : model(model_name), front_end(model), channel(front_end, clock) {}

  Result Run(const std::vector<std::string>& args) { return RunOn(channel, clock, args); }

  FakeClock clock{1'000'000};
  sim::CameraModel model;
  sim::CameraFrontEnd front_end;
  CameraChannel channel;
};

fs::path TempPath(const std::string& name) {
  return fs::temp_directory_path() / ("ctrl_cli_" + std::to_string(getpid()) + "_" + name);
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(CliCamera, CommandsRefusedOnAnUnsupportedModel) {
  const fs::path file = TempPath("unsupported.file");
  const std::string kept = "0x01302040=1\n0x01001010=3000\n";
  const std::vector<std::vector<std::string>> commands = {
      {"identify"},
      {"get", "Exposure Time"},
      {"set", "Exposure Time", "3000"},
      {"dump"},
      {"save-settings", file.string()},
      {"load-settings", file.string()},
      {"userset", "load", "1"},
      {"userset", "store", "1"},
      {"userset", "area"},
      {"set-user-id", "line 7"},
      {"--factory", "set-serial", "AB12"},
      {"lut", "read", file.string()},
      {"lut", "write", file.string()},
  };
  for (const auto& args : commands) {
    WriteFile(file, kept);
    TestCamera camera("QX-9999X-PCL");
    const Result r = camera.Run(args);
    EXPECT_EQ(r.code, kExitCamera) << args[0] << '\n' << r.err;
    EXPECT_NE(r.err.find("Unsupported model: \"QX-9999X-PCL\""), std::string::npos) << args[0];
    EXPECT_EQ(Contents(file), kept) << args[0];
    EXPECT_EQ(camera.channel.writes(), 0) << args[0];
  }
  fs::remove(file);
}

TEST(CliCamera, NumberArgumentsOutOfRangeAreUsageErrors) {
  const std::vector<std::vector<std::string>> commands = {
      {"set", "exposure time", "99999999999999999999"},
      {"set", "exposure time", "-99999999999999999999"},
      {"set", "exposure time", "0x100000000"},
      {"set", "exposure time", "0xFFFFFFFFFFFFFFFFFFFF"},
      {"set", "exposure time", "4294967296"},
      {"set", "exposure time", "-2147483649"},
      {"set", "exposure time", "--5"},
      {"set", "exposure time", "+-5"},
      {"set", "exposure time", "0x"},
      {"--port", "99999999999999999999", "identify"},
      {"--port", "COM99999999999999999999", "identify"},
      {"--port", "COM0", "identify"},
      {"--port", "-1", "identify"},
      {"--baud", "99999999999999999999", "identify"},
      {"userset", "load", "99999999999999999999"},
  };
  for (const auto& args : commands) {
    TestCamera camera;
    const Result r = camera.Run(args);
    EXPECT_EQ(r.code, kExitUsage) << args[0] << ' ' << args[1] << ' ' << args.back();
    EXPECT_FALSE(r.err.empty()) << args.back();
    EXPECT_EQ(camera.channel.writes(), 0) << args.back();
  }
  // The edges of the range still go through, as their 32-bit patterns.
  TestCamera camera;
  EXPECT_EQ(camera.Run({"set", "Exposure Time", "0x00000BB8"}).code, kExitOk);
  EXPECT_EQ(camera.model.Peek(sim::reg::kExposureTime), 3000u);
  EXPECT_EQ(camera.Run({"set", "Exposure Time", "4294967295"}).code, kExitCamera);
  EXPECT_EQ(camera.Run({"set", "Exposure Time", "-2147483648"}).code, kExitCamera);
}

TEST(CliCamera, TextRegistersViaSetFollowTheIdentityRules) {
  struct Case {
    std::vector<std::string> args;
    int code;
    uint32_t field;           // the text field to look at afterwards
    std::string field_holds;  // what it must hold then
  };
  const std::string user_id_80(80, 'u');
  const std::vector<Case> cases = {
      {{"set", "Device User ID", user_id_80}, kExitUsage, sim::reg::kUserId, "old id"},
      {{"set", "0x00000188", "5"}, kExitUsage, sim::reg::kUserId, "old id"},
      {{"set", "Device Serial Number", "X"}, kExitUsage, sim::reg::kSerialNumber, "SN-OLD"},
      {{"--factory", "set", "Device Serial Number", "ABCDEFGHIJK"},
       kExitUsage,
       sim::reg::kSerialNumber,
       "SN-OLD"},
      {{"set", "Device Model Name", "X"}, kExitUsage, sim::reg::kModelName, "QX-4096M-PCL"},
      {{"set", "0x01600048", "7"}, kExitUsage, sim::reg::kSensorId, "LS4K7-M"},
      {{"set", "Device User ID", "line 7"}, kExitOk, sim::reg::kUserId, "line 7"},
      {{"--factory", "set", "Device Serial Number", "AB12"},
       kExitOk,
       sim::reg::kSerialNumber,
       "AB12"},
  };
  for (const Case& c : cases) {
    TestCamera camera;
    camera.model.PokeText(sim::reg::kUserId, "old id");
    camera.model.PokeText(sim::reg::kSerialNumber, "SN-OLD");
    camera.model.Poke(sim::reg::kUserId + sim::kTextBytes, 0x5A5A5A5A);  // the next field's word
    const Result r = camera.Run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args[c.args.size() - 2] << '\n' << r.err;
    EXPECT_EQ(camera.model.PeekText(c.field), c.field_holds) << c.args[c.args.size() - 2];
    EXPECT_EQ(camera.model.Peek(sim::reg::kUserId + sim::kTextBytes), 0x5A5A5A5Au);
  }
}

TEST(CliCamera, JsonOfUnreadValuesHasNoValue) {
  struct Case {
    std::vector<std::string> args;
    uint32_t refused;
    std::string unread_item;  // the output's text for the value not read
  };
  const std::vector<Case> cases = {
      {{"--json", "get", "Exposure Time"},
       sim::reg::kExposureTime,
       R"({"label":"Exposure Time","address":"0x01001010","value":null,"text":null,"unit":"us",)"
       R"("error":"The camera)"},
      {{"--json", "get", "Device User ID"},
       sim::reg::kUserId,
       R"({"label":"Device User ID","address":"0x00000184","value":null,"text":null,"unit":null,)"
       R"("error":"The camera)"},
      {{"--json", "dump"},
       sim::reg::kExposureTime,
       R"({"label":"Exposure Time","address":"0x01001010","value":null,"text":null,"unit":"us",)"
       R"("error":"The camera)"},
      {{"--json", "identify"}, sim::reg::kSensorId, R"("Sensor ID":null,)"},
      {{"identify"}, sim::reg::kSensorId, "Sensor ID:                ?\n"},
      {{"dump"}, sim::reg::kExposureTime, "0x01001010  (not read)\n"},
  };
  for (const Case& c : cases) {
    TestCamera camera;
    camera.channel.refused = {c.refused};
    const Result r = camera.Run(c.args);
    EXPECT_EQ(r.code, kExitCamera) << c.args.back();
    EXPECT_NE(r.out.find(c.unread_item), std::string::npos) << c.args.back() << '\n' << r.out;
    // The database's built-in value for the exposure time must not appear as if read.
    EXPECT_EQ(r.out.find("\"value\":4000"), std::string::npos) << c.args.back();
    if (c.args[0] == "--json") {
      EXPECT_TRUE(IsJsonLines(r.out)) << r.out;
    }
  }
}

// Catches: values shown or taken as bare register numbers where the camera has item names, an
// item of another camera kind taken, names that only match in one case, --raw not giving the
// register's own integer, and a name that is also a number read as the number.
TEST(CliCamera, EnumValuesAreNamedForTheCamerasKind) {
  struct Case {
    std::string model;
    std::vector<std::string> args;
    int code;
    std::string out;  // exact output; for dump a line it must contain
    uint32_t reg;     // when not 0, the register's value after the run
    uint32_t holds;
    std::string err_part;  // a part of stderr
  };
  const std::vector<Case> cases = {
      {"QX-4096TR-PCL", {"get", "Pixel Format"}, kExitOk, "RGB8\n", 0, 0, ""},
      {"QX-4096TR-PCL", {"--raw", "get", "Pixel Format"}, kExitOk, "35127316\n", 0, 0, ""},
      {"QX-4096M-PCL", {"get", "Baud Rate"}, kExitOk, "BAUDRATE_9600\n", 0, 0, ""},
      {"QX-4096M-PCL", {"get", "Exposure Time"}, kExitOk, "4000\n", 0, 0, ""},
      {"QX-4096M-PCL",
       {"set", "Pixel Format", "mono10p"},
       kExitOk,
       "",
       sim::reg::kPixelFormat,
       0x010A0046,
       ""},
      {"QX-4096M-PCL",
       {"set", "pixel format", "0x01080001"},
       kExitOk,
       "",
       sim::reg::kPixelFormat,
       0x01080001,
       ""},
      {"QX-4096TR-PCL",
       {"set", "Pixel Format", "Mono10P"},
       kExitUsage,
       "",
       sim::reg::kPixelFormat,
       0x02180014,
       "Valid: Mono8, RGB8 (or a number)"},
      {"QX-4096TR-PCL",
       {"set", "Pixel Format", "RGB9"},
       kExitUsage,
       "",
       sim::reg::kPixelFormat,
       0x02180014,
       "\"RGB9\" is not a value of Pixel Format"},
      // The divider's items are named "1".."8" for the values 0..7: the name wins.
      {"QX-4096M-PCL",
       {"set", "Line Trigger Divider", "2"},
       kExitOk,
       "",
       sim::reg::kLineTriggerDivider,
       1,
       ""},
      {"QX-4096M-PCL",
       {"--raw", "set", "Line Trigger Divider", "2"},
       kExitOk,
       "",
       sim::reg::kLineTriggerDivider,
       2,
       ""},
      {"QX-4096M-PCL",
       {"--raw", "set", "Line Trigger Divider", "RisingEdge"},
       kExitUsage,
       "",
       sim::reg::kLineTriggerDivider,
       0,
       "is not a 32-bit integer"},
      // What a user types is shown escaped, never passed to the terminal as control bytes.
      {"QX-4096TR-PCL",
       {"set", "Pixel Format", "\x1b[2J"},
       kExitUsage,
       "",
       sim::reg::kPixelFormat,
       0x02180014,
       "\"\\x1B[2J\" is not a value"},
      {"QX-4096TR-PCL",
       {"get", "\x1b[31mred"},
       kExitUsage,
       "",
       0,
       0,
       "Unknown parameter \"\\x1B[31mred\""},
      {"QX-4096TR-PCL", {"dump"}, kExitOk, "0x01401040  RGB8\n", 0, 0, ""},
      {"QX-4096TR-PCL", {"--raw", "dump"}, kExitOk, "0x01401040  35127316\n", 0, 0, ""},
      {"QX-4096TR-PCL",
       {"--json", "get", "Pixel Format"},
       kExitOk,
       R"({"label":"Pixel Format","address":"0x01401040","value":35127316,"text":"RGB8",)"
       R"("unit":null,"error":null})"
       "\n",
       0,
       0,
       ""},
  };
  for (const Case& c : cases) {
    TestCamera camera(c.model);
    const Result r = camera.Run(c.args);
    std::string what = c.model;
    for (const std::string& arg : c.args) what += " " + arg;
    EXPECT_EQ(r.code, c.code) << what << '\n' << r.err;
    if (c.args.back() == "dump") {
      EXPECT_NE(r.out.find(c.out), std::string::npos) << what << '\n' << r.out;
    } else {
      EXPECT_EQ(r.out, c.out) << what;
    }
    if (c.reg != 0) {
      EXPECT_EQ(camera.model.Peek(c.reg), c.holds) << what;
    }
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << what << '\n' << r.err;
  }
}

// Catches: a wire trace that misses the request or the reply, goes to stdout (where scripts read
// values), loses earlier runs' lines in the log, or talks to the camera when the log cannot be
// written; and a time stamp without the date or the milliseconds.
TEST(CliCamera, TraceAndLogShowTheWire) {
  const fs::path log = TempPath("wire.log");
  fs::remove(log);
  const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  )");
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string out;
    std::string err_part;  // "" for an empty stderr
    int log_lines_with_request;
  };
  const std::string request = "Tx: rd 0x01001010";
  const std::vector<Case> cases = {
      {{"--trace", "get", "Exposure Time"}, kExitOk, "4000\n", request, 0},
      {{"--log", log.string(), "get", "Exposure Time"}, kExitOk, "4000\n", "", 1},
      {{"--log", log.string(), "--trace", "get", "Exposure Time"}, kExitOk, "4000\n", request, 2},
      {{"--log", (log / "not-a-folder").string(), "set", "Exposure Time", "3000"},
       kExitCamera,
       "",
       "the log file could not be opened",
       2},
  };
  for (const Case& c : cases) {
    TestCamera camera;
    const Result r = camera.Run(c.args);
    const std::string what = c.args[0] + " " + c.args[1];
    EXPECT_EQ(r.code, c.code) << what << '\n' << r.err;
    EXPECT_EQ(r.out, c.out) << what;
    if (c.err_part.empty()) {
      EXPECT_EQ(r.err, "") << what;
    } else {
      EXPECT_NE(r.err.find(c.err_part), std::string::npos) << what << '\n' << r.err;
    }
    if (c.err_part == request) {
      EXPECT_TRUE(std::regex_search(r.err, std::regex(R"(\.\d{3}  Rx: 0x01001010=4000\n)")))
          << r.err;
      EXPECT_TRUE(std::regex_search(r.err, stamped)) << r.err;
    }
    EXPECT_EQ(camera.channel.writes(), 0) << what;
    const std::string logged = Contents(log);
    size_t count = 0;
    for (size_t at = logged.find(request); at != std::string::npos;
         at = logged.find(request, at + 1)) {
      ++count;
    }
    EXPECT_EQ(count, static_cast<size_t>(c.log_lines_with_request)) << what << '\n' << logged;
  }
  fs::remove(log);
  EXPECT_EQ(WireTimeStamp(std::chrono::system_clock::time_point(
                std::chrono::milliseconds(1'765'284'307'042))),
            "2025-12-09 12:45:07.042");
  TestCamera camera;
  const Result version = camera.Run({"--version"});
  EXPECT_EQ(version.code, kExitOk);
  EXPECT_EQ(version.out, std::string("ctrltool-cli ") + CTRL_VERSION + "\n");
  EXPECT_TRUE(camera.channel.requests.empty());
}

// Catches: describe or list showing another kind's items or availability, a listing that
// writes to the camera (a list must never reset or calibrate), values shown as read
// that were not, and JSON that does not parse.
TEST(CliCamera, DescribeAndListSayWhatEachParameterIsOnThisCamera) {
  struct Case {
    std::string model;
    std::vector<std::string> args;
    int code;
    std::vector<std::string> out_parts;   // each must be in stdout
    std::vector<std::string> out_absent;  // none may be
    uint32_t refused;                     // a register the camera refuses; 0 for none
  };
  const std::vector<Case> cases = {
      {"QX-4096TR-PCL",
       {"describe", "pixel format"},
       kExitOk,
       {"Pixel Format\n", "0x01401040", "items:          Mono8 = 17301505, RGB8 = 35127316\n",
        "settings file:  yes", "yes (colour)"},
       {"Mono10P"},
       0},
      {"QX-4096M-PCL", {"describe", "CSC Enable"}, kExitOk, {"no (monochrome)"}, {}, 0},
      {"QX-4096TR-PCL",
       {"describe", "CCM_A11"},
       kExitOk,
       {"when CCM Selector names a user matrix", "-11262 .. 10750"},
       {},
       0},
      {"QX-4096M-PCL",
       {"describe", "Exposure Time"},
       kExitOk,
       {"unit:           us", "camera's range: "},
       {},
       0},
      {"QX-4096M-PCL", {"describe", "No Such Thing"}, kExitUsage, {}, {"address"}, 0},
      {"QX-4096M-PCL",
       {"list"},
       kExitOk,
       {"Pixel Format                  enum     Mono8\n",
        "Device Reset                  action   (action)\n"},
       {"CSC Enable", "(not read)"},
       0},
      {"QX-4096M-PCL",
       {"list", "--all"},
       kExitOk,
       {"CSC Enable                    enum     (not on this camera)\n"},
       {},
       0},
      {"QX-4096M-PCL",
       {"list"},
       kExitCamera,
       {"Exposure Time                 integer  (not read)\n"},
       {},
       sim::reg::kExposureTime},
      {"QX-4096TR-PCL",
       {"--json", "list"},
       kExitOk,
       {R"({"label":"Pixel Format","address":"0x01401040","kind":"enum","available":true,)"
        R"("value":35127316,"text":"RGB8","unit":null,"error":null})"},
       {},
       0},
  };
  for (const Case& c : cases) {
    TestCamera camera(c.model);
    if (c.refused != 0) camera.channel.refused = {c.refused};
    const Result r = camera.Run(c.args);
    std::string what = c.model;
    for (const std::string& arg : c.args) what += " " + arg;
    EXPECT_EQ(r.code, c.code) << what << '\n' << r.err;
    for (const std::string& part : c.out_parts) {
      EXPECT_NE(r.out.find(part), std::string::npos) << what << ": " << part << '\n' << r.out;
    }
    for (const std::string& part : c.out_absent) {
      EXPECT_EQ(r.out.find(part), std::string::npos) << what << ": " << part;
    }
    EXPECT_EQ(camera.channel.writes(), 0) << what;
    if (c.args[0] == "--json") {
      EXPECT_TRUE(IsJsonLines(r.out)) << r.out;
    }
  }
}

// Catches: diff reporting equal settings as different (line ends, a register written twice),
// missing a row that only one side has, reading a changed camera as the file, exit codes that
// are not diff's (0 same, 1 different, 2 trouble), and any write to the camera.
TEST(CliCamera, DiffComparesSettingsRowByRow) {
  const fs::path saved = TempPath("diff_saved.cam");
  const fs::path other = TempPath("diff_other.cam");
  {
    TestCamera camera;
    ASSERT_EQ(camera.Run({"save-settings", saved.string()}).code, kExitOk);
  }
  const std::string base = Contents(saved);
  ASSERT_NE(base.find("0x01001010=4000\n"), std::string::npos);
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = base;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  std::string crlf;
  for (char ch : base) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  struct Case {
    std::string name;
    std::string other_text;  // written to `other` before the run
    std::vector<std::string> args;
    uint32_t camera_exposure;  // the camera's Exposure Time during the run
    int code;
    std::vector<std::string> out_parts;
  };
  const std::string a = saved.string();
  const std::string b = other.string();
  const std::vector<Case> cases = {
      {"file with itself", base, {"diff", a, a}, 4000, 0, {}},
      {"CR LF copy", crlf, {"diff", a, b}, 4000, 0, {}},
      {"one value differs",
       replaced("0x01001010=4000\n", "0x01001010=3000\n"),
       {"diff", a, b},
       4000,
       1,
       {"Exposure Time"}},
      {"the later of two lines counts",
       replaced("0x01001010=4000\n", "0x01001010=3000\n") + "0x01001010=4000\n",
       {"diff", a, b},
       4000,
       0,
       {}},
      {"a row only in one file",
       replaced("0x01401040=17301505\n", ""),
       {"diff", a, b},
       4000,
       1,
       {"Pixel Format", "(not in " + b + ")"}},
      {"camera as saved", base, {"diff", "camera", a}, 4000, 0, {}},
      {"camera changed since", base, {"diff", "camera", a}, 3000, 1, {"Exposure Time"}},
      {"missing file", base, {"diff", a, b + ".absent"}, 4000, 2, {}},
      {"json",
       replaced("0x01001010=4000\n", "0x01001010=3000\n"),
       {"--json", "diff", a, b},
       4000,
       1,
       {R"("label":"Exposure Time","address":"0x01001010","a":{"value":4000,)",
        R"("b":{"value":3000,)"}},
  };
  for (const Case& c : cases) {
    WriteFile(other, c.other_text);
    TestCamera camera;
    camera.model.Poke(sim::reg::kExposureTime, c.camera_exposure);
    const Result r = camera.Run(c.args);
    EXPECT_EQ(r.code, c.code) << c.name << '\n' << r.out << r.err;
    if (c.code == 0) {
      EXPECT_EQ(r.out, "") << c.name;
    }
    for (const std::string& part : c.out_parts) {
      EXPECT_NE(r.out.find(part), std::string::npos) << c.name << ": " << part << '\n' << r.out;
    }
    EXPECT_EQ(camera.channel.writes(), 0) << c.name;
  }
  fs::remove(saved);
  fs::remove(other);
}

// Catches: a script that checks the model for every line, goes on after a failed line (or
// stops with --keep-going), loses the failed line's exit code, runs comments, or splits quoted
// labels apart.
TEST(CliCamera, ShellRunsAScriptOverOneConnection) {
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::string script;
    int code;
    std::string out;
    uint32_t exposure_after;  // the camera's Exposure Time after the run
  };
  const std::vector<Case> cases = {
      {"set then get",
       {"shell"},
       "# provisioning\n\n  set \"Exposure Time\" 3000\nget 'exposure time'\n",
       kExitOk,
       "3000\n",
       3000},
      {"stops at the first failure",
       {"shell"},
       "set Gamma 12x\nset \"Exposure Time\" 3000\n",
       kExitUsage,
       "",
       4000},
      {"keeps going when told, with the first failure's code",
       {"shell", "--keep-going"},
       "set Gamma 12x\nset \"Exposure Time\" 999999999\nset \"Exposure Time\" 3000\n",
       kExitUsage,
       "",
       3000},
      {"a refusal of the camera",
       {"shell"},
       "set \"Exposure Time\" 999999999\nset \"Exposure Time\" 3000\n",
       kExitCamera,
       "",
       4000},
      {"an open quote",
       {"shell"},
       "get \"Exposure Time\nset \"Exposure Time\" 3000\n",
       kExitUsage,
       "",
       4000},
      {"no terminal inside", {"shell"}, "terminal\n", kExitUsage, "", 4000},
      {"a script file that is not there",
       {"shell", TempPath("absent.script").string()},
       "set \"Exposure Time\" 3000\n",
       kExitUsage,
       "",
       4000},
  };
  for (const Case& c : cases) {
    TestCamera camera;
    const Result r = RunOn(camera.channel, camera.clock, c.args, c.script);
    EXPECT_EQ(r.code, c.code) << c.name << '\n' << r.err;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(camera.model.Peek(sim::reg::kExposureTime), c.exposure_after) << c.name;
    const auto model_checks = std::count(camera.channel.requests.begin(),
                                         camera.channel.requests.end(), "rd 0x00000044\r\n");
    EXPECT_LE(model_checks, 1) << c.name;
  }

  // Script files someone else wrote: a FIFO without writer must not hang the run, a folder must
  // not read as an empty script, CR LF ends lines, an endless line is refused.
  struct ScriptFile {
    std::string name;
    std::function<fs::path()> make;
    int code;
    std::string out;
  };
  const std::vector<ScriptFile> files = {
      {"CR LF",
       [] {
         WriteFile(TempPath("crlf.script"), "get Width\r\nget 'Exposure Time'\r\n");
         return TempPath("crlf.script");
       },
       kExitOk, "4096\n4000\n"},
      {"a folder", [] { return fs::temp_directory_path(); }, kExitUsage, ""},
      {"a line without end",
       [] {
         WriteFile(TempPath("long.script"),
                   "get Width\n" + std::string(100000, 'a') + "\nget Width\n");
         return TempPath("long.script");
       },
       kExitUsage, "4096\n"},
#ifndef _WIN32
      {"a FIFO",
       [] {
         fs::remove(TempPath("script.fifo"));
         mkfifo(TempPath("script.fifo").c_str(), 0600);
         return TempPath("script.fifo");
       },
       kExitUsage, ""},
#endif
  };
  for (const ScriptFile& f : files) {
    TestCamera camera;
    const fs::path path = f.make();
    const Result r = camera.Run({"shell", path.string()});
    EXPECT_EQ(r.code, f.code) << f.name << '\n' << r.err;
    EXPECT_EQ(r.out, f.out) << f.name;
    if (path != fs::temp_directory_path()) fs::remove(path);
  }

  struct Split {
    std::string line;
    std::optional<std::vector<std::string>> words;
  };
  const std::vector<Split> splits = {
      {"set \"Pixel Format\" Mono8", std::vector<std::string>{"set", "Pixel Format", "Mono8"}},
      {"  get\t'a \"b\"'  \r", std::vector<std::string>{"get", "a \"b\""}},
      {R"(set-user-id "line \"7\" \\ left")",
       std::vector<std::string>{"set-user-id", R"(line "7" \ left)"}},
      {"set-user-id \"\"", std::vector<std::string>{"set-user-id", ""}},
      {"get \"Exposure", std::nullopt},
      {"get 'Exposure", std::nullopt},
  };
  for (const Split& split : splits) {
    EXPECT_EQ(SplitCommandLine(split.line), split.words) << split.line;
  }
}

TEST(CliCamera, JsonCarriesCameraTextAsUtf8) {
  TestCamera camera;
  camera.model.PokeText(sim::reg::kUserId, "Z\xc3\xbcrich");
  Result r = camera.Run({"--json", "get", "Device User ID"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(Json::parse(r.out)["value"], "Z\xc3\xbcrich");
  camera.model.PokeText(sim::reg::kUserId, "bad\xff");
  r = camera.Run({"--json", "get", "Device User ID"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(Json::parse(r.out)["value"], "bad\xef\xbf\xbd");
}

TEST(CliCamera, LutWriteOfPartialFilesKeepsCameraValues) {
  struct Case {
    std::string model;
    std::string file;
    std::vector<std::string> options;
    int code;
    int entries_from_file;         // entries 0 .. this - 1 come from the file
    std::set<int> tables_written;  // the camera tables that take them
  };
  const std::vector<Case> cases = {
      {"QX-4096M-PCL", "GammaData\n11\n22\n33\n", {}, kExitOk, 3, {1}},
      {"QX-4096M-PCL", "GammaData\n", {}, kExitCamera, 0, {}},
      {"QX-4096M-PCL", "", {}, kExitCamera, 0, {}},
      {"QX-4096TR-PCL", "GammaData (R G B)\n11,11,11\n22,22,22\n", {}, kExitOk, 2, {0, 1, 2}},
      {"QX-4096TR-PCL", "GammaData (R G B)\n11,11,11\n", {"--table", "blue"}, kExitOk, 1, {2}},
  };
  const fs::path file = TempPath("partial.csv");
  for (const Case& c : cases) {
    WriteFile(file, c.file);
    TestCamera camera(c.model);
    auto camera_value = [](int table, int i) {
      return static_cast<uint16_t>((i * 7 + table) % 4096);
    };
    for (int table = 0; table < sim::CameraModel::kLutTables; ++table) {
      for (int i = 0; i < sim::CameraModel::kLutEntries; ++i) {
        camera.model.SetLutEntry(table, i, camera_value(table, i));
      }
    }
    std::vector<std::string> args = {"lut", "write", file.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Result r = camera.Run(args);
    const std::string name = c.model + " " + std::to_string(c.file.size());
    EXPECT_EQ(r.code, c.code) << name << '\n' << r.err;
    if (c.entries_from_file == 0) {
      EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << name;
    }
    int changed = 0;
    for (int table = 0; table < sim::CameraModel::kLutTables; ++table) {
      for (int i = 0; i < sim::CameraModel::kLutEntries; ++i) {
        const bool from_file = c.tables_written.count(table) != 0 && i < c.entries_from_file;
        const uint16_t expected =
            from_file ? static_cast<uint16_t>(11 * (i + 1)) : camera_value(table, i);
        if (camera.model.LutEntry(table, i) != expected) ++changed;
      }
    }
    EXPECT_EQ(changed, 0) << name;
  }
  fs::remove(file);
}

// A camera that keeps talking: a line with a screen-clearing control sequence every 20 ms, one
// byte per millisecond as a slow line delivers them, for ten minutes.
class ChattyChannel final : public ByteChannel {
 public:
  static constexpr int64_t kTalksForUs = 600'000'000;
  static constexpr int64_t kByteUs = 1000;

  explicit ChattyChannel(FakeClock& clock) : clock_(clock), start_us_(clock.NowUs()) {}

  bool Write(std::string_view) override { return true; }
  int Read(char* buffer, int length, int timeout_ms) override {
    if (length < 1) return 0;
    const int64_t due_us = start_us_ + static_cast<int64_t>(sent_ + 1) * kByteUs;
    if (due_us - start_us_ > kTalksForUs) {
      clock_.AdvanceUs(int64_t{timeout_ms} * 1000);
      return 0;
    }
    if (due_us > clock_.NowUs()) {
      clock_.SleepUntilUs(std::min(due_us, clock_.NowUs() + int64_t{timeout_ms} * 1000));
      if (due_us > clock_.NowUs()) return 0;
    }
    static constexpr std::string_view kLine = "\x1b[2Jnoise\x07 and more\r\n";
    buffer[0] = kLine[sent_ % kLine.size()];
    ++sent_;
    return 1;
  }
  void DiscardInput() override {}

  bool still_talking() const { return clock_.NowUs() - start_us_ < kTalksForUs; }

 private:
  FakeClock& clock_;
  int64_t start_us_;
  uint64_t sent_ = 0;
};

TEST(CliCamera, CameraTextIsEscapedForTheTerminal) {
  {
    TestCamera camera("QX-\x1b[2J");
    const Result r = camera.Run({"identify"});
    EXPECT_NE(r.out.find("Device Model Name:        QX-\\x1B[2J\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("Unsupported model: \"QX-\\x1B[2J\""), std::string::npos) << r.err;
  }
  {
    TestCamera camera;
    // An OSC sequence ending in BEL, a C1 CSI in UTF-8, a byte that is not UTF-8.
    camera.model.PokeText(sim::reg::kUserId,
                          "a\x1b]0;x\x07\xc2\x9b"
                          "b\xff\xc3\xbc");
    const Result r = camera.Run({"get", "Device User ID"});
    EXPECT_EQ(r.out, "a\\x1B]0;x\\x07\\xC2\\x9Bb\\xFF\xc3\xbc\n");
    const Result json = camera.Run({"--json", "get", "Device User ID"});
    EXPECT_EQ(Json::parse(json.out)["value"],
              "a\x1b]0;x\x07\xc2\x9b"
              "b\xef\xbf\xbd\xc3\xbc");
  }
  {
    FakeClock clock(1'000'000);
    ChattyChannel chatty(clock);
    const Result r = RunOn(chatty, clock, {"terminal"}, "rd 0x01001010\n");
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(chatty.still_talking()) << "the terminal waited until the camera fell silent";
    EXPECT_NE(r.out.find("Rx: \\x1B[2Jnoise\\x07 and more\n"), std::string::npos);
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  }
}

TEST(CliCamera, TerminalSendsEachLineOfTheInputItIsGiven) {
  {
    // CR LF and LF line ends alike; an empty line is sent as well.
    TestCamera camera;
    const Result r = RunOn(camera.channel, camera.clock, {"terminal"},
                           "rd 0x01001010\r\n\nwr 0x01001010 3000\n");
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(camera.channel.requests,
              (std::vector<std::string>{"rd 0x01001010\r\n", "\r\n", "wr 0x01001010 3000\r\n"}));
    EXPECT_EQ(camera.model.Peek(sim::reg::kExposureTime), 3000u);
    EXPECT_NE(r.out.find("Tx: wr 0x01001010 3000\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "") << "a script is not told how to type";
  }
  {
    // A person at a terminal is told how it works; no input stream means no lines.
    TestCamera camera;
    const Result r =
        RunOn(camera.channel, camera.clock, {"terminal"}, "", /*input_is_terminal=*/true);
    EXPECT_NE(r.err.find("Ctrl-D ends"), std::string::npos) << r.err;
    const Result none = RunOn(camera.channel, camera.clock, {"terminal"}, std::nullopt);
    EXPECT_EQ(none.code, kExitOk);
    EXPECT_TRUE(camera.channel.requests.empty());
  }
}

}  // namespace
}  // namespace ctrl::cli

namespace ctrl::cli {
namespace {

// Catches: --json output that is not JSON Lines, a record without "error", a failure whose
// reason reaches only stderr, a success reported as an error (diff's "they differ" among them),
// a command's messages leaking into the next script line's record, and text mixed into JSON.
TEST(CliCamera, JsonGivesEveryCommandsOutcomeAsRecords) {
  const fs::path saved = TempPath("json_saved.cam");
  const fs::path luts = TempPath("json_luts.csv");
  const std::string folder = fs::temp_directory_path().string();
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int code;
    // A record's text must hold this; and the error a failure must report in some record.
    std::string record_part;
    std::string error_part;
  };
  const std::vector<Case> cases = {
      {{"get", "Exposure Time"}, "", kExitOk, R"("value":4000,"text":"50.0000us")", ""},
      {{"get", "No Such Thing"}, "", kExitUsage, R"("command":"get","exit":2)", "No Such Thing"},
      {{"set", "Exposure Time", "3000"}, "", kExitOk, R"("label":"Exposure Time")", ""},
      {{"set", "Exposure Time", "999999999"}, "", kExitCamera, R"("value":null)", "did not accept"},
      {{"set", "Pixel Format", "Stripes"}, "", kExitUsage, R"("exit":2)", "Valid:"},
      {{"set", "Device User ID", "line 7"}, "", kExitOk, R"("value":"line 7")", ""},
      {{"dump"}, "", kExitOk, R"("label":"Exposure Time")", ""},
      {{"list"}, "", kExitOk, R"("kind":"integer")", ""},
      {{"describe", "Exposure Time"}, "", kExitOk, R"("in_settings_file":true)", ""},
      {{"identify"}, "", kExitOk, R"("Device Model Name":"QX-4096M-PCL")", ""},
      {{"userset", "area"}, "", kExitOk, R"("value":)", ""},
      {{"userset", "store", "factory"}, "", kExitUsage, R"("command":"userset")", "--factory"},
      {{"save-settings", saved.string()}, "", kExitOk, R"("command":"save-settings","exit":0)", ""},
      {{"save-settings", folder}, "", kExitCamera, R"("command":"save-settings","exit":1)", ""},
      {{"load-settings", saved.string()}, "", kExitOk, R"("refused":0)", ""},
      {{"load-settings", saved.string() + ".absent"}, "", kExitCamera, R"("exit":1)", ""},
      {{"lut", "read", luts.string(), "--table", "green"}, "", kExitOk, R"("command":"lut")", ""},
      {{"set-user-id", std::string(80, 'x')}, "", kExitUsage, R"("exit":2)", "too long"},
      {{"diff", saved.string(), saved.string()}, "", 0, R"("differences":0)", ""},
      {{"diff", saved.string(), "camera"}, "", 1, R"("differences":1,"error":null)", ""},
      {{"terminal"}, "rd 0x01001010\n", kExitOk, R"("line":"Rx: 0x01001010=)", ""},
      {{"shell"},
       "get \"Exposure Time\"\nset Gamma 12x\n",
       kExitUsage,
       R"("command":"shell","exit":2,"error":"Line 2 failed (exit 2).")",
       "12x"},
      {{"--colour", "get", "Gamma"}, "", kExitUsage, R"("command":null,"exit":2)", "--colour"},
  };
  for (const Case& c : cases) {
    TestCamera camera;
    if (c.args[0] == "diff" && c.args[2] == "camera") {
      camera.model.Poke(sim::reg::kExposureTime, 3000);
    }
    std::vector<std::string> args = {"--json"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = RunOn(camera.channel, camera.clock, args, c.input);
    const std::string what = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
    EXPECT_EQ(r.code, c.code) << what << '\n' << r.out << r.err;
    ASSERT_TRUE(IsJsonLines(r.out)) << what << '\n' << r.out;
    EXPECT_NE(r.out.find(c.record_part), std::string::npos) << what << '\n' << r.out;
    std::istringstream lines(r.out);
    std::string errors;
    for (std::string line; std::getline(lines, line);) {
      const Json record = Json::parse(line);
      ASSERT_TRUE(record.contains("error")) << what << ": " << line;
      if (!record["error"].is_null()) errors += record["error"].get<std::string>() + "\n";
    }
    const bool failed = c.code != kExitOk && c.args[0] != "diff";
    EXPECT_EQ(!errors.empty(), failed) << what << '\n' << r.out;
    EXPECT_NE(errors.find(c.error_part), std::string::npos) << what << '\n' << errors;
  }
  fs::remove(saved);
  fs::remove(luts);
}

// A script's records: one per line's command, each with its own outcome.
TEST(CliCamera, JsonOfAScriptKeepsEachLinesOutcome) {
  TestCamera camera;
  const Result r = RunOn(camera.channel, camera.clock, {"--json", "shell", "--keep-going"},
                         "set \"Exposure Time\" 999999999\nuserset load 1\nget Gamma\n");
  EXPECT_EQ(r.code, kExitCamera);
  ASSERT_TRUE(IsJsonLines(r.out)) << r.out;
  std::vector<Json> records;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) records.push_back(Json::parse(line));
  ASSERT_EQ(records.size(), 4u) << r.out;
  EXPECT_EQ(records[0]["label"], "Exposure Time");
  EXPECT_NE(records[0]["error"].get<std::string>().find("did not accept"), std::string::npos);
  EXPECT_EQ(records[1]["command"], "userset");
  EXPECT_TRUE(records[1]["error"].is_null());
  EXPECT_EQ(records[1]["message"], "Loaded User 1 Data.") << "its own message only";
  EXPECT_EQ(records[2]["label"], "Gamma");
  EXPECT_EQ(records[3]["command"], "shell");
  EXPECT_EQ(records[3]["error"], "Line 1 failed (exit 1).");
}

// --wait: a command must run once the camera appears, at the back-off's times, and must not run
// (exit 2, said why) when it never does; a port that opens on a camera that does not answer
// yet is not "appeared".
TEST(CliCamera, WaitRetriesWithBackOffUntilTheCameraAnswers) {
  struct Case {
    const char* name;
    std::string wait;
    int absent_attempts;  // opens that fail before the port appears; -1: it never does
    int silent_attempts;  // then opens on a camera that does not answer the model check
    int code;
    int attempts;
    std::vector<int64_t> attempt_ms;  // since the start; empty: not checked
  };
  const std::vector<Case> cases = {
      {"appears after three failed opens", "10", 3, 0, kExitOk, 4, {0, 500, 1500, 3500}},
      {"there at once", "10", 0, 0, kExitOk, 1, {0}},
      {"never appears", "3", -1, 0, kExitCameraAbsent, 4, {0, 500, 1500, 3000}},
      {"port opens, camera answers on the third try", "30", 0, 2, kExitOk, 3, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestCamera camera;
    const int64_t start_us = camera.clock.NowUs();
    std::vector<int64_t> attempt_ms;
    Environment environment;
    environment.clock = &camera.clock;
    environment.open_connection = [&](const ConnectionOptions&,
                                      std::ostream& err) -> std::unique_ptr<Connection> {
      const int attempt = static_cast<int>(attempt_ms.size());
      attempt_ms.push_back((camera.clock.NowUs() - start_us) / 1000);
      if (c.absent_attempts < 0 || attempt < c.absent_attempts) {
        err << "No such device.\n";
        return nullptr;
      }
      camera.front_end.faults().silent = attempt < c.absent_attempts + c.silent_attempts;
      return std::make_unique<BorrowedConnection>(camera.channel);
    };
    std::ostringstream out, err;
    const int code = cli::Run({"--wait", c.wait, "identify"}, out, err, environment);
    EXPECT_EQ(code, c.code) << err.str();
    EXPECT_EQ(static_cast<int>(attempt_ms.size()), c.attempts);
    if (!c.attempt_ms.empty()) {
      EXPECT_EQ(attempt_ms, c.attempt_ms);
    }
    const bool ran = out.str().find("QX-4096M-PCL") != std::string::npos;
    EXPECT_EQ(ran, c.code == kExitOk) << out.str();
    if (c.code == kExitCameraAbsent) {
      EXPECT_NE(err.str().find("did not answer within 3 s (4 attempts)"), std::string::npos)
          << err.str();
      EXPECT_EQ(camera.channel.requests.size(), 0u);
    } else {
      // The failed attempts stay quiet once the camera is there.
      EXPECT_EQ(err.str().find("No such device"), std::string::npos) << err.str();
    }
  }
}

}  // namespace
}  // namespace ctrl::cli
