#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace ctrl {

// Writes a file so that the previous version survives any failure: the text goes to a
// temporary file in the same folder, which replaces the target only after everything was
// written and flushed to disk. Destroying an uncommitted writer removes the temporary file.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the temporary file cannot be created (folder missing or not writable).
  bool Open(const std::string& path);
  // Appends text; a failed write is remembered and makes Commit fail.
  void Write(std::string_view text);
  // Flushes, syncs and renames over the target. False (and the target untouched) on any error.
  bool Commit();
  void Abandon();

 private:
  std::string path_;
  std::string temp_path_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// The folder part of a path: the text before the last '/' or '\'; empty when there is none.
std::string FolderOf(const std::string& path);

}  // namespace ctrl
