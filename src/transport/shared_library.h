#pragma once

#include <string>

namespace ctrl {

// Sole owner of a library loaded at run time; unloads it when destroyed or reset.
// A path is taken as is. A bare file name goes through the library search: the normal one on
// POSIX; on Windows only the application's folder, AddDllDirectory folders and System32 (never
// the current folder).
class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary() { Unload(); }
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Unloads any library held before; true when the new one is loaded.
  bool Load(const std::string& file);
  void Unload();
  bool loaded() const { return handle_ != nullptr; }
  // The address of an exported function, or nullptr.
  void* Symbol(const char* name) const;

  // Resolves `name` into a function pointer of the caller's type; false when it is missing.
  template <typename Function>
  bool Resolve(const char* name, Function* function) const {
    void* address = Symbol(name);
    *function = reinterpret_cast<Function>(address);
    return address != nullptr;
  }

 private:
  void* handle_ = nullptr;
};

}  // namespace ctrl
