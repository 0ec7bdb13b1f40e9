#include "camera/device_model.h"

#include "camera/model_profile.h"

#include <limits>

namespace ctrl {

ModelKind KindOfModelName(std::string_view name) {
  static constexpr ModelKind kKinds[] = {ModelKind::Mono, ModelKind::Color, ModelKind::WideMono,
                                         ModelKind::Mono, ModelKind::Color, ModelKind::WideMono,
                                         ModelKind::Mono, ModelKind::Color, ModelKind::WideMono};
  for (size_t i = 0; i < kSupportedModelNames.size(); ++i) {
    if (name == kSupportedModelNames[i]) return kKinds[i];
  }
  return ModelKind::Unsupported;
}

int32_t DeviceVersionNumber(std::string_view version_text) {
  int64_t number = 0;
  for (char c : version_text) {
    if (c < '0' || c > '9') continue;
    number = number * 10 + (c - '0');
    if (number > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(number);
}

bool DeviceModel::IsMonochrome() const {
  return ProfileOf(kind).monochrome;
}

}  // namespace ctrl
