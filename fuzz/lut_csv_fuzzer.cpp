// The LUT CSV reader, fed any file, for a monochrome and a colour camera.
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "lut/lut_editor.h"
#include "lut/lut_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ctrl;
  fuzz::InstallQuietNotifier();
  if (size < 1) return 0;
  static const ModelKind kKinds[] = {ModelKind::Mono, ModelKind::Color, ModelKind::WideMono,
                                     ModelKind::Unsupported};
  const ModelKind kind = kKinds[data[0] % 4];
  if (!fuzz::WriteScratch(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1))) {
    return 0;
  }
  LutBank bank;
  bool loaded = ReadLutFile(fuzz::ScratchPath(), bank, kind);
  for (int t = 0; t < kLutTableCount; ++t) {
    for (int32_t level : bank.table(t)) FUZZ_CHECK(level >= 0 && level <= kLutMaxLevel);
    if (loaded) FUZZ_CHECK(bank.editor(t).mode() == LutMode::kView);
  }
  return 0;
}
