// Text-register unpacking (register values from the camera into identity texts) and the
// packing that writes them back.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "camera/protocol.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ctrl;
  // The input as the register values a text read delivers.
  std::string text;
  size_t registers = 0;
  bool ended = false;
  for (size_t i = 0; i + 4 <= size && !ended; i += 4) {
    uint32_t value = (uint32_t{data[i]} << 24) | (uint32_t{data[i + 1]} << 16) |
                     (uint32_t{data[i + 2]} << 8) | uint32_t{data[i + 3]};
    const size_t before = text.size();
    ended = AppendTextRegister(value, text);
    ++registers;
    FUZZ_CHECK(text.size() - before <= 4);
    FUZZ_CHECK(ended == (text.size() - before < 4));
    FUZZ_CHECK(std::memcmp(text.data() + before, data + i, text.size() - before) == 0);
  }
  FUZZ_CHECK(text.find('\0') == std::string::npos);
  FUZZ_CHECK(text.size() <= registers * 4);

  // Packing the input as text and unpacking it again gives the text up to its first NUL.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<uint32_t> packed = PackTextRegisters(input);
  FUZZ_CHECK(packed.size() == (size + 3) / 4);
  std::string back;
  for (uint32_t value : packed) {
    if (AppendTextRegister(value, back)) break;
  }
  FUZZ_CHECK(back == input.substr(0, input.find('\0')));
  return 0;
}
