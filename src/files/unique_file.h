#pragma once

#include <cstdio>
#include <memory>

namespace ctrl {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Sole owner of an open C stream; closes it when destroyed or reset. Where the result of the
// close matters (a file being written), close it with std::fclose(file.release()).
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace ctrl
