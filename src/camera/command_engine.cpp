#include "camera/command_engine.h"

#include "camera/notifier.h"

#include <optional>
#include <utility>

namespace ctrl {
namespace {

std::string_view StripLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  return text;
}

}  // namespace

Command::Command(ByteChannel& channel, Clock& clock, CommandTable& table,
                 OnlineStatusPublisher& status)
    : channel_(&channel), clock_(clock), table_(table), status_(status) {}

void Command::Trace(std::string_view prefix, std::string_view text) {
  if (trace_ == nullptr) return;
  std::string line(prefix);
  line.append(text);
  trace_->TraceLine(line);
}

bool Command::AcceptByte(char byte) {
  ++health_.bytes_received;
  std::string line;
  switch (assembler_.Push(byte, line)) {
    case LineAssembler::Result::kLine: {
      overflow_reported_ = false;
      const bool tail = std::exchange(assembling_tail_, false);
      Trace("Rx: ", line);
      // A tail without "=" cannot hold an answer and is no refusal of the camera either: taking
      // it for one would fail an exchange whose reply is still on its way. A tail with "=" is
      // kept, since the reply may stand at its end.
      if (tail && line.find('=') == std::string::npos) return false;
      received_lines_.push_back(std::move(line));
      return true;
    }
    case LineAssembler::Result::kOverflow:
      // Once until the next whole line: a peer that floods without line ends would otherwise
      // raise it once per kilobyte.
      assembling_tail_ = true;
      if (!overflow_reported_) {
        overflow_reported_ = true;
        CurrentNotifier().ShowMessage("RS-232C receiving buffer overflowed", "Communication Error",
                                      MessageIcon::Exclamation);
      }
      return false;
    case LineAssembler::Result::kNone:
      return false;
  }
  return false;
}

bool Command::ReceiveLine() {
  bool got_line = false;
  char byte;
  // Only what has already arrived, and no more than a bounded amount: a peer that never stops
  // talking must not keep the caller here.
  for (int taken = 0; taken < kMaxDrainBytes && channel_->Read(&byte, 1, 0) == 1; ++taken) {
    if (AcceptByte(byte)) got_line = true;
  }
  // Lines nobody takes (a flood between exchanges) must not pile up without end.
  while (received_lines_.size() > kMaxReceivedLines) received_lines_.pop_front();
  return got_line;
}

void Command::ClearReceive() {
  // A partial line dropped here leaves the rest of it to come: that rest is a tail too.
  assembling_tail_ = assembling_tail_ || assembler_.fill_count() > 0;
  assembler_.Clear();
  received_lines_.clear();
}

std::string Command::TakeLine() {
  if (received_lines_.empty()) return {};
  std::string line = std::move(received_lines_.front());
  received_lines_.pop_front();
  return line;
}

void Command::SendText(std::string_view text) {
  health_.bytes_sent += text.size();
  channel_->Write(text);
  Trace("Tx: ", StripLineEnd(text));
}

bool Command::WaitLine(int timeout_ms, std::string& line) {
  return WaitForLine(clock_.NowUs() + int64_t{timeout_ms} * 1000, line) == Wait::kLine;
}

Command::Wait Command::WaitForLine(int64_t deadline_us, std::string& line) {
  while (received_lines_.empty()) {
    int64_t remaining_us = deadline_us - clock_.NowUs();
    if (remaining_us <= 0) return Wait::kTimeout;
    int timeout_ms = static_cast<int>((remaining_us + 999) / 1000);
    char byte;
    if (channel_->Read(&byte, 1, timeout_ms) == 1) {
      AcceptByte(byte);
    } else if (channel_->LineLost()) {
      return Wait::kLineLost;
    }
  }
  line = TakeLine();
  return Wait::kLine;
}

Command::Failure Command::FailureOf(Wait wait) {
  return wait == Wait::kLineLost ? Failure::kLineLost : Failure::kNoAnswer;
}

bool Command::Fail(Failure failure) {
  last_failure_ = failure;
  if (failure == Failure::kNoAnswer) ++health_.timeouts;
  if (failure == Failure::kLineLost) ++health_.line_lost;
  if (failure != Failure::kRefused) status_.Report(false);
  return false;
}

bool Command::Exchange(uint32_t reg, const std::string& request, bool is_read, int32_t* value,
                       int timeout_ms) {
  ++exchanges_;
  ++health_.exchanges;
  last_failure_ = Failure::kNone;
  // Nothing an earlier exchange left behind may answer this one: complete lines and a partial
  // line are dropped. A late reply still arriving leaves a tail that names no register in the
  // camera's form, and is skipped below like every line that is not this register's answer.
  ReceiveLine();
  ClearReceive();
  if (channel_->LineLost()) return Fail(Failure::kLineLost);
  const int64_t sent_us = clock_.NowUs();
  SendText(request);
  const int64_t deadline_us = clock_.NowUs() + int64_t{timeout_ms} * 1000;

  std::string line;
  std::optional<int32_t> answer;
  for (;;) {
    if (const Wait wait = WaitForLine(deadline_us, line); wait != Wait::kLine) {
      return Fail(FailureOf(wait));
    }
    // A prompt cannot start a reply: it ends an earlier exchange (one that failed at its first
    // line, or whose value line was skipped here).
    if (line == kPromptLine) continue;
    if (line.find('=') == std::string::npos) break;  // the camera's refusal or error text
    answer = ReplyValueFor(line, reg);
    if (answer) break;
    // Another register's line, a late reply's tail, a fragment glued to a reply: not ours.
    ++health_.lines_skipped;
  }

  if (!answer) {
    // The exchange has failed, but the rest of this reply (the answer behind an echoed request,
    // the prompt after an error line) may still be on its way: take it in up to its prompt, so
    // that it cannot answer the next request, above all one for the same register.
    while (line.rfind(kPromptLine, 0) != 0 && WaitForLine(deadline_us, line) == Wait::kLine) {
    }
    last_failure_ = Failure::kRefused;
    ++health_.refused;
    return false;
  }
  // The value is delivered even when the prompt check fails afterwards.
  if (is_read && value != nullptr) *value = *answer;

  if (const Wait wait = WaitForLine(deadline_us, line); wait != Wait::kLine) {
    return Fail(FailureOf(wait));
  }
  if (line == kPromptLine) {
    status_.Report(true);
    health_.AddRoundTrip(clock_.NowUs() - sent_us);
    return true;
  }
  ReceiveLine();
  last_failure_ = Failure::kRefused;
  ++health_.refused;
  return false;
}

bool Command::ReadRegister(uint32_t reg, int32_t& value, int timeout_ms) {
  return Exchange(reg, FormatReadRequest(reg), true, &value, timeout_ms);
}

bool Command::WriteRegister(uint32_t reg, int32_t value, int timeout_ms) {
  return Exchange(reg, FormatWriteRequest(reg, static_cast<uint32_t>(value)), false, nullptr,
                  timeout_ms);
}

bool Command::ReadCommand(int command_id, int32_t& value, int timeout_ms) {
  if (command_id < 0 || command_id >= CommandTable::kCount) return false;
  return ReadRegister(table_.GetCommandRegister(command_id), value, timeout_ms);
}

bool Command::WriteCommand(int command_id, int32_t value, int timeout_ms) {
  if (command_id < 0 || command_id >= CommandTable::kCount) return false;
  return WriteRegister(table_.GetCommandRegister(command_id), value, timeout_ms);
}

bool Command::ReadText(int command_id, int byte_count, std::string& text, int timeout_ms) {
  if (command_id < 0 || command_id >= CommandTable::kCount) return false;
  uint32_t reg = table_.GetCommandRegister(command_id);
  for (int read = 0; read < byte_count; read += 4, reg += 4) {
    int32_t value = 0;
    if (!ReadRegister(reg, value, timeout_ms)) return false;
    if (AppendTextRegister(static_cast<uint32_t>(value), text)) break;
  }
  return true;
}

bool Command::WriteText(int command_id, std::string_view text, int timeout_ms, int field_bytes) {
  if (command_id < 0 || command_id >= CommandTable::kCount) return false;
  uint32_t reg = table_.GetCommandRegister(command_id);
  std::vector<uint32_t> values = PackTextRegisters(text);
  if (text.size() % 4 == 0 && static_cast<int64_t>(text.size()) < field_bytes) values.push_back(0);
  for (uint32_t value : values) {
    if (!WriteRegister(reg, static_cast<int32_t>(value), timeout_ms)) return false;
    reg += 4;
  }
  return true;
}

bool Command::CheckModel(bool report_unsupported) {
  std::string name;
  if (!ReadText(cmd::kModelName, kIdentityTextBytes, name, kModelNameTimeoutMs)) return false;
  device_.kind = KindOfModelName(name);
  if (device_.kind == ModelKind::Unsupported && report_unsupported) {
    ShowExclamation("Unsupported model: \"" + name + "\"");
  }
  device_.name = name;
  return true;
}

void Command::UpdateDeviceVersion() {
  device_.version_number = 0;
  std::string version;
  if (ReadText(cmd::kDeviceVersion, kIdentityTextBytes, version, kDefaultTimeoutMs)) {
    device_.version_number = DeviceVersionNumber(version);
  }
}

bool Command::ParseLine(std::string_view line, int& command_id, std::string& name,
                        int32_t& value) const {
  ReplyFields fields;
  if (!ParseReply(line, table_, device_.kind, fields)) return false;
  // A settings line states one value: an empty or cut value, a second value or a number no
  // register holds would otherwise send the camera a value the file does not say (0, the
  // number's start, a saturated one).
  if (fields.separator != '=' || fields.value_count != 1 || !fields.value_whole) return false;
  command_id = fields.command_id;
  name = fields.name;
  value = fields.integer_value;
  return true;
}

}  // namespace ctrl
