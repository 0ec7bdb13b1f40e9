// The simulated camera on a real pseudo-terminal, reached the way the tool reaches a camera:
// ComPortTransport through CommChannel, and camsim as a separate process.
#include "sim/pty/pty_camera_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "camera_exchange.h"
#include "pty_pair.h"
#include "sim/pty/fault_options.h"
#include "support/recording_notifier.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"

extern char** environ;

namespace ctrl {
namespace {

std::string UniqueLinkPath(const char* tag) {
  return "/tmp/pty_test_" + std::string(tag) + "_" + std::to_string(::getpid());
}

class PtyServerTest : public ::testing::Test {
 protected:
  bool StartServer(sim::PtyCameraServer::Options options) {
    server_ = std::make_unique<sim::PtyCameraServer>(std::move(options));
    if (!server_->Start()) return false;
    transports_.com_port.port_map().Set("COM4", server_->slave_path());
    return true;
  }
  std::string Ask(const std::string& request, int timeout_ms = 2000) {
    return test::Exchange(channel_, request, timeout_ms);
  }

  test::RecordingNotifier notifier_;
  std::unique_ptr<sim::PtyCameraServer> server_;
  SystemTransports transports_;
  CommChannel channel_{transports_.com_port, transports_.cl_serial_2000, transports_.cl_serial_2001,
                       transports_.cl_serial_v11};
};

TEST_F(PtyServerTest, AnswersThroughTheComPortTransport) {
  sim::PtyCameraServer::Options options;
  options.model = "QX-4096TR-PCL";
  ASSERT_TRUE(StartServer(options)) << server_->error();
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 3));
  EXPECT_EQ(Ask(test::kReadModelNameSecondWord),
            test::FreshCameraReply("QX-4096TR-PCL", test::kReadModelNameSecondWord));
  EXPECT_TRUE(notifier_.messages.empty());
}

// The server holds its own slave descriptor: a client closing the line must not end service.
TEST_F(PtyServerTest, ClientsMayCloseAndReopenTheLine) {
  ASSERT_TRUE(StartServer({})) << server_->error();
  const std::string expected = test::FreshCameraReply("QX-4096M-PCL", test::kReadModelName);
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 3));
    EXPECT_EQ(Ask(test::kReadModelName), expected) << round;
    channel_.Close();
  }
}

TEST_F(PtyServerTest, KeepsALinkToTheSlaveWhileRunning) {
  sim::PtyCameraServer::Options options;
  options.link_path = UniqueLinkPath("link");
  ASSERT_TRUE(StartServer(options)) << server_->error();
  EXPECT_EQ(std::filesystem::read_symlink(options.link_path).string(), server_->slave_path());
  transports_.com_port.port_map().Set("COM4", options.link_path);
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 3));
  EXPECT_NE(Ask(test::kReadModelName), "");
  channel_.Close();
  server_->Stop();
  EXPECT_FALSE(std::filesystem::is_symlink(options.link_path));
}

TEST_F(PtyServerTest, RefusesToReplaceAFileThatIsNoLink) {
  const std::string path = UniqueLinkPath("file");
  std::FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  sim::PtyCameraServer::Options options;
  options.link_path = path;
  EXPECT_FALSE(StartServer(options));
  EXPECT_NE(server_->error(), "");
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  std::filesystem::remove(path);
}

// With the line rate checked, a client at the wrong rate gets nothing; after the camera is
// told to switch, the client follows and is heard again.
TEST_F(PtyServerTest, LineRateMustMatchTheCameraWhenChecked) {
  sim::PtyCameraServer::Options options;
  options.check_line_rate = true;
  ASSERT_TRUE(StartServer(options)) << server_->error();
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 115200, 3));
  EXPECT_EQ(server_->LineBaudRate(), 115200);
  EXPECT_EQ(Ask(test::kReadModelName, 100), "");
  ASSERT_TRUE(channel_.ReopenWithBaudRate(9600));
  ASSERT_NE(Ask("wr 0x00010004 16\r\n"), "");
  EXPECT_EQ(
      server_->WithCamera([](sim::CameraFrontEnd& camera) { return camera.model().baud_rate(); }),
      115200);
  ASSERT_TRUE(channel_.ReopenWithBaudRate(115200));
  EXPECT_NE(Ask(test::kReadModelName), "");
}

TEST_F(PtyServerTest, FaultsReachTheWire) {
  sim::PtyCameraServer::Options options;
  ASSERT_TRUE(sim::ApplyFaultOption("echo_requests", options.faults));
  ASSERT_TRUE(StartServer(options)) << server_->error();
  ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 3));
  const std::string reply = Ask(test::kReadModelName);
  EXPECT_EQ(reply.rfind("rd 0x00000044", 0), 0u) << reply;
}

TEST(PtyFaultOptions, NamesAndNumbersAreParsed) {
  sim::Faults faults;
  EXPECT_TRUE(sim::ApplyFaultOption("silent", faults));
  EXPECT_TRUE(faults.silent);
  EXPECT_TRUE(sim::ApplyFaultOption("drop_every_nth_reply=3", faults));
  EXPECT_EQ(faults.drop_every_nth_reply, 3);
  EXPECT_TRUE(sim::ApplyFaultOption("drop_every_nth_reply", faults));
  EXPECT_EQ(faults.drop_every_nth_reply, 2);
  EXPECT_TRUE(sim::ApplyFaultOption("reply_delay_us=250000", faults));
  EXPECT_EQ(faults.reply_delay_us, 250000);
  EXPECT_FALSE(sim::ApplyFaultOption("reply_delay_us", faults));
  EXPECT_FALSE(sim::ApplyFaultOption("reply_delay_us=-5", faults));
  EXPECT_FALSE(sim::ApplyFaultOption("silent=1", faults));
  EXPECT_FALSE(sim::ApplyFaultOption("melt", faults));
  EXPECT_EQ(faults.reply_delay_us, 250000);

  sim::Faults listed;
  EXPECT_TRUE(sim::ApplyFaultList("echo_requests,,overlong_line", listed));
  EXPECT_TRUE(listed.echo_requests && listed.overlong_line);
  sim::Faults untouched;
  EXPECT_FALSE(sim::ApplyFaultList("echo_requests,bogus", untouched));
  EXPECT_FALSE(untouched.echo_requests);
}

// camsim as a user runs it: prints the device, serves it, and ends cleanly on SIGTERM,
// removing its link.
TEST(PtyCamsim, ServesUntilTerminated) {
  test::RecordingNotifier notifier;
  const std::string link = UniqueLinkPath("camsim");
  int output[2];
  ASSERT_EQ(::pipe(output), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  const char* argv[] = {CAMSIM_PATH, "--model", "QX-8192M-PCL", "--link", link.c_str(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(
      ::posix_spawn(&child, CAMSIM_PATH, &actions, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(output[1]);

  std::string printed;
  char chunk[256];
  while (printed.find(link + "\n") == std::string::npos) {
    const ssize_t got = ::read(output[0], chunk, sizeof chunk);  // Blocks until camsim prints.
    if (got <= 0) break;
    printed.append(chunk, static_cast<size_t>(got));
  }
  ::close(output[0]);
  EXPECT_EQ(printed.rfind("/dev/pts/", 0), 0u) << printed;

  SystemTransports transports;
  transports.com_port.port_map().Set("COM1", link);
  CommChannel channel(transports.com_port, transports.cl_serial_2000, transports.cl_serial_2001,
                      transports.cl_serial_v11);
  EXPECT_TRUE(channel.Open(PortCategory::kComPort, 9600, 0));
  EXPECT_EQ(test::Exchange(channel, test::kReadModelNameSecondWord),
            test::FreshCameraReply("QX-8192M-PCL", test::kReadModelNameSecondWord));
  channel.Close();

  ASSERT_EQ(::kill(child, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link));
}

}  // namespace
}  // namespace ctrl
