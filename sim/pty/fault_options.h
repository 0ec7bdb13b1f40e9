#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/front_end.h"

namespace ctrl::sim {

// Switches a fault on by name, as given on a command line or in an environment variable:
// "silent", "echo_requests", "trailing_space_after_prompt", "garbage_between_replies",
// "overlong_line", "split_into_single_bytes", "emulate_line_speed", "unsigned_replies",
// "control_bytes_in_texts", "endless_talk", "drop_every_nth_reply=N", "cut_reply_every_nth=N",
// "stray_fragment_every_nth=N", "hang_up_after=N", "reply_delay_us=N" (the every-n-th ones
// alone mean N = 2). False for an unknown name or a bad number; `faults` is then unchanged.
bool ApplyFaultOption(std::string_view option, Faults& faults);
// Applies a comma-separated list of such options; false at the first bad one.
bool ApplyFaultList(std::string_view list, Faults& faults);
// The names ApplyFaultOption knows, for help texts.
std::vector<std::string> FaultOptionNames();

// Splits "a,b,,c" into {"a", "b", "c"}.
std::vector<std::string> SplitList(std::string_view list);

}  // namespace ctrl::sim
