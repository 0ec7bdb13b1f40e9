#include "camera/command_table.h"

#include <algorithm>
#include <cctype>

#include "camera/model_profile.h"
#include "camera/protocol.h"

namespace ctrl {
namespace {

struct CommandEntry {
  const char* address;
  const char* label;  // what the parameter is and how it is used: the feature catalogue
};

constexpr CommandEntry kEntries[CommandTable::kCount] = {
    {"0x01600000", "Device Type"},
    {"0x01600004", "Device Scan Type"},
    {"0x00000004", "Device Vendor Name"},
    {"0x00000044", "Device Model Name"},
    {"0x000000C4", "Device Version"},
    {"0x01600088", "Device Firmware Version"},
    {"0x00000144", "Device Serial Number"},
    {"0x00000184", "Device User ID"},
    {"0x01600048", "Sensor ID"},
    {"0x01600108", "FPGA Version"},
    {"0x01600188", "XML Version"},
    {"0x01600324", "Device Temperature Selector"},
    {"0x01600328", "Device Temperature"},
    {"0x01600334", "Device Voltage Selector"},
    {"0x01600338", "Device Voltage"},
    {"0x01600218", "refresh Device State"},
    {"0x01600410", "LVDS Re Training"},
    {"0x01000040", "Device Reset"},
    {"0x01302040", "Binning Horizontal"},
    {"0x01302044", "Binning Horizontal Mode"},
    {"0x01303038", "sensor width"},
    {"0x01303048", "Offset X"},
    {"0x01303040", "Width"},
    {"0x01303044", "Height"},
    {"0x01401040", "Pixel Format"},
    {"0x01301000", "Reverse X"},
    {"0x01208000", "Field Count"},
    {"0x01208004", "Field Rset"},
    {"0x01100000", "Test Pattern"},
    {"0x01001080", "Exposure Mode"},
    {"0x01001010", "Exposure Time"},
    {"0x01001088", "Measured Exposure Time"},
    {"0x01001014", "Exposure Time Min"},
    {"0x01001018", "Exposure Time Max"},
    {"0x0100101C", "Internal Line Rate"},
    {"0x01001020", "Linetime MIN"},
    {"0x01001024", "Linetime MAX"},
    {"0x01001038", "Measured Line Rate"},
    {"0x01001078", "Measured Ext Trigger Rate"},
    {"0x0100107C", "Ext Trigger Dropped"},
    {"0x01001074", "Ext Trigger Dropped clear"},
    {"0x0100106C", "Ext Trigger Count"},
    {"0x01001060", "Ext Trigger Count clear"},
    {"0x01001064", "Input Ext Trigger Count"},
    {"0x01001170", "SOL Count"},
    {"0x01001174", "EOL Count"},
    {"0x01206064", "axidgtvalid Count"},
    {"0x01501064", "Cameratvalid Count"},
    {"0x01001004", "Line Trigger Mode"},
    {"0x01006044", "Line Trigger Source"},
    {"0x01006048", "Line Trigger Activation"},
    {"0x0100604C", "Line Trigger Divider"},
    {"0x0100604C", "Line Trigger Pre Divider"},
    {"0x01006060", "Line Trigger Multiplier"},
    {"0x01006064", "Line Trigger Post Divider"},
    {"0x01209054", "Black Level Mode"},
    {"0x01209050", "Black Level"},
    {"0x0120604C", "Digital Gain"},
    {"0x01207040", "Digital Shift"},
    {"0x01203000", "Gamma Enable"},
    {"0x01203C00", "Gamma"},
    {"0x01106008", "TDI Stage"},
    {"0x0110600C", "TDI Mode"},
    {"0x01108044", "TDI Parameter"},
    {"0x01108040", "TDI Row Direction"},
    {"0x01106010", "Field 1 Gain"},
    {"0x01209010", "Field 2 Gain"},
    {"0x01102000", "FFC Enable"},
    {"0x01102080", "FFC Sample Frames"},
    {"0x01102D00", "FFC User Set Selector"},
    {"0x01102D04", "FFC user set load"},
    {"0x01102C18", "AWB Link"},
    {"0x01102040", "FFC Cal Area Start X"},
    {"0x01102048", "FFC Cal Area Width"},
    {"0x01102C00", "FFC Cal Algorithm"},
    {"0x01102C04", "FFC Cal Target Mode"},
    {"0x01102C08", "FFC Cal Target Value"},
    {"0x01102084", "FFC Cal FPN"},
    {"0x01102088", "FFC Cal PRNU"},
    {"0x01103000", "CSC Enable"},
    {"0x01103040", "CSC Direction"},
    {"0x01103044", "CSC Left Skew"},
    {"0x01103048", "CSC Right Skew"},
    {"0x01104000", "SC Enable"},
    {"0x01104040", "SC Direction"},
    {"0x01104044", "SC Parameter"},
    {"0x01201080", "WB Calib Mode"},
    {"0x01201040", "WB Red Gain"},
    {"0x01201044", "WB Blue Gain"},
    {"0x01201098", "WB Green Gain"},
    {"0x01201088", "WB Calib AOI Start X"},
    {"0x01201090", "WB Calib AOI Width"},
    {"0x01201C00", "not used by any operation"},
    {"0x01202000", "CCM Enable"},
    {"0x01202C00", "CCM Selector"},
    {"0x01202040", "CCM_A11"},
    {"0x01202044", "CCM_A12"},
    {"0x01202048", "CCM_A13"},
    {"0x0120204C", "CCM_A21"},
    {"0x01202050", "CCM_A22"},
    {"0x01202054", "CCM_A23"},
    {"0x01202058", "CCM_A31"},
    {"0x0120205C", "CCM_A32"},
    {"0x01202060", "CCM_A33"},
    {"0x01204000", "LUT Enable"},
    {"0x01204C00", "LUT Selector"},
    {"0x01204C18", "LUT save"},
    {"0x01204C1C", "LUT load"},
    {"0x01204C08", "LUT Index"},
    {"0x01204C0C", "LUT Value"},
    {"0x01600310", "user set area"},
    {"0x01600314", "user set load"},
    {"0x01600318", "user set store"},
    {"0x01600320", "User Set Default Selector"},
    {"0x01501008", "Cl Configuration"},
    {"0x01501060", "Camera Link Clk Frequency"},
    {"0x01501010", "Device Tap Geometry"},
    {"0x01501070", "Cl FVAL"},
    {"0x01501074", "Cl DVAL"},
    {"0x00010004", "Baud Rate"},
    {"0x01600314", "Data Size"},
    {"0x01600318", "Parity"},
    {"0x01600320", "Stop Bits"},
    {"0x01501110", "EEN Output"},
};

}  // namespace

CommandTable::CommandTable() {
  Reset();
}

void CommandTable::Reset() {
  for (int id = 0; id < kCount; ++id) addresses_[id] = kEntries[id].address;
}

std::string CommandTable::GetCommandAddress(int command_id) const {
  return addresses_[command_id];
}

bool CommandTable::SetCommandAddress(int command_id, std::string_view address_text) {
  if (command_id < 0 || command_id >= kCount) return false;
  addresses_[command_id] = std::string(address_text);
  return true;
}

uint32_t CommandTable::GetCommandRegister(int command_id) const {
  return static_cast<uint32_t>(AutoBaseToUInt32(addresses_[command_id]));
}

int CommandTable::FindCommandByAddress(std::string_view text, ModelKind kind) const {
  for (int id = 0; id < kCount; ++id) {
    if (addresses_[id] == text) {
      return ProfileOf(kind).MeantCommand(id);
    }
  }
  return -1;
}

void CommandTable::ApplyWideModelOverride() {
  ApplyAddressMoves(ProfileOf(ModelKind::WideMono));
}

void CommandTable::ApplyAddressMoves(const ModelProfile& profile) {
  for (const AddressMove& move : profile.address_moves) {
    SetCommandAddress(move.command_id, move.address);
  }
}

bool CommandTable::IsCommandAvailable(int command_id, ModelKind kind, int ccm_selector_index) {
  return ProfileOf(kind).HasCommand(command_id, ccm_selector_index);
}

std::string_view CommandTable::FeatureLabel(int command_id) {
  if (command_id < 0 || command_id >= kCount) return {};
  return kEntries[command_id].label;
}

int CommandTable::FindCommandByLabel(std::string_view label) {
  auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
  for (int id = 0; id < kCount; ++id) {
    std::string_view feature = FeatureLabel(id);
    if (feature.size() == label.size() &&
        std::equal(feature.begin(), feature.end(), label.begin(),
                   [&](char a, char b) { return lower(a) == lower(b); })) {
      return id;
    }
  }
  return -1;
}

CommandTable& Commands() {
  static CommandTable table;
  return table;
}

}  // namespace ctrl
