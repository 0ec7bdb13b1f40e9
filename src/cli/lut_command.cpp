// lut: the camera's LUTs to and from a CSV file.
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/completion.h"
#include "cli/subcommands.h"
#include "cli/terminal_progress.h"
#include "lut/lut_file.h"
#include "lut/lut_transfer.h"

namespace ctrl::cli {
namespace {

struct LutArguments {
  std::string action;  // read or write
  std::string file;
  std::string table = "all";  // red, green, blue or all
};

// The tables the run transfers; empty after a usage error.
std::vector<int> TablesOf(Session& session, const std::string& name) {
  const bool mono = session.engine().device().IsMonochrome();
  if (name == "all") {
    return mono ? std::vector<int>{kGreenLut} : std::vector<int>{kRedLut, kGreenLut, kBlueLut};
  }
  const int table = name == "red" ? kRedLut : name == "green" ? kGreenLut : kBlueLut;
  if (mono && table != kGreenLut) {
    session.err() << "A monochrome camera has only the green table.\n";
    return {};
  }
  return {table};
}

int ReadLuts(Session& session, const LutArguments& arguments, LutTransferContext& io,
             const std::vector<int>& tables) {
  LutBank bank;
  for (int table : tables) {
    if (!ReadLutTable(io, bank, table)) {
      session.err() << "The LUT transfer did not complete; " << arguments.file
                    << " was not written.\n";
      return kExitCamera;
    }
  }
  if (!session.engine().device().IsMonochrome() && tables.size() == 1) {
    session.err() << "Only the " << arguments.table
                  << " table was read; the other columns are 0.\n";
  }
  return WriteLutFile(arguments.file, bank, session.engine().device().kind) ? kExitOk : kExitCamera;
}

int WriteLuts(Session& session, const LutArguments& arguments, LutTransferContext& io,
              const std::vector<int>& tables) {
  // Entries the file lacks are not sent: the camera keeps its own values for them.
  LutBank bank;
  int entries = 0;
  if (!ReadLutFile(arguments.file, bank, session.engine().device().kind, &entries)) {
    return kExitCamera;
  }
  if (entries == 0) {
    session.err() << arguments.file
                  << " holds no LUT entries; nothing was written to the camera.\n";
    return kExitCamera;
  }
  for (int table : tables) {
    if (!WriteLutTable(io, bank, table, table, entries)) {
      session.err() << "The LUT transfer did not complete.\n";
      return kExitCamera;
    }
  }
  if (entries < kLutEntryCount) {
    session.err() << arguments.file << " holds entries 0 to " << entries - 1
                  << "; the camera keeps its values for the others.\n";
  }
  return kExitOk;
}

// Reads the camera's LUTs into a CSV file, or writes a CSV file's tables into the camera.
int LutCommand(Session& session, const LutArguments& arguments) {
  const bool reading = arguments.action == "read";
  // A destination that cannot be written is found before thousands of exchanges, not after.
  if (reading && !CanWriteLutFile(arguments.file)) return kExitCamera;
  if (!session.Identify()) return kExitCamera;
  const std::vector<int> tables = TablesOf(session, arguments.table);
  if (tables.empty()) return kExitUsage;
  TerminalProgress progress(session.err(), session.ProgressOnTerminal());
  NullWindowGate windows;
  LutTransferContext io{session.engine(), session.clock(), progress, windows};
  return reading ? ReadLuts(session, arguments, io, tables)
                 : WriteLuts(session, arguments, io, tables);
}

}  // namespace

Subcommand AddLut(CLI::App& app) {
  auto arguments = std::make_shared<LutArguments>();
  CLI::App* parser =
      app.add_subcommand("lut", "Read the camera's LUTs into a CSV file or write one");
  parser->add_option("action", arguments->action, "read or write")
      ->required()
      ->check(CLI::IsMember({"read", "write"}));
  parser->add_option("file", arguments->file, "LUT file (*.csv)")
      ->type_name(kFileValue)
      ->required();
  parser->add_option("--table", arguments->table, "red, green, blue or all (default)")
      ->check(CLI::IsMember({"red", "green", "blue", "all"}));
  return {parser, [arguments](Session& session) { return LutCommand(session, *arguments); },
          /*needs_camera=*/true, /*long_transfer=*/true};
}

}  // namespace ctrl::cli
