// The 2001 generation's serial manager (clserial): the vendor entry points plus the
// manufacturer selection. clSerialInit needs a manufacturer selected first.
#include <algorithm>
#include <atomic>

#include "sim_serial.h"

using namespace ctrl::sim::clserial;

namespace {
std::atomic<bool> manufacturer_selected{false};
}  // namespace

CLSIM_EXPORT int32_t clGetNumManufacturers(uint32_t* count) {
  if (count == nullptr) return kInvalidPointer;
#ifdef CLSIM_CLAIM_HUGE_COUNT
  *count = 0xFFFFFFFFu;  // a broken library: far more entries than it has
#else
  *count = static_cast<uint32_t>(Manufacturers().size());
#endif
  return kOk;
}

CLSIM_EXPORT int32_t clGetManufacturer(uint32_t index, char* name, uint32_t* size,
                                       uint32_t* version) {
  if (index >= Manufacturers().size()) return kInvalidIndex;
  if (version != nullptr) *version = kVersion11;
  return CopyText(Manufacturers()[index], name, size);
}

CLSIM_EXPORT int32_t clSelectManufacturer(const char* name) {
  if (name == nullptr) return kInvalidPointer;
  const auto& names = Manufacturers();
  if (std::find(names.begin(), names.end(), name) == names.end()) {
    return kManufacturerDoesNotExist;
  }
  manufacturer_selected = true;
  return kOk;
}

#define CLSIM_OWN_SERIAL_INIT
#include "vendor_exports.inc"

CLSIM_EXPORT int32_t clSerialInit(uint32_t serial_index, void** reference) {
  if (!manufacturer_selected) return kManufacturerDoesNotExist;
  return SerialInit(serial_index, reference);
}
