#include "transport/com_port_transport.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "pty_pair.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

std::string InitFailure(const std::string& port, const std::string& step,
                        const std::string& reason) {
  return "Failed to initialize " + port + " port!\nError in " + step + "()\n" + reason;
}

// Another program holding a device the way this tool does (TIOCEXCL and an exclusive lock),
// under a name of its own, until it is destroyed.
class HoldingProcess {
 public:
  HoldingProcess(const std::string& device_path, const char* program) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0) return;
    if (::pipe(release) != 0) {
      ::close(ready[0]);
      ::close(ready[1]);
      return;
    }
    const char* path = device_path.c_str();
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only system calls from here on: the child of a threaded program.
      ::close(ready[0]);
      ::close(release[1]);
      ::prctl(PR_SET_NAME, program);
      const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char held =
          fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
      if (::write(ready[1], &held, 1) != 1) ::_exit(1);
      char ignored;
      while (::read(release[0], &ignored, 1) > 0) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char held = 0;
    holding_ = pid_ > 0 && ::read(ready[0], &held, 1) == 1 && held == 1;
    ::close(ready[0]);
  }
  ~HoldingProcess() {
    if (release_ >= 0) ::close(release_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  HoldingProcess(const HoldingProcess&) = delete;
  HoldingProcess& operator=(const HoldingProcess&) = delete;

  bool holding() const { return holding_; }
  long pid() const { return static_cast<long>(pid_); }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool holding_ = false;
};

// Waits for a condition that another thread makes true; the bound only keeps a broken build
// from hanging the suite.
template <typename Predicate>
bool Eventually(Predicate condition) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::yield();
  }
  return true;
}

std::string ReadAvailable(ComPortTransport& port) {
  std::string out(2048, '\0');
  out.resize(static_cast<size_t>(port.Read(out.data(), static_cast<int>(out.size()), 0)));
  return out;
}

// What opening `device_path` as COM4 reports to a user without rights on it. Root may open any
// device, so when this program runs as root the attempt is made by a child that has become the
// user nobody first. The child is forked while no reader thread runs.
std::vector<std::string> OpenFailureOfAnUnprivilegedUser(const std::string& device_path) {
  int report[2];
  if (::pipe(report) != 0) return {"pipe failed"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(2);
    }
    std::string texts;
    {
      test::RecordingNotifier notifier;
      ComPortTransport port;
      port.port_map().Set("COM4", device_path);
      if (port.Open("COM4", 9600, 8, 0, false, false)) texts = "opened";
      for (const std::string& text : notifier.Texts()) texts += text + '\0';
    }
    const bool sent =
        ::write(report[1], texts.data(), texts.size()) == static_cast<ssize_t>(texts.size());
    ::_exit(sent ? 0 : 1);
  }
  ::close(report[1]);
  std::string received;
  char chunk[512];
  ssize_t count;
  while ((count = ::read(report[0], chunk, sizeof chunk)) > 0) {
    received.append(chunk, static_cast<size_t>(count));
  }
  ::close(report[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return {"the child failed"};
  }
  std::vector<std::string> texts;
  for (size_t start = 0; start < received.size();) {
    const size_t end = std::min(received.find('\0', start), received.size());
    texts.push_back(received.substr(start, end - start));
    start = end + 1;
  }
  return texts;
}

class TransportComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line_.ok());
    port_.port_map().Set("COM1", line_.slave_path());
  }

  bool OpenCom1(int baud = 9600) { return port_.Open("COM1", baud, 8, 0, false, false); }

  test::RecordingNotifier notifier_;
  test::PtyPair line_;
  ComPortTransport port_;
};

TEST(TransportComPortNames, SixteenPortsNamedCom1ToCom16) {
  ComPortTransport port;
  EXPECT_EQ(port.PortCount(), 16);
  EXPECT_EQ(port.PortName(0), "COM1");
  EXPECT_EQ(port.PortName(11), "COM12");
  EXPECT_EQ(port.PortName(15), "COM16");
  EXPECT_EQ(port.PortName(16), "ERROR");
  EXPECT_EQ(port.PortName(-1), "ERROR");
}

// An unmapped name must reach the platform's n-th serial device, not some other one.
TEST(TransportComPortNames, UnmappedNamesFallBackToTtyS) {
  ComPortMap map;
  EXPECT_EQ(map.DevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(map.DevicePath("COM12"), "/dev/ttyS11");
  map.Set("COM12", "/tmp/cam");
  EXPECT_EQ(map.DevicePath("COM12"), "/tmp/cam");
  map.Set("COM12", "");
  EXPECT_EQ(map.DevicePath("COM12"), "/dev/ttyS11");
}

// A missing device reports the CreateFile failure with the port's name and leaves the
// transport closed: writes fail and reads deliver nothing.
TEST(TransportComPortOpenFailure, MissingDeviceReportsCreateFile) {
  test::RecordingNotifier notifier;
  ComPortTransport port;
  port.port_map().Set("COM5", "/nonexistent/ttyCAM5");
  EXPECT_FALSE(port.Open("COM5", 9600, 8, 0, false, false));
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text,
            InitFailure("COM5", "CreateFile",
                        "/nonexistent/ttyCAM5: no such device (is it plugged in, and is the name "
                        "right?)."));
  EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.Write("rd\r\n", 4, 0));
  char byte;
  EXPECT_EQ(port.Read(&byte, 1, 0), 0);
  EXPECT_FALSE(port.WaitForData(10));
}

// A regular file and a device that is no terminal open, but are no serial line.
TEST(TransportComPortOpenFailure, FileThatIsNoTerminalIsRefused) {
  char path[] = "/tmp/transport_not_a_tty_XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  for (const std::string& device : {std::string(path), std::string("/dev/null")}) {
    SCOPED_TRACE(device);
    test::RecordingNotifier notifier;
    ComPortTransport port;
    port.port_map().Set("COM2", device);
    EXPECT_FALSE(port.Open("COM2", 9600, 8, 0, false, false));
    EXPECT_EQ(notifier.Texts(),
              std::vector<std::string>{InitFailure(
                  "COM2", "CreateFile", device + " is not a serial port (not a terminal).")});
    EXPECT_FALSE(port.IsOpen());
  }
  ::unlink(path);
}

TEST_F(TransportComPortTest, PortTakenByAnotherUserIsRefused) {
  ASSERT_TRUE(OpenCom1());
  ComPortTransport second;
  second.port_map().Set("COM3", line_.slave_path());
  EXPECT_FALSE(second.Open("COM3", 9600, 8, 0, false, false));
  // The holder is this very program, which is not named as another one.
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{InitFailure(
                "COM3", "CreateFile", line_.slave_path() + " is in use by another program.")});
  // Once released, the line can be taken.
  port_.Close();
  EXPECT_TRUE(second.Open("COM3", 9600, 8, 0, false, false));
}

// Another process holding the line is named with its pid, so the user knows what to close.
TEST_F(TransportComPortTest, PortHeldByAnotherProgramNamesIt) {
  HoldingProcess holder(line_.slave_path(), "camholder");
  ASSERT_TRUE(holder.holding());
  EXPECT_FALSE(OpenCom1());
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{
                InitFailure("COM1", "CreateFile",
                            line_.slave_path() + " is in use by another program (camholder, pid " +
                                std::to_string(holder.pid()) + ").")});
  EXPECT_FALSE(port_.IsOpen());
}

// A device the user has no rights on: the reason and the group that gives them.
TEST_F(TransportComPortTest, DeviceWithoutPermissionTellsWhichGroupToJoin) {
  ASSERT_EQ(::chmod(line_.slave_path().c_str(), 0), 0);
  EXPECT_EQ(OpenFailureOfAnUnprivilegedUser(line_.slave_path()),
            std::vector<std::string>{InitFailure(
                "COM4", "CreateFile",
                line_.slave_path() +
                    ": permission denied. The user must be in the dialout group (sudo usermod "
                    "-aG dialout $USER, then log in again).")});
}

TEST_F(TransportComPortTest, UnsupportedRateReportsSetCommStateAndStaysClosed) {
  EXPECT_FALSE(OpenCom1(12345));
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{
                InitFailure("COM1", "SetCommState", line_.slave_path() + ": Invalid argument.")});
  EXPECT_FALSE(port_.IsOpen());
  // The failed attempt released the line.
  EXPECT_TRUE(OpenCom1());
}

// The line must really be raw 8N1 at the asked rate (a cooked line would echo or swallow CRs),
// and closing must give the device back with the settings it had.
TEST_F(TransportComPortTest, OpenMakesTheLineRawAndCloseRestoresIt) {
  const termios before = line_.SlaveSettings();
  ASSERT_NE(before.c_lflag & ICANON, 0u);
  ASSERT_TRUE(OpenCom1(115200));
  termios during = line_.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&during), static_cast<speed_t>(B115200));
  EXPECT_EQ(during.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(during.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(during.c_iflag & (IXON | IXOFF | ICRNL), 0u);

  ASSERT_TRUE(port_.Open("COM1", 460800, 8, 2, true, false));
  during = line_.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&during), static_cast<speed_t>(B460800));
  EXPECT_NE(during.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(during.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));

  port_.Close();
  const termios after = line_.SlaveSettings();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(TransportComPortTest, WriteSendsEveryByteAndNeverReportsFailure) {
  ASSERT_TRUE(OpenCom1());
  const std::string request = "wr 0x01001010 4000\r\n";
  EXPECT_TRUE(port_.Write(request.data(), static_cast<int>(request.size()), 0));
  EXPECT_EQ(line_.Receive(request.size()), request);
  EXPECT_FALSE(port_.Write(request.data(), 0, 0));
}

TEST_F(TransportComPortTest, ReceivedBytesWaitInTheRingAndComeOutInOrder) {
  ASSERT_TRUE(OpenCom1());
  char byte = 0;
  EXPECT_EQ(port_.Read(&byte, 1, 0), 0);  // Empty ring: nothing, and no wait.
  line_.Send("0x1=5\r\nOK>\r\n");
  std::string received;
  while (received.size() < 12 && port_.WaitForData(2000)) {
    ASSERT_EQ(port_.Read(&byte, 1, 0), 1);
    received.push_back(byte);
  }
  EXPECT_EQ(received, "0x1=5\r\nOK>\r\n");
  EXPECT_EQ(port_.Read(&byte, 1, 0), 0);
}

// Catches a ring that overwrites unread bytes when more arrive than it can hold.
TEST_F(TransportComPortTest, OverflowRefusesNewBytesAndKeepsTheOldest) {
  ASSERT_TRUE(OpenCom1());
  std::string flood;
  for (int i = 0; i < 1100; ++i) flood.push_back(static_cast<char>('A' + i % 23));
  line_.Send(flood);
  ASSERT_TRUE(Eventually([&] { return port_.RefusedBytes() == 1100 - 1023; }));
  EXPECT_EQ(ReadAvailable(port_), flood.substr(0, 1023));
}

TEST_F(TransportComPortTest, DiscardInputDropsWaitingBytes) {
  ASSERT_TRUE(OpenCom1());
  line_.Send("late reply\r\n");
  ASSERT_TRUE(port_.WaitForData(2000));
  ASSERT_TRUE(Eventually([&] {
    port_.DiscardInput();
    char byte;
    return port_.Read(&byte, 1, 0) == 0;
  }));
  line_.Send("x");
  ASSERT_TRUE(port_.WaitForData(2000));
  EXPECT_EQ(ReadAvailable(port_), "x");
}

// Reopening (a new rate) is a full close and open: the ring starts empty and the line works.
TEST_F(TransportComPortTest, ReopenEmptiesTheRingAndKeepsWorking) {
  ASSERT_TRUE(OpenCom1());
  line_.Send("stale");
  ASSERT_TRUE(port_.WaitForData(2000));
  ASSERT_TRUE(OpenCom1(115200));
  char byte;
  EXPECT_EQ(port_.Read(&byte, 1, 0), 0);
  line_.Send("k");
  ASSERT_TRUE(port_.WaitForData(2000));
  EXPECT_EQ(ReadAvailable(port_), "k");
  EXPECT_TRUE(port_.Write("z", 1, 0));
  EXPECT_EQ(line_.Receive(1), "z");
}

// Opening another port closes the first: its line is free for others afterwards.
TEST_F(TransportComPortTest, OpeningAnotherPortReleasesTheFirst) {
  test::PtyPair other_line;
  ASSERT_TRUE(other_line.ok());
  port_.port_map().Set("COM2", other_line.slave_path());
  ASSERT_TRUE(OpenCom1());
  ASSERT_TRUE(port_.Open("COM2", 9600, 8, 0, false, false));
  ComPortTransport other;
  other.port_map().Set("COM1", line_.slave_path());
  EXPECT_TRUE(other.Open("COM1", 9600, 8, 0, false, false));
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST(TransportComPortClose, CloseOnANeverOpenedPortIsHarmless) {
  test::RecordingNotifier notifier;
  ComPortTransport port;
  port.Close();
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  char byte;
  EXPECT_EQ(port.Read(&byte, 1, 0), 0);
  EXPECT_FALSE(port.Write("x", 1, 0));
  EXPECT_TRUE(notifier.messages.empty());
}

// The far end going away must neither wedge close nor break writes (the thread backs off
// instead of spinning on the hung-up descriptor).
TEST_F(TransportComPortTest, FarEndHangingUpLeavesThePortClosable) {
  ASSERT_TRUE(OpenCom1());
  line_.Send("a");
  ASSERT_TRUE(port_.WaitForData(2000));
  line_.CloseMaster();
  EXPECT_TRUE(port_.Write("rd\r\n", 4, 0));
  // What came before the hang-up is still delivered; then the port says the line is gone.
  EXPECT_FALSE(port_.LineLost());
  EXPECT_EQ(ReadAvailable(port_), "a");
  EXPECT_FALSE(port_.WaitForData(20));
  for (int i = 0; i < 100 && !port_.LineLost(); ++i) port_.WaitForData(100);
  EXPECT_TRUE(port_.LineLost());
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
}

// The far end of a real pseudo-terminal going away, in the ways a reader meets it: the line is
// reported lost once the bytes before the hang-up are read, no wait waits out its time-out after
// that, writes still pass, and the transport is free for another line.
TEST(TransportComPortHangUp, EveryHangUpEndsInALostLineThatCanBeLeft) {
  struct Case {
    const char* name;
    std::string before;  // sent by the far end before it hangs up
    bool wait_first;     // the bytes (one write, so one read) were in the ring first
  };
  const Case cases[] = {
      {"nothing pending", "", false},
      {"a reply already in the ring", "OK>\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::RecordingNotifier notifier;
    test::PtyPair line;
    ASSERT_TRUE(line.ok());
    ComPortTransport port;
    port.port_map().Set("COM1", line.slave_path());
    ASSERT_TRUE(port.Open("COM1", 9600, 8, 0, false, false));
    line.Send(c.before);
    if (c.wait_first) {
      ASSERT_TRUE(port.WaitForData(10000));
    }
    line.CloseMaster();

    std::string delivered;
    while (!port.LineLost()) {
      if (!port.WaitForData(10000) && !port.LineLost()) break;  // neither bytes nor a loss
      delivered += ReadAvailable(port);
    }
    EXPECT_EQ(delivered, c.before);
    EXPECT_TRUE(port.LineLost());
    EXPECT_FALSE(port.WaitForData(10000));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(port.Write("rd\r\n", 4, 0));

    // Another line works at once: nothing of the lost one is left behind.
    test::PtyPair other;
    ASSERT_TRUE(other.ok());
    port.port_map().Set("COM2", other.slave_path());
    ASSERT_TRUE(port.Open("COM2", 9600, 8, 0, false, false));
    EXPECT_FALSE(port.LineLost());
    other.Send("k");
    ASSERT_TRUE(port.WaitForData(10000));
    EXPECT_EQ(ReadAvailable(port), "k");
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(notifier.messages.empty());
  }
}

}  // namespace
}  // namespace ctrl
