#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "camera/device_model.h"

namespace ctrl {

// Parts of the camera that only some kinds have, beyond what the command table tells: the pages
// enable their controls and the readout buttons read them only where the kind has them.
enum class ModelFeature : uint32_t {
  kBinning = 1u << 0,
  kFieldCount = 1u << 1,  // two-field imaging and its reset
  kMeasuredExtTriggerRate = 1u << 2,
  kInputExtTriggerCount = 1u << 3,
  kAxiValidCount = 1u << 4,
  kLineTriggerDivider = 1u << 5,
  kLineTriggerChain = 1u << 6,  // pre divider, multiplier and post divider
  kTdi = 1u << 7,
  kFieldGains = 1u << 8,
  kFfcSampleFrames = 1u << 9,
  kAwbLink = 1u << 10,
  kFfcCalAlgorithm = 1u << 11,
  kColourCorrection = 1u << 12,  // colour skew and spatial correction
  kWhiteBalance = 1u << 13,
  kColourMatrix = 1u << 14,
  kClValidSignals = 1u << 15,  // Cl FVAL and Cl DVAL
};

constexpr uint32_t operator|(ModelFeature a, ModelFeature b) {
  return static_cast<uint32_t>(a) | static_cast<uint32_t>(b);
}
constexpr uint32_t operator|(uint32_t a, ModelFeature b) {
  return a | static_cast<uint32_t>(b);
}

// Inclusive range of command ids.
struct CommandSpan {
  int first;
  int last;
  constexpr bool Contains(int id) const { return id >= first && id <= last; }
};

// A register that sits at another address on this kind.
struct AddressMove {
  int command_id;
  std::string_view address;
};

// Two commands that share an address: a reply or a file line with it names `meant`.
struct SharedAddress {
  int listed;
  int meant;
};

// What the tool knows about one kind of camera, in one place: which commands and features it
// has, where its registers differ, its limits and its timing.
struct ModelProfile {
  ModelKind kind;
  std::string_view name;  // "monochrome", "colour", ...
  uint32_t features;
  std::span<const CommandSpan> missing_commands;
  // Commands that need a CCM Selector selection other than 0 (-1 stands for none).
  CommandSpan selector_dependent;
  std::span<const AddressMove> address_moves;
  std::span<const SharedAddress> shared_addresses;
  int32_t ffc_area_limit;  // largest FFC calibration start and width
  bool monochrome;         // one LUT (the green table); files hold one column
  bool colour;             // three LUTs chosen by the LUT Selector; colour matrix
  // Device versions from this one count line timing in shorter ticks; 0 for never.
  int32_t newer_from_version;

  bool Has(ModelFeature feature) const { return (features & static_cast<uint32_t>(feature)) != 0; }
  bool HasCommand(int command_id, int ccm_selector_index) const;
  bool IsNewer(int32_t version_number) const {
    return newer_from_version != 0 && version_number >= newer_from_version;
  }
  // Length of one line-timing tick in nanoseconds.
  double TickLengthNs(int32_t version_number) const;
  // The command a reply or file line with the address of `command_id` stands for.
  int MeantCommand(int command_id) const;
};

const ModelProfile& ProfileOf(ModelKind kind);
inline const ModelProfile& ProfileOf(const DeviceModel& device) {
  return ProfileOf(device.kind);
}

}  // namespace ctrl
