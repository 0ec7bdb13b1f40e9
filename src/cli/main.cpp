#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  ctrl::cli::Environment environment;
  environment.in = &std::cin;
  environment.input_is_terminal = isatty(STDIN_FILENO) != 0;
  return ctrl::cli::Run(args, std::cout, std::cerr, environment);
}
