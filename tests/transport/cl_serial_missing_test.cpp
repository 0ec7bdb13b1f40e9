// Camera Link transports on a machine without any serial library: CLSERIALPATH names a folder
// that does not exist and the library search path holds no clserial/clallserial.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/recording_notifier.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"

namespace ctrl {
namespace {

TEST(ClSerialMissing, NoLibraryMeansNoPortsAndNoOpenWithoutMessages) {
  test::RecordingNotifier notifier;
  SystemTransports transports;
  CommChannel channel(transports.com_port, transports.cl_serial_2000, transports.cl_serial_2001,
                      transports.cl_serial_v11);
  for (int category = 1; category <= 3; ++category) {
    channel.set_port_category(category);
    EXPECT_EQ(channel.PortCount(), 0) << category;
    EXPECT_EQ(channel.PortName(0), "") << category;
    EXPECT_FALSE(channel.Open(category, 9600, 0)) << category;
    char byte;
    EXPECT_EQ(channel.Read(&byte, 1, 0), 0);
    EXPECT_TRUE(channel.Write("rd 0x00000044\r\n"));
  }
  EXPECT_FALSE(transports.cl_serial_2000.IsOpen());
  EXPECT_FALSE(transports.cl_serial_2001.IsOpen());
  EXPECT_FALSE(transports.cl_serial_v11.IsOpen());
  EXPECT_TRUE(notifier.messages.empty());
}

// The environment wins over the configured folder, which wins over the default.
TEST(ClSerialMissing, FolderComesFromEnvironmentThenSettingsThenDefault) {
  ClSerial2000Transport transport("/opt/grabber/serial");
  EXPECT_EQ(transport.LibraryFolder(), std::getenv("CLSERIALPATH"));
  const std::string saved = std::getenv("CLSERIALPATH");
  ::unsetenv("CLSERIALPATH");
  EXPECT_EQ(transport.LibraryFolder(), "/opt/grabber/serial");
  transport.set_configured_folder("");
  EXPECT_EQ(transport.LibraryFolder(), "/usr/lib/cameralink");
  ::setenv("CLSERIALPATH", saved.c_str(), 1);
}

}  // namespace
}  // namespace ctrl
