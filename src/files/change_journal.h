#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "camera/command_table.h"
#include "camera/parameter_database.h"

namespace ctrl {

// What sent a journaled value: the operator's own change, or an undo or redo of one.
enum class JournalAction { kChange, kUndo, kRedo };

// One value sent to the camera and what the camera did with it.
struct JournalEntry {
  std::string time;      // the wall-clock time as shown to the operator
  int64_t clock_us = 0;  // the engine's clock at that moment, for ordering
  JournalAction action = JournalAction::kChange;
  int command_id = -1;
  int32_t before = 0;     // the camera's value before the write
  int32_t requested = 0;  // the value written
  int32_t after = 0;      // the camera's value after: `requested` when confirmed, else `before`
  bool confirmed = false;
};

// A value to send for a command to step back or forward through the changes.
struct JournalTarget {
  int command_id = -1;
  int32_t value = 0;
  bool operator==(const JournalTarget&) const = default;
};

// Every change sent to the camera during a run, with the editor's undo and redo rules: undo
// steps back through the confirmed changes newest first, redo forward through what was undone,
// and a new confirmed change drops what could be redone. Refused writes are listed but never
// become undo or redo steps; an undo or redo the camera refuses leaves the steps where they
// were, so it can be tried again.
class ChangeJournal {
 public:
  // Appends the entry; a confirmed one moves the undo and redo steps by its action. A confirmed
  // undo or redo that is not for the command of the current step is listed only.
  void Record(JournalEntry entry);

  // The newest confirmed change not yet undone: its command and the value it replaced.
  std::optional<JournalTarget> UndoTarget() const;
  // The most recently undone change: its command and the value it set.
  std::optional<JournalTarget> RedoTarget() const;

  const std::vector<JournalEntry>& entries() const { return entries_; }
  // True when some entry was confirmed, so an export has a value to write.
  bool HasConfirmedChange() const;

 private:
  std::vector<JournalEntry> entries_;
  // Indices into entries_ of the operator's changes: done oldest first, undone newest-undone last.
  std::vector<size_t> done_;
  std::vector<size_t> undone_;
};

// Writes the rows the entries changed, in the settings-file form a load reads: for each command
// with a confirmed entry, the camera's value after the last one, in command order. Rows that
// settings files do not hold are left out. Colour matrix values need a CCM selection to be
// loaded: when some are written and the selector is not, the selector's current value in
// `database` goes first. False (with the writer's message) when the file cannot be written;
// the previous file is then kept.
bool WritePartialSettingsFile(const std::string& path, std::span<const JournalEntry> entries,
                              const CommandTable& table, const ParameterDatabase& database);

}  // namespace ctrl
