#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "camera/notifier.h"

namespace ctrl::fuzz {

// Messages of the core would flood the fuzzer's output; questions are answered "No".
class QuietNotifier final : public Notifier {
 public:
  void ShowMessage(const std::string&, const std::string&, MessageIcon) override { ++messages; }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  uint64_t messages = 0;
};

inline QuietNotifier& InstallQuietNotifier() {
  static QuietNotifier notifier;
  InstallNotifier(&notifier);
  return notifier;
}

// The readers under test take a path: each input goes into one scratch file per process.
inline const std::string& ScratchPath() {
  static const std::string path = [] {
    // Memory-backed when possible: a disk file system flushes a truncated file on every close.
    const char* dir = std::getenv("CTRL_FUZZ_TMPDIR");
    if (dir == nullptr) dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string p = std::string(dir) + "/ctrl-fuzz-" + std::to_string(getpid()) + ".in";
    std::atexit([] { std::remove(ScratchPath().c_str()); });
    return p;
  }();
  return path;
}

inline bool WriteScratch(std::string_view bytes) {
  std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// A failed invariant aborts, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

}  // namespace ctrl::fuzz
