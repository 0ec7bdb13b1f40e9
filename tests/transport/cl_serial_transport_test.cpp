// The three Camera Link transports against the substitute libraries, found the way the tool
// finds real ones: CLSERIALPATH names the vendor-file folder, the manager libraries come from
// the library search path. The test's environment sets
//   CLSIM_PORTS=QX-4096M-PCL,VR5300-KQ08-630C-07   CLSIM_PORTS_SIM2=QX-8192M-PCL,QX-4096TR-PCL
//   CLSIM_BAUD_MASK=0x11 (9600 and 115200)          CLSIM_MANUFACTURERS=Ornvik CLSim,Acme Grabbers
#include "transport/cl_serial_transport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/channel_line_rate.h"
#include "camera/command_engine.h"
#include "camera/link_rate.h"
#include "camera_exchange.h"
#include "support/recording_notifier.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"

namespace ctrl {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* kLibrarySuffix = ".dll";
#else
constexpr const char* kLibrarySuffix = ".so";
#endif

const std::vector<std::string> kPortsOfSim = {"QX-4096M-PCL", "VR5300-KQ08-630C-07"};
const std::vector<std::string> kPortsOfSim2 = {"QX-8192M-PCL", "QX-4096TR-PCL"};
constexpr uint32_t kBaudRateRegisterWrite115200 = 16;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The directory's own order (readdir, FindFirstFile), which the transport must keep.
std::vector<std::string> VendorFilesInDirectoryOrder(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if ((name.rfind("clser", 0) == 0 || name.rfind("libclser", 0) == 0) &&
        EndsWith(name, kLibrarySuffix)) {
      names.push_back(name);
    }
  }
  return names;
}

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

// Puts CLSERIALPATH back after a test that points it elsewhere.
class ScopedClSerialPath {
 public:
  explicit ScopedClSerialPath(const std::string& folder) {
    const char* old = std::getenv("CLSERIALPATH");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    SetVariable("CLSERIALPATH", folder);
  }
  ~ScopedClSerialPath() {
    if (had_old_) {
      SetVariable("CLSERIALPATH", old_);
    } else {
      UnsetVariable("CLSERIALPATH");
    }
  }

 private:
  bool had_old_ = false;
  std::string old_;
};

class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::random_device random;
    path_ = (fs::temp_directory_path() / ("clserial_test_" + std::to_string(random()))).string();
    fs::create_directory(path_);
  }
  // A loaded DLL cannot be deleted on Windows; what is left goes with the temporary folder.
  ~TemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

class ClSerialTest : public ::testing::Test {
 protected:
  std::string Ask(const std::string& request, int timeout_ms = 2000) {
    return test::Exchange(channel_, request, timeout_ms);
  }

  test::RecordingNotifier notifier_;
  SystemTransports transports_;
  CommChannel channel_{transports_.com_port, transports_.cl_serial_2000, transports_.cl_serial_2001,
                       transports_.cl_serial_v11};
};

// ---------------------------------------------------------------------------------------
// Spec. 2000: vendor files in a folder

TEST_F(ClSerialTest, Spec2000ListsTheVendorFilesInDirectoryOrder) {
  const std::string folder = transports_.cl_serial_2000.LibraryFolder();
  ASSERT_STREQ(folder.c_str(), std::getenv("CLSERIALPATH"));
  channel_.set_port_category(PortCategory::kClSerial2000);
  EXPECT_EQ(channel_.PortCount(), 2);
  EXPECT_EQ(transports_.cl_serial_2000.port_list(), VendorFilesInDirectoryOrder(folder));
  EXPECT_EQ(channel_.PortName(2), "");
}

// Position i in the list loads the i-th file and opens serial index i of it.
TEST_F(ClSerialTest, Spec2000IndexOpensThatFileWithThatSerialIndex) {
  channel_.set_port_category(PortCategory::kClSerial2000);
  ASSERT_EQ(channel_.PortCount(), 2);
  for (int index = 0; index < 2; ++index) {
    const std::string file = channel_.PortName(index);
    const auto& ports = file == CLSIM_SIM2_FILE ? kPortsOfSim2 : kPortsOfSim;
    const std::string model = ports[static_cast<size_t>(index)];
    ASSERT_TRUE(channel_.Open(PortCategory::kClSerial2000, 9600, index)) << file;
    EXPECT_EQ(Ask(test::kReadModelNameSecondWord),
              test::FreshCameraReply(model, test::kReadModelNameSecondWord))
        << file << " index " << index;
  }
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(ClSerialTest, Spec2000RefusesEveryRateButNineSixHundredAndKeepsThePortOpen) {
  channel_.set_port_category(PortCategory::kClSerial2000);
  ASSERT_EQ(channel_.PortCount(), 2);
  EXPECT_FALSE(channel_.Open(PortCategory::kClSerial2000, 115200, 0));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Selected baud rate is not supported."});
  EXPECT_EQ(notifier_.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_TRUE(transports_.cl_serial_2000.IsOpen());
  EXPECT_NE(Ask(test::kReadModelName), "");
}

// Open takes the list of the last enumeration; without one there is nothing to load.
TEST_F(ClSerialTest, Spec2000OpenOutsideTheListLoadsNothing) {
  EXPECT_FALSE(transports_.cl_serial_2000.Open(0));
  ASSERT_EQ(transports_.cl_serial_2000.PortCount(), 2);
  EXPECT_FALSE(transports_.cl_serial_2000.Open(2));
  EXPECT_FALSE(transports_.cl_serial_2000.IsOpen());
  char byte;
  EXPECT_EQ(transports_.cl_serial_2000.Read(&byte, 1, 10), 0);
  EXPECT_FALSE(transports_.cl_serial_2000.Write("x", 1, 10));
}

TEST_F(ClSerialTest, Spec2000EmptyFolderHasNoPorts) {
  TemporaryFolder empty;
  ScopedClSerialPath path(empty.path());
  EXPECT_EQ(transports_.cl_serial_2000.PortCount(), 0);
  EXPECT_FALSE(channel_.Open(PortCategory::kClSerial2000, 9600, 0));
  EXPECT_TRUE(notifier_.messages.empty());
}

// A file that only looks like a library, and a library without clSerialWrite, are listed but
// cannot be opened; a good one beside them still can.
TEST_F(ClSerialTest, Spec2000BrokenFilesAreListedButDoNotOpen) {
  TemporaryFolder folder;
  const std::string suffix = kLibrarySuffix;
  std::ofstream(folder.path() + "/clserjunk" + suffix) << "not a shared object\n";
  fs::copy_file(CLSIM_NOWRITE_VENDOR_PATH, folder.path() + "/clsernowrite" + suffix);
  fs::copy_file(CLSIM_GOOD_VENDOR_PATH, folder.path() + "/clsergood" + suffix);
  std::ofstream(folder.path() + "/readme.txt") << "not listed\n";
  ScopedClSerialPath path(folder.path());

  ClSerial2000Transport& transport = transports_.cl_serial_2000;
  ASSERT_EQ(transport.PortCount(), 3);
  const auto& list = transport.port_list();
  EXPECT_EQ(list, VendorFilesInDirectoryOrder(folder.path()));
  for (int index = 0; index < 3; ++index) {
    const bool opened = transport.Open(index);
    EXPECT_EQ(opened, list[static_cast<size_t>(index)] == "clsergood" + suffix) << list[index];
    EXPECT_EQ(transport.IsOpen(), opened);
  }
  EXPECT_TRUE(notifier_.messages.empty());
}

// ---------------------------------------------------------------------------------------
// Spec. 2001: the clserial manager

TEST_F(ClSerialTest, Spec2001ListsTheManufacturers) {
  channel_.set_port_category(PortCategory::kClSerial2001);
  EXPECT_EQ(channel_.PortCount(), 2);
  EXPECT_EQ(transports_.cl_serial_2001.port_list(),
            (std::vector<std::string>{"Ornvik CLSim", "Acme Grabbers"}));
}

TEST_F(ClSerialTest, Spec2001SelectsTheManufacturerAndOpensThatIndex) {
  channel_.set_port_category(PortCategory::kClSerial2001);
  ASSERT_EQ(channel_.PortCount(), 2);
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerial2001, 9600, 1));
  EXPECT_EQ(Ask(test::kReadModelName),
            test::FreshCameraReply(kPortsOfSim[1], test::kReadModelName));
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(ClSerialTest, Spec2001RefusesARateMissingFromTheMaskAndKeepsThePortOpen) {
  channel_.set_port_category(PortCategory::kClSerial2001);
  ASSERT_EQ(channel_.PortCount(), 2);
  EXPECT_FALSE(channel_.Open(PortCategory::kClSerial2001, 460800, 0));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Selected baud rate is not supported."});
  EXPECT_TRUE(transports_.cl_serial_2001.IsOpen());
  // Still at 9600, the rate the camera runs at.
  EXPECT_EQ(Ask(test::kReadModelName),
            test::FreshCameraReply(kPortsOfSim[0], test::kReadModelName));
}

// The grabber's rate really changes: after the camera moves to 115200 only a port reopened at
// 115200 reaches it.
TEST_F(ClSerialTest, Spec2001RateChangeReachesTheGrabber) {
  channel_.set_port_category(PortCategory::kClSerial2001);
  ASSERT_EQ(channel_.PortCount(), 2);
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerial2001, 9600, 0));
  ASSERT_NE(Ask("wr 0x00010004 " + std::to_string(kBaudRateRegisterWrite115200) + "\r\n"), "");
  EXPECT_EQ(Ask(test::kReadModelName, 100), "");  // Wrong rate: the camera hears noise.
  ASSERT_TRUE(channel_.ReopenWithBaudRate(115200));
  EXPECT_EQ(Ask(test::kReadModelName),
            test::FreshCameraReply(kPortsOfSim[0], test::kReadModelName));
  // The camera outlives the test within this process: put it back to 9600.
  EXPECT_NE(Ask("wr 0x00010004 1\r\n"), "");
}

// The rates a port offers are the library's own: a rate the library refuses is never tried by
// the rate detection or --fast (each try would put up the library's refusal box).
TEST_F(ClSerialTest, EachCategoryOffersTheRatesItsLibraryTakes) {
  struct Case {
    PortCategory category;
    std::vector<int> open_rates;
  };
  const Case cases[] = {
      {PortCategory::kClSerial2000, {9600}},
      {PortCategory::kClSerial2001, {9600, 115200}},  // the test's mask: 0x11
      {PortCategory::kClSerialV11, {9600, 115200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.category));
    channel_.set_port_category(c.category);
    ASSERT_GT(channel_.PortCount(), 0);
    ASSERT_TRUE(channel_.Open(c.category, 9600, 0));
    EXPECT_EQ(channel_.SupportedBaudRates(), c.open_rates);
    channel_.Close();
  }
  channel_.set_port_category(PortCategory::kComPort);
  EXPECT_EQ(channel_.SupportedBaudRates(), (std::vector<int>{9600, 115200, 460800}));
  EXPECT_TRUE(notifier_.messages.empty());
}

// --fast over a library port goes to the fastest rate the library takes, and back, without a
// single refusal box; the camera answers at both ends.
TEST_F(ClSerialTest, FastLinkOverALibraryPortStaysWithinItsRates) {
  channel_.set_port_category(PortCategory::kClSerial2001);
  ASSERT_EQ(channel_.PortCount(), 2);
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerial2001, 9600, 0));
  CommandTable table;
  OnlineStatusPublisher status;
  Command engine(channel_, DefaultClock(), table, status);
  ChannelLineRate line(channel_);
  std::string message;
  {
    FastLink fast(engine, line);
    ASSERT_TRUE(fast.Raise(message)) << message;
    EXPECT_EQ(channel_.baud_rate(), 115200);
    EXPECT_TRUE(engine.CheckModel(false));
    ASSERT_TRUE(fast.Restore(message)) << message;
  }
  EXPECT_EQ(channel_.baud_rate(), 9600);
  EXPECT_EQ(Ask(test::kReadModelName),
            test::FreshCameraReply(kPortsOfSim[0], test::kReadModelName));
  EXPECT_TRUE(notifier_.messages.empty()) << notifier_.Texts().front();
}

// ---------------------------------------------------------------------------------------
// Ver. 1.1: the clallserial library

TEST_F(ClSerialTest, Ver11ListsManufacturerAndPortIdentifier) {
  channel_.set_port_category(PortCategory::kClSerialV11);
  EXPECT_EQ(channel_.PortCount(), 2);
  EXPECT_EQ(channel_.PortName(0), "Ornvik CLSim - Port 0");
  EXPECT_EQ(channel_.PortName(1), "Ornvik CLSim - Port 1");
  EXPECT_EQ(channel_.PortName(2), "");
}

TEST_F(ClSerialTest, Ver11OpensThePortAndNamesItInTheRefusal) {
  channel_.set_port_category(PortCategory::kClSerialV11);
  ASSERT_EQ(channel_.PortCount(), 2);
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerialV11, 115200, 1));
  EXPECT_TRUE(notifier_.messages.empty());
  // Port and camera disagree (camera at 9600): silence, until both are at 9600 again.
  EXPECT_EQ(Ask(test::kReadModelName, 100), "");
  EXPECT_FALSE(channel_.ReopenWithBaudRate(460800));
  EXPECT_EQ(
      notifier_.Texts(),
      std::vector<std::string>{"Selected baud rate is not supported in Ornvik CLSim - Port 1."});
  EXPECT_TRUE(transports_.cl_serial_v11.IsOpen());
  ASSERT_TRUE(channel_.ReopenWithBaudRate(9600));
  EXPECT_EQ(Ask(test::kReadModelName),
            test::FreshCameraReply(kPortsOfSim[1], test::kReadModelName));
}

// Enumerating loads and unloads the library for itself; the open port must keep working.
TEST_F(ClSerialTest, Ver11EnumerationWhileOpenLeavesThePortWorking) {
  channel_.set_port_category(PortCategory::kClSerialV11);
  ASSERT_EQ(channel_.PortCount(), 2);
  ASSERT_TRUE(channel_.Open(PortCategory::kClSerialV11, 9600, 0));
  EXPECT_EQ(channel_.PortCount(), 2);
  EXPECT_EQ(Ask(test::kReadModelName),
            test::FreshCameraReply(kPortsOfSim[0], test::kReadModelName));
}

// A failed library read delivers nothing, even when part of the count had arrived; the bytes
// stay for the next read.
TEST_F(ClSerialTest, Ver11ReadThatTimesOutDeliversNothing) {
  ClSerialV11Transport& transport = transports_.cl_serial_v11;
  ASSERT_TRUE(transport.Open(0));
  ASSERT_TRUE(transport.Write(test::kReadModelName, 15, 500));
  char buffer[200];
  EXPECT_EQ(transport.Read(buffer, 200, 50), 0);
  ASSERT_EQ(transport.Read(buffer, 4, 10), 4);
  EXPECT_EQ(std::string(buffer, 4),
            test::FreshCameraReply(kPortsOfSim[0], test::kReadModelName).substr(0, 4));
  transport.DiscardInput();
  EXPECT_EQ(transport.Read(buffer, 1, 10), 0);
}

TEST_F(ClSerialTest, Ver11LibraryMissingAnEntryPointGivesNoPortsAndNoOpen) {
  ClSerialV11Transport broken(CLSIM_NOPORTINFO_PATH);
  EXPECT_EQ(broken.PortCount(), 0);
  EXPECT_FALSE(broken.Open(0));
  EXPECT_FALSE(broken.IsOpen());
  broken.Close();
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(ClSerialTest, EnumerationOfALibraryClaimingHugeCountsIsCapped) {
  ClSerial2001Transport manager(CLSIM_HUGE_MANAGER_PATH);
  ClSerialV11Transport all_serial(CLSIM_HUGE_ALL_SERIAL_PATH);
  for (ClSerialPort* transport : std::initializer_list<ClSerialPort*>{&manager, &all_serial}) {
    EXPECT_EQ(transport->PortCount(), kMaxLibraryPorts);
  }
  EXPECT_EQ(manager.PortName(0), "Ornvik CLSim");
  EXPECT_EQ(all_serial.PortName(0), "Ornvik CLSim - Port 0");
}

TEST_F(ClSerialTest, CloseReleasesTheLibraryPortForTheNextOpen) {
  ClSerialV11Transport& transport = transports_.cl_serial_v11;
  ASSERT_TRUE(transport.Open(0));
  transport.Close();
  EXPECT_FALSE(transport.IsOpen());
  // The library refuses a second init of a port still in use, so this open proves the close.
  ASSERT_TRUE(transport.Open(0));
  transport.Close();
  transport.Close();
}

}  // namespace
}  // namespace ctrl
