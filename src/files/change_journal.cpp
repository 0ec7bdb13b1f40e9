#include "files/change_journal.h"

#include <algorithm>
#include <map>
#include <utility>

#include "files/camera_settings_file.h"

namespace ctrl {
namespace {

// The colour matrix registers hold the values of the set the CCM Selector chose.
bool IsColourMatrixCommand(int command_id) {
  return command_id >= cmd::kFirstCcmCoefficient && command_id < cmd::kFirstCcmCoefficient + 9;
}

}  // namespace

void ChangeJournal::Record(JournalEntry entry) {
  const size_t index = entries_.size();
  const JournalAction action = entry.action;
  const bool confirmed = entry.confirmed;
  const int command_id = entry.command_id;
  entries_.push_back(std::move(entry));
  if (!confirmed) return;
  switch (action) {
    case JournalAction::kChange:
      done_.push_back(index);
      undone_.clear();
      break;
    case JournalAction::kUndo:
      if (!done_.empty() && entries_[done_.back()].command_id == command_id) {
        undone_.push_back(done_.back());
        done_.pop_back();
      }
      break;
    case JournalAction::kRedo:
      if (!undone_.empty() && entries_[undone_.back()].command_id == command_id) {
        done_.push_back(undone_.back());
        undone_.pop_back();
      }
      break;
  }
}

std::optional<JournalTarget> ChangeJournal::UndoTarget() const {
  if (done_.empty()) return std::nullopt;
  const JournalEntry& change = entries_[done_.back()];
  return JournalTarget{change.command_id, change.before};
}

std::optional<JournalTarget> ChangeJournal::RedoTarget() const {
  if (undone_.empty()) return std::nullopt;
  const JournalEntry& change = entries_[undone_.back()];
  return JournalTarget{change.command_id, change.after};
}

bool ChangeJournal::HasConfirmedChange() const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [](const JournalEntry& entry) { return entry.confirmed; });
}

bool WritePartialSettingsFile(const std::string& path, std::span<const JournalEntry> entries,
                              const CommandTable& table, const ParameterDatabase& database) {
  // Keyed by command id: the map's order is the command order of the file.
  std::map<int, int32_t> last_values;
  for (const JournalEntry& entry : entries) {
    if (entry.confirmed) last_values[entry.command_id] = entry.after;
  }
  auto row_of = [&database](int command_id) -> const ParameterRow* {
    const auto& rows = database.rows();
    auto row = std::find_if(rows.begin(), rows.end(), [command_id](const ParameterRow& r) {
      return r.command_id == command_id;
    });
    return row == rows.end() ? nullptr : &*row;
  };
  const bool has_matrix_value =
      std::any_of(last_values.begin(), last_values.end(),
                  [&](const auto& value) { return IsColourMatrixCommand(value.first); });
  if (has_matrix_value && !last_values.contains(cmd::kCcmSelector)) {
    if (const ParameterRow* selector = row_of(cmd::kCcmSelector); selector != nullptr) {
      last_values[cmd::kCcmSelector] = selector->synchronised_value;
    }
  }

  std::vector<SettingsFileValue> lines;
  for (const auto& [command_id, value] : last_values) {
    const ParameterRow* row = row_of(command_id);
    if (row == nullptr || database.IsInSettingsFile(row->control_id) == 0) continue;
    lines.push_back({command_id, value});
  }
  return WriteSettingsFileValues(path, table, lines);
}

}  // namespace ctrl
