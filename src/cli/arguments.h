#pragma once

#include "camera/number_parse.h"

namespace ctrl::cli {

// The command line parses its numbers with the core's parser.
using ctrl::ParseInteger;
using ctrl::ParseRegisterAddress;
using ctrl::ParseRegisterValue;

}  // namespace ctrl::cli
