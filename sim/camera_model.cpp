#include "sim/camera_model.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace ctrl::sim {

// What sets the nine models apart besides their kind.
struct ModelFacts {
  const char* name;
  ModelKind kind;
  int sensor_width;
  double sensor_min_line_us;  // fastest line the sensor can read out
  const char* sensor_id;
  const char* firmware;
  const char* fpga;
  const char* serial;
};

namespace {

// The R72 variants read out at 72 kHz; the VR5300 family uses other sensors.
const ModelFacts kModels[] = {
    {"QX-4096M-PCL", ModelKind::Mono, 4096, 12.5, "LS4K7-M", "1.4.2", "FP4M-2.13", "4M21030117"},
    {"QX-4096TR-PCL", ModelKind::Color, 4096, 15.4, "LS4K7-TR", "1.4.2", "FP4C-2.13", "4C21030342"},
    {"QX-8192M-PCL", ModelKind::WideMono, 8192, 20.0, "LS8K5-M", "1.5.0", "FP8M-3.02",
     "8M21040025"},
    {"QX-4096M-PCL-R72", ModelKind::Mono, 4096, 13.9, "LS4K7-M", "1.4.2-R72", "FP4M-2.13R",
     "4M72030051"},
    {"QX-4096TR-PCL-R72", ModelKind::Color, 4096, 13.9, "LS4K7-TR", "1.4.2-R72", "FP4C-2.13R",
     "4C72030008"},
    {"QX-8192M-PCL-R72", ModelKind::WideMono, 8192, 13.9, "LS8K5-M", "1.5.0-R72", "FP8M-3.02R",
     "8M72040013"},
    {"VR5300-KQ08-210M-07", ModelKind::Mono, 4096, 4.76, "KQ08-210M", "2.1.0", "VR5-K08M-1.07",
     "VR08M00721"},
    {"VR5300-KQ08-630C-07", ModelKind::Color, 4096, 15.9, "KQ08-630C", "2.1.0", "VR5-K08C-1.07",
     "VR08C00388"},
    {"VR5300-KQ16-520M-07", ModelKind::WideMono, 8192, 19.2, "KQ16-520M", "2.1.0", "VR5-K16M-1.07",
     "VR16M00164"},
};

constexpr const char* kVendor = "Ornvik";
constexpr const char* kXmlVersion = "1.2.0";
constexpr const char* kDefaultDeviceVersion = "2.00";

// Simulated trigger source: an encoder on the Camera Link control lines.
constexpr double kInputTriggerHz = 5000.0;
constexpr double kTriggerPulseUs = 50.0;
constexpr double kReadoutOverheadUs = 1.0;
constexpr double kLinePeriodMaxUs = 100000.0;
constexpr double kExposureMinUs = 1.0;

// Counters start a little before their 32-bit wrap-around so that readers meet it early.
constexpr uint32_t kCounterStart[] = {
    0xFFFFFFF0u,  // trigger dropped
    0xFFFFE000u,  // trigger count
    0xFFFFD000u,  // input trigger count
    0xFFFF8000u,  // SOL
    0xFFFF8000u,  // EOL
    0xFFFF7000u,  // axidgtvalid
    0xFFFF6000u,  // cameratvalid
};
constexpr Role kCounterRoles[] = {Role::kTriggerDroppedCount,
                                  Role::kTriggerCount,
                                  Role::kInputTriggerCount,
                                  Role::kSolCount,
                                  Role::kEolCount,
                                  Role::kAxiValidCount,
                                  Role::kCameraValidCount};

struct Transmission {
  uint32_t pixel_format;
  uint32_t cl_configuration;
  uint32_t tap_geometry;
};

// Pixel format, Camera Link configuration and tap geometry that fit together, fastest first.
constexpr Transmission kMonoTransmissions[] = {
    {pixel::kMono8, 2, 8},   {pixel::kMono8, 3, 10},  {pixel::kMono8, 3, 8},
    {pixel::kMono8, 0, 3},   {pixel::kMono8, 0, 2},   {pixel::kMono10p, 3, 8},
    {pixel::kMono10p, 0, 2}, {pixel::kMono12p, 0, 2},
};
constexpr Transmission kColorTransmissions[] = {
    {pixel::kRgb8, 3, 3},  {pixel::kRgb8, 0, 1},  {pixel::kMono8, 3, 10},
    {pixel::kMono8, 0, 3}, {pixel::kMono8, 0, 2},
};
constexpr Transmission kWideTransmissions[] = {
    {pixel::kMono8, 3, 10},  {pixel::kMono8, 3, 8},   {pixel::kMono8, 0, 3},
    {pixel::kMono8, 0, 2},   {pixel::kMono10p, 3, 8}, {pixel::kMono10p, 0, 2},
    {pixel::kMono12p, 0, 2},
};

int BaudOfCode(uint32_t code) {
  switch (code) {
    case baud::k115200:
      return 115200;
    case baud::k460800:
      return 460800;
    default:
      return 9600;
  }
}

bool IsMeasured(Role role) {
  switch (role) {
    case Role::kTemperature:
    case Role::kVoltage:
    case Role::kMeasuredExposure:
    case Role::kExposureMin:
    case Role::kExposureMax:
    case Role::kLinePeriodMin:
    case Role::kLinePeriodMax:
    case Role::kMeasuredLinePeriod:
    case Role::kMeasuredTriggerPeriod:
    case Role::kWbCalibStatus:
      return true;
    default:
      return false;
  }
}

}  // namespace

const std::vector<std::string>& ModelNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> result;
    for (const auto& facts : kModels) result.emplace_back(facts.name);
    return result;
  }();
  return names;
}

std::optional<ModelKind> KindOfModel(std::string_view name) {
  for (const auto& facts : kModels) {
    if (name == facts.name) return facts.kind;
  }
  return std::nullopt;
}

CameraModel::CameraModel(std::string model_name) : model_name_(std::move(model_name)) {
  // An unknown name still makes a camera (of the first model) that reports that name, so the
  // tool's handling of unsupported models can be exercised.
  facts_ = &kModels[0];
  for (const auto& facts : kModels) {
    if (model_name_ == facts.name) facts_ = &facts;
  }
  kind_ = KindOfModel(model_name_).value_or(facts_->kind);

  for (const RegisterInfo& info : RegisterTable()) {
    if (!(info.kinds & KindBit(kind_))) continue;
    registers_[info.address] = static_cast<uint32_t>(info.default_value);
    role_address_.emplace(info.role, info.address);
  }
  Set(Role::kSensorWidth, static_cast<uint32_t>(facts_->sensor_width));
  Set(Role::kWidth, static_cast<uint32_t>(facts_->sensor_width));
  for (int bank = 0; bank < 4; ++bank) ccm_[bank] = {1024, 0, 0, 0, 1024, 0, 0, 0, 1024};

  PokeText(reg::kVendorName, kVendor);
  PokeText(reg::kModelName, model_name_);
  PokeText(reg::kDeviceVersion, kDefaultDeviceVersion);
  PokeText(reg::kSerialNumber, facts_->serial);
  PokeText(reg::kUserId, "");
  PokeText(reg::kSensorId, facts_->sensor_id);
  PokeText(reg::kFirmwareVersion, facts_->firmware);
  PokeText(reg::kFpgaVersion, facts_->fpga);
  PokeText(reg::kXmlVersion, kXmlVersion);

  for (int table = 0; table < kLutTables; ++table) {
    for (int i = 0; i < kLutEntries; ++i) lut_flash_[table][i] = static_cast<uint16_t>(i);
  }
  KeepTimingConsistent();
  const ParameterSet factory = CaptureParameters();
  flash_areas_.fill(factory);
  LoadPowerOnState();
}

// ---------------------------------------------------------------------------------------------
// Register access

bool CameraModel::Has(Role role) const {
  return role_address_.count(role) != 0;
}

uint32_t CameraModel::AddressOf(Role role) const {
  auto it = role_address_.find(role);
  return it == role_address_.end() ? 0 : it->second;
}

uint32_t CameraModel::Get(Role role) const {
  auto it = registers_.find(AddressOf(role));
  return it == registers_.end() ? 0 : it->second;
}

void CameraModel::Set(Role role, uint32_t value) {
  if (Has(role)) registers_[AddressOf(role)] = value;
}

const RegisterInfo* CameraModel::Lookup(uint32_t reg) {
  bool elsewhere = false;
  const RegisterInfo* info = FindRegister(reg, kind_, &elsewhere);
  if (!info) last_refusal_ = elsewhere ? Refusal::kNotOnThisModel : Refusal::kUnknownRegister;
  return info;
}

bool CameraModel::Read(uint32_t reg, uint32_t& value, int64_t now_us) {
  last_refusal_ = Refusal::kNone;
  Advance(now_us);
  if (now_us_ < busy_until_us_) {
    last_refusal_ = Refusal::kBusy;
    return false;
  }
  if (FindTextField(reg)) {
    value = registers_[reg];
    return true;
  }
  const RegisterInfo* info = Lookup(reg);
  if (!info) return false;
  return ReadValue(*info, reg, value);
}

bool CameraModel::Write(uint32_t reg, uint32_t value, int64_t now_us) {
  uint32_t reply_value = 0;
  return Write(reg, value, now_us, reply_value);
}

bool CameraModel::Write(uint32_t reg, uint32_t value, int64_t now_us, uint32_t& reply_value) {
  last_refusal_ = Refusal::kNone;
  Advance(now_us);
  if (now_us_ < busy_until_us_) {
    last_refusal_ = Refusal::kBusy;
    return false;
  }
  if (const TextField* field = FindTextField(reg)) {
    if (!field->writable) {
      last_refusal_ = Refusal::kReadOnly;
      return false;
    }
    registers_[reg] = value;
    reply_value = value;
    return true;
  }
  const RegisterInfo* info = Lookup(reg);
  if (!info) return false;
  switch (info->access) {
    case Access::kReadOnly:
      last_refusal_ = Refusal::kReadOnly;
      return false;
    case Access::kAction:
      if (value != 1 || !RunAction(*info, now_us_)) {
        if (last_refusal_ == Refusal::kNone) last_refusal_ = Refusal::kInvalidValue;
        return false;
      }
      reply_value = value;
      return true;
    case Access::kReadWrite:
      break;
  }
  if (!CheckValue(*info, static_cast<int32_t>(value)) || !WriteValue(*info, reg, value, now_us_)) {
    if (last_refusal_ == Refusal::kNone) last_refusal_ = Refusal::kInvalidValue;
    return false;
  }
  uint32_t now_value = 0;
  ReadValue(*info, reg, now_value);
  reply_value = now_value;
  return true;
}

uint32_t CameraModel::Peek(uint32_t reg) const {
  const RegisterInfo* info = FindRegister(reg, kind_, nullptr);
  if (info && info->role == Role::kLutValue) {
    return lut_[LutTableOfSelector()][Get(Role::kLutIndex) % kLutEntries];
  }
  if (info && info->role == Role::kCcmCoefficient) {
    return static_cast<uint32_t>(ccm_[Get(Role::kCcmSelector) % 4][(reg - reg::kCcmA11) / 4]);
  }
  auto it = registers_.find(reg);
  return it == registers_.end() ? 0 : it->second;
}

void CameraModel::Poke(uint32_t reg, uint32_t value) {
  const RegisterInfo* info = FindRegister(reg, kind_, nullptr);
  if (info && info->role == Role::kLutValue) {
    lut_[LutTableOfSelector()][Get(Role::kLutIndex) % kLutEntries] = static_cast<uint16_t>(value);
    return;
  }
  if (info && info->role == Role::kCcmCoefficient) {
    ccm_[Get(Role::kCcmSelector) % 4][(reg - reg::kCcmA11) / 4] = static_cast<int32_t>(value);
    return;
  }
  if (info && IsMeasured(info->role)) pinned_[reg] = true;
  registers_[reg] = value;
}

std::string CameraModel::PeekText(uint32_t reg) const {
  std::string text;
  for (int i = 0; i < kTextRegisters; ++i) {
    auto it = registers_.find(reg + 4u * static_cast<uint32_t>(i));
    const uint32_t word = it == registers_.end() ? 0 : it->second;
    for (int shift = 24; shift >= 0; shift -= 8) {
      const char c = static_cast<char>((word >> shift) & 0xFF);
      if (c == '\0') return text;
      text.push_back(c);
    }
  }
  return text;
}

void CameraModel::PokeText(uint32_t reg, std::string_view text) {
  for (int i = 0; i < kTextRegisters; ++i) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      const size_t pos = static_cast<size_t>(i) * 4 + static_cast<size_t>(b);
      const uint8_t c = pos < text.size() ? static_cast<uint8_t>(text[pos]) : 0;
      word = (word << 8) | c;
    }
    registers_[reg + 4u * static_cast<uint32_t>(i)] = word;
  }
}

void CameraModel::SetDeviceVersion(std::string_view text) {
  PokeText(reg::kDeviceVersion, text);
  KeepTimingConsistent();
}

int CameraModel::device_version_number() const {
  int number = 0;
  for (char c : PeekText(reg::kDeviceVersion)) {
    if (c >= '0' && c <= '9' && number < 100000000) number = number * 10 + (c - '0');
  }
  return number;
}

void CameraModel::ApplyPendingBaudRate() {
  if (pending_baud_rate_ != 0) baud_rate_ = pending_baud_rate_;
  pending_baud_rate_ = 0;
}

uint16_t CameraModel::LutEntry(int table, int index) const {
  if (table < 0 || table >= kLutTables || index < 0 || index >= kLutEntries) return 0;
  return lut_[table][index];
}

void CameraModel::SetLutEntry(int table, int index, uint16_t value) {
  if (table < 0 || table >= kLutTables || index < 0 || index >= kLutEntries) return;
  lut_[table][index] = value;
}

// ---------------------------------------------------------------------------------------------
// Values and behaviour

bool CameraModel::CheckValue(const RegisterInfo& info, int32_t value) const {
  if (!info.allowed.empty()) {
    if (std::find(info.allowed.begin(), info.allowed.end(), value) == info.allowed.end()) {
      return false;
    }
  } else if (value < info.min || value > info.max) {
    return false;
  }
  // Newer wide cameras run a faster pixel clock that leaves no room for 12-bit pixels.
  if (info.role == Role::kPixelFormat && kind_ == ModelKind::WideMono &&
      static_cast<uint32_t>(value) == pixel::kMono12p && device_version_number() >= 200) {
    return false;
  }
  return true;
}

bool CameraModel::ReadValue(const RegisterInfo& info, uint32_t reg, uint32_t& value) {
  if (IsMeasured(info.role) && pinned_.count(reg)) {
    value = registers_[reg];
    return true;
  }
  const double t_s = static_cast<double>(now_us_) / 1e6;
  const bool triggered = Get(Role::kLineTriggerMode) == 1;
  switch (info.role) {
    case Role::kTemperature: {
      const double tenths = 450.0 + 3.0 * std::sin(2 * std::numbers::pi * t_s / 47.0);
      value = static_cast<uint32_t>(2000 + std::lround(tenths) + Jitter());
      break;
    }
    case Role::kVoltage: {
      const double mv = 1000.0 + 2.0 * std::sin(2 * std::numbers::pi * t_s / 13.0);
      value = static_cast<uint32_t>(std::lround(mv) + Jitter());
      break;
    }
    case Role::kExposureMin:
      value = static_cast<uint32_t>(ExposureMinTicks());
      break;
    case Role::kExposureMax:
      value = Get(Role::kLinePeriod);
      break;
    case Role::kLinePeriodMin:
      value = static_cast<uint32_t>(LinePeriodMinTicks());
      break;
    case Role::kLinePeriodMax:
      value = static_cast<uint32_t>(LinePeriodMaxTicks());
      break;
    case Role::kMeasuredLinePeriod:
      value = triggered ? static_cast<uint32_t>(UsToTicks(1e6 / LineRateHz()) + Jitter())
                        : Get(Role::kLinePeriod);
      break;
    case Role::kMeasuredTriggerPeriod:
      value = static_cast<uint32_t>(UsToTicks(1e6 / kInputTriggerHz) + Jitter());
      break;
    case Role::kMeasuredExposure:
      // In trigger-width mode the exposure follows the trigger pulse.
      if (triggered && Get(Role::kExposureMode) == 0) {
        value = static_cast<uint32_t>(
            std::min<int64_t>(UsToTicks(kTriggerPulseUs), UsToTicks(1e6 / LineRateHz())));
      } else {
        value = Get(Role::kExposureTime);
      }
      break;
    case Role::kWbCalibStatus:
      value = white_balance_done_us_ >= 0 ? 1 : 0;
      break;
    case Role::kLutValue:
      value = lut_[LutTableOfSelector()][Get(Role::kLutIndex) % kLutEntries];
      return true;
    case Role::kCcmCoefficient:
      value = static_cast<uint32_t>(ccm_[Get(Role::kCcmSelector) % 4][(reg - reg::kCcmA11) / 4]);
      return true;
    default:
      value = registers_[reg];
      return true;
  }
  registers_[reg] = value;  // Peek shows the last measurement
  return true;
}

bool CameraModel::WriteValue(const RegisterInfo& info, uint32_t reg, uint32_t value,
                             int64_t now_us) {
  const auto signed_value = static_cast<int32_t>(value);
  const uint32_t binning = std::max<uint32_t>(1, Get(Role::kBinning));
  const uint32_t effective_width = Get(Role::kSensorWidth) / binning;
  const uint32_t min_width = 64 / binning;
  switch (info.role) {
    case Role::kBinning: {
      // The region keeps covering the same sensor pixels.
      const uint32_t offset = Get(Role::kOffsetX) * binning / value;
      const uint32_t width = Get(Role::kWidth) * binning / value;
      registers_[reg] = value;
      Set(Role::kOffsetX, offset);
      Set(Role::kWidth, width);
      FitRoi();
      KeepTimingConsistent();
      return true;
    }
    case Role::kOffsetX:
      if (value + min_width > effective_width) return false;
      registers_[reg] = value;
      if (Get(Role::kWidth) + value > effective_width) Set(Role::kWidth, effective_width - value);
      KeepTimingConsistent();
      return true;
    case Role::kWidth:
      if (value < min_width || value + Get(Role::kOffsetX) > effective_width) return false;
      registers_[reg] = value;
      KeepTimingConsistent();
      return true;
    case Role::kPixelFormat:
    case Role::kClConfiguration:
    case Role::kTapGeometry:
      if (!ChooseTransmission(info.role, value)) return false;
      KeepTimingConsistent();
      return true;
    case Role::kClClock:
      registers_[reg] = value;
      KeepTimingConsistent();
      return true;
    case Role::kExposureTime:
      if (signed_value < ExposureMinTicks() || value > Get(Role::kLinePeriod)) return false;
      registers_[reg] = value;
      return true;
    case Role::kLinePeriod:
      if (signed_value < LinePeriodMinTicks() || signed_value > LinePeriodMaxTicks()) return false;
      registers_[reg] = value;
      KeepTimingConsistent();
      return true;
    case Role::kBlackLevelMode:
      registers_[reg] = value;
      if (value == 1 && static_cast<int32_t>(Get(Role::kBlackLevel)) < 0) Set(Role::kBlackLevel, 0);
      return true;
    case Role::kBlackLevel:
      // Background subtraction leaves no room for a negative offset.
      if (Get(Role::kBlackLevelMode) == 1 && signed_value < 0) return false;
      registers_[reg] = value;
      return true;
    case Role::kWbCalibMode:
      registers_[reg] = value;
      white_balance_done_us_ = value == 2 ? now_us + kWhiteBalanceUs : -1;
      return true;
    case Role::kCcmCoefficient: {
      const uint32_t bank = Get(Role::kCcmSelector) % 4;
      if (bank == 0) {
        last_refusal_ = Refusal::kReadOnly;  // the default matrix is fixed
        return false;
      }
      ccm_[bank][(reg - reg::kCcmA11) / 4] = signed_value;
      return true;
    }
    case Role::kLutValue:
      lut_[LutTableOfSelector()][Get(Role::kLutIndex) % kLutEntries] = static_cast<uint16_t>(value);
      return true;
    case Role::kBaudRate:
      registers_[reg] = value;
      pending_baud_rate_ = BaudOfCode(value) == baud_rate_ ? 0 : BaudOfCode(value);
      return true;
    default:
      registers_[reg] = value;
      return true;
  }
}

bool CameraModel::RunAction(const RegisterInfo& info, int64_t now_us) {
  switch (info.role) {
    case Role::kDeviceReset:
      LoadPowerOnState();
      return true;
    case Role::kFfcCalFpn:
      busy_until_us_ = now_us + kFpnCalibrationUs;
      return true;
    case Role::kFfcCalPrnu:
      busy_until_us_ = now_us + kPrnuCalibrationUs;
      return true;
    case Role::kTriggerDroppedClear:
      Set(Role::kTriggerDroppedCount, 0);
      counter_fractions_[0] = 0;
      return true;
    case Role::kTriggerCountClear:
      Set(Role::kTriggerCount, 0);
      counter_fractions_[1] = 0;
      return true;
    case Role::kLutSave:
      lut_flash_ = lut_;
      return true;
    case Role::kLutLoad:
      lut_ = lut_flash_;
      return true;
    case Role::kUserSetLoad:
      RestoreParameters(flash_areas_[Get(Role::kUserSetSelector) % kUserSetAreas]);
      return true;
    case Role::kUserSetSave:
      flash_areas_[Get(Role::kUserSetSelector) % kUserSetAreas] = CaptureParameters();
      return true;
    default:  // refresh device state, LVDS training, field reset, FFC user set load
      return true;
  }
}

CameraModel::ParameterSet CameraModel::CaptureParameters() const {
  ParameterSet set;
  for (const RegisterInfo& info : RegisterTable()) {
    if (!(info.kinds & KindBit(kind_)) || !info.in_user_set || info.access != Access::kReadWrite ||
        info.role == Role::kCcmCoefficient) {
      continue;
    }
    auto it = registers_.find(info.address);
    set.values[info.address] = it == registers_.end() ? 0 : it->second;
  }
  set.ccm = ccm_;
  return set;
}

void CameraModel::RestoreParameters(const ParameterSet& set) {
  for (const auto& [address, value] : set.values) registers_[address] = value;
  ccm_ = set.ccm;
  FitRoi();
  KeepTimingConsistent();
}

void CameraModel::LoadPowerOnState() {
  RestoreParameters(flash_areas_[Get(Role::kUserSetDefault) % kUserSetAreas]);
  for (const RegisterInfo& info : RegisterTable()) {
    if (!(info.kinds & KindBit(kind_))) continue;
    switch (info.role) {
      case Role::kUserSetSelector:
      case Role::kLutIndex:
      case Role::kBaudRate:
        registers_[info.address] = static_cast<uint32_t>(info.default_value);
        break;
      case Role::kPlain:
        if (!info.in_user_set && info.access == Access::kReadWrite) {
          registers_[info.address] = static_cast<uint32_t>(info.default_value);
        }
        break;
      default:
        break;
    }
  }
  pending_baud_rate_ = baud_rate_ == 9600 ? 0 : 9600;
  lut_ = lut_flash_;
  white_balance_done_us_ = -1;
  busy_until_us_ = 0;
  ResetCounters();
}

void CameraModel::ResetCounters() {
  for (size_t i = 0; i < std::size(kCounterRoles); ++i) {
    Set(kCounterRoles[i], kCounterStart[i]);
    counter_fractions_[i] = 0;
  }
}

void CameraModel::Advance(int64_t now_us) {
  if (!clock_started_) {
    clock_started_ = true;
    now_us_ = now_us;
  }
  if (now_us > now_us_) {
    const double seconds = static_cast<double>(now_us - now_us_) / 1e6;
    const bool triggered = Get(Role::kLineTriggerMode) == 1;
    const double line_hz = LineRateHz();
    const double line_max_hz = 1e6 / TicksToUs(LinePeriodMinTicks());
    const double trigger_hz = TriggerRateHz();
    const double rates[] = {
        triggered ? std::max(0.0, trigger_hz - line_max_hz) : 0.0,  // dropped
        triggered ? std::min(trigger_hz, line_max_hz) : 0.0,        // accepted
        kInputTriggerHz,
        line_hz,
        line_hz,
        line_hz,
        line_hz,
    };
    for (size_t i = 0; i < std::size(kCounterRoles); ++i) {
      const double total = rates[i] * seconds + counter_fractions_[i];
      const double whole = std::floor(total);
      counter_fractions_[i] = total - whole;
      const auto step =
          static_cast<uint32_t>(static_cast<uint64_t>(std::fmod(whole, 4294967296.0)));
      Set(kCounterRoles[i], Get(kCounterRoles[i]) + step);
    }
    now_us_ = now_us;
  }

  // A one-push white balance that has finished settles its gains and returns to Manual.
  if (white_balance_done_us_ >= 0 && now_us_ >= white_balance_done_us_) {
    ++white_balance_runs_;
    Set(Role::kWbRedGain, static_cast<uint32_t>(1180 + (white_balance_runs_ * 7) % 40));
    Set(Role::kWbBlueGain, static_cast<uint32_t>(1330 + (white_balance_runs_ * 11) % 50));
    Set(Role::kWbGreenGain, 1024);
    Set(Role::kWbCalibMode, 0);
    white_balance_done_us_ = -1;
  }
}

// ---------------------------------------------------------------------------------------------
// Timing

double CameraModel::tick_ns() const {
  // Wide cameras from device version 2.00 on run their timing from a 96 MHz clock.
  if (kind_ == ModelKind::WideMono && device_version_number() >= 200) return 1000.0 / 96.0;
  return 12.5;
}

int64_t CameraModel::UsToTicks(double us) const {
  return std::llround(us * 1000.0 / tick_ns());
}

double CameraModel::TicksToUs(int64_t ticks) const {
  return static_cast<double>(ticks) * tick_ns() / 1000.0;
}

int CameraModel::PixelsPerClock() const {
  return static_cast<int>(std::max<uint32_t>(1, Get(Role::kTapGeometry)));
}

int64_t CameraModel::LinePeriodMinTicks() const {
  const double clock_mhz = std::max<uint32_t>(1, Get(Role::kClClock));
  const double readout_us =
      static_cast<double>(Get(Role::kWidth)) / PixelsPerClock() / clock_mhz + kReadoutOverheadUs;
  const double min_us = std::max(facts_->sensor_min_line_us, readout_us);
  return static_cast<int64_t>(std::ceil(min_us * 1000.0 / tick_ns() - 1e-9));
}

int64_t CameraModel::LinePeriodMaxTicks() const {
  return UsToTicks(kLinePeriodMaxUs);
}

int64_t CameraModel::ExposureMinTicks() const {
  return UsToTicks(kExposureMinUs);
}

double CameraModel::TriggerRateHz() const {
  double divisor = 1.0 + Get(Role::kLineTriggerDivider);
  double multiplier = 1.0;
  if (kind_ == ModelKind::WideMono) {
    multiplier = std::max<uint32_t>(1, Get(Role::kLineTriggerMultiplier));
    divisor *= std::max<uint32_t>(1, Get(Role::kLineTriggerPostDivider));
  }
  return kInputTriggerHz * multiplier / divisor;
}

double CameraModel::LineRateHz() const {
  const double max_hz = 1e6 / TicksToUs(LinePeriodMinTicks());
  if (Get(Role::kLineTriggerMode) == 1) return std::min(TriggerRateHz(), max_hz);
  return 1e6 / TicksToUs(std::max<uint32_t>(1, Get(Role::kLinePeriod)));
}

void CameraModel::FitRoi() {
  const uint32_t binning = std::max<uint32_t>(1, Get(Role::kBinning));
  const uint32_t effective_width = Get(Role::kSensorWidth) / binning;
  const uint32_t min_width = 64 / binning;
  const uint32_t offset = std::min(Get(Role::kOffsetX), effective_width - min_width);
  const uint32_t width = std::clamp(Get(Role::kWidth), min_width, effective_width - offset);
  Set(Role::kOffsetX, offset);
  Set(Role::kWidth, width);
}

void CameraModel::KeepTimingConsistent() {
  // A slower read-out stretches the line; the exposure always fits inside the line.
  const int64_t line =
      std::clamp<int64_t>(Get(Role::kLinePeriod), LinePeriodMinTicks(), LinePeriodMaxTicks());
  Set(Role::kLinePeriod, static_cast<uint32_t>(line));
  const int64_t exposure = std::clamp<int64_t>(Get(Role::kExposureTime), ExposureMinTicks(), line);
  Set(Role::kExposureTime, static_cast<uint32_t>(exposure));
}

bool CameraModel::ChooseTransmission(Role fixed, uint32_t value) {
  std::span<const Transmission> choices = kMonoTransmissions;
  if (kind_ == ModelKind::Color) choices = kColorTransmissions;
  if (kind_ == ModelKind::WideMono) choices = kWideTransmissions;
  const Transmission current{Get(Role::kPixelFormat), Get(Role::kClConfiguration),
                             Get(Role::kTapGeometry)};
  const bool mono12p_allowed = kind_ != ModelKind::WideMono || device_version_number() < 200;

  // Of the combinations with the written value, keep as much of the present setting as possible.
  const Transmission* best = nullptr;
  int best_kept = -1;
  for (const Transmission& choice : choices) {
    if (choice.pixel_format == pixel::kMono12p && !mono12p_allowed) continue;
    const uint32_t field = fixed == Role::kPixelFormat       ? choice.pixel_format
                           : fixed == Role::kClConfiguration ? choice.cl_configuration
                                                             : choice.tap_geometry;
    if (field != value) continue;
    const int kept = (choice.pixel_format == current.pixel_format) +
                     (choice.cl_configuration == current.cl_configuration) +
                     (choice.tap_geometry == current.tap_geometry);
    if (kept > best_kept) {
      best = &choice;
      best_kept = kept;
    }
  }
  if (!best) return false;
  Set(Role::kPixelFormat, best->pixel_format);
  Set(Role::kClConfiguration, best->cl_configuration);
  Set(Role::kTapGeometry, best->tap_geometry);
  return true;
}

int CameraModel::LutTableOfSelector() const {
  // Selector 0 is green (the monochrome table), 1 blue, 2 red.
  switch (Get(Role::kLutSelector)) {
    case 1:
      return 2;
    case 2:
      return 0;
    default:
      return 1;
  }
}

int CameraModel::Jitter() {
  return static_cast<int>(measurement_reads_++ % 3) - 1;
}

}  // namespace ctrl::sim
