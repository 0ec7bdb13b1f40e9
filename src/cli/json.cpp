#include "cli/json.h"

namespace ctrl::cli {

std::string JsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace ctrl::cli
