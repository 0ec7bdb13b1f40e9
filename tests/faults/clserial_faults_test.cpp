// A camera behind the substitute Camera Link library that talks without end and hangs up after
// two requests (the program's environment switches both on), reached through the tool's own
// connection: talk never answers an exchange, which ends by its time-out; after the hang-up the
// library fails every access, the connection tells the line is lost, and every exchange fails
// at once until the port is opened again.
#include <gtest/gtest.h>

#include "fault_rig.h"

namespace ctrl::test {
namespace {

constexpr uint32_t kGammaRegister = 0x01203C00;

TEST(ClSerialFaults, TalkEndsByTimeOutAndHangUpFailsAtOnceUntilReopened) {
  SystemTransports transports;
  CommChannel comm(transports.com_port, transports.cl_serial_2000, transports.cl_serial_2001,
                   transports.cl_serial_v11);
  ASSERT_TRUE(comm.Open(PortCategory::kClSerialV11, 9600, 0));
  ScaledClock clock;
  CommandTable table;
  OnlineStatusPublisher status;
  HookedChannel channel(comm);
  Command engine(channel, clock, table, status);
  const int64_t timeout_us = int64_t{kDefaultTimeoutMs} * 1000;

  for (int connection = 0; connection < 2; ++connection) {
    SCOPED_TRACE(connection);
    clock.set_scale(FaultRig::kFastScale);
    for (int i = 0; i < 2; ++i) {
      const int64_t start_us = clock.NowUs();
      int32_t value = -12345;
      EXPECT_FALSE(engine.ReadRegister(kGammaRegister, value, kDefaultTimeoutMs));
      EXPECT_EQ(engine.last_failure(), Command::Failure::kNoAnswer);
      EXPECT_EQ(value, -12345);
      EXPECT_GE(clock.NowUs() - start_us, timeout_us);
      EXPECT_FALSE(comm.LineLost());
    }
    // The third request hangs the line up. Real time from here: the library fails at once, and
    // three failed reads in a row tell the line is lost.
    clock.set_scale(1);
    int32_t value = -12345;
    EXPECT_FALSE(engine.ReadRegister(kGammaRegister, value, kDefaultTimeoutMs));
    EXPECT_EQ(engine.last_failure(), Command::Failure::kLineLost);
    EXPECT_TRUE(comm.LineLost());
    // No later exchange even sends its request, let alone waits for a reply.
    const int requests = channel.requests();
    for (int i = 0; i < 20; ++i) {
      EXPECT_FALSE(engine.WriteRegister(kGammaRegister, 120, kDefaultTimeoutMs));
      EXPECT_EQ(engine.last_failure(), Command::Failure::kLineLost);
    }
    EXPECT_EQ(channel.requests(), requests);
    EXPECT_FALSE(status.online());
    // Opened again, the line is up and the hang-up counts anew.
    ASSERT_TRUE(comm.ReopenCurrent());
    EXPECT_FALSE(comm.LineLost());
  }
}

}  // namespace
}  // namespace ctrl::test
