// Line assembly from a raw byte stream, as the receive side of the engine sees it.
#include <cstdint>
#include <string>

#include "camera/protocol.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using ctrl::LineAssembler;
  LineAssembler assembler;
  std::string line;
  size_t since_lf = 0;  // bytes pushed since the last line or overflow
  for (size_t i = 0; i < size; ++i) {
    const char byte = static_cast<char>(data[i]);
    LineAssembler::Result result = assembler.Push(byte, line);
    if (byte == '\n') {
      FUZZ_CHECK(result == LineAssembler::Result::kLine);
      // The line is the bytes before the LF minus the last one.
      FUZZ_CHECK(line.size() == (since_lf > 0 ? since_lf - 1 : 0));
      FUZZ_CHECK(line.size() <= LineAssembler::kBufferSize - 2);
      FUZZ_CHECK(line.find('\n') == std::string::npos);
      if (!line.empty()) {
        FUZZ_CHECK(line ==
                   std::string(reinterpret_cast<const char*>(data) + i - since_lf, since_lf - 1));
      }
      since_lf = 0;
    } else {
      ++since_lf;
      if (since_lf == LineAssembler::kBufferSize) {
        FUZZ_CHECK(result == LineAssembler::Result::kOverflow);
        since_lf = 0;
      } else {
        FUZZ_CHECK(result == LineAssembler::Result::kNone);
      }
    }
    FUZZ_CHECK(assembler.fill_count() == static_cast<int>(since_lf));
  }
  return 0;
}
