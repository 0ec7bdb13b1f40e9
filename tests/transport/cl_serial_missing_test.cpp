// Camera Link transports on a machine without any serial library: CLSERIALPATH names a folder
// that does not exist and the library search path holds no clserial/clallserial.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>

#include "support/recording_notifier.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"

namespace ctrl {
namespace {

namespace fs = std::filesystem;

void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name, value.c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}

void UnsetVariable(const char* name) {
#ifdef _WIN32
  ::_putenv_s(name, "");
#else
  ::unsetenv(name);
#endif
}

TEST(ClSerialMissing, NoLibraryMeansNoPortsAndNoOpenWithoutMessages) {
  test::RecordingNotifier notifier;
  SystemTransports transports;
  CommChannel channel(transports.com_port, transports.cl_serial_2000, transports.cl_serial_2001,
                      transports.cl_serial_v11);
  for (const PortCategoryFacts& facts : kPortCategories) {
    if (!facts.camera_link_library) continue;
    const PortCategory category = facts.category;
    channel.set_port_category(category);
    EXPECT_EQ(channel.PortCount(), 0) << facts.display_name;
    EXPECT_EQ(channel.PortName(0), "") << facts.display_name;
    EXPECT_FALSE(channel.Open(category, 9600, 0)) << facts.display_name;
    char byte;
    EXPECT_EQ(channel.Read(&byte, 1, 0), 0);
    EXPECT_TRUE(channel.Write("rd 0x00000044\r\n"));
  }
  EXPECT_FALSE(transports.cl_serial_2000.IsOpen());
  EXPECT_FALSE(transports.cl_serial_2001.IsOpen());
  EXPECT_FALSE(transports.cl_serial_v11.IsOpen());
  EXPECT_TRUE(notifier.messages.empty());
}

// The environment wins over the configured folder, which wins over the platform's default.
TEST(ClSerialMissing, FolderComesFromEnvironmentThenSettingsThenDefault) {
  ClSerial2000Transport transport("/opt/grabber/serial");
  EXPECT_EQ(transport.LibraryFolder(), std::getenv("CLSERIALPATH"));
  const std::string saved = std::getenv("CLSERIALPATH");
  UnsetVariable("CLSERIALPATH");
  EXPECT_EQ(transport.LibraryFolder(), "/opt/grabber/serial");
  transport.set_configured_folder("");
#ifdef _WIN32
  std::string folder = transport.LibraryFolder();
  std::transform(folder.begin(), folder.end(), folder.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  EXPECT_EQ(folder.substr(1), ":\\windows\\system32");
#else
  EXPECT_EQ(transport.LibraryFolder(), "/usr/lib/cameralink");
#endif
  SetVariable("CLSERIALPATH", saved);
}

// A library of the right name in the current folder (say, beside a settings file the operator
// opened) must not be loaded: it would run inside the tool.
TEST(ClSerialMissing, LibraryPlantedInTheCurrentFolderIsNotLoaded) {
  std::random_device random;
  const fs::path planted = fs::temp_directory_path() / ("planted_" + std::to_string(random()));
  ASSERT_TRUE(fs::create_directory(planted));
  fs::copy_file(CLSIM_MANAGER_PATH, planted / ClSerial2001Transport::kDefaultLibrary);
  fs::copy_file(CLSIM_ALL_SERIAL_PATH, planted / ClSerialV11Transport::kDefaultLibrary);
  const fs::path previous = fs::current_path();
  fs::current_path(planted);

  test::RecordingNotifier notifier;
  ClSerial2001Transport manager;
  ClSerialV11Transport all_serial;
  const int manager_ports = manager.PortCount();
  const int all_serial_ports = all_serial.PortCount();
  const bool opened = all_serial.Open(0);

  fs::current_path(previous);
  std::error_code ignored;
  fs::remove_all(planted, ignored);
  EXPECT_EQ(manager_ports, 0);
  EXPECT_EQ(all_serial_ports, 0);
  EXPECT_FALSE(opened);
  // The same files are loaded when named by their path: the refusal is the search, not the file.
  ClSerialV11Transport by_path(CLSIM_ALL_SERIAL_PATH);
  EXPECT_EQ(by_path.PortCount(), 1);
  EXPECT_TRUE(notifier.messages.empty());
}

}  // namespace
}  // namespace ctrl
