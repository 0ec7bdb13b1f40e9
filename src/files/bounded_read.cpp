#include "files/bounded_read.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ctrl {
namespace {

constexpr size_t kReadBlockBytes = 64 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

FileForReading OpenRegularFileForReading(const std::string& path, int64_t max_bytes) {
  FileForReading opened;
#ifdef _WIN32
  UniqueFile file(std::fopen(path.c_str(), "rb"));
  if (file == nullptr) return opened;
  struct _stat64 status;
  if (_fstat64(_fileno(file.get()), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
    return opened;
  }
#else
  // Non-blocking, so that opening a FIFO returns at once; it is refused right after.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return opened;
  struct stat status;
  UniqueFile file;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.reset(fdopen(fd, "rb"));
  }
  if (file == nullptr) {
    ::close(fd);
    return opened;
  }
#endif
  if (status.st_size > max_bytes) {
    opened.result = ReadOpenResult::kTooLarge;
    return opened;
  }
  opened.result = ReadOpenResult::kOpened;
  opened.file = std::move(file);
  return opened;
}

PieceReader::PieceReader(UniqueFile file, size_t max_piece, bool crlf_is_line_end)
    : file_(std::move(file)),
      max_piece_(max_piece),
      crlf_is_line_end_(crlf_is_line_end),
      buffer_(kReadBlockBytes) {}

bool PieceReader::Fill() {
  if (file_ == nullptr) return false;
  filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
  position_ = 0;
  return filled_ > 0;
}

bool PieceReader::Next(std::string& piece) {
  piece.clear();
  // Editors on Windows start UTF-8 files with a byte order mark; glued to the first line it
  // would spoil that line's register name or command word.
  if (std::exchange(at_start_, false) && (position_ < filled_ || Fill()) &&
      filled_ - position_ >= kByteOrderMark.size() &&
      std::string_view(buffer_.data() + position_, kByteOrderMark.size()) == kByteOrderMark) {
    position_ += kByteOrderMark.size();
  }
  while (piece.size() < max_piece_) {
    if (position_ == filled_ && !Fill()) return !piece.empty();
    const char* start = buffer_.data() + position_;
    const size_t length = std::min(filled_ - position_, max_piece_ - piece.size());
    const char* end = static_cast<const char*>(std::memchr(start, '\n', length));
    if (crlf_is_line_end_) {
      const size_t before_end = end != nullptr ? static_cast<size_t>(end - start) : length;
      if (const void* cr = std::memchr(start, '\r', before_end)) end = static_cast<const char*>(cr);
    }
    if (end == nullptr) {
      piece.append(start, length);
      position_ += length;
      continue;
    }
    piece.append(start, static_cast<size_t>(end - start));
    position_ += static_cast<size_t>(end - start) + 1;
    if (*end == '\n') {
      piece.push_back('\n');
      return true;
    }
    // A CR ends the line only together with the LF after it.
    if ((position_ < filled_ || Fill()) && buffer_[position_] == '\n') {
      ++position_;
      piece.push_back('\n');
      return true;
    }
    piece.push_back('\r');
  }
  return true;
}

void PieceReader::Rewind() {
  if (file_ != nullptr) std::rewind(file_.get());
  position_ = filled_ = 0;
  at_start_ = true;
}

void PieceReader::Close() {
  file_.reset();
  position_ = filled_ = 0;
}

}  // namespace ctrl
