// The Win32 COM port transport against a simulated camera on the other side of a real serial
// device: CTRL_TEST_COM_PORT (e.g. "COM5") is the port the test may use, with a camera of the
// default model (QX-4096M-PCL) behind it. Catches a port that opens but loses or garbles bytes,
// a reader thread that never wakes the waiting side, a time-out that hangs or invents bytes,
// and an open failure that does not say which step and which port failed.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "camera_exchange.h"
#include "support/recording_notifier.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"

namespace ctrl {
namespace {

constexpr const char* kModel = "QX-4096M-PCL";

std::string PortUnderTest() {
  const char* port = std::getenv("CTRL_TEST_COM_PORT");
  return port != nullptr ? port : "";
}

// CommChannel over the Win32 transport, opened on the port under test as its COM1.
class Win32ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = PortUnderTest();
    ASSERT_FALSE(port_.empty()) << "CTRL_TEST_COM_PORT names no port";
    transports_.com_port.port_map().Set("COM1", "\\\\.\\" + port_);
    ASSERT_TRUE(channel_.Open(PortCategory::kComPort, 9600, 0)) << port_;
  }

  std::string Ask(const std::string& request, int timeout_ms = 2000) {
    return test::Exchange(channel_, request, timeout_ms);
  }

  test::RecordingNotifier notifier_;
  std::string port_;
  SystemTransports transports_;
  CommChannel channel_{transports_.com_port, transports_.cl_serial_2000, transports_.cl_serial_2001,
                       transports_.cl_serial_v11};
};

TEST_F(Win32ComPortTest, IdentifiesTheCamera) {
  EXPECT_EQ(Ask(test::kReadModelName), test::FreshCameraReply(kModel, test::kReadModelName));
  EXPECT_EQ(Ask(test::kReadModelNameSecondWord),
            test::FreshCameraReply(kModel, test::kReadModelNameSecondWord));
  EXPECT_TRUE(notifier_.messages.empty());
}

// What a camera of that model answers to a series of requests, from a simulator kept beside
// the test.
class MirrorCamera {
 public:
  std::string Reply(const std::string& request) {
    front_end_.Receive(request, 0);
    std::string reply;
    front_end_.TakeDue(INT64_MAX, reply);
    return reply;
  }

 private:
  sim::CameraModel model_{kModel};
  sim::CameraFrontEnd front_end_{model_};
};

// A write reaches the camera's register and a read brings the new value back; each reply ends
// with the prompt, so no byte of one exchange leaks into the next.
TEST_F(Win32ComPortTest, WritesAndReadsARegister) {
  MirrorCamera mirror;
  for (const char* request : {"rd 0x01001010\r\n", "wr 0x01001010 3000\r\n", "rd 0x01001010\r\n",
                              "wr 0x01001010 4000\r\n", "rd 0x01001010\r\n"}) {
    const std::string expected = mirror.Reply(request);
    ASSERT_NE(expected, "");
    EXPECT_EQ(Ask(request), expected) << request;
  }
  EXPECT_NE(mirror.Reply("rd 0x01001010\r\n").find("4000"), std::string::npos);
}

// A request without its line end gets no answer: the read gives up empty after its time-out,
// and the line still works once the request is completed.
TEST_F(Win32ComPortTest, UnansweredRequestTimesOutAndTheLineRecovers) {
  EXPECT_FALSE(transports_.com_port.WaitForData(50));
  EXPECT_EQ(Ask("rd 0x00000044", 200), "");
  char byte;
  EXPECT_EQ(channel_.Read(&byte, 1, 0), 0);
  EXPECT_EQ(Ask("\r\n"), test::FreshCameraReply(kModel, test::kReadModelName));
}

// Many exchanges in a row: the reader thread keeps draining the driver's queue.
TEST_F(Win32ComPortTest, HundredExchangesInARowAllComplete) {
  const std::string expected = test::FreshCameraReply(kModel, test::kReadModelName);
  int complete = 0;
  for (int i = 0; i < 100; ++i) complete += Ask(test::kReadModelName) == expected ? 1 : 0;
  EXPECT_EQ(complete, 100);
}

// Reopening at another rate closes and opens the handle again; the ring starts empty.
TEST_F(Win32ComPortTest, ReopenKeepsTheLineWorking) {
  channel_.Write(test::kReadModelName);
  ASSERT_TRUE(channel_.ReopenWithBaudRate(9600));
  channel_.DiscardInput();
  EXPECT_EQ(Ask(test::kReadModelName), test::FreshCameraReply(kModel, test::kReadModelName));
}

TEST(Win32ComPortOpenFailure, MissingPortNamesCreateFileAndThePort) {
  test::RecordingNotifier notifier;
  ComPortTransport port;
  // Wine and Windows both know COM16 by name only when a device stands behind it.
  EXPECT_FALSE(port.Open("COM16", 9600, 8, 0, false, false));
  EXPECT_EQ(notifier.Texts(),
            std::vector<std::string>{"Failed to initialize COM16 port!\nError in CreateFile()\n"
                                     "COM16: no such device (is it plugged in, and is the name "
                                     "right?)."});
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.Write("rd\r\n", 4, 0));
  EXPECT_FALSE(port.WaitForData(10));
}

}  // namespace
}  // namespace ctrl
