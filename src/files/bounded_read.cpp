#include "files/bounded_read.h"

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

}  // namespace

ReadOpenResult OpenRegularFileForReading(const std::string& path, int64_t max_bytes,
                                         std::FILE*& file) {
  file = nullptr;
#ifdef _WIN32
  std::FILE* opened = std::fopen(path.c_str(), "rb");
  if (opened == nullptr) return ReadOpenResult::kCannotOpen;
  struct _stat64 status;
  if (_fstat64(_fileno(opened), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
    std::fclose(opened);
    return ReadOpenResult::kCannotOpen;
  }
#else
  // Non-blocking, so that opening a FIFO returns at once; it is refused right after.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return ReadOpenResult::kCannotOpen;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return ReadOpenResult::kCannotOpen;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* opened = fdopen(fd, "rb");
  if (opened == nullptr) {
    ::close(fd);
    return ReadOpenResult::kCannotOpen;
  }
#endif
  if (status.st_size > max_bytes) {
    std::fclose(opened);
    return ReadOpenResult::kTooLarge;
  }
  file = opened;
  return ReadOpenResult::kOpened;
}

PieceReader::PieceReader(std::FILE* file, size_t max_piece, bool crlf_is_line_end)
    : file_(file),
      max_piece_(max_piece),
      crlf_is_line_end_(crlf_is_line_end),
      buffer_(kReadBlockBytes) {}

int PieceReader::Get() {
  if (position_ == filled_) {
    filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    position_ = 0;
    if (filled_ == 0) return EOF;
  }
  return static_cast<unsigned char>(buffer_[position_++]);
}

bool PieceReader::Next(std::string& piece) {
  piece.clear();
  int c;
  while ((c = Get()) != EOF) {
    if (c == '\r' && crlf_is_line_end_) {
      const int after = Get();
      if (after == '\n') {
        c = '\n';
      } else if (after != EOF) {
        --position_;  // Get just filled or advanced the buffer, so the character is still there
      }
    }
    piece.push_back(static_cast<char>(c));
    if (c == '\n' || piece.size() >= max_piece_) return true;
  }
  return !piece.empty();
}

void PieceReader::Rewind() {
  std::rewind(file_);
  position_ = filled_ = 0;
}

}  // namespace ctrl
