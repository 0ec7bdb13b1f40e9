#include "files/atomic_file.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ctrl {

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

bool AtomicFileWriter::Open(const std::string& path) {
  Abandon();
  path_ = path;
  failed_ = false;
#ifdef _WIN32
  for (int attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
    temp_path_ = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "_" +
                 std::to_string(attempt);
    // "x": fail when the name exists, so a leftover is never overwritten.
    file_ = std::fopen(temp_path_.c_str(), "wbx");
  }
#else
  std::string pattern = path + ".tmpXXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    // Keep the permissions an ordinary new file would get.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    temp_path_ = pattern;
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
      close(fd);
      std::remove(temp_path_.c_str());
    }
  }
#endif
  if (file_ == nullptr) temp_path_.clear();
  return file_ != nullptr;
}

void AtomicFileWriter::Write(std::string_view text) {
  if (file_ == nullptr || failed_) return;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
}

bool AtomicFileWriter::Commit() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && std::fflush(file_) == 0;
#ifndef _WIN32
  ok = ok && fsync(fileno(file_)) == 0;
#endif
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (ok) {
#ifdef _WIN32
    ok = MoveFileExA(temp_path_.c_str(), path_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    ok = std::rename(temp_path_.c_str(), path_.c_str()) == 0;
#endif
  }
  if (!ok) std::remove(temp_path_.c_str());
  temp_path_.clear();
  return ok;
}

void AtomicFileWriter::Abandon() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_path_.empty()) {
    std::remove(temp_path_.c_str());
    temp_path_.clear();
  }
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace ctrl
