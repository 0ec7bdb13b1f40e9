#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace ctrl::cli {

// Type names that say what an argument's value is. The help shows them, and the shell
// completions offer values by them: the feature labels, file names, the simulated models.
// An argument checked against a set of words (CLI::IsMember) offers those words.
inline constexpr const char* kFeatureValue = "FEATURE";
inline constexpr const char* kFileValue = "FILE";
inline constexpr const char* kModelValue = "MODEL";

// What a shell may offer for one value.
struct CompletedValue {
  std::vector<std::string> words;
  bool files = false;
};

// An option by all its spellings ("-h", "--help"); a flag has no value.
struct CompletedOption {
  std::vector<std::string> names;
  std::string help;
  bool takes_value = false;
  bool value_optional = false;  // --simulate [MODEL]
  CompletedValue value;
};

struct CompletedCommand {
  std::string name;
  std::string help;
  std::vector<CompletedOption> options;
  std::vector<CompletedValue> positionals;  // in order
};

// The command line as the parser defines it: global options and the visible subcommands.
struct CompletionModel {
  std::string program;
  std::vector<CompletedOption> options;
  std::vector<CompletedCommand> commands;
};

CompletionModel CompletionModelOf(const CLI::App& app);

// Scripts for the shells: sourced by bash, or an autoloaded zsh function file.
std::string BashCompletion(const CompletionModel& model);
std::string ZshCompletion(const CompletionModel& model);

// The shells `completion` writes a script for.
const std::vector<std::string>& CompletionShells();

}  // namespace ctrl::cli
