#include "camera/model_profile.h"

#include <limits>

#include "camera/command_table.h"

namespace ctrl {
namespace {

using F = ModelFeature;

constexpr CommandSpan kMonoMissing[] = {{26, 26}, {52, 54}, {65, 66},
                                        {71, 71}, {79, 91}, {93, 103}};
constexpr CommandSpan kColorMissing[] = {{26, 26}, {52, 54}, {61, 66}, {68, 68}, {117, 118}};
constexpr CommandSpan kWideMissing[] = {{51, 51}, {71, 71},  {74, 74},
                                        {79, 91}, {93, 103}, {117, 118}};
constexpr CommandSpan kAllCommands[] = {
    {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}};
constexpr CommandSpan kNoCommands = {-1, -2};

constexpr AddressMove kWideMoves[] = {
    {55, "0x0120C054"}, {56, "0x0120C050"}, {41, "0x01001064"}, {43, "0x0100106C"}};
// The wide models have no Line Trigger Divider; its register is their pre divider.
constexpr SharedAddress kWideShared[] = {{cmd::kLineTriggerDivider, cmd::kLineTriggerPreDivider}};

constexpr ModelProfile kMono{ModelKind::Mono,
                             "monochrome",
                             F::kBinning | F::kMeasuredExtTriggerRate | F::kInputExtTriggerCount |
                                 F::kAxiValidCount | F::kLineTriggerDivider | F::kTdi |
                                 F::kFfcSampleFrames | F::kFfcCalAlgorithm | F::kClValidSignals,
                             kMonoMissing,
                             kNoCommands,
                             {},
                             {},
                             8192,
                             true,
                             false,
                             0};

constexpr ModelProfile kColor{ModelKind::Color,
                              "colour",
                              F::kBinning | F::kInputExtTriggerCount | F::kLineTriggerDivider |
                                  F::kAwbLink | F::kFfcCalAlgorithm | F::kColourCorrection |
                                  F::kWhiteBalance | F::kColourMatrix,
                              kColorMissing,
                              {95, 103},
                              {},
                              {},
                              8192,
                              false,
                              true,
                              0};

constexpr ModelProfile kWideMono{ModelKind::WideMono,
                                 "wide monochrome",
                                 F::kBinning | F::kFieldCount | F::kLineTriggerChain | F::kTdi |
                                     F::kFieldGains | F::kFfcSampleFrames,
                                 kWideMissing,
                                 kNoCommands,
                                 kWideMoves,
                                 kWideShared,
                                 16384,
                                 true,
                                 false,
                                 200};

// Nothing is available; LUT files of an unknown camera are read and written as colour files.
constexpr ModelProfile kUnsupported{ModelKind::Unsupported,
                                    "unsupported",
                                    0,
                                    kAllCommands,
                                    kNoCommands,
                                    {},
                                    {},
                                    8192,
                                    false,
                                    false,
                                    0};

}  // namespace

bool ModelProfile::HasCommand(int command_id, int ccm_selector_index) const {
  for (const CommandSpan& span : missing_commands) {
    if (span.Contains(command_id)) return false;
  }
  if (selector_dependent.Contains(command_id)) return ccm_selector_index != 0;
  return true;
}

double ModelProfile::TickLengthNs(int32_t version_number) const {
  return IsNewer(version_number) ? 10.4166666667 : 12.5;
}

int ModelProfile::MeantCommand(int command_id) const {
  for (const SharedAddress& shared : shared_addresses) {
    if (shared.listed == command_id) return shared.meant;
  }
  return command_id;
}

const ModelProfile& ProfileOf(ModelKind kind) {
  switch (kind) {
    case ModelKind::Mono:
      return kMono;
    case ModelKind::Color:
      return kColor;
    case ModelKind::WideMono:
      return kWideMono;
    case ModelKind::Unsupported:
      break;
  }
  return kUnsupported;
}

}  // namespace ctrl
