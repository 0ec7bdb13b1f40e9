#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/model_kind.h"
#include "sim/register_map.h"

namespace ctrl::sim {

struct ModelFacts;

// Why the last Read or Write was refused.
enum class Refusal {
  kNone,
  kUnknownRegister,  // no model has this register
  kNotOnThisModel,   // other kinds have it, this one does not
  kReadOnly,         // written but only readable
  kInvalidValue,     // out of range, not an allowed value, or not possible in the current state
  kBusy,             // a calibration is running
};

// The register file of one simulated camera with its behaviour. No I/O: time is passed in as
// microseconds on a monotonic scale, and the model only moves forward with it.
class CameraModel {
 public:
  static constexpr int kLutTables = 3;  // red, green, blue
  static constexpr int kLutEntries = 4096;
  static constexpr int kUserSetAreas = 4;  // factory and three user areas
  // How long the flat-field calibrations keep the camera busy.
  static constexpr int64_t kFpnCalibrationUs = 3'000'000;
  static constexpr int64_t kPrnuCalibrationUs = 4'000'000;
  // How long a one-push white balance takes; the tool looks again after 100 ms.
  static constexpr int64_t kWhiteBalanceUs = 40'000;

  explicit CameraModel(std::string model_name = "QX-4096M-PCL");

  ModelKind kind() const { return kind_; }
  const std::string& model_name() const { return model_name_; }

  // True and the value, or false when the register does not exist on this kind or the camera is
  // busy.
  bool Read(uint32_t reg, uint32_t& value, int64_t now_us);
  // True when accepted: the register then holds `value`, possibly adjusted by behaviour. False
  // when refused (unknown or unavailable register, read-only, out of range, not an allowed value,
  // busy); a refused write changes nothing.
  bool Write(uint32_t reg, uint32_t value, int64_t now_us);
  // As above; `reply_value` is what the camera reports back: the register's new value, or the
  // written value for actions.
  bool Write(uint32_t reg, uint32_t value, int64_t now_us, uint32_t& reply_value);
  Refusal last_refusal() const { return last_refusal_; }

  // Direct access for tests and tools, no checks and no behaviour. Poking a measured register
  // (temperature, voltage, limits, measurements) pins it to the poked value.
  uint32_t Peek(uint32_t reg) const;
  void Poke(uint32_t reg, uint32_t value);
  // Text registers: 16 registers of 4 characters each, first character in the top byte.
  std::string PeekText(uint32_t reg) const;
  void PokeText(uint32_t reg, std::string_view text);
  // Device Version text, e.g. "2.00"; its digits as one number decide the tick length of the
  // wide models and whether they offer Mono12p.
  void SetDeviceVersion(std::string_view text);
  int device_version_number() const;

  // Bits per second of the serial line. Follows the Baud Rate register once the camera has sent
  // the reply to the write (the front end calls ApplyPendingBaudRate then).
  int baud_rate() const { return baud_rate_; }
  bool has_pending_baud_rate() const { return pending_baud_rate_ != 0; }
  void ApplyPendingBaudRate();

  // Until this time a calibration keeps the camera from answering; 0 when idle.
  int64_t busy_until_us() const { return busy_until_us_; }

  // Length of one register tick (line period and exposure) in nanoseconds.
  double tick_ns() const;

  // LUT memory: table 0 red, 1 green, 2 blue; green is the table of the monochrome models.
  uint16_t LutEntry(int table, int index) const;
  void SetLutEntry(int table, int index, uint16_t value);

 private:
  struct ParameterSet {
    std::map<uint32_t, uint32_t> values;
    std::array<std::array<int32_t, 9>, 4> ccm{};  // bank 0 is the fixed default matrix
  };
  const RegisterInfo* Lookup(uint32_t reg);
  uint32_t Get(Role role) const;
  void Set(Role role, uint32_t value);
  uint32_t AddressOf(Role role) const;
  bool Has(Role role) const;

  void Advance(int64_t now_us);
  bool ReadValue(const RegisterInfo& info, uint32_t reg, uint32_t& value);
  bool CheckValue(const RegisterInfo& info, int32_t value) const;
  bool WriteValue(const RegisterInfo& info, uint32_t reg, uint32_t value, int64_t now_us);
  bool RunAction(const RegisterInfo& info, int64_t now_us);

  void LoadPowerOnState();
  ParameterSet CaptureParameters() const;
  void RestoreParameters(const ParameterSet& set);
  void ResetCounters();

  // Timing: everything derived from the current settings.
  int PixelsPerClock() const;
  int64_t LinePeriodMinTicks() const;
  int64_t LinePeriodMaxTicks() const;
  int64_t ExposureMinTicks() const;
  int64_t UsToTicks(double us) const;
  double TicksToUs(int64_t ticks) const;
  double TriggerRateHz() const;  // line triggers after the divider chain
  double LineRateHz() const;
  void KeepTimingConsistent();
  void FitRoi();
  bool ChooseTransmission(Role fixed, uint32_t value);
  int LutTableOfSelector() const;
  int Jitter();

  std::string model_name_;
  ModelKind kind_;
  const ModelFacts* facts_;
  std::map<uint32_t, uint32_t> registers_;  // value registers and identity text words
  std::map<uint32_t, bool> pinned_;         // measured registers fixed by Poke
  std::map<Role, uint32_t> role_address_;   // where each behaviour lives on this kind
  std::array<ParameterSet, kUserSetAreas> flash_areas_;
  std::array<std::array<int32_t, 9>, 4> ccm_{};
  std::array<std::array<uint16_t, kLutEntries>, kLutTables> lut_{};
  std::array<std::array<uint16_t, kLutEntries>, kLutTables> lut_flash_{};
  Refusal last_refusal_ = Refusal::kNone;

  int baud_rate_ = 9600;
  int pending_baud_rate_ = 0;

  bool clock_started_ = false;
  int64_t now_us_ = 0;
  int64_t busy_until_us_ = 0;
  int64_t white_balance_done_us_ = -1;
  int white_balance_runs_ = 0;
  std::array<double, 7> counter_fractions_{};
  uint32_t measurement_reads_ = 0;
};

}  // namespace ctrl::sim
