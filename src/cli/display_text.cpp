#include "cli/display_text.h"

#include <cstdint>
#include <cstdio>

namespace ctrl::cli {
namespace {

void AppendEscaped(unsigned char byte, std::string& out) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
  out += escaped;
}

// Length of the well-formed UTF-8 sequence at the start of `text` and its code point; 0 when
// the bytes there are not one (overlong forms and surrogates included).
size_t Utf8SequenceLength(std::string_view text, uint32_t& code_point) {
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code_point = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code_point = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code_point = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0u) != 0x80u) return 0;
    code_point = (code_point << 6) | (next & 0x3Fu);
  }
  if (code_point < minimum || code_point > 0x10FFFF) return 0;
  if (code_point >= 0xD800 && code_point <= 0xDFFF) return 0;
  return length;
}

}  // namespace

std::string DisplayText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte < 0x20 || byte == 0x7F) {
      AppendEscaped(byte, out);
      text.remove_prefix(1);
    } else if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      text.remove_prefix(1);
    } else {
      uint32_t code_point = 0;
      const size_t length = Utf8SequenceLength(text, code_point);
      if (length == 0 || code_point < 0xA0) {  // not UTF-8, or a C1 control
        const size_t bytes = length == 0 ? 1 : length;
        for (size_t i = 0; i < bytes; ++i) AppendEscaped(static_cast<unsigned char>(text[i]), out);
        text.remove_prefix(bytes);
      } else {
        out.append(text.substr(0, length));
        text.remove_prefix(length);
      }
    }
  }
  return out;
}

}  // namespace ctrl::cli
