#include "files/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ctrl {
namespace {

#ifndef _WIN32
// Symbolic links a path may pass through before it counts as a loop (the kernel's own limit).
constexpr int kMaxLinkHops = 40;

std::string PosixFolderOf(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

// The path with every symbolic link at its end replaced by what the link names, so that the
// file behind a link is replaced and the link stays. A dangling link yields the missing name.
std::string FollowLinks(std::string path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) return path;
    std::string named(target, static_cast<size_t>(length));
    path = named.front() == '/' ? named : PosixFolderOf(path) + "/" + named;
  }
  return path;  // still a link: refused below as not a regular file
}

// What a replacement must look like to stand in for the existing file.
struct Replaced {
  bool exists = false;
  struct stat status {};
};

// Whether `target` (links already followed) may be replaced; fills in what exists there.
bool MayReplace(const std::string& target, Replaced& replaced) {
  if (::lstat(target.c_str(), &replaced.status) != 0) return errno == ENOENT;
  replaced.exists = true;
  if (!S_ISREG(replaced.status.st_mode)) return false;
  // Root may write anything, so for root a file without any write bit counts as protected.
  if (::geteuid() == 0) return (replaced.status.st_mode & 0222) != 0;
  return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}
#else
// No links are followed on Windows; folders, devices and read-only files are refused.
bool MayReplace(const std::string& target) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  return (attributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY)) == 0;
}
#endif

}  // namespace

AtomicFileWriter::~AtomicFileWriter() {
  Abandon();
}

bool AtomicFileWriter::Open(const std::string& path) {
  Abandon();
  failed_ = false;
#ifdef _WIN32
  target_ = path;
  if (!MayReplace(target_)) return false;
  for (int attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
    temp_path_ =
        path + ".tmp" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(attempt);
    // "x": fail when the name exists, so a leftover is never overwritten.
    file_.reset(std::fopen(temp_path_.c_str(), "wbx"));
  }
#else
  target_ = FollowLinks(path);
  Replaced replaced;
  if (!MayReplace(target_, replaced)) return false;
  std::string pattern = target_ + ".tmpXXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    temp_path_ = pattern;
    mode_t mode;
    if (replaced.exists) {
      // Ownership first: changing the owner clears bits the mode below sets again.
      if (replaced.status.st_uid != ::geteuid() || replaced.status.st_gid != ::getegid()) {
        [[maybe_unused]] int ignored = ::fchown(fd, replaced.status.st_uid, replaced.status.st_gid);
      }
      mode = replaced.status.st_mode & 0777;
    } else {
      // The permissions an ordinary new file would get.
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    file_.reset(fdopen(fd, "wb"));
    if (file_ == nullptr) ::close(fd);
  }
#endif
  if (file_ == nullptr) {
    if (!temp_path_.empty()) std::remove(temp_path_.c_str());
    temp_path_.clear();
  }
  return file_ != nullptr;
}

void AtomicFileWriter::Write(std::string_view text) {
  if (file_ == nullptr || failed_) return;
  if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size()) failed_ = true;
}

bool AtomicFileWriter::Commit() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && std::fflush(file_.get()) == 0;
#ifndef _WIN32
  ok = ok && fsync(fileno(file_.get())) == 0;
#endif
  ok = std::fclose(file_.release()) == 0 && ok;
  if (ok) {
#ifdef _WIN32
    ok = MoveFileExA(temp_path_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    ok = std::rename(temp_path_.c_str(), target_.c_str()) == 0;
#endif
  }
  if (!ok) std::remove(temp_path_.c_str());
  temp_path_.clear();
  return ok;
}

void AtomicFileWriter::Abandon() {
  file_.reset();
  if (!temp_path_.empty()) {
    std::remove(temp_path_.c_str());
    temp_path_.clear();
  }
}

bool CanReplaceFile(const std::string& path) {
  AtomicFileWriter probe;
  return probe.Open(path);  // the probe's temporary file goes with it
}

void IgnoreFileSizeSignal() {
#ifndef _WIN32
  ::signal(SIGXFSZ, SIG_IGN);
#endif
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace ctrl
