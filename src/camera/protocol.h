#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "camera/device_model.h"

namespace ctrl {

class CommandTable;

// Requests, exactly as they go on the wire.
std::string FormatReadRequest(uint32_t reg);
std::string FormatWriteRequest(uint32_t reg, uint32_t value);
inline constexpr std::string_view kPromptLine = "OK>";

// Auto-base integer text: optional leading white space and sign, "0x"/"0X" hexadecimal, a
// leading "0" octal, else decimal; stops at the first character that does not belong; no digits
// gives 0. A number from 2^31 to 2^32 - 1 is a register's 32-bit pattern and is taken as two's
// complement (4294963201 and 0xFFFFF001 are -4095); only numbers beyond 32 bits saturate.
int32_t AutoBaseToInt32(std::string_view text);
// The same conversion without a sign limit (register numbers are unsigned 32-bit);
// saturates at 0xFFFFFFFF.
uint32_t AutoBaseToUInt32(std::string_view text);

struct ReplyFields {
  std::string text;      // the line without spaces, CRs and LFs
  std::string name;      // before the separator
  char separator = '?';  // '=' or '?'
  std::string value_text;
  std::string second_value_text;  // after the first comma of name=value,second
  int value_count = 0;            // 0, 1 or 2
  int command_id = -1;
  int32_t integer_value = 0;  // "&H" hexadecimal or leading decimal
  // The value text is one whole number a 32-bit register holds and nothing else (trailing
  // blanks aside): a sign and decimal digits from -2147483648 to 4294967295, or "&H" and 1 to 8
  // hexadecimal digits. An empty value, "4000abc" or 2^32 is not.
  bool value_whole = false;
  bool error = true;
};

// The reply-line grammar, shared with the camera settings file. False (and error set) when the
// line has no separator or its name is no register address of the table.
bool ParseReply(std::string_view line, const CommandTable& table, ModelKind kind,
                ReplyFields& fields);

// The register number a value line names: the 1 to 8 hex digits between the last "0x" of the
// name and the "=" (anything before that "0x" is ignored); -1 when the name ends in no such
// register text.
int64_t ReplyRegisterNumber(std::string_view line);

// The value of `line` when it answers a request for register `reg`: the line names that register
// in the camera's form ("0x" and 1 to 8 hex digits, any case; bytes without "=" in front of the
// "0x" are line noise and ignored) and its value part is one complete auto-base number, blanks
// aside. Anything else (a late reply's tail, a fragment glued to the reply, another register's
// line) is no answer: std::nullopt.
std::optional<int32_t> ReplyValueFor(std::string_view line, uint32_t reg);

// Text registers: four characters a register, first character in the most significant byte,
// missing bytes of the last group zero. An empty text gives no register.
std::vector<uint32_t> PackTextRegisters(std::string_view text);
// Appends the four bytes of one register value to `text`, most significant first, stopping at
// a zero byte. Returns true when the value held a zero byte (the text has ended).
bool AppendTextRegister(uint32_t value, std::string& text);

// Assembles lines from a byte stream: a line ends at LF, and the byte before the LF (the CR of
// CR LF) is not part of it. A lone LF gives an empty line. 1024 bytes without LF overflow: the
// partial line is discarded and collection starts again.
class LineAssembler {
 public:
  static constexpr int kBufferSize = 1024;
  enum class Result { kNone, kLine, kOverflow };

  // Feeds one byte; on kLine `line` holds the completed line.
  Result Push(char byte, std::string& line);
  void Clear() { fill_ = 0; }
  int fill_count() const { return fill_; }

 private:
  char buffer_[kBufferSize] = {};
  int fill_ = 0;
};

}  // namespace ctrl
