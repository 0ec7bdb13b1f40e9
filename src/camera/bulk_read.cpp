#include "camera/bulk_read.h"

namespace ctrl {

CcmSelectorIndex CcmSelectorOf(const ParameterDatabase& database) {
  return [&database] {
    for (const auto& row : database.rows()) {
      if (row.command_id == cmd::kCcmSelector) return row.current_value;
    }
    return -1;
  };
}


BulkReadResult ReadAllParameters(Command& engine, ParameterDatabase& database, int factory_mode,
                                 const CcmSelectorIndex& ccm_selector_index, Progress& progress) {
  BulkReadResult result;
  const bool factory = factory_mode == 1;
  const int total = factory ? database.CountReadableRows() : database.CountReadableUserRows();
  progress.OpenProgress("Now, reading camera settings.");
  int running = 0;
  auto& rows = database.mutable_rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const ParameterRow& row = rows[i];
    if (!database.IsReadableRow(static_cast<int>(i))) continue;
    if (row.parameter_class == parameter_class::kFactory && factory_mode == 0) continue;
    int ccm = ccm_selector_index ? ccm_selector_index() : -1;
    if (!CommandTable::IsCommandAvailable(row.command_id, engine.device().kind, ccm)) continue;

    int32_t value = 0;
    if (!result.line_lost && !engine.CancelRequested() &&
        engine.ReadCommand(row.command_id, value, kDefaultTimeoutMs)) {
      database.SetDataValue(row.control_id, value);
      ++result.read;
      result.read_rows.push_back(static_cast<int>(i));
    } else {
      ++result.failed;
      result.failed_rows.push_back(static_cast<int>(i));
      result.line_lost = result.line_lost || engine.last_failure() == Command::Failure::kLineLost;
    }
    running += 100;
    progress.SetProgressPercent(total > 0 ? running / total : 100);
    progress.ProcessPendingMessages();
  }
  progress.FinishProgress();
  return result;
}

}  // namespace ctrl
