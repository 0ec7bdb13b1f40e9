#include "app/registry_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace ctrl {
namespace {

TEST(SettingsNames, TenValueNamesInTheirOrder) {
  const char* expected[] = {"Previous Application Shutdown Status",
                            "Communication Mode",
                            "Baudrate",
                            "Com Port No",
                            "Cameralink 2000 Dll Index",
                            "Cameralink 2001 Dll Index",
                            "Cameralink Ver11 Dll Index",
                            "Control Mode",
                            "Camera File Path",
                            "Command Log File Path"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(RegistrySettings::ValueName(i), expected[i]) << i;
  EXPECT_EQ(RegistrySettings::ValueName(10), "");
  EXPECT_EQ(RegistrySettings::ValueName(-1), "");
}

// First run on a clean machine: previous end counts as abnormal, this run is marked as in
// progress, and only a normal exit stores 1.
TEST(SettingsShutdownStatus, CleanMachineCountsAsAbnormalAndMarksTheRun) {
  MemorySettingsBackend backend;
  RegistrySettings settings(backend);
  EXPECT_FALSE(settings.PreviousRunEndedNormally());
  uint32_t stored = 7;
  ASSERT_TRUE(backend.GetInt("Previous Application Shutdown Status", &stored));
  EXPECT_EQ(stored, 0u);
  settings.MarkNormalShutdown();
  ASSERT_TRUE(backend.GetInt("Previous Application Shutdown Status", &stored));
  EXPECT_EQ(stored, 1u);
}

TEST(SettingsShutdownStatus, NormalEndIsSeenOnceAndTheNewRunIsMarkedInProgress) {
  MemorySettingsBackend backend;
  backend.SetInt("Previous Application Shutdown Status", 1);
  RegistrySettings first(backend);
  EXPECT_TRUE(first.PreviousRunEndedNormally());
  // This run crashes (no MarkNormalShutdown); the next one must notice.
  RegistrySettings second(backend);
  EXPECT_FALSE(second.PreviousRunEndedNormally());
}

TEST(SettingsShutdownStatus, OnlyTheValueOneMeansNormal) {
  MemorySettingsBackend backend;
  backend.SetInt("Previous Application Shutdown Status", 2);
  EXPECT_FALSE(RegistrySettings(backend).PreviousRunEndedNormally());
  backend.SetString("Previous Application Shutdown Status", "1");
  EXPECT_TRUE(RegistrySettings(backend).PreviousRunEndedNormally());
}

TEST(SettingsIntegers, DefaultsWhenMissingOrOutOfRange) {
  MemorySettingsBackend backend;
  RegistrySettings settings(backend);
  const auto missing = settings.ReadInt(RegistrySettings::kComPortNo, 0);
  EXPECT_FALSE(missing.found);
  EXPECT_EQ(missing.value, 0);
  const auto beyond = settings.ReadInt(10, 42);
  EXPECT_FALSE(beyond.found);
  EXPECT_EQ(beyond.value, 42);
  EXPECT_FALSE(settings.WriteInt(10, 1));
  EXPECT_FALSE(settings.WriteText(-1, "x"));
  EXPECT_EQ(backend.values().size(), 1u);  // Only the shutdown status was written.
}

TEST(SettingsIntegers, TextValuesAreReadAsTheirLeadingDecimalNumber) {
  MemorySettingsBackend backend;
  backend.SetString("Com Port No", "3");
  backend.SetString("Control Mode", "12abc");
  backend.SetString("Cameralink 2000 Dll Index", "abc");
  RegistrySettings settings(backend);
  const auto com = settings.ReadInt(RegistrySettings::kComPortNo, 0);
  EXPECT_TRUE(com.found);
  EXPECT_EQ(com.value, 3);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kControlMode, 0).value, 12);
  const auto none = settings.ReadInt(RegistrySettings::kCameralink2000DllIndex, 9);
  EXPECT_TRUE(none.found);
  EXPECT_EQ(none.value, 0);
}

TEST(SettingsIntegers, IntegersRoundTripIncludingNegativeOnes) {
  MemorySettingsBackend backend;
  RegistrySettings settings(backend);
  EXPECT_TRUE(settings.WriteInt(RegistrySettings::kBaudrate, 115200));
  EXPECT_TRUE(settings.WriteInt(RegistrySettings::kControlMode, -1));
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kBaudrate, 0).value, 115200);
  EXPECT_EQ(settings.ReadInt(RegistrySettings::kControlMode, 0).value, -1);
}

TEST(SettingsTexts, LongerThan511CharactersCountsAsMissing) {
  MemorySettingsBackend backend;
  RegistrySettings settings(backend);
  settings.WriteText(RegistrySettings::kCameraFilePath, std::string(511, 'a'));
  EXPECT_TRUE(settings.ReadText(RegistrySettings::kCameraFilePath).found);
  settings.WriteText(RegistrySettings::kCameraFilePath, std::string(512, 'a'));
  const auto too_long = settings.ReadText(RegistrySettings::kCameraFilePath);
  EXPECT_FALSE(too_long.found);
  EXPECT_EQ(too_long.value, "");
}

TEST(SettingsFolders, ExistingFolderIsReturnedOtherwiseTheWorkingDirectory) {
  MemorySettingsBackend backend;
  RegistrySettings settings(backend);
  const std::string cwd = std::filesystem::current_path().string();

  const auto unset = settings.ReadFolder(RegistrySettings::kCameraFilePath);
  EXPECT_FALSE(unset.found);
  EXPECT_EQ(unset.value, cwd);

  const std::string existing = std::filesystem::temp_directory_path().string();
  settings.WriteText(RegistrySettings::kCameraFilePath, existing);
  const auto found = settings.ReadFolder(RegistrySettings::kCameraFilePath);
  EXPECT_TRUE(found.found);
  EXPECT_EQ(found.value, existing);

  settings.WriteText(RegistrySettings::kCommandLogFilePath, "/no/such/folder/deleted");
  const auto deleted = settings.ReadFolder(RegistrySettings::kCommandLogFilePath);
  EXPECT_FALSE(deleted.found);
  EXPECT_EQ(deleted.value, cwd);
}

// Without write access nothing persists, and reads give the defaults without complaint.
TEST(SettingsFailures, UnreachableOrReadOnlyStoreIsSilent) {
  MemorySettingsBackend locked;
  locked.SetInt("Communication Mode", 3);
  locked.set_read_only(true);
  RegistrySettings read_only(locked);
  EXPECT_FALSE(read_only.PreviousRunEndedNormally());
  EXPECT_FALSE(read_only.ReadInt(RegistrySettings::kCommunicationMode, 0).found);
  EXPECT_EQ(read_only.ReadInt(RegistrySettings::kCommunicationMode, 0).value, 0);
  EXPECT_FALSE(read_only.WriteInt(RegistrySettings::kComPortNo, 2));
  read_only.MarkNormalShutdown();
  EXPECT_FALSE(locked.Contains("Previous Application Shutdown Status"));

  MemorySettingsBackend gone;
  gone.SetInt("Communication Mode", 3);
  gone.set_unavailable(true);
  RegistrySettings unreachable(gone);
  EXPECT_FALSE(unreachable.ReadInt(RegistrySettings::kCommunicationMode, 0).found);
  EXPECT_EQ(unreachable.ReadInt(RegistrySettings::kCommunicationMode, 0).value, 0);
}

TEST(SettingsPorts, DeviceOfEachComPortIsStoredUnderPorts) {
  MemorySettingsBackend backend;
  RegistrySettings settings(backend);
  EXPECT_EQ(settings.ReadPortDevice("COM5"), "");
  EXPECT_TRUE(settings.WritePortDevice("COM5", "/tmp/ttyCAM"));
  EXPECT_TRUE(backend.Contains("Ports/COM5"));
  EXPECT_EQ(settings.ReadPortDevice("COM5"), "/tmp/ttyCAM");
}

TEST(SettingsPaths, FolderIsCutBeforeTheLastSeparator) {
  EXPECT_EQ(FolderOfPath("C:\\data\\a.cam"), "C:\\data");
  EXPECT_EQ(FolderOfPath("/home/op/cams/a.cam"), "/home/op/cams");
  EXPECT_EQ(FolderOfPath("a.cam"), "");
  EXPECT_EQ(FolderOfPath("/a.cam"), "");
}

}  // namespace
}  // namespace ctrl
