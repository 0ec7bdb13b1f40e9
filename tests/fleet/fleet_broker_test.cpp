// The fleet end to end: a real mosquitto on 127.0.0.1, agents as their own processes with
// simulated cameras of the three kinds, the CLI's fleet commands. Waits are for events seen on
// the broker, each bounded by a generous deadline that only a hang reaches.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "fleet/fleet_protocol.h"
#include "fleet/mqtt_client.h"

namespace ctrl {
namespace {

using fleet::Json;
constexpr auto kHangBound = std::chrono::seconds(60);

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// A child process, its output in `log`; killed (SIGKILL unless stopped before) when the object
// goes, and by the kernel when this process dies first, so a crashed test leaves nothing behind
// to hold CTest's output open.
class Process {
 public:
  Process(std::vector<std::string> args, const std::string& log) {
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    EXPECT_GT(pid_, 0) << args[0];
  }
  ~Process() { Kill(SIGKILL); }
  void Kill(int signal_number) {
    if (pid_ <= 0) return;
    kill(pid_, signal_number);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// Everything under ctrltool/v1/ as the broker delivers it, and requests of our own.
class Watcher {
 public:
  explicit Watcher(int port) : client_("fleet-test-" + std::to_string(getpid())) {
    client_.AddSubscription("ctrltool/v1/#");
    client_.set_message_handler([this](const fleet::MqttMessage& message) {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
      changed_.notify_all();
    });
    client_.set_connection_handler([this](bool) {
      std::lock_guard lock(mutex_);  // no wake-up lost between a check and the wait
      changed_.notify_all();
    });
    fleet::BrokerOptions options;
    options.port = port;
    std::string error;
    EXPECT_TRUE(client_.Start(options, error)) << error;
  }
  // The network thread ends before what its handler writes to goes.
  ~Watcher() { client_.Stop(); }

  // Waits until `done` holds over the messages so far; false only at the hang bound.
  bool WaitFor(const std::function<bool(const std::vector<fleet::MqttMessage>&)>& done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kHangBound, [&] { return done(messages_); });
  }
  bool WaitConnected() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kHangBound, [&] { return client_.connected(); });
  }

  // The last state of a camera whose "online" is `online`, seen after message `from`.
  bool WaitState(const std::string& station, const std::string& camera, bool online,
                 size_t from = 0) {
    const std::string topic = fleet::CameraTopic(station, camera, fleet::kStateLeaf);
    return WaitFor([&](const std::vector<fleet::MqttMessage>& messages) {
      for (size_t i = from; i < messages.size(); ++i) {
        if (messages[i].topic != topic) continue;
        auto state = fleet::ParseMessage(messages[i].payload);
        if (state && state->value("online", !online) == online) return true;
      }
      return false;
    });
  }
  size_t count() {
    std::lock_guard lock(mutex_);
    return messages_.size();
  }

  // Sends a raw payload as a request to a camera and waits for its reply.
  Json Request(const std::string& station, const std::string& camera, const std::string& payload,
               const std::string& correlation) {
    fleet::PublishOptions options;
    options.response_topic = fleet::ReplyTopic(client_.client_id());
    options.correlation_data = correlation;
    options.has_correlation = true;
    client_.Publish(fleet::CameraTopic(station, camera, fleet::kCommandLeaf), payload, options);
    return AwaitReply(correlation);
  }
  Json AwaitReply(const std::string& correlation, size_t nth = 1) {
    const std::string topic = fleet::ReplyTopic(client_.client_id());
    Json reply;
    WaitFor([&](const std::vector<fleet::MqttMessage>& messages) {
      size_t seen = 0;
      for (const auto& message : messages) {
        if (message.topic != topic || message.correlation_data != correlation) continue;
        if (++seen == nth) {
          reply = fleet::ParseMessage(message.payload).value_or(Json());
          return true;
        }
      }
      return false;
    });
    return reply;
  }
  fleet::MqttClient& client() { return client_; }

 private:
  fleet::MqttClient client_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<fleet::MqttMessage> messages_;
};

class FleetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FreePort();
    folder_ = ::testing::TempDir() + "fleet-" + std::to_string(getpid());
    std::filesystem::create_directories(folder_);
    StartBroker();
    watcher_ = std::make_unique<Watcher>(port_);
    ASSERT_TRUE(watcher_->WaitConnected());
  }

  // The broker's and the agents' logs stay for a failed test.
  void TearDown() override {
    watcher_.reset();
    broker_.reset();
    if (!HasFailure()) std::filesystem::remove_all(folder_);
  }

  void StartBroker() {
    const std::string config = folder_ + "/mosquitto.conf";
    // As root the broker would switch to its own user, and the kernel would no longer end it
    // with this process.
    std::ofstream(config) << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\n"
                          << (geteuid() == 0 ? "user root\n" : "");
    broker_ = std::make_unique<Process>(std::vector<std::string>{CTRL_MOSQUITTO, "-c", config},
                                        folder_ + "/mosquitto.log");
  }

  std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }

  // An agent whose cameras are all online before it is used. Monitoring is off in effect (an
  // hour's period): the cameras see exchanges only from requests.
  std::unique_ptr<Process> StartAgent(const std::string& station,
                                      const std::vector<std::string>& cameras,
                                      std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {CTRL_AGENT, "--broker", Url(), "--station", station,
                                     "--period", "3600"};
    for (const auto& camera : cameras) {
      args.push_back("--camera");
      args.push_back(camera);
    }
    args.insert(args.end(), extra.begin(), extra.end());
    auto agent = std::make_unique<Process>(args, folder_ + "/agent-" + station + ".log");
    for (const auto& camera : cameras) {
      EXPECT_TRUE(watcher_->WaitState(station, camera.substr(0, camera.find('=')), true));
    }
    return agent;
  }

  struct Result {
    int code;
    std::string out;
    std::string err;
  };
  Result Fleet(std::vector<std::string> args) {
    args.insert(args.begin(), {"fleet", "--broker", Url(), "--timeout", "60"});
    std::ostringstream out, err;
    const int code = cli::Run(args, out, err);
    return {code, out.str(), err.str()};
  }

  std::string WriteFile(const std::string& name, const std::string& content) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path) << content;
    return path;
  }

  int port_ = 0;
  std::string folder_;
  std::unique_ptr<Process> broker_;
  std::unique_ptr<Watcher> watcher_;
};

// Rows every kind of camera files: the exposure time and the line trigger mode.
constexpr const char* kGolden = "0x01001010=4800\r\n0x01001004=1\r\n";

TEST_F(FleetTest, ListApplyAndDriftAcrossStations) {
  auto first = StartAgent("st1", {"mono=sim:QX-4096M-PCL", "colour=sim:QX-4096TR-PCL"});
  auto second = StartAgent("st2", {"wide=sim:QX-8192M-PCL"});

  Result list = Fleet({"list"});
  EXPECT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find("st1          colour       QX-4096TR-PCL"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("st2          wide         QX-8192M-PCL"), std::string::npos) << list.out;
  Result json = Fleet({"--where", "model=QX-4096M*", "list"});
  EXPECT_EQ(json.code, 0);
  EXPECT_NE(json.out.find("st1          mono"), std::string::npos);
  EXPECT_EQ(json.out.find("colour"), std::string::npos) << "--where left the colour camera in";

  const std::string golden = WriteFile("golden.cam", kGolden);
  Result apply = Fleet({"apply", golden});
  EXPECT_EQ(apply.code, 0) << apply.out << apply.err;
  EXPECT_NE(apply.out.find("st2/wide: Sent 2 values; 2 accepted"), std::string::npos) << apply.out;

  Result same = Fleet({"drift", golden});
  EXPECT_EQ(same.code, 0) << same.out;
  EXPECT_NE(same.out.find("st1/colour: matches"), std::string::npos) << same.out;

  Result set = Fleet({"--where", "station=st1,camera=colour", "set", "Exposure Time", "6000"});
  EXPECT_EQ(set.code, 0) << set.out << set.err;
  Result drift = Fleet({"drift", golden});
  EXPECT_EQ(drift.code, 1) << drift.out;
  EXPECT_NE(drift.out.find("st1/colour: 1 row differs\n  Exposure Time: camera 75.0000us, file "
                           "60.0000us"),
            std::string::npos)
      << drift.out;
  EXPECT_NE(drift.out.find("st1/mono: matches"), std::string::npos);

  // --json: one record per camera, the failing one with its error.
  Result get = Fleet({"--where", "camera=colour", "get", "Exposure Time"});
  EXPECT_EQ(get.out, "st1/colour: 75.0000us\n");
  std::ostringstream out, err;
  EXPECT_EQ(cli::Run({"--json", "fleet", "--broker", Url(), "set", "Exposure Mode", "Melt"}, out,
                     err),
            1);
  std::istringstream records(out.str());
  int failed = 0;
  for (std::string line; std::getline(records, line);) {
    const Json record = Json::parse(line);
    EXPECT_EQ(record["ok"], false) << line;
    failed += record["error"].get<std::string>().find("is not a value of Exposure Mode") !=
              std::string::npos;
  }
  EXPECT_EQ(failed, 3) << out.str();
}

// A malformed or unknown request is answered with an error and costs the camera nothing; a
// retried id is answered again without running again; a full queue says so.
TEST_F(FleetTest, BadRequestsRetriesAndAFullQueueNeverReachTheCamera) {
  auto agent = StartAgent("st1", {"mono=sim:QX-4096M-PCL"});
  auto exchanges = [&](const std::string& id) {
    const Json reply = watcher_->Request("st1", "mono",
                                         R"({"id":")" + id + R"(","op":"get","feature":"Exposure Time"})",
                                         id);
    EXPECT_EQ(reply["ok"], true) << reply.dump();
    return reply.value("camera_exchanges", uint64_t{0});
  };
  const uint64_t before = exchanges("probe-1");

  const std::pair<const char*, const char*> bad[] = {
      {"not json", "not JSON"},
      {R"({"id":"b2","op":"format-flash"})", "not an operation"},
      {R"({"id":"b3","op":"get","feature":"Nothing"})", "Unknown parameter"},
      {R"({"id":"b4","op":"set","feature":"Exposure Time","value":[1]})", "\"value\""},
      {R"({"id":"b5","op":"dump","extra":1})", "not an argument"},
  };
  int n = 0;
  for (const auto& [payload, error] : bad) {
    const Json reply = watcher_->Request("st1", "mono", payload, "bad-" + std::to_string(++n));
    EXPECT_EQ(reply["ok"], false) << payload;
    EXPECT_NE(reply["error"].get<std::string>().find(error), std::string::npos) << reply.dump();
  }
  const Json unknown = watcher_->Request("st1", "nocam", R"({"id":"u1","op":"dump"})", "u1");
  EXPECT_NE(unknown["error"].get<std::string>().find("has no camera \"nocam\""), std::string::npos);
  EXPECT_EQ(exchanges("probe-2"), before + 1) << "a refused request reached the camera";

  // The same id twice: it runs once (a write would be read back as well, so a read shows it
  // plainly), and the second request gets the first one's reply.
  const std::string get = R"({"id":"retry-1","op":"get","feature":"Exposure Time"})";
  const Json once = watcher_->Request("st1", "mono", get, "r1");
  const Json again = watcher_->Request("st1", "mono", get, "r2");
  EXPECT_EQ(once, again);
  EXPECT_EQ(exchanges("probe-3"), before + 1 + 1 + 1) << "the retried request ran twice";
}

// Every operation the agent offers, on a colour camera over the broker; what one gives back is
// what the next one takes (a saved file is loaded and compared, a LUT read is written back).
TEST_F(FleetTest, EveryOperationRunsOnItsCamera) {
  auto agent = StartAgent("st1", {"colour=sim:QX-4096TR-PCL"});
  Json saved, lut;
  struct Step {
    std::function<Json()> request;
    const char* expect_key;  // present in a successful reply
  };
  int n = 0;
  const Step steps[] = {
      {[] { return Json{{"op", "dump"}}; }, "params"},
      {[] { return Json{{"op", "set"}, {"feature", "Exposure Time"}, {"value", 4400}}; }, "text"},
      {[] { return Json{{"op", "save-settings"}}; }, "content"},
      {[&] { return Json{{"op", "load-settings"}, {"content", saved["content"]}}; }, "accepted"},
      {[&] { return Json{{"op", "diff"}, {"content", saved["content"]}}; }, "same"},
      {[] { return Json{{"op", "userset"}, {"action", "store"}, {"area", 2}}; }, "area"},
      {[] { return Json{{"op", "userset"}, {"action", "show"}}; }, "area"},
      {[] { return Json{{"op", "lut-read"}, {"table", "red"}}; }, "content"},
      {[&] { return Json{{"op", "lut-write"}, {"table", "red"}, {"content", lut["content"]}}; },
       "entries"},
  };
  for (const Step& step : steps) {
    Json request = step.request();
    request["id"] = "op-" + std::to_string(++n);
    const std::string op = request["op"];
    const Json reply = watcher_->Request("st1", "colour", request.dump(), request["id"]);
    ASSERT_EQ(reply.value("ok", false), true) << op << ": " << reply.dump().substr(0, 400);
    EXPECT_TRUE(reply.contains(step.expect_key)) << op;
    if (op == "save-settings") saved = reply;
    if (op == "lut-read") lut = reply;
    if (op == "diff") {
      EXPECT_EQ(reply["same"], true) << reply.dump();
    }
    if (op == "dump") {
      EXPECT_TRUE(reply["params"].contains("Exposure Time"));
    }
  }
  EXPECT_NE(saved["content"].get<std::string>().find("0x01001010=4400"), std::string::npos);
  const std::string lut_text = lut["content"];
  EXPECT_GT(std::count(lut_text.begin(), lut_text.end(), '\n'), 4096);

  // The write shows in the retained parameters, republished after it.
  EXPECT_TRUE(watcher_->WaitFor([](const std::vector<fleet::MqttMessage>& messages) {
    for (const auto& message : messages) {
      if (message.topic != fleet::CameraTopic("st1", "colour", fleet::kParamsLeaf)) continue;
      auto params = fleet::ParseMessage(message.payload);
      if (params && (*params)["params"]["Exposure Time"]["value"] == 4400) return true;
    }
    return false;
  }));
  // watch prints the state as it stands first.
  Result watch = Fleet({"--where", "camera=colour", "watch", "--count", "1"});
  EXPECT_EQ(watch.code, 0);
  EXPECT_NE(watch.out.find("st1          colour       QX-4096TR-PCL"), std::string::npos)
      << watch.out;

  // Stopped the polite way, the agent marks its camera offline itself.
  const size_t mark = watcher_->count();
  agent->Kill(SIGTERM);
  EXPECT_TRUE(watcher_->WaitState("st1", "colour", false, mark));
  Result list = Fleet({"list"});
  EXPECT_EQ(list.code, 1);
  EXPECT_NE(list.out.find("offline  "), std::string::npos) << list.out;
}

// A broker that refuses the credentials is reported at once, not after the time-out; a broker
// that is not there, after it.
TEST_F(FleetTest, ABrokerThatRefusesOrIsAbsentIsReported) {
  broker_.reset();
  std::ofstream(folder_ + "/mosquitto.conf")
      << "listener " << port_ << " 127.0.0.1\nallow_anonymous false\n"
      << (geteuid() == 0 ? "user root\n" : "");
  broker_ = std::make_unique<Process>(
      std::vector<std::string>{CTRL_MOSQUITTO, "-c", folder_ + "/mosquitto.conf"},
      folder_ + "/mosquitto.log");
  // The CLI keeps trying until the broker listens; then the refusal ends it.
  Result refused = Fleet({"--username", "nobody", "--password", "wrong", "list"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.err.find("refused the connection"), std::string::npos) << refused.err;

  broker_.reset();
  std::ostringstream out, err;
  EXPECT_EQ(cli::Run({"fleet", "--broker", Url(), "--timeout", "0.5", "list"}, out, err), 1);
  EXPECT_NE(err.str().find("did not accept a connection within the time-out"), std::string::npos)
      << err.str();
}

// Cameras made by others behave in ways ours do not by default: unsigned values, garbled bytes
// between replies, bytes one by one. Through the agent each gives the value it holds.
TEST_F(FleetTest, HostileCamerasGiveTheirValues) {
  const char* faults[] = {"unsigned_replies", "garbage_between_replies",
                          "split_into_single_bytes"};
  std::vector<std::string> cameras;
  for (size_t i = 0; i < std::size(faults); ++i) {
    cameras.push_back("c" + std::to_string(i) + "=sim:QX-4096M-PCL:" + faults[i]);
  }
  auto agent = StartAgent("odd", cameras);
  const Result set = Fleet({"set", "Exposure Time", "4400"});
  std::ostringstream out, err;
  cli::Run({"--json", "fleet", "--broker", Url(), "get", "Exposure Time"}, out, err);
  std::istringstream records(out.str());
  int answered = 0;
  for (std::string line; std::getline(records, line);) {
    const Json record = Json::parse(line);
    if (record["ok"] == true) {
      EXPECT_EQ(record["value"], 4400) << line;
      ++answered;
    }
  }
  EXPECT_EQ(answered, static_cast<int>(std::size(faults))) << set.out << out.str() << err.str();
}

// A file that is no settings file never becomes a request: nothing reaches the broker's cmd
// topics, the run fails with the reason.
TEST_F(FleetTest, FilesThatAreNoSettingsFilesAreRefusedBeforeAnyRequest) {
  auto agent = StartAgent("st1", {"mono=sim:QX-4096M-PCL"});
  const std::string fifo = folder_ + "/fifo.cam";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = folder_ + "/huge.cam";
  std::filesystem::resize_file(WriteFile("huge.cam", ""), 5 << 20);
  const std::string missing = folder_ + "/missing.cam";
  const size_t mark = watcher_->count();
  for (const std::string& file : {fifo, huge, missing, folder_, std::string("/dev/zero")}) {
    for (const char* command : {"apply", "drift"}) {
      const Result run = Fleet({command, file});
      EXPECT_EQ(run.code, 1) << command << ' ' << file;
      EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
      EXPECT_EQ(run.out, "") << command << ' ' << file;
    }
  }
  // A request of our own after them is the first the camera's topic carried.
  watcher_->Request("st1", "mono", R"({"id":"after","op":"userset","action":"show"})", "after");
  EXPECT_TRUE(watcher_->WaitFor([&](const std::vector<fleet::MqttMessage>& messages) {
    for (size_t i = mark; i < messages.size(); ++i) {
      if (messages[i].topic != fleet::CameraTopic("st1", "mono", fleet::kCommandLeaf)) continue;
      return messages[i].correlation_data == "after";
    }
    return false;
  }));
}

// A settings file that holds nothing this camera takes (empty, another program's, a
// spreadsheet's export) neither "applies" nor "matches": against it every camera would.
TEST_F(FleetTest, AFileWithoutSettingsForTheCameraNeitherAppliesNorMatches) {
  auto agent = StartAgent("st1", {"mono=sim:QX-4096M-PCL"});
  const std::vector<std::pair<std::string, std::string>> files = {
      {"empty.cam", ""},
      {"binary.cam", std::string("\x89PNG\r\n\x1a\n\xff\xfe=\x01\n", 13)},
      {"export.cam", "Address;Value\n0x01001010;4800\n"},
  };
  for (const auto& [name, content] : files) {
    const std::string file = WriteFile(name, content);
    for (const char* command : {"apply", "drift"}) {
      SCOPED_TRACE(std::string(command) + " " + name);
      const Result run = Fleet({command, file});
      EXPECT_EQ(run.code, 1) << run.out << run.err;
      EXPECT_NE(run.out.find("st1/mono: FAILED: The settings file holds no settings this camera "
                             "takes"),
                std::string::npos)
          << run.out;
    }
  }
  // A line of a good file that cannot be sent is said, not lost in a success.
  const Result partly =
      Fleet({"apply", WriteFile("partly.cam", std::string(kGolden) + "0x01001010=\n")});
  EXPECT_EQ(partly.code, 0) << partly.out << partly.err;
  EXPECT_NE(partly.out.find("st1/mono: Sent 2 values; 2 accepted, 0 not accepted, 0 not answered. "
                            "1 line was skipped"),
            std::string::npos)
      << partly.out;
}

TEST_F(FleetTest, AFullQueueRefusesAtOnce) {
  // Each exchange takes 20 ms: a dump keeps the camera busy while the next ones arrive.
  auto agent = StartAgent("st1", {"slow=sim:QX-4096M-PCL:reply_delay_us=20000"}, {"--queue", "2"});
  const auto reply_topic = fleet::ReplyTopic(watcher_->client().client_id());
  for (int i = 0; i < 6; ++i) {
    fleet::PublishOptions options;
    options.response_topic = reply_topic;
    options.correlation_data = "q" + std::to_string(i);
    options.has_correlation = true;
    watcher_->client().Publish(fleet::CameraTopic("st1", "slow", fleet::kCommandLeaf),
                               R"({"id":"q)" + std::to_string(i) + R"(","op":"dump"})", options);
  }
  int refused = 0;
  for (int i = 0; i < 6; ++i) {
    const Json reply = watcher_->AwaitReply("q" + std::to_string(i));
    if (reply["ok"] == false) {
      EXPECT_NE(reply["error"].get<std::string>().find("queue is full"), std::string::npos);
      ++refused;
    }
  }
  // One running and two waiting at most; the first may still have been waiting itself.
  EXPECT_GE(refused, 3);
  EXPECT_LE(refused, 4);
}

TEST_F(FleetTest, AnAgentKilledDuringApplyFailsOnlyItsCameras) {
  auto first = StartAgent("st1", {"mono=sim:QX-4096M-PCL", "colour=sim:QX-4096TR-PCL"});
  auto doomed = StartAgent("st2", {"slow=sim:QX-8192M-PCL:reply_delay_us=20000"});
  const std::string golden = WriteFile("golden.cam", kGolden);
  const size_t mark = watcher_->count();
  Result apply;
  std::thread run([&] { apply = Fleet({"apply", golden}); });
  // The request reached the broker for the slow camera: its agent dies with it unanswered.
  ASSERT_TRUE(watcher_->WaitFor([&](const std::vector<fleet::MqttMessage>& messages) {
    for (size_t i = mark; i < messages.size(); ++i) {
      if (messages[i].topic == fleet::CameraTopic("st2", "slow", fleet::kCommandLeaf)) return true;
    }
    return false;
  }));
  doomed->Kill(SIGKILL);
  run.join();
  EXPECT_EQ(apply.code, 1);
  EXPECT_NE(apply.out.find("st1/mono: Sent 2 values; 2 accepted"), std::string::npos) << apply.out;
  EXPECT_NE(apply.out.find("st1/colour: Sent 2 values; 2 accepted"), std::string::npos);
  EXPECT_NE(apply.out.find("st2/slow: FAILED: The agent of station st2 is offline"),
            std::string::npos)
      << apply.out;
  Result list = Fleet({"list"});
  EXPECT_EQ(list.code, 1);
  EXPECT_NE(list.out.find("offline  "), std::string::npos) << list.out;
}

TEST_F(FleetTest, AgentsRepublishTheirStateAfterTheBrokerRestarts) {
  auto first = StartAgent("st1", {"mono=sim:QX-4096M-PCL"});
  auto second = StartAgent("st2", {"colour=sim:QX-4096TR-PCL", "wide=sim:QX-8192M-PCL"});
  broker_->Kill(SIGKILL);
  const size_t mark = watcher_->count();
  StartBroker();  // no persistence: every retained message is gone
  for (const auto& [station, camera] : {std::pair{"st1", "mono"}, std::pair{"st2", "colour"},
                                        std::pair{"st2", "wide"}}) {
    EXPECT_TRUE(watcher_->WaitState(station, camera, true, mark)) << camera;
  }
  Result list = Fleet({"list"});
  EXPECT_EQ(list.code, 0) << list.out << list.err;
  EXPECT_NE(list.out.find("st2          wide         QX-8192M-PCL"), std::string::npos) << list.out;
}

}  // namespace
}  // namespace ctrl
