#include "camera/reconnect.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "camera/feature_catalogue.h"

namespace ctrl {

void ReconnectSchedule::Start() {
  if (active_) return;
  active_ = true;
  pause_us_ = kFirstPauseUs;
  due_us_ = clock_.NowUs();
}

void ReconnectSchedule::Stop() {
  active_ = false;
  pause_us_ = kFirstPauseUs;
}

void ReconnectSchedule::Failed() {
  if (!active_) return;
  due_us_ = clock_.NowUs() + pause_us_;
  pause_us_ = std::min(pause_us_ * 2, kLongestPauseUs);
}

void ReconnectSchedule::AttemptNow() {
  if (active_) due_us_ = clock_.NowUs();
}

int64_t ReconnectSchedule::UsUntilDue() const {
  if (!active_) return -1;
  return std::max<int64_t>(0, due_us_ - clock_.NowUs());
}

std::vector<ShownValue> ShownValues(const ParameterDatabase& database) {
  std::vector<ShownValue> values;
  std::unordered_set<int> seen;
  const auto& rows = database.rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!database.IsReadableRow(static_cast<int>(i))) continue;
    // An edit and its spin share one command: one value.
    if (!seen.insert(rows[i].command_id).second) continue;
    values.push_back({rows[i].command_id, rows[i].synchronised_value});
  }
  return values;
}

std::vector<std::string> ChangedParameters(const std::vector<ShownValue>& before,
                                           const std::vector<ShownValue>& after,
                                           const DeviceModel& device) {
  std::unordered_map<int, int32_t> old_values;
  for (const ShownValue& shown : before) old_values.emplace(shown.command_id, shown.value);
  std::vector<std::string> lines;
  for (const ShownValue& now : after) {
    const auto old = old_values.find(now.command_id);
    if (old == old_values.end() || old->second == now.value) continue;
    const Feature* feature = FeatureOfCommand(now.command_id);
    if (feature == nullptr) {
      lines.push_back("Command " + std::to_string(now.command_id) + ": " +
                      std::to_string(old->second) + " \u2192 " + std::to_string(now.value));
      continue;
    }
    lines.push_back(std::string(Label(*feature)) + ": " +
                    DisplayText(*feature, old->second, device) + " \u2192 " +
                    DisplayText(*feature, now.value, device));
  }
  return lines;
}

}  // namespace ctrl
