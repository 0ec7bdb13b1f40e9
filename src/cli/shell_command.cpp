// shell: many commands over one connection, one per line, in the command line's own syntax.
#include <CLI/CLI.hpp>

#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/completion.h"
#include "cli/interrupt.h"
#include "cli/subcommands.h"
#include "files/bounded_read.h"

namespace ctrl::cli {
namespace {

struct ShellArguments {
  std::string file;  // the script; the program's input when empty
  bool keep_going = false;
};

}  // namespace

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else if (c == '\'') {
      const size_t end = line.find('\'', i + 1);
      if (end == std::string_view::npos) return std::nullopt;
      word.append(line.substr(i + 1, end - i - 1));
      in_word = true;
      i = end;
    } else if (c == '"') {
      in_word = true;
      for (++i;; ++i) {
        if (i >= line.size()) return std::nullopt;
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
          ++i;
        }
        word.push_back(line[i]);
      }
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

namespace {

// One script line: its own parser over the same subcommands, run on the shell's session.
int ParseAndRunLine(Session& session, const std::vector<std::string>& words) {
  if (!words.empty() && (words[0] == "terminal" || words[0] == "shell")) {
    session.err() << words[0] << " cannot run inside a script.\n";
    return kExitUsage;
  }
  CLI::App app{"", "ctrltool-cli shell"};
  app.require_subcommand(1, 1);
  const std::vector<Subcommand> subcommands = AddScriptSubcommands(app);
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    session.out() << app.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    session.err() << e.what() << '\n';
    return kExitUsage;
  }
  for (const Subcommand& subcommand : subcommands) {
    if (subcommand.parser->parsed()) return subcommand.run(session);
  }
  return kExitUsage;
}

int RunLine(Session& session, const std::vector<std::string>& words) {
  return session.RunReported(words.empty() ? "" : words[0],
                             [&] { return ParseAndRunLine(session, words); });
}

// Longer script lines are refused rather than read without bound.
constexpr size_t kMaxScriptLine = 4096;

int ShellCommand(Session& session, const ShellArguments& arguments) {
  // The next line without its end; false at the end of the script. A script file is read only
  // when it is a regular file (a FIFO without writer would hang the run, a folder reads as
  // nothing), and line by line with a bound.
  std::function<bool(std::string&)> next_line;
  std::optional<PieceReader> file;
  if (!arguments.file.empty()) {
    FileForReading opened = OpenRegularFileForReading(arguments.file, kMaxReadFileBytes);
    if (opened.result != ReadOpenResult::kOpened) {
      session.err() << arguments.file
                    << (opened.result == ReadOpenResult::kTooLarge
                            ? ": the script is too large.\n"
                            : ": the script could not be opened (it must be a readable file).\n");
      return kExitUsage;
    }
    file.emplace(std::move(opened.file), kMaxScriptLine + 1, true);
    next_line = [&file](std::string& line) {
      if (!file->Next(line)) return false;
      if (!line.empty() && line.back() == '\n') line.pop_back();
      return true;
    };
  } else if (std::istream* in = session.environment().in) {
    next_line = [in](std::string& line) { return static_cast<bool>(std::getline(*in, line)); };
  } else {
    return kExitOk;
  }
  int result = kExitOk;
  std::string line;
  for (int number = 1; next_line(line); ++number) {
    if (line.size() > kMaxScriptLine) {
      session.err() << "Line " << number << " is longer than " << kMaxScriptLine
                    << " characters.\n";
      return kExitUsage;
    }
    const size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    const std::optional<std::vector<std::string>> words = SplitCommandLine(line);
    const int code = words ? RunLine(session, *words) : session.RunReported("", [&session] {
      session.err() << "A quote is not closed.\n";
      return kExitUsage;
    });
    if (InterruptRequested()) return kExitInterrupted;
    if (code == kExitOk) continue;
    session.err() << "Line " << number << " failed (exit " << code << ").\n";
    if (result == kExitOk) result = code;
    if (!arguments.keep_going) break;
  }
  return result;
}

}  // namespace

Subcommand AddShell(CLI::App& app) {
  auto arguments = std::make_shared<ShellArguments>();
  CLI::App* parser = app.add_subcommand(
      "shell", "Run commands, one per line (from FILE or standard input), over one connection");
  parser->add_option("file", arguments->file, "Script file; standard input when none")
      ->type_name(kFileValue);
  parser->add_flag("--keep-going", arguments->keep_going,
                   "Run the remaining lines after a failed one");
  return {parser, [arguments](Session& session) { return ShellCommand(session, *arguments); },
          /*needs_camera=*/true, /*long_transfer=*/true};
}

}  // namespace ctrl::cli
