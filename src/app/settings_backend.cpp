#include "app/settings_backend.h"

namespace ctrl {

bool MemorySettingsBackend::GetInt(const std::string& name, uint32_t* value) const {
  if (unavailable_ || read_only_) return false;
  auto found = values_.find(name);
  if (found == values_.end() || !std::holds_alternative<uint32_t>(found->second)) return false;
  *value = std::get<uint32_t>(found->second);
  return true;
}

bool MemorySettingsBackend::GetString(const std::string& name, std::string* value) const {
  if (unavailable_ || read_only_) return false;
  auto found = values_.find(name);
  if (found == values_.end() || !std::holds_alternative<std::string>(found->second)) {
    return false;
  }
  *value = std::get<std::string>(found->second);
  return true;
}

bool MemorySettingsBackend::SetInt(const std::string& name, uint32_t value) {
  if (unavailable_ || read_only_) return false;
  values_[name] = value;
  return true;
}

bool MemorySettingsBackend::SetString(const std::string& name, const std::string& value) {
  if (unavailable_ || read_only_) return false;
  values_[name] = value;
  return true;
}

}  // namespace ctrl
