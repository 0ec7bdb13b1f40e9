// The reply-line grammar and the auto-base integer conversion, fed any line a camera (or a
// settings file) could hold.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "camera/command_table.h"
#include "camera/protocol.h"
#include "fuzz_support.h"

namespace {

// strtoll/strtoull follow the same auto-base rules (C locale white space, 0x only with a hex
// digit after it, leading 0 octal), so they serve as the reference.
// A number up to 2^32 - 1 is a 32-bit pattern (two's complement); beyond that it saturates.
int32_t ReferenceInt32(const std::string& text) {
  long long v = std::strtoll(text.c_str(), nullptr, 0);
  if (v > static_cast<long long>(UINT32_MAX)) return INT32_MAX;
  if (v > INT32_MAX) return static_cast<int32_t>(static_cast<uint32_t>(v));
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

uint32_t ReferenceUInt32(const std::string& text) {
  size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i != std::string::npos && text[i] == '-') return 0;
  unsigned long long v = std::strtoull(text.c_str(), nullptr, 0);
  return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ctrl;
  static CommandTable table;
  static CommandTable wide = [] {
    CommandTable t;
    t.ApplyWideModelOverride();
    return t;
  }();
  const std::string line(reinterpret_cast<const char*>(data), size);

  // The conversion stops at a NUL like the C functions do, so compare on the text before it.
  const std::string c_text = line.substr(0, line.find('\0'));
  FUZZ_CHECK(AutoBaseToInt32(line) == ReferenceInt32(c_text));
  FUZZ_CHECK(AutoBaseToUInt32(line) == ReferenceUInt32(c_text));

  int64_t named = ReplyRegisterNumber(line);
  FUZZ_CHECK(named >= -1 && named <= int64_t{UINT32_MAX});

  // Only a line that names the register answers it, and then with the value text's number.
  const uint32_t asked = named >= 0 ? static_cast<uint32_t>(named) : 0x01001010;
  const std::optional<int32_t> answer = ReplyValueFor(line, asked);
  if (answer) {
    FUZZ_CHECK(named == static_cast<int64_t>(asked));
    FUZZ_CHECK(*answer == AutoBaseToInt32(line.substr(line.find('=') + 1)));
  }
  FUZZ_CHECK(!ReplyValueFor(line, asked + 1));

  static const ModelKind kKinds[] = {ModelKind::Mono, ModelKind::Color, ModelKind::WideMono,
                                     ModelKind::Unsupported};
  for (ModelKind kind : kKinds) {
    const CommandTable& t = kind == ModelKind::WideMono ? wide : table;
    ReplyFields fields;
    bool ok = ParseReply(line, t, kind, fields);
    FUZZ_CHECK(ok == !fields.error);
    FUZZ_CHECK(fields.text.find_first_of(" \r\n") == std::string::npos);
    FUZZ_CHECK(fields.value_count >= 0 && fields.value_count <= 2);
    if (fields.value_count < 2) FUZZ_CHECK(fields.second_value_text.empty());
    if (ok) {
      FUZZ_CHECK(fields.command_id >= 0 && fields.command_id < CommandTable::kCount);
      FUZZ_CHECK(fields.separator == '=' || fields.separator == '?');
      FUZZ_CHECK(fields.text.compare(0, fields.name.size(), fields.name) == 0);
      FUZZ_CHECK(t.GetCommandAddress(fields.command_id) == fields.name ||
                 kind == ModelKind::WideMono);
      // A name of the table is register text, so the engine's own-register check agrees.
      if (fields.separator == '=') {
        FUZZ_CHECK(ReplyRegisterNumber(line) ==
                   static_cast<int64_t>(t.GetCommandRegister(fields.command_id)));
      }
    }
  }
  return 0;
}
