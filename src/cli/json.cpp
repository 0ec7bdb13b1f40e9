#include "cli/json.h"

namespace ctrl::cli {

Json ValueRecord(const std::string& label, const std::string& address) {
  return {{"label", label},  {"address", address}, {"value", nullptr},
          {"text", nullptr}, {"unit", nullptr},    {"error", nullptr}};
}

std::string JsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace ctrl::cli
