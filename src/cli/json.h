#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ctrl::cli {

// Just enough JSON writing for the CLI's --json output.
std::string JsonQuote(std::string_view text);

class JsonObject {
 public:
  void Add(std::string_view key, std::string_view value) { AddRaw(key, JsonQuote(value)); }
  void Add(std::string_view key, const char* value) { Add(key, std::string_view(value)); }
  void Add(std::string_view key, const std::string& value) { Add(key, std::string_view(value)); }
  void Add(std::string_view key, int64_t value) { AddRaw(key, std::to_string(value)); }
  void Add(std::string_view key, int32_t value) { AddRaw(key, std::to_string(value)); }
  void Add(std::string_view key, bool value) { AddRaw(key, value ? "true" : "false"); }
  std::string str() const { return "{" + body_ + "}"; }

 private:
  void AddRaw(std::string_view key, const std::string& raw) {
    if (!body_.empty()) body_ += ",";
    body_ += JsonQuote(key) + ":" + raw;
  }
  std::string body_;
};

class JsonArray {
 public:
  void Add(const JsonObject& item) {
    if (!body_.empty()) body_ += ",";
    body_ += item.str();
  }
  std::string str() const { return "[" + body_ + "]"; }

 private:
  std::string body_;
};

}  // namespace ctrl::cli
