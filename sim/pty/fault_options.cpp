#include "sim/pty/fault_options.h"

#include <charconv>

namespace ctrl::sim {
namespace {

struct Switch {
  const char* name;
  bool Faults::*flag;
};

constexpr Switch kSwitches[] = {
    {"silent", &Faults::silent},
    {"echo_requests", &Faults::echo_requests},
    {"trailing_space_after_prompt", &Faults::trailing_space_after_prompt},
    {"garbage_between_replies", &Faults::garbage_between_replies},
    {"overlong_line", &Faults::overlong_line},
    {"split_into_single_bytes", &Faults::split_into_single_bytes},
    {"emulate_line_speed", &Faults::emulate_line_speed},
    {"unsigned_replies", &Faults::unsigned_replies},
    {"control_bytes_in_texts", &Faults::control_bytes_in_texts},
    {"endless_talk", &Faults::endless_talk},
    {"refuse_baud_rate_change", &Faults::refuse_baud_rate_change},
    {"ignore_requests_after_baud_change", &Faults::ignore_requests_after_baud_change},
};

// Faults that take a count: every n-th reply, or after n requests.
struct Count {
  const char* name;
  int Faults::*count;
  int default_count;  // taken when no "=N" is given; 0 when a count is required
};

constexpr Count kCounts[] = {
    {"drop_every_nth_reply", &Faults::drop_every_nth_reply, 2},
    {"cut_reply_every_nth", &Faults::cut_reply_every_nth, 2},
    {"stray_fragment_every_nth", &Faults::stray_fragment_every_nth, 2},
    {"hang_up_after", &Faults::hang_up_after, 0},
};

bool ParseCount(std::string_view text, int64_t& value) {
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && value >= 0;
}

}  // namespace

bool ApplyFaultOption(std::string_view option, Faults& faults) {
  const size_t equals = option.find('=');
  const std::string_view name = option.substr(0, equals);
  const bool has_value = equals != std::string_view::npos;
  const std::string_view value_text = has_value ? option.substr(equals + 1) : std::string_view();
  for (const Switch& entry : kSwitches) {
    if (name == entry.name) {
      if (has_value) return false;
      faults.*entry.flag = true;
      return true;
    }
  }
  int64_t value = 0;
  for (const Count& entry : kCounts) {
    if (name != entry.name) continue;
    if (!has_value) {
      if (entry.default_count == 0) return false;
      value = entry.default_count;
    } else if (!ParseCount(value_text, value) || value > 1'000'000) {
      return false;
    }
    faults.*entry.count = static_cast<int>(value);
    return true;
  }
  if (name == "reply_delay_us") {
    if (!has_value || !ParseCount(value_text, value)) return false;
    faults.reply_delay_us = value;
    return true;
  }
  return false;
}

bool ApplyFaultList(std::string_view list, Faults& faults) {
  Faults changed = faults;
  for (const std::string& option : SplitList(list)) {
    if (!ApplyFaultOption(option, changed)) return false;
  }
  faults = changed;
  return true;
}

std::vector<std::string> FaultOptionNames() {
  std::vector<std::string> names;
  for (const Switch& entry : kSwitches) names.emplace_back(entry.name);
  for (const Count& entry : kCounts) names.push_back(std::string(entry.name) + "=N");
  names.emplace_back("reply_delay_us=N");
  return names;
}

std::vector<std::string> SplitList(std::string_view list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(',', start);
    const size_t end = comma == std::string_view::npos ? list.size() : comma;
    if (end > start) items.emplace_back(list.substr(start, end - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return items;
}

}  // namespace ctrl::sim
