#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ctrl {

enum class ModelKind : int { Mono = 0, Color = 1, WideMono = 2, Unsupported = 9 };

// The supported model names in the order the model check compares them.
inline constexpr std::array<std::string_view, 9> kSupportedModelNames = {
    "QX-4096M-PCL",        "QX-4096TR-PCL",       "QX-8192M-PCL",
    "QX-4096M-PCL-R72",    "QX-4096TR-PCL-R72",   "QX-8192M-PCL-R72",
    "VR5300-KQ08-210M-07", "VR5300-KQ08-630C-07", "VR5300-KQ16-520M-07"};

// Exact, case-sensitive classification; Unsupported for any other name.
ModelKind KindOfModelName(std::string_view name);

// The decimal digits of a version text taken in order as one number ("2.00" gives 200).
// Saturates at the largest 32-bit value instead of overflowing.
int32_t DeviceVersionNumber(std::string_view version_text);

// The connected camera as far as the tool knows it.
struct DeviceModel {
  ModelKind kind = ModelKind::Unsupported;
  std::string name;
  int32_t version_number = 0;

  bool IsMono() const { return kind == ModelKind::Mono; }
  bool IsColor() const { return kind == ModelKind::Color; }
  bool IsWideMono() const { return kind == ModelKind::WideMono; }
  // One LUT and one-column LUT files: the kind's profile says.
  bool IsMonochrome() const;
};

}  // namespace ctrl
