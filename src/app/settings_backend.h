#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace ctrl {

// Where the persisted values live: the registry key on Windows, a QSettings file elsewhere,
// memory in tests. Every call opens the store for reading and writing, does its one query or set
// and closes it again; a store that cannot be opened answers false everywhere. A store that
// cannot be written counts as one that cannot be opened: its values are not read either, so a
// run without write access starts on the defaults rather than on values it can never update.
class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;
  // False when the value is missing, is not an integer, or the store is unavailable.
  virtual bool GetInt(const std::string& name, uint32_t* value) const = 0;
  // False when the value is missing, is not text, or the store is unavailable.
  virtual bool GetString(const std::string& name, std::string* value) const = 0;
  virtual bool SetInt(const std::string& name, uint32_t value) = 0;
  virtual bool SetString(const std::string& name, const std::string& value) = 0;
};

// Keeps the values in a map; tests can make the store read-only or unreachable.
class MemorySettingsBackend final : public SettingsBackend {
 public:
  using Value = std::variant<uint32_t, std::string>;

  bool GetInt(const std::string& name, uint32_t* value) const override;
  bool GetString(const std::string& name, std::string* value) const override;
  bool SetInt(const std::string& name, uint32_t value) override;
  bool SetString(const std::string& name, const std::string& value) override;

  // No write access: like a key that cannot be opened with full access, nothing is read either.
  void set_read_only(bool read_only) { read_only_ = read_only; }
  // Nothing can be read or written (like a key that cannot be opened).
  void set_unavailable(bool unavailable) { unavailable_ = unavailable; }

  const std::map<std::string, Value>& values() const { return values_; }
  bool Contains(const std::string& name) const { return values_.count(name) != 0; }

 private:
  std::map<std::string, Value> values_;
  bool read_only_ = false;
  bool unavailable_ = false;
};

}  // namespace ctrl
