#include "sim/front_end.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

#include "sim/register_map.h"

namespace ctrl::sim {
namespace {

constexpr std::string_view kPrompt = "OK>\r\n";
constexpr std::string_view kPromptWithSpace = "OK> \r\n";

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r')) ++pos;
    const size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '\r') ++pos;
    if (pos > start) words.push_back(line.substr(start, pos - start));
  }
  return words;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<uint64_t> ParseDigits(std::string_view text, int base) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return value;
}

bool HasHexPrefix(std::string_view text) {
  return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Register numbers are hexadecimal, with or without the 0x prefix.
std::optional<uint32_t> ParseRegister(std::string_view text) {
  if (HasHexPrefix(text)) text.remove_prefix(2);
  auto value = ParseDigits(text, 16);
  if (!value) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

// Values are unsigned decimal; a sign or a 0x prefix is tolerated.
std::optional<uint32_t> ParseValue(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::optional<uint64_t> magnitude;
  if (HasHexPrefix(text)) {
    magnitude = ParseDigits(text.substr(2), 16);
  } else {
    magnitude = ParseDigits(text, 10);
  }
  if (!magnitude) return std::nullopt;
  if (!negative) return static_cast<uint32_t>(*magnitude);
  if (*magnitude > 0x80000000ull) return std::nullopt;
  return static_cast<uint32_t>(0x100000000ull - *magnitude);
}

std::string ValueLine(uint32_t reg, uint32_t value, bool as_unsigned) {
  char text[48];
  if (as_unsigned) {
    std::snprintf(text, sizeof text, "0x%08X=%u\r\n", static_cast<unsigned>(reg),
                  static_cast<unsigned>(value));
  } else {
    std::snprintf(text, sizeof text, "0x%08X=%d\r\n", static_cast<unsigned>(reg),
                  static_cast<int>(static_cast<int32_t>(value)));
  }
  return text;
}

bool IsNth(uint64_t count, int nth) {
  return nth > 0 && count % static_cast<uint64_t>(nth) == 0;
}

std::string_view RefusalText(Refusal refusal) {
  switch (refusal) {
    case Refusal::kUnknownRegister:
      return "Error: unknown register\r\n";
    case Refusal::kNotOnThisModel:
      return "Error: register not available on this model\r\n";
    case Refusal::kReadOnly:
      return "Error: read-only register\r\n";
    case Refusal::kBusy:
      return "Error: busy\r\n";
    case Refusal::kInvalidValue:
    case Refusal::kNone:
      break;
  }
  return "Error: invalid value\r\n";
}

}  // namespace

CameraFrontEnd::CameraFrontEnd(CameraModel& model) : model_(model) {}

void CameraFrontEnd::Receive(std::string_view bytes, int64_t now_us) {
  ApplyBaudSwitch(now_us);
  last_seen_us_ = std::max(last_seen_us_, now_us);
  if (faults_.silent || hung_up_ || (faults_.ignore_requests_after_baud_change && baud_changed_)) {
    line_.clear();
    line_overflowed_ = false;
    return;
  }
  const bool paced = faults_.emulate_line_speed;
  const int64_t start_us = paced ? std::max(now_us, rx_free_us_) : now_us;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char byte = bytes[i];
    if (byte == '\n') {
      const int64_t arrived_us =
          paced ? start_us + ByteTimeUs(static_cast<int64_t>(i) + 1) : now_us;
      ServeLine(line_, line_overflowed_, arrived_us);
      line_.clear();
      line_overflowed_ = false;
      if (hung_up_) return;
    } else if (line_.size() < kMaxRequestLine) {
      line_.push_back(byte);
    } else {
      line_overflowed_ = true;
    }
  }
  rx_free_us_ = paced ? start_us + ByteTimeUs(static_cast<int64_t>(bytes.size())) : now_us;
}

void CameraFrontEnd::TakeDue(int64_t now_us, std::string& out) {
  ApplyBaudSwitch(now_us);
  last_seen_us_ = std::max(last_seen_us_, now_us);
  if (!faults_.endless_talk) {
    talk_next_us_ = -1;
  } else if (talk_next_us_ < 0 || talk_next_us_ < now_us - kTalkBacklogUs) {
    talk_next_us_ = talk_next_us_ < 0 ? now_us : now_us - kTalkBacklogUs;
  }
  // Reply bytes and talk, each in the order they fall due.
  for (;;) {
    const bool reply_due = !pending_.empty() && pending_.front().due_us <= now_us;
    const bool talk_due = talk_next_us_ >= 0 && talk_next_us_ <= now_us;
    if (reply_due && (!talk_due || pending_.front().due_us <= talk_next_us_)) {
      out.push_back(pending_.front().byte);
      pending_.pop_front();
    } else if (talk_due) {
      AppendTalk(out);
      talk_next_us_ += kTalkIntervalUs;
    } else {
      break;
    }
  }
}

int64_t CameraFrontEnd::NextDueUs() const {
  int64_t next_us = pending_.empty() ? -1 : pending_.front().due_us;
  if (faults_.endless_talk) {
    // Talk not started yet starts at the next call.
    const int64_t talk_us = talk_next_us_ < 0 ? last_seen_us_ : talk_next_us_;
    next_us = next_us < 0 ? talk_us : std::min(next_us, talk_us);
  }
  return next_us;
}

void CameraFrontEnd::AppendTalk(std::string& out) {
  ++talk_items_;
  if (talk_items_ % kTalkRunEvery == 0) {
    out.append(kOverlongLineBytes, '~');
    return;
  }
  char text[40];
  std::snprintf(text, sizeof text, "0x%08X=%llu\r\n", static_cast<unsigned>(kTalkRegister),
                static_cast<unsigned long long>(talk_items_));
  out.append(text);
}

void CameraFrontEnd::Reconnect() {
  hung_up_ = false;
  hang_up_armed_for_ = faults_.hang_up_after;
  hang_up_base_ = requests_served_;
}

bool CameraFrontEnd::HangsUpNow() {
  if (faults_.hang_up_after != hang_up_armed_for_) {
    hang_up_armed_for_ = faults_.hang_up_after;
    hang_up_base_ = requests_served_;
  }
  const int after = faults_.hang_up_after;
  if (after <= 0 || requests_served_ - hang_up_base_ < static_cast<uint64_t>(after)) return false;
  hung_up_ = true;
  pending_.clear();
  return true;
}

void CameraFrontEnd::ApplyControlTexts() {
  if (faults_.control_bytes_in_texts == texts_replaced_) return;
  if (faults_.control_bytes_in_texts) {
    saved_vendor_name_ = model_.PeekText(reg::kVendorName);
    saved_user_id_ = model_.PeekText(reg::kUserId);
    model_.PokeText(reg::kVendorName, kControlVendorName);
    model_.PokeText(reg::kUserId, kControlUserId);
  } else {
    model_.PokeText(reg::kVendorName, saved_vendor_name_);
    model_.PokeText(reg::kUserId, saved_user_id_);
  }
  texts_replaced_ = faults_.control_bytes_in_texts;
}

void CameraFrontEnd::ServeLine(std::string_view line, bool overlong, int64_t arrived_us) {
  if (HangsUpNow()) return;
  // Requests are served one after another; a running calibration holds the next one back.
  const int64_t served_us = std::max({arrived_us, last_served_us_, model_.busy_until_us()});
  last_served_us_ = served_us;
  ++requests_served_;
  // A camera busy talking to itself takes requests in but never gets to answer.
  if (faults_.endless_talk) return;
  ApplyControlTexts();
  const std::string answer = Answer(line, overlong, served_us);
  // A calibration started by this request answers when it is done.
  const int64_t ready_us = std::max(served_us, model_.busy_until_us()) + faults_.reply_delay_us;
  const bool switches_baud = model_.has_pending_baud_rate();

  ++replies_;
  if (IsNth(replies_, faults_.drop_every_nth_reply)) {
    ++replies_dropped_;
    if (switches_baud) baud_switch_us_ = ready_us;
    return;
  }

  std::string out;
  if (faults_.echo_requests) {
    std::string_view echoed = line;
    while (!echoed.empty() && echoed.back() == '\r') echoed.remove_suffix(1);
    out.append(echoed);
    out.append("\r\n");
  }
  if (faults_.overlong_line) out.append(kOverlongLineBytes, '#');
  if (faults_.garbage_between_replies) {
    const int count = 1 + static_cast<int>(garbage_random_() % 4);
    for (int i = 0; i < count; ++i) {
      char byte = '\n';
      while (byte == '\n' || byte == '\r' || byte == '=' || byte == '\0') {
        byte = static_cast<char>(garbage_random_() & 0xFF);
      }
      out.push_back(byte);
    }
  }
  if (IsNth(replies_, faults_.stray_fragment_every_nth)) out.append(kStrayFragment);
  if (IsNth(replies_, faults_.cut_reply_every_nth)) {
    // Stops one byte before the CR of its first line: the value's last digit never comes.
    const size_t line_end = answer.find('\r');
    out.append(answer, 0, line_end == std::string::npos || line_end == 0 ? 0 : line_end - 1);
  } else {
    out.append(answer);
  }
  if (!Schedule(out, ready_us)) ++replies_dropped_;
  if (switches_baud) baud_switch_us_ = std::max(ready_us, tx_free_us_);
}

std::string CameraFrontEnd::Answer(std::string_view line, bool overlong, int64_t at_us) {
  const std::string_view prompt = faults_.trailing_space_after_prompt ? kPromptWithSpace : kPrompt;
  std::string reply;
  const std::vector<std::string_view> words = SplitWords(line);
  if (overlong) {
    reply = "Error: line too long\r\n";
  } else if (words.empty()) {
    // An empty line only gets a fresh prompt, as on a terminal.
  } else if (EqualsIgnoringCase(words[0], "rd") && words.size() == 2) {
    const auto reg = ParseRegister(words[1]);
    uint32_t value = 0;
    if (!reg) {
      reply = "Error: invalid register\r\n";
    } else if (model_.Read(*reg, value, at_us)) {
      reply = ValueLine(*reg, value, faults_.unsigned_replies);
    } else {
      reply = RefusalText(model_.last_refusal());
    }
  } else if (EqualsIgnoringCase(words[0], "wr") && words.size() == 3) {
    const auto reg = ParseRegister(words[1]);
    const auto value = ParseValue(words[2]);
    uint32_t reply_value = 0;
    if (!reg) {
      reply = "Error: invalid register\r\n";
    } else if (!value || (faults_.refuse_baud_rate_change && *reg == reg::kBaudRate)) {
      reply = "Error: invalid value\r\n";
    } else if (model_.Write(*reg, *value, at_us, reply_value)) {
      reply = ValueLine(*reg, reply_value, faults_.unsigned_replies);
    } else {
      reply = RefusalText(model_.last_refusal());
    }
  } else {
    reply = "Error: unknown command\r\n";
  }
  reply.append(prompt);
  return reply;
}

bool CameraFrontEnd::Schedule(const std::string& bytes, int64_t ready_us) {
  if (pending_.size() + bytes.size() > kMaxPendingBytes) return false;
  const int64_t start_us = std::max(ready_us, tx_free_us_);
  int64_t due_us = start_us;
  for (size_t k = 0; k < bytes.size(); ++k) {
    due_us = start_us;
    if (faults_.emulate_line_speed) due_us += ByteTimeUs(static_cast<int64_t>(k) + 1);
    if (faults_.split_into_single_bytes) due_us += static_cast<int64_t>(k) * kSplitByteGapUs;
    pending_.push_back({due_us, bytes[k]});
  }
  tx_free_us_ = due_us;
  return true;
}

void CameraFrontEnd::ApplyBaudSwitch(int64_t now_us) {
  if (baud_switch_us_ >= 0 && now_us >= baud_switch_us_) {
    baud_changed_ = baud_changed_ || model_.has_pending_baud_rate();
    model_.ApplyPendingBaudRate();
    baud_switch_us_ = -1;
  }
}

int64_t CameraFrontEnd::ByteTimeUs(int64_t byte_count) const {
  const int64_t baud = std::max(1, model_.baud_rate());
  return (byte_count * 10'000'000 + baud - 1) / baud;
}

}  // namespace ctrl::sim
