#include "camera/protocol.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include "camera/command_table.h"

namespace ctrl {
namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Parses sign, base prefix and digits; the magnitude saturates at `limit` + 1 so callers can
// clamp without overflow.
struct ParsedNumber {
  bool negative = false;
  uint64_t magnitude = 0;
  size_t digits = 0;  // digits taken, the base prefix's "0" of an octal number included
  size_t end = 0;     // index of the first character that does not belong
};

ParsedNumber ParseAutoBase(std::string_view text) {
  ParsedNumber parsed;
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    parsed.negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '0') {
    bool hex_prefix = i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
                      DigitValue(text[i + 2]) < 16;
    if (hex_prefix) {
      base = 16;
      i += 2;
    } else {
      base = 8;
    }
  }
  constexpr uint64_t kCap = uint64_t{1} << 33;  // beyond every 32-bit result
  for (; i < text.size(); ++i) {
    int digit = DigitValue(text[i]);
    if (digit >= base) break;
    parsed.magnitude = parsed.magnitude * base + digit;
    if (parsed.magnitude > kCap) parsed.magnitude = kCap;
    ++parsed.digits;
  }
  parsed.end = i;
  return parsed;
}

// Signed 32-bit value of a sign and magnitude: 2^31 .. 2^32 - 1 is a 32-bit pattern (two's
// complement); beyond 32 bits saturates.
int32_t ToInt32(bool negative, uint64_t magnitude) {
  constexpr uint64_t kTwoTo31 = uint64_t{1} << 31;
  if (negative) {
    if (magnitude > kTwoTo31) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
  }
  if (magnitude > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(static_cast<uint32_t>(magnitude));
}

}  // namespace

std::string FormatReadRequest(uint32_t reg) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "rd 0x%08X\r\n", reg);
  return buffer;
}

std::string FormatWriteRequest(uint32_t reg, uint32_t value) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "wr 0x%08X %u\r\n", reg, value);
  return buffer;
}

int32_t AutoBaseToInt32(std::string_view text) {
  ParsedNumber parsed = ParseAutoBase(text);
  return ToInt32(parsed.negative, parsed.magnitude);
}

uint32_t AutoBaseToUInt32(std::string_view text) {
  ParsedNumber parsed = ParseAutoBase(text);
  if (parsed.negative) return 0;
  if (parsed.magnitude > std::numeric_limits<uint32_t>::max()) {
    return std::numeric_limits<uint32_t>::max();
  }
  return static_cast<uint32_t>(parsed.magnitude);
}

bool ParseReply(std::string_view line, const CommandTable& table, ModelKind kind,
                ReplyFields& fields) {
  fields = ReplyFields{};
  for (char c : line) {
    if (c != ' ' && c != '\r' && c != '\n') fields.text.push_back(c);
  }
  const std::string& text = fields.text;
  size_t separator = text.find('=');
  if (separator == std::string::npos) separator = text.find('?');
  if (separator == std::string::npos) return false;

  fields.name = text.substr(0, separator);
  fields.separator = text[separator];
  std::string rest = text.substr(separator + 1);
  if (fields.separator == '=') {
    size_t comma = rest.find(',');
    if (comma != std::string::npos) {
      fields.value_text = rest.substr(0, comma);
      fields.second_value_text = rest.substr(comma + 1);
      fields.value_count = 2;
    } else {
      fields.value_text = rest;
      fields.value_count = 1;
    }
  } else if (!rest.empty()) {
    fields.value_text = rest;
    fields.value_count = 1;
  }

  fields.command_id = table.FindCommandByAddress(fields.name, kind);
  if (fields.command_id < 0) return false;

  const std::string& value = fields.value_text;
  // Only blanks may follow the number in a whole value.
  auto rest_is_blank = [&value](size_t from) {
    return std::all_of(value.begin() + static_cast<std::ptrdiff_t>(from), value.end(), IsSpace);
  };
  if (value.size() >= 2 && value[0] == '&' && value[1] == 'H') {
    uint64_t magnitude = 0;
    size_t i = 2;
    for (; i < value.size() && DigitValue(value[i]) < 16; ++i) {
      magnitude = magnitude * 16 + DigitValue(value[i]);
      if (magnitude > std::numeric_limits<uint32_t>::max()) {
        magnitude = uint64_t{std::numeric_limits<uint32_t>::max()} + 1;
      }
    }
    fields.value_whole =
        i > 2 && magnitude <= std::numeric_limits<uint32_t>::max() && rest_is_blank(i);
    // "&HFFFFFFFF" is the 32-bit pattern of -1, as the file writer's readers expect.
    fields.integer_value = static_cast<int32_t>(
        static_cast<uint32_t>(std::min<uint64_t>(magnitude, std::numeric_limits<uint32_t>::max())));
  } else {
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    const size_t digits_from = i;
    int64_t magnitude = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
      magnitude = magnitude * 10 + (value[i] - '0');
      if (magnitude > (int64_t{1} << 32)) magnitude = int64_t{1} << 32;
    }
    const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 32) - 1;
    fields.value_whole = i > digits_from && magnitude <= limit && rest_is_blank(i);
    fields.integer_value = ToInt32(negative, static_cast<uint64_t>(magnitude));
  }
  fields.error = false;
  return true;
}

int64_t ReplyRegisterNumber(std::string_view line) {
  std::string text;
  for (char c : line) {
    if (c != ' ' && c != '\r' && c != '\n') text.push_back(c);
  }
  size_t separator = text.find('=');
  if (separator == std::string::npos) return -1;
  std::string_view name = std::string_view(text).substr(0, separator);
  // Bytes in front of the register text (line noise) do not hide whose reply it is.
  size_t start = std::string_view::npos;
  for (size_t i = name.size(); i-- > 1;) {
    if (name[i - 1] == '0' && (name[i] == 'x' || name[i] == 'X')) {
      start = i + 1;
      break;
    }
  }
  if (start == std::string_view::npos) return -1;
  std::string_view digits = name.substr(start);
  if (digits.empty() || digits.size() > 8) return -1;
  int64_t number = 0;
  for (char c : digits) {
    int digit = DigitValue(c);
    if (digit >= 16) return -1;
    number = number * 16 + digit;
  }
  return number;
}

std::optional<int32_t> ReplyValueFor(std::string_view line, uint32_t reg) {
  const int64_t named = ReplyRegisterNumber(line);
  if (named != static_cast<int64_t>(reg)) return std::nullopt;
  std::string_view value = line.substr(line.find('=') + 1);
  while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsSpace(value.back())) value.remove_suffix(1);
  const ParsedNumber parsed = ParseAutoBase(value);
  if (parsed.digits == 0 || parsed.end != value.size()) return std::nullopt;
  return ToInt32(parsed.negative, parsed.magnitude);
}

std::vector<uint32_t> PackTextRegisters(std::string_view text) {
  std::vector<uint32_t> values;
  for (size_t start = 0; start < text.size(); start += 4) {
    uint32_t value = 0;
    for (size_t k = 0; k < 4; ++k) {
      uint32_t byte = start + k < text.size() ? static_cast<unsigned char>(text[start + k]) : 0;
      value |= byte << (8 * (3 - k));
    }
    values.push_back(value);
  }
  return values;
}

bool AppendTextRegister(uint32_t value, std::string& text) {
  for (int k = 3; k >= 0; --k) {
    char byte = static_cast<char>((value >> (8 * k)) & 0xFF);
    if (byte == '\0') return true;
    text.push_back(byte);
  }
  return false;
}

LineAssembler::Result LineAssembler::Push(char byte, std::string& line) {
  if (byte == '\n') {
    // The byte before the LF is the CR of CR LF; a lone LF gives an empty line.
    int length = fill_ > 0 ? fill_ - 1 : 0;
    line.assign(buffer_, buffer_ + length);
    fill_ = 0;
    return Result::kLine;
  }
  buffer_[fill_++] = byte;
  if (fill_ >= kBufferSize) {
    fill_ = 0;
    return Result::kOverflow;
  }
  return Result::kNone;
}

}  // namespace ctrl
