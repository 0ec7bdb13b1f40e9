#include "transport/library_folder.h"

#include <memory>

#ifdef _WIN32
#include "transport/windows_api.h"
#else
#include <dirent.h>
#include <fnmatch.h>
#endif

namespace ctrl {

#ifdef _WIN32

namespace {

constexpr UINT kSystemFolderBufferSize = 1023;

// A file search; FindClose ends it.
struct SearchCloser {
  void operator()(HANDLE search) const { ::FindClose(search); }
};
using UniqueSearch = std::unique_ptr<void, SearchCloser>;

}  // namespace

std::string DefaultVendorLibraryFolder() {
  char folder[kSystemFolderBufferSize + 1] = {};
  const UINT length = ::GetSystemDirectoryA(folder, kSystemFolderBufferSize);
  if (length == 0 || length >= kSystemFolderBufferSize) return "";
  return folder;
}

std::vector<std::string> ListVendorLibraries(const std::string& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA found{};
  const HANDLE first = ::FindFirstFileA(PathInFolder(folder, "clser*.dll").c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return files;
  const UniqueSearch search(first);
  do {
    files.emplace_back(found.cFileName);
  } while (::FindNextFileA(search.get(), &found));
  return files;
}

std::string PathInFolder(const std::string& folder, const std::string& file) {
  return folder + "\\" + file;
}

#else

namespace {

struct FolderCloser {
  void operator()(DIR* folder) const { ::closedir(folder); }
};
using UniqueFolder = std::unique_ptr<DIR, FolderCloser>;

}  // namespace

std::string DefaultVendorLibraryFolder() {
  return "/usr/lib/cameralink";
}

std::vector<std::string> ListVendorLibraries(const std::string& folder) {
  std::vector<std::string> files;
  const UniqueFolder listing(::opendir(folder.c_str()));
  if (listing == nullptr) return files;
  while (const dirent* entry = ::readdir(listing.get())) {
    if (::fnmatch("clser*.so", entry->d_name, 0) == 0 ||
        ::fnmatch("libclser*.so", entry->d_name, 0) == 0) {
      files.emplace_back(entry->d_name);
    }
  }
  return files;
}

std::string PathInFolder(const std::string& folder, const std::string& file) {
  return folder + "/" + file;
}

#endif

}  // namespace ctrl
