// Behaviour of the simulated camera that the tool relies on: dependent limits, transmission
// settings that move together, LUT memory, user sets, actions, counters and monitors.
#include <gtest/gtest.h>

#include <set>

#include "sim/camera_model.h"

namespace ctrl::sim {
namespace {

constexpr int64_t kT0 = 1'000'000;
constexpr int64_t kSecond = 1'000'000;

uint32_t U(int32_t value) {
  return static_cast<uint32_t>(value);
}

uint32_t Value(CameraModel& model, uint32_t reg, int64_t now_us = kT0) {
  uint32_t value = 0xDEADBEEF;
  EXPECT_TRUE(model.Read(reg, value, now_us)) << std::hex << reg;
  return value;
}

// Catches: a region of interest that can leave the sensor, or binning that ignores it.
TEST(SimBinning, WidthAndOffsetStayOnTheBinnedSensor) {
  CameraModel model("QX-4096M-PCL");
  EXPECT_FALSE(model.Write(reg::kWidth, 4097, kT0));
  EXPECT_FALSE(model.Write(reg::kWidth, 63, kT0));
  ASSERT_TRUE(model.Write(reg::kOffsetX, 100, kT0));
  EXPECT_EQ(model.Peek(reg::kWidth), 3996u) << "offset shrinks the width to fit";
  EXPECT_FALSE(model.Write(reg::kWidth, 3997, kT0));
  EXPECT_FALSE(model.Write(reg::kOffsetX, 4033, kT0)) << "no room for the minimum width";
  ASSERT_TRUE(model.Write(reg::kOffsetX, 1000, kT0));
  ASSERT_TRUE(model.Write(reg::kWidth, 500, kT0));

  ASSERT_TRUE(model.Write(reg::kBinning, 2, kT0));  // same sensor pixels, half the numbers
  EXPECT_EQ(model.Peek(reg::kOffsetX), 500u);
  EXPECT_EQ(model.Peek(reg::kWidth), 250u);
  EXPECT_TRUE(model.Write(reg::kWidth, 32, kT0)) << "binning halves the minimum width";
  EXPECT_FALSE(model.Write(reg::kWidth, 31, kT0));
  EXPECT_TRUE(model.Write(reg::kOffsetX, 2016, kT0));
  EXPECT_FALSE(model.Write(reg::kOffsetX, 2017, kT0));

  CameraModel wide("QX-8192M-PCL");
  ASSERT_TRUE(wide.Write(reg::kBinning, 2, kT0));
  EXPECT_EQ(wide.Peek(reg::kWidth), 4096u);
}

// Catches: an exposure longer than the line, or limits that differ from what is accepted.
TEST(SimTiming, ExposureFitsInsideTheLinePeriod) {
  CameraModel model("QX-4096M-PCL");
  EXPECT_EQ(Value(model, reg::kExposureMax), 8000u);
  EXPECT_EQ(Value(model, reg::kExposureMin), 80u);  // 1 us at 12.5 ns
  EXPECT_FALSE(model.Write(reg::kExposureTime, 8001, kT0));
  EXPECT_TRUE(model.Write(reg::kExposureTime, 8000, kT0));
  EXPECT_FALSE(model.Write(reg::kExposureTime, 79, kT0));
  ASSERT_TRUE(model.Write(reg::kLinePeriod, 6000, kT0));
  EXPECT_EQ(Value(model, reg::kExposureTime), 6000u) << "a shorter line limits the exposure";

  EXPECT_EQ(Value(model, reg::kLinePeriodMin), 1000u);  // 12.5 us sensor limit
  EXPECT_EQ(Value(model, reg::kLinePeriodMax), 8'000'000u);
  EXPECT_FALSE(model.Write(reg::kLinePeriod, 999, kT0));
  EXPECT_TRUE(model.Write(reg::kLinePeriod, 1000, kT0));
  EXPECT_FALSE(model.Write(reg::kLinePeriod, 8'000'001, kT0));
}

// Catches: a slower read-out that leaves the line period below what the link can carry.
TEST(SimTiming, SlowerTransmissionStretchesTheLine) {
  CameraModel model("QX-4096M-PCL");
  ASSERT_TRUE(model.Write(reg::kLinePeriod, 1000, kT0));
  ASSERT_TRUE(model.Write(reg::kExposureTime, 1000, kT0));
  // 4096 pixels over two taps at 85 MHz plus overhead: 25.09 us, 2008 ticks.
  ASSERT_TRUE(model.Write(reg::kPixelFormat, pixel::kMono12p, kT0));
  EXPECT_EQ(Value(model, reg::kLinePeriodMin), 2008u);
  EXPECT_EQ(Value(model, reg::kLinePeriod), 2008u);
  ASSERT_TRUE(model.Write(reg::kClClock, 40, kT0));
  EXPECT_EQ(Value(model, reg::kLinePeriod), 4176u);  // 52.2 us
  EXPECT_EQ(Value(model, reg::kExposureTime), 1000u);
  ASSERT_TRUE(model.Write(reg::kWidth, 1024, kT0));
  EXPECT_EQ(Value(model, reg::kLinePeriodMin), 1104u);  // 13.8 us
}

// Catches: the wide models' faster tick from version 2.00 on not reaching the limits, and
// Mono12p offered where it does not fit.
TEST(SimTiming, WideModelTickAndPixelFormatsFollowTheDeviceVersion) {
  CameraModel model("QX-8192M-PCL");
  EXPECT_NEAR(model.tick_ns(), 10.41667, 1e-4);
  EXPECT_EQ(Value(model, reg::kLinePeriodMin), 1920u);  // 20 us
  EXPECT_FALSE(model.Write(reg::kPixelFormat, pixel::kMono12p, kT0));
  model.SetDeviceVersion("1.90");
  EXPECT_EQ(model.device_version_number(), 190);
  EXPECT_DOUBLE_EQ(model.tick_ns(), 12.5);
  EXPECT_EQ(Value(model, reg::kLinePeriodMin), 1600u);
  EXPECT_TRUE(model.Write(reg::kPixelFormat, pixel::kMono12p, kT0));
}

struct Transmission {
  uint32_t pixel_format;
  uint32_t cl_configuration;
  uint32_t tap_geometry;
};

void ExpectTransmission(CameraModel& model, Transmission expected) {
  EXPECT_EQ(Value(model, reg::kPixelFormat), expected.pixel_format);
  EXPECT_EQ(Value(model, reg::kClConfiguration), expected.cl_configuration);
  EXPECT_EQ(Value(model, reg::kTapGeometry), expected.tap_geometry);
}

// Catches: pixel format, Camera Link configuration and tap geometry drifting apart (the pages
// re-read the other two after a change).
TEST(SimTransmission, SettingsMoveTogether) {
  CameraModel model("QX-4096M-PCL");
  ExpectTransmission(model, {pixel::kMono8, 2, 8});  // Full, 1X8
  ASSERT_TRUE(model.Write(reg::kPixelFormat, pixel::kMono10p, kT0));
  ExpectTransmission(model, {pixel::kMono10p, 3, 8});  // ten bits need the 80-bit link
  ASSERT_TRUE(model.Write(reg::kTapGeometry, 10, kT0));
  ExpectTransmission(model, {pixel::kMono8, 3, 10});
  ASSERT_TRUE(model.Write(reg::kClConfiguration, 2, kT0));
  ExpectTransmission(model, {pixel::kMono8, 2, 8});
  ASSERT_TRUE(model.Write(reg::kClConfiguration, 0, kT0));
  ExpectTransmission(model, {pixel::kMono8, 0, 3});  // the faster Base geometry

  CameraModel color("QX-4096TR-PCL");
  ExpectTransmission(color, {pixel::kRgb8, 3, 3});
  ASSERT_TRUE(color.Write(reg::kTapGeometry, 1, kT0));
  ExpectTransmission(color, {pixel::kRgb8, 0, 1});
  ASSERT_TRUE(color.Write(reg::kTapGeometry, 10, kT0));
  ExpectTransmission(color, {pixel::kMono8, 3, 10});
}

// Catches: a written setting not surviving the writes that follow it in settings-file order.
TEST(SimTransmission, FileOrderWritesEndInTheWrittenCombination) {
  CameraModel model("QX-4096M-PCL");
  const Transmission targets[] = {{pixel::kMono10p, 0, 2}, {pixel::kMono8, 2, 8},
                                  {pixel::kMono10p, 3, 8}, {pixel::kMono8, 0, 3},
                                  {pixel::kMono12p, 0, 2}, {pixel::kMono8, 3, 10}};
  for (const Transmission& target : targets) {
    ASSERT_TRUE(model.Write(reg::kPixelFormat, target.pixel_format, kT0));
    ASSERT_TRUE(model.Write(reg::kClConfiguration, target.cl_configuration, kT0));
    ASSERT_TRUE(model.Write(reg::kTapGeometry, target.tap_geometry, kT0));
    ExpectTransmission(model, target);
  }
}

// Catches: the value register not addressing table[selector][index], colour selectors mapped
// to the wrong table, and LUT save/load or power-on not copying the flash table.
TEST(SimLut, SelectorIndexValueAndFlashCopies) {
  CameraModel color("QX-4096TR-PCL");
  EXPECT_EQ(color.LutEntry(1, 4095), 4095) << "tables start linear";
  ASSERT_TRUE(color.Write(reg::kLutIndex, 5, kT0));
  const struct {
    uint32_t selector;
    int table;
    uint16_t value;
  } lanes[] = {{0, 1, 100}, {1, 2, 200}, {2, 0, 300}};  // green, blue, red
  for (const auto& lane : lanes) {
    ASSERT_TRUE(color.Write(reg::kLutSelector, lane.selector, kT0));
    ASSERT_TRUE(color.Write(reg::kLutValue, lane.value, kT0));
  }
  for (const auto& lane : lanes) {
    EXPECT_EQ(color.LutEntry(lane.table, 5), lane.value) << "table " << lane.table;
    ASSERT_TRUE(color.Write(reg::kLutSelector, lane.selector, kT0));
    EXPECT_EQ(Value(color, reg::kLutValue), lane.value);
  }

  CameraModel mono("QX-4096M-PCL");
  ASSERT_TRUE(mono.Write(reg::kLutIndex, 7, kT0));
  ASSERT_TRUE(mono.Write(reg::kLutValue, 1234, kT0));
  ASSERT_TRUE(mono.Write(reg::kLutSave, 1, kT0));
  ASSERT_TRUE(mono.Write(reg::kLutValue, 42, kT0));
  ASSERT_TRUE(mono.Write(reg::kLutLoad, 1, kT0));
  EXPECT_EQ(mono.LutEntry(1, 7), 1234);
  ASSERT_TRUE(mono.Write(reg::kLutValue, 42, kT0));
  ASSERT_TRUE(mono.Write(reg::kDeviceReset, 1, kT0));
  EXPECT_EQ(mono.LutEntry(1, 7), 1234) << "power-on loads the saved table";
}

// Catches: user-set store/load that miss parameters, ignore the area, or copy the serial line.
TEST(SimUserSets, StoreAndLoadCopyAllParametersOfTheSelectedArea) {
  CameraModel model("QX-4096M-PCL");
  ASSERT_TRUE(model.Write(reg::kGamma, 300, kT0));
  ASSERT_TRUE(model.Write(reg::kPixelFormat, pixel::kMono10p, kT0));
  ASSERT_TRUE(model.Write(reg::kBaudRate, baud::k115200, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetSelector, 2, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetSave, 1, kT0));

  ASSERT_TRUE(model.Write(reg::kGamma, 400, kT0));
  ASSERT_TRUE(model.Write(reg::kPixelFormat, pixel::kMono8, kT0));
  ASSERT_TRUE(model.Write(reg::kBaudRate, baud::k460800, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetLoad, 1, kT0));
  EXPECT_EQ(model.Peek(reg::kGamma), 300u);
  EXPECT_EQ(model.Peek(reg::kPixelFormat), pixel::kMono10p);
  EXPECT_EQ(model.Peek(reg::kClConfiguration), 3u);
  EXPECT_EQ(model.Peek(reg::kBaudRate), baud::k460800) << "the serial line is not in a set";

  ASSERT_TRUE(model.Write(reg::kUserSetSelector, 0, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetLoad, 1, kT0));
  EXPECT_EQ(model.Peek(reg::kGamma), 100u) << "factory area";
}

// Catches: a device reset that ignores the default user set or forgets the identity.
TEST(SimUserSets, DeviceResetPowersUpWithTheDefaultSet) {
  CameraModel model("QX-4096M-PCL");
  ASSERT_TRUE(model.Write(reg::kGamma, 300, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetSelector, 3, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetSave, 1, kT0));
  ASSERT_TRUE(model.Write(reg::kGamma, 500, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetDefault, 3, kT0));
  ASSERT_TRUE(model.Write(reg::kSerialNumber, 0x534E3100, kT0));  // "SN1"
  ASSERT_TRUE(model.Write(reg::kBaudRate, baud::k115200, kT0));
  model.ApplyPendingBaudRate();

  ASSERT_TRUE(model.Write(reg::kDeviceReset, 1, kT0));
  EXPECT_EQ(model.Peek(reg::kGamma), 300u);
  EXPECT_EQ(model.Peek(reg::kUserSetSelector), 0u);
  EXPECT_EQ(model.PeekText(reg::kSerialNumber), "SN1");
  EXPECT_EQ(model.Peek(reg::kBaudRate), baud::k9600);
  EXPECT_EQ(model.baud_rate(), 115200) << "until the reply has gone out";
  model.ApplyPendingBaudRate();
  EXPECT_EQ(model.baud_rate(), 9600);
}

// Catches: colour matrices that are not kept per selector or not part of a user set.
TEST(SimUserSets, ColourMatricesBelongToTheSelectorAndTheSet) {
  CameraModel model("QX-4096TR-PCL");
  EXPECT_EQ(Value(model, reg::kCcmA11), 1024u) << "default matrix is the identity";
  EXPECT_FALSE(model.Write(reg::kCcmA11, 1000, kT0));
  EXPECT_EQ(model.last_refusal(), Refusal::kReadOnly);
  ASSERT_TRUE(model.Write(reg::kCcmSelector, 1, kT0));
  ASSERT_TRUE(model.Write(reg::kCcmA11 + 4, U(-2000), kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetSelector, 1, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetSave, 1, kT0));
  ASSERT_TRUE(model.Write(reg::kCcmSelector, 2, kT0));
  EXPECT_EQ(Value(model, reg::kCcmA11 + 4), 0u);
  ASSERT_TRUE(model.Write(reg::kCcmA11 + 4, 7, kT0));
  ASSERT_TRUE(model.Write(reg::kUserSetLoad, 1, kT0));
  EXPECT_EQ(Value(model, reg::kCcmSelector), 1u);
  EXPECT_EQ(Value(model, reg::kCcmA11 + 4), U(-2000));
}

// Catches: a calibration that answers at once, or a camera that serves requests meanwhile.
TEST(SimActions, FlatFieldCalibrationsKeepTheCameraBusy) {
  CameraModel model;
  ASSERT_TRUE(model.Write(reg::kFfcCalFpn, 1, kT0));
  EXPECT_EQ(model.busy_until_us(), kT0 + CameraModel::kFpnCalibrationUs);
  uint32_t value = 0;
  EXPECT_FALSE(model.Read(reg::kGamma, value, kT0 + kSecond));
  EXPECT_EQ(model.last_refusal(), Refusal::kBusy);
  EXPECT_TRUE(model.Read(reg::kGamma, value, kT0 + CameraModel::kFpnCalibrationUs));
  EXPECT_LT(CameraModel::kPrnuCalibrationUs, 5 * kSecond) << "the tool waits 5 s for PRNU";
}

// Catches: one-push white balance that never returns to Manual or leaves the gains alone.
TEST(SimActions, WhiteBalanceOnceSettlesGainsAndReturnsToManual) {
  CameraModel model("QX-4096TR-PCL");
  ASSERT_TRUE(model.Write(reg::kWbCalibMode, 2, kT0));
  EXPECT_EQ(Value(model, reg::kWbCalibMode, kT0 + 1000), 2u);
  EXPECT_EQ(Value(model, reg::kWbCalibStatus, kT0 + 1000), 1u);
  const int64_t done = kT0 + 100'000;  // the tool looks again after 100 ms
  EXPECT_EQ(Value(model, reg::kWbCalibMode, done), 0u);
  EXPECT_NE(Value(model, reg::kWbRedGain, done), 1024u);
  EXPECT_NE(Value(model, reg::kWbBlueGain, done), 1024u);
  EXPECT_EQ(Value(model, reg::kWbGreenGain, done), 1024u);

  // Switching the mode off during a calibration cancels it.
  ASSERT_TRUE(model.Write(reg::kWbRedGain, 1000, done));
  ASSERT_TRUE(model.Write(reg::kWbCalibMode, 2, done));
  ASSERT_TRUE(model.Write(reg::kWbCalibMode, 3, done + 1000));
  EXPECT_EQ(Value(model, reg::kWbRedGain, done + kSecond), 1000u);
}

// Catches: black level left negative when background subtraction is switched on.
TEST(SimActions, BackgroundModeAllowsNoNegativeBlackLevel) {
  CameraModel model("QX-4096M-PCL");
  ASSERT_TRUE(model.Write(reg::kBlackLevel, U(-100), kT0));
  ASSERT_TRUE(model.Write(reg::kBlackLevelMode, 1, kT0));
  EXPECT_EQ(model.Peek(reg::kBlackLevel), 0u);
  EXPECT_FALSE(model.Write(reg::kBlackLevel, U(-1), kT0));
  ASSERT_TRUE(model.Write(reg::kBlackLevelMode, 0, kT0));
  EXPECT_TRUE(model.Write(reg::kBlackLevel, U(-4095), kT0));
}

// Catches: counters that do not move with time, do not wrap at 32 bits or do not start near
// the wrap; trigger counters that ignore mode and divider; clears that miss their counter.
TEST(SimCounters, AdvanceWithTimeWrapAndFollowTheTrigger) {
  CameraModel model("QX-4096M-PCL");
  const uint32_t sol0 = Value(model, reg::kSolCount, kT0);
  const uint32_t input0 = Value(model, reg::kInputTriggerCountMonoColor, kT0);
  const uint32_t count0 = Value(model, reg::kTriggerCountMonoColor, kT0);
  EXPECT_GT(sol0, 0xFFF00000u) << "starts close to the wrap-around";
  const int64_t t1 = kT0 + 10 * kSecond;
  const uint32_t sol1 = Value(model, reg::kSolCount, t1);
  EXPECT_EQ(sol1 - sol0, 100000u) << "10 kHz for 10 s";
  EXPECT_LT(sol1, sol0) << "wrapped";
  EXPECT_EQ(Value(model, reg::kInputTriggerCountMonoColor, t1) - input0, 50000u);
  EXPECT_EQ(Value(model, reg::kTriggerCountMonoColor, t1), count0) << "free-running";

  ASSERT_TRUE(model.Write(reg::kLineTriggerMode, 1, t1));
  ASSERT_TRUE(model.Write(reg::kLineTriggerDivider, 1, t1));  // divide by 2: 2500 Hz
  const int64_t t2 = t1 + 2 * kSecond;
  EXPECT_EQ(Value(model, reg::kTriggerCountMonoColor, t2) - count0, 5000u);
  EXPECT_EQ(Value(model, reg::kSolCount, t2) - sol1, 5000u);
  EXPECT_NEAR(static_cast<double>(Value(model, reg::kMeasuredLinePeriod, t2)), 32000.0, 1.0);
  ASSERT_TRUE(model.Write(reg::kTriggerCountClear, 1, t2));
  EXPECT_EQ(Value(model, reg::kTriggerCountMonoColor, t2), 0u);
}

// Catches: wide models not swapping the trigger counters, and drops not counted when the
// trigger outruns the sensor.
TEST(SimCounters, WideModelSwapsTriggerCountersAndCountsDrops) {
  CameraModel model("QX-8192M-PCL");
  ASSERT_TRUE(model.Write(reg::kLineTriggerMode, 1, kT0));
  ASSERT_TRUE(model.Write(reg::kLineTriggerMultiplier, 32, kT0));  // 160 kHz > 50 kHz
  ASSERT_TRUE(model.Write(reg::kTriggerCountClear, 1, kT0));
  ASSERT_TRUE(model.Write(reg::kTriggerDroppedClear, 1, kT0));
  const int64_t t1 = kT0 + kSecond / 10;
  EXPECT_NEAR(static_cast<double>(Value(model, reg::kInputTriggerCountMonoColor, t1)), 5000.0, 1.0)
      << "the trigger count lives at the other address";
  EXPECT_NEAR(static_cast<double>(Value(model, reg::kTriggerDropped, t1)), 11000.0, 1.0);
}

// Catches: measurements that contradict the settings, and monitors that are constant or leave
// a plausible band.
TEST(SimMonitors, MeasurementsFollowSettingsAndMonitorsVarySlightly) {
  CameraModel model("QX-4096M-PCL");
  EXPECT_EQ(Value(model, reg::kMeasuredLinePeriod), 8000u);
  ASSERT_TRUE(model.Write(reg::kExposureTime, 1234, kT0));
  EXPECT_EQ(Value(model, reg::kMeasuredExposure), 1234u);
  ASSERT_TRUE(model.Write(reg::kLineTriggerMode, 1, kT0));
  ASSERT_TRUE(model.Write(reg::kExposureMode, 0, kT0));  // trigger width: 50 us pulses
  EXPECT_EQ(Value(model, reg::kMeasuredExposure), 4000u);

  std::set<uint32_t> temperatures;
  std::set<uint32_t> voltages;
  for (int i = 0; i < 40; ++i) {
    const int64_t t = kT0 + i * 3 * kSecond;
    const uint32_t temperature = Value(model, reg::kTemperature, t);
    const uint32_t voltage = Value(model, reg::kVoltage, t);
    EXPECT_TRUE(temperature >= 2440 && temperature <= 2460) << temperature;  // 44 .. 46 C
    EXPECT_TRUE(voltage >= 995 && voltage <= 1005) << voltage;
    temperatures.insert(temperature);
    voltages.insert(voltage);
  }
  EXPECT_GT(temperatures.size(), 3u);
  EXPECT_GT(voltages.size(), 2u);
}

}  // namespace
}  // namespace ctrl::sim
