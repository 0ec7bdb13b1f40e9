#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "files/unique_file.h"

namespace ctrl {

// The bound every file the tool reads must keep: far above any settings or LUT file.
inline constexpr int64_t kMaxReadFileBytes = int64_t{16} << 20;

// Opens a file for reading without ever blocking (a FIFO without writer would) and only when it
// is a regular file of at most `max_bytes`.
enum class ReadOpenResult { kOpened, kCannotOpen, kTooLarge };
struct FileForReading {
  ReadOpenResult result = ReadOpenResult::kCannotOpen;
  UniqueFile file;  // only when opened
};
FileForReading OpenRegularFileForReading(const std::string& path, int64_t max_bytes);

// Reads a file the way a line-by-line read with a fixed buffer does, without holding more than
// one piece: a piece ends after a line feed or after `max_piece` characters, whichever comes
// first. With `crlf_is_line_end`, CR LF is read as a single LF. A UTF-8 byte order mark at the
// start of the file is no part of its first piece.
class PieceReader {
 public:
  PieceReader(UniqueFile file, size_t max_piece, bool crlf_is_line_end);

  // The next piece; false at the end of the file or on a read error.
  bool Next(std::string& piece);
  // True when reading stopped on an error rather than at the end of the file.
  bool failed() const { return file_ != nullptr && std::ferror(file_.get()) != 0; }
  // Back to the start of the file.
  void Rewind();
  // Gives the file back early; no piece follows.
  void Close();

 private:
  // Refills the buffer once everything in it was taken; false at the end or on an error.
  bool Fill();

  UniqueFile file_;
  size_t max_piece_;
  bool crlf_is_line_end_;
  std::vector<char> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
  bool at_start_ = true;
};

}  // namespace ctrl
