#pragma once

#include <functional>
#include <vector>

#include "camera/command_engine.h"
#include "camera/parameter_database.h"
#include "camera/progress.h"

namespace ctrl {

// The selection index of the CCM Selector control, which decides whether a colour camera's
// matrix coefficients are readable; -1 for no selection.
using CcmSelectorIndex = std::function<int()>;

// The CCM selector as the database last read it.
CcmSelectorIndex CcmSelectorOf(const ParameterDatabase& database);

struct BulkReadResult {
  int read = 0;                // rows the camera answered
  int failed = 0;              // rows that kept their previous value
  std::vector<int> read_rows;  // their row indices, in table order
  std::vector<int> failed_rows;
  bool line_lost = false;  // the line went away: the rows from there on were not even asked
};

// Reads every readable row the connected model has, in table order, into the current values
// (a failed read keeps the previous value). Factory rows only when factory mode is exactly 1.
// When the line goes away, the remaining rows fail at once without an exchange each.
// The caller shows and commits the values afterwards.
BulkReadResult ReadAllParameters(Command& engine, ParameterDatabase& database, int factory_mode,
                                 const CcmSelectorIndex& ccm_selector_index, Progress& progress);

}  // namespace ctrl
