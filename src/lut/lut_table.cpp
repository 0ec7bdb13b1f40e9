#include "lut/lut_table.h"

#include "camera/model_profile.h"

namespace ctrl {

bool IsMonochromeKind(ModelKind kind) {
  return ProfileOf(kind).monochrome;
}

int32_t LutSelectorOfTable(int table_index) {
  switch (table_index) {
    case kRedLut:
      return 2;
    case kGreenLut:
      return 0;
    case kBlueLut:
      return 1;
    default:
      return -1;
  }
}

std::string LutColourSuffix(int table_index, bool monochrome) {
  switch (table_index) {
    case kRedLut:
      return "[R]";
    case kGreenLut:
      return monochrome ? "" : "[G]";
    case kBlueLut:
      return "[B]";
    default:
      return "";
  }
}

std::string LutEditorTitle(int table_index, bool monochrome) {
  switch (table_index) {
    case kRedLut:
      return "LUT Setting for Red";
    case kGreenLut:
      return monochrome ? "LUT Setting for Monochrome" : "LUT Setting for Green";
    case kBlueLut:
      return "LUT Setting for Blue";
    default:
      return "LUT Setting";
  }
}

}  // namespace ctrl
