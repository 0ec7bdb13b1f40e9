// The ver. 1.1 all-serial library (clallserial): every port of every grabber in one list.
#include "sim_serial.h"

using namespace ctrl::sim::clserial;

CLSIM_EXPORT int32_t clSerialInit(uint32_t serial_index, void** reference) {
  return SerialInit(serial_index, reference);
}

CLSIM_EXPORT void clSerialClose(void* reference) {
  SerialClose(reference);
}

CLSIM_EXPORT int32_t clSerialRead(void* reference, char* buffer, uint32_t* count,
                                  uint32_t timeout_ms) {
  return SerialRead(reference, buffer, count, timeout_ms);
}

CLSIM_EXPORT int32_t clSerialWrite(void* reference, char* buffer, uint32_t* count,
                                   uint32_t timeout_ms) {
  return SerialWrite(reference, buffer, count, timeout_ms);
}

CLSIM_EXPORT int32_t clSetBaudRate(void* reference, uint32_t code) {
  return SetBaudRate(reference, code);
}

CLSIM_EXPORT int32_t clFlushPort(void* reference) {
  return FlushPort(reference);
}

CLSIM_EXPORT int32_t clGetErrorText(const char* /*manufacturer*/, int32_t code, char* text,
                                    uint32_t* size) {
  return ErrorText(code, text, size);
}

CLSIM_EXPORT int32_t clGetNumPorts(uint32_t* count) {
  if (count == nullptr) return kInvalidPointer;
#ifdef CLSIM_CLAIM_HUGE_COUNT
  *count = 0xFFFFFFFFu;  // a broken library: far more entries than it has
#else
  *count = PortCount();
#endif
  return kOk;
}

CLSIM_EXPORT int32_t clGetNumBytesAvail(void* reference, uint32_t* count) {
  return NumBytesAvail(reference, count);
}

#ifndef CLSIM_OMIT_PORT_INFO
CLSIM_EXPORT int32_t clGetPortInfo(uint32_t index, char* manufacturer, uint32_t* manufacturer_size,
                                   char* port_id, uint32_t* port_id_size, uint32_t* version) {
  if (index >= PortCount()) return kInvalidIndex;
  if (version != nullptr) *version = kVersion11;
  const int32_t status = CopyText(ManufacturerName(), manufacturer, manufacturer_size);
  if (status != kOk) return status;
  return CopyText(PortIdentifier(index), port_id, port_id_size);
}
#endif

CLSIM_EXPORT int32_t clGetSupportedBaudRates(void* reference, uint32_t* mask) {
  return GetSupportedBaudRates(reference, mask);
}
