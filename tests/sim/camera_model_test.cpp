// Register file of the simulated camera: identity, refusals, and the values each register takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/camera_model.h"

namespace ctrl::sim {
namespace {

constexpr int64_t kT0 = 1'000'000;

uint32_t ReadOrFail(CameraModel& model, uint32_t reg) {
  uint32_t value = 0xDEADBEEF;
  EXPECT_TRUE(model.Read(reg, value, kT0)) << std::hex << reg;
  return value;
}

uint32_t U(int32_t value) {
  return static_cast<uint32_t>(value);
}

// Catches: a model listed with the wrong kind or in the wrong order (the tool relies on both),
// and identity registers that do not tell the models apart.
TEST(SimIdentity, NineModelsReportNameKindVendorAndSensorWidth) {
  const std::vector<std::string> expected = {
      "QX-4096M-PCL",        "QX-4096TR-PCL",       "QX-8192M-PCL",
      "QX-4096M-PCL-R72",    "QX-4096TR-PCL-R72",   "QX-8192M-PCL-R72",
      "VR5300-KQ08-210M-07", "VR5300-KQ08-630C-07", "VR5300-KQ16-520M-07"};
  ASSERT_EQ(ModelNames(), expected);
  for (size_t i = 0; i < expected.size(); ++i) {
    CameraModel model(expected[i]);
    SCOPED_TRACE(expected[i]);
    EXPECT_EQ(KindOfModel(expected[i]), static_cast<ModelKind>(i % 3));
    EXPECT_EQ(model.kind(), static_cast<ModelKind>(i % 3));
    EXPECT_EQ(model.PeekText(reg::kModelName), expected[i]);
    EXPECT_EQ(model.PeekText(reg::kVendorName), "Ornvik");
    EXPECT_EQ(model.PeekText(reg::kDeviceVersion), "2.00");
    EXPECT_FALSE(model.PeekText(reg::kFirmwareVersion).empty());
    EXPECT_EQ(ReadOrFail(model, reg::kDeviceType), 0u);  // Transmitter
    EXPECT_EQ(ReadOrFail(model, reg::kScanType), 1u);    // Linescan
    const uint32_t sensor = model.kind() == ModelKind::WideMono ? 8192 : 4096;
    EXPECT_EQ(ReadOrFail(model, reg::kSensorWidth), sensor);
    EXPECT_EQ(ReadOrFail(model, reg::kWidth), sensor);
  }
  EXPECT_FALSE(KindOfModel("qx-4096m-pcl").has_value());
  // Any other name still answers with that name, so the tool can report it as unsupported.
  EXPECT_EQ(CameraModel("XY-1234").PeekText(reg::kModelName), "XY-1234");
}

// Catches: wrong byte order or terminator in text registers, and identity texts that can be
// overwritten while serial number and user ID cannot.
TEST(SimText, PackedMsbFirstAndOnlySerialAndUserIdWritable) {
  CameraModel model("QX-4096M-PCL");
  EXPECT_EQ(ReadOrFail(model, reg::kModelName), 0x51582D34u);       // "QX-4"
  EXPECT_EQ(ReadOrFail(model, reg::kModelName + 12), 0u);           // after "-PCL"
  EXPECT_EQ(ReadOrFail(model, reg::kVendorName + 4), 0x696B0000u);  // "ik\0\0"
  model.PokeText(reg::kUserId, std::string(70, 'Y'));
  EXPECT_EQ(model.PeekText(reg::kUserId), std::string(64, 'Y'));

  EXPECT_TRUE(model.Write(reg::kSerialNumber, 0x41424344, kT0));
  EXPECT_TRUE(model.Write(reg::kSerialNumber + 4, 0x45000000, kT0));
  EXPECT_EQ(model.PeekText(reg::kSerialNumber), "ABCDE");
  // The last user-ID word is read and written back by the tool after saving an ID.
  const uint32_t last = ReadOrFail(model, reg::kUserIdLastWord);
  EXPECT_TRUE(model.Write(reg::kUserIdLastWord, last, kT0));
  for (uint32_t text_reg : {reg::kVendorName, reg::kModelName, reg::kDeviceVersion,
                            reg::kFirmwareVersion, reg::kSensorId, reg::kXmlVersion}) {
    EXPECT_FALSE(model.Write(text_reg, 0x41414141, kT0)) << std::hex << text_reg;
    EXPECT_EQ(model.last_refusal(), Refusal::kReadOnly);
  }
}

// Catches: refusals with the wrong reason (the front end words its error line from it), and
// read-only registers that accept writes.
TEST(SimRefusals, UnknownUnavailableAndReadOnlyRegisters) {
  CameraModel model("QX-4096M-PCL");
  uint32_t value = 0;
  for (uint32_t r : {0x00000000u, 0x01600008u, 0x00000084u, 0xFFFFFFFCu}) {
    EXPECT_FALSE(model.Read(r, value, kT0)) << std::hex << r;
    EXPECT_EQ(model.last_refusal(), Refusal::kUnknownRegister);
  }
  EXPECT_FALSE(model.Write(reg::kFieldCount, 1, kT0));
  EXPECT_EQ(model.last_refusal(), Refusal::kNotOnThisModel);
  for (uint32_t r : {reg::kSensorWidth, reg::kTemperature, reg::kExposureMax, reg::kLinePeriodMin,
                     reg::kSolCount}) {
    const uint32_t before = model.Peek(r);
    EXPECT_FALSE(model.Write(r, 5, kT0)) << std::hex << r;
    EXPECT_EQ(model.last_refusal(), Refusal::kReadOnly);
    EXPECT_EQ(model.Peek(r), before);
  }
}

// Catches: off-by-one range limits; values just outside must be refused and change nothing.
TEST(SimRanges, ParameterLimitsAreInclusive) {
  struct Case {
    const char* model;
    uint32_t reg;
    int32_t lowest;
    int32_t highest;
  };
  const Case cases[] = {
      {"QX-4096M-PCL", reg::kDigitalGain, 25, 4093},
      {"QX-4096M-PCL", reg::kGamma, 10, 700},
      {"QX-4096M-PCL", reg::kBlackLevel, -4095, 4095},
      {"QX-4096M-PCL", reg::kLineTriggerDivider, 0, 7},
      {"QX-4096M-PCL", reg::kLutValue, 0, 4095},
      {"QX-4096M-PCL", reg::kHeight, 1, 1},
      {"QX-4096TR-PCL", reg::kWbRedGain, 0, 65525},
      {"QX-4096TR-PCL", reg::kWbGreenGain, 102, 4096},
      {"QX-8192M-PCL", reg::kLineTriggerDivider, 0, 39},  // the pre divider on wide models
      {"QX-8192M-PCL", reg::kLineTriggerPostDivider, 1, 40},
      {"QX-8192M-PCL", reg::kFfcCalAreaWidth, 16, 16384},
  };
  for (const Case& c : cases) {
    CameraModel model(c.model);
    SCOPED_TRACE(::testing::Message() << c.model << " " << std::hex << c.reg);
    EXPECT_TRUE(model.Write(c.reg, U(c.lowest), kT0));
    EXPECT_TRUE(model.Write(c.reg, U(c.highest), kT0));
    EXPECT_FALSE(model.Write(c.reg, U(c.lowest - 1), kT0));
    EXPECT_EQ(model.last_refusal(), Refusal::kInvalidValue);
    EXPECT_FALSE(model.Write(c.reg, U(c.highest + 1), kT0));
    EXPECT_EQ(model.Peek(c.reg), U(c.highest));
  }
}

// Catches: combo-box item values the camera would not take, or values between items it would.
TEST(SimRanges, ComboRegistersTakeTheirItemValuesOnly) {
  struct Case {
    const char* model;
    uint32_t reg;
    std::vector<uint32_t> accepted;
    std::vector<uint32_t> refused;
  };
  const std::vector<Case> cases = {
      {"QX-4096M-PCL", reg::kLineTriggerSource, {1, 2, 3, 4}, {0, 5}},
      {"QX-4096M-PCL", reg::kClClock, {40, 50, 60, 65, 70, 80, 85}, {45, 90}},
      {"QX-4096M-PCL", reg::kBaudRate, {1, 16, 64}, {0, 2, 9600}},
      {"QX-4096M-PCL", reg::kTestPattern, {0, 1, 2, 3, 5}, {4, 7}},
      {"QX-4096TR-PCL", reg::kTestPattern, {7}, {6}},
      {"QX-4096M-PCL", reg::kTemperatureSelector, {1}, {0}},
      {"QX-4096M-PCL", reg::kFfcSampleFrames, {1024, 2048}, {1}},
      {"QX-8192M-PCL", reg::kLineTriggerMultiplier, {1, 2, 4, 8, 16, 32}, {3, 64}},
      {"QX-4096TR-PCL", reg::kWbCalibMode, {0, 3}, {1}},
      {"QX-4096TR-PCL", reg::kLutSelector, {0, 1, 2}, {3}},
      {"QX-4096M-PCL", reg::kLutSelector, {0}, {1}},
      {"QX-4096M-PCL", reg::kClConfiguration, {0, 2, 3}, {1}},
      {"QX-8192M-PCL", reg::kClConfiguration, {0, 3}, {2}},
      {"QX-4096TR-PCL", reg::kTapGeometry, {1, 2, 3, 10}, {8}},
      {"QX-4096TR-PCL", reg::kPixelFormat, {pixel::kMono8, pixel::kRgb8}, {pixel::kMono10p}},
      {"QX-4096M-PCL", reg::kPixelFormat, {pixel::kMono10p, pixel::kMono12p}, {pixel::kRgb8}},
  };
  for (const Case& c : cases) {
    CameraModel model(c.model);
    SCOPED_TRACE(::testing::Message() << c.model << " " << std::hex << c.reg);
    for (uint32_t v : c.refused) {
      const uint32_t before = model.Peek(c.reg);
      EXPECT_FALSE(model.Write(c.reg, v, kT0)) << v;
      EXPECT_EQ(model.Peek(c.reg), before);
    }
    for (uint32_t v : c.accepted) {
      EXPECT_TRUE(model.Write(c.reg, v, kT0)) << v;
      EXPECT_EQ(model.Peek(c.reg), v);
    }
  }
}

// Catches: actions that run on any value; Peek/Poke that run checks (tests rely on raw access).
TEST(SimRanges, ActionsRunOnOneAndPokeBypassesChecks) {
  CameraModel model;
  ASSERT_TRUE(model.Write(reg::kGamma, 300, kT0));
  EXPECT_FALSE(model.Write(reg::kDeviceReset, 2, kT0));
  EXPECT_EQ(model.Peek(reg::kGamma), 300u);
  EXPECT_TRUE(model.Write(reg::kDeviceReset, 1, kT0));
  EXPECT_EQ(model.Peek(reg::kGamma), 100u);
  // The user-set action registers read as the serial format (8 data bits, no parity).
  EXPECT_EQ(ReadOrFail(model, reg::kUserSetLoad), 8u);

  model.Poke(reg::kDigitalGain, 99999);
  EXPECT_EQ(ReadOrFail(model, reg::kDigitalGain), 99999u);
  model.Poke(reg::kTemperature, 2450);  // pins the measurement
  EXPECT_EQ(ReadOrFail(model, reg::kTemperature), 2450u);
  EXPECT_EQ(ReadOrFail(model, reg::kTemperature), 2450u);
}

}  // namespace
}  // namespace ctrl::sim
