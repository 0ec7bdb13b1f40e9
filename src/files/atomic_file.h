#pragma once

#include <string>
#include <string_view>

#include "files/unique_file.h"

namespace ctrl {

// Writes a file so that the previous version survives any failure: the text goes to a
// temporary file in the same folder, which replaces the target only after everything was
// written and flushed to disk. Destroying an uncommitted writer removes the temporary file.
//
// A symbolic link is followed and the file it names is replaced, not the link. Only a regular
// file (or a name that does not exist yet) is ever replaced: a folder, device, FIFO or socket is
// refused, and so is a file the user may not write. The replacement keeps the permission bits
// of the file it replaces.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the target may not be replaced or the temporary file cannot be created (folder
  // missing or not writable).
  bool Open(const std::string& path);
  // Appends text; a failed write is remembered and makes Commit fail.
  void Write(std::string_view text);
  // Flushes, syncs and renames over the target. False (and the target untouched, the temporary
  // file removed) on any error.
  bool Commit();
  void Abandon();

 private:
  std::string target_;  // the file to replace, with symbolic links followed
  std::string temp_path_;
  UniqueFile file_;
  bool failed_ = false;
};

// Whether AtomicFileWriter::Open would succeed for this path now; leaves nothing behind. Lets a
// long camera transfer find an unwritable destination before it starts.
bool CanReplaceFile(const std::string& path);

// A write beyond the process's file size limit then fails with an error the writer reports,
// instead of the signal ending the process with the temporary file left behind.
void IgnoreFileSizeSignal();

// The folder part of a path: the text before the last '/' or '\'; empty when there is none.
std::string FolderOf(const std::string& path);

}  // namespace ctrl
