#include "transport/shared_library.h"

#include <utility>

#ifdef _WIN32
#include "transport/windows_api.h"
#else
#include <dlfcn.h>
#endif

namespace ctrl {

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

#ifdef _WIN32

namespace {

bool HasFolderPart(const std::string& file) {
  return file.find_first_of("\\/:") != std::string::npos;
}

}  // namespace

// The plain search of LoadLibraryA also looks in the current folder, so a DLL planted beside a
// document the operator opens would run inside the tool. Bare names are searched only in the
// application's folder, the folders added with AddDllDirectory and System32; a path is loaded
// as given, and its own dependencies come from its folder and System32.
bool SharedLibrary::Load(const std::string& file) {
  Unload();
  HMODULE module = nullptr;
  if (HasFolderPart(file)) {
    char full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameA(file.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    module = ::LoadLibraryExA(full, nullptr,
                              LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    module = ::LoadLibraryExA(file.c_str(), nullptr,
                              LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                                  LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  handle_ = reinterpret_cast<void*>(module);
  return handle_ != nullptr;
}

void SharedLibrary::Unload() {
  if (handle_ != nullptr) ::FreeLibrary(reinterpret_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
}

#else

bool SharedLibrary::Load(const std::string& file) {
  Unload();
  handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void SharedLibrary::Unload() {
  if (handle_ != nullptr) ::dlclose(handle_);
  handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return ::dlsym(handle_, name);
}

#endif

}  // namespace ctrl
