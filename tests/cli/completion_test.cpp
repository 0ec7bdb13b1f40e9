// Catches shell completions that drift from the command line: a subcommand, a feature label or
// a model the scripts do not offer, a hidden command that leaks into them, or a script the
// shells cannot even read.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "camera/command_table.h"
#include "camera/feature_catalogue.h"
#include "cli/cli.h"
#include "sim/model_kind.h"

namespace ctrl::cli {
namespace {

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = Run(args, out, err);
  return {code, out.str(), err.str()};
}

// The subcommands the help lists: the first word of each line under its subcommands heading.
std::vector<std::string> SubcommandsInHelp() {
  const Result help = RunCli({"--help"});
  std::istringstream lines(help.out);
  std::vector<std::string> names;
  bool listing = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("ubcommands:") != std::string::npos || line == "SUBCOMMANDS:") {
      listing = true;
      continue;
    }
    if (!listing || line.empty()) continue;
    if (line.front() != ' ') break;
    std::istringstream words(line);
    std::string name;
    words >> name;
    names.push_back(name);
  }
  return names;
}

// A word as the scripts quote it for the shell.
std::string ShellWord(const std::string& word) {
  return "'" + word + "'";
}

// An option as bash lists it ('--json') or as a zsh option definition starts: '--json[...]' alone,
// or
// {-h,--help}'[...]' for one with several spellings.
bool OffersOption(const std::string& script, const std::string& option) {
  for (const std::string& form :
       {ShellWord(option), "'" + option + "[", "," + option + "}", "{" + option + ","}) {
    if (script.find(form) != std::string::npos) return true;
  }
  return false;
}

class CompletionScript : public testing::TestWithParam<const char*> {
 protected:
  std::string Script() const {
    const Result r = RunCli({"completion", GetParam()});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    return r.out;
  }
};

TEST_P(CompletionScript, OffersEverySubcommandOfTheHelpAndNotItself) {
  const std::string script = Script();
  const std::vector<std::string> subcommands = SubcommandsInHelp();
  // identify ... shell: a help that lists far fewer has changed its layout, not its commands.
  ASSERT_GE(subcommands.size(), 16u);
  for (const std::string& name : subcommands) {
    EXPECT_NE(script.find(ShellWord(name)), std::string::npos) << name;
  }
  EXPECT_EQ(script.find("'completion"), std::string::npos);
}

TEST_P(CompletionScript, OffersEveryFeatureLabelAndEveryModel) {
  const std::string script = Script();
  ASSERT_FALSE(Features().empty());
  for (const Feature& feature : Features()) {
    const std::string label(CommandTable::FeatureLabel(feature.command_id));
    EXPECT_NE(script.find(ShellWord(label)), std::string::npos) << label;
  }
  for (const std::string& model : sim::ModelNames()) {
    EXPECT_NE(script.find(ShellWord(model)), std::string::npos) << model;
  }
}

TEST_P(CompletionScript, OffersEveryOptionOfTheHelp) {
  const std::string script = Script();
  std::istringstream words(RunCli({"--help"}).out + RunCli({"lut", "--help"}).out);
  int options = 0;
  for (std::string word; words >> word;) {
    if (!word.starts_with("--")) continue;
    word = word.substr(0, word.find_first_of(",=[ "));
    ++options;
    EXPECT_TRUE(OffersOption(script, word)) << word;
  }
  EXPECT_GE(options, 14);
}

INSTANTIATE_TEST_SUITE_P(Shells, CompletionScript, testing::Values("bash", "zsh"));

TEST(Completion, IsHiddenFromTheHelpAndRefusesAnUnknownShell) {
  EXPECT_EQ(RunCli({"--help"}).out.find("completion"), std::string::npos);
  EXPECT_EQ(RunCli({"completion", "tcsh"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"completion"}).code, kExitUsage);
}

}  // namespace
}  // namespace ctrl::cli
