#pragma once

#include <cstdint>

// Entry points of the Camera Link serial libraries as this tool calls them. Sizes and counts
// are 32-bit; results are 0 on success. Only 32-bit Windows tells calling conventions apart:
// the vendor libraries use cdecl, the all-serial library stdcall.
#if defined(_WIN32) && !defined(_WIN64)
#define CTRL_CL_VENDOR_CALL __cdecl
#define CTRL_CL_ALL_CALL __stdcall
#else
#define CTRL_CL_VENDOR_CALL
#define CTRL_CL_ALL_CALL
#endif

namespace ctrl::clser {

// clSerialRead's result when the bytes did not come in time (every other non-zero is a failure).
constexpr int32_t kErrorTimeout = -10004;

// The bit of clGetSupportedBaudRates and code of clSetBaudRate for a selectable rate (the
// connection's baud-rate table); 0, never supported, for any other rate.
uint32_t BaudRateCode(int baud_rate);

template <typename Tag>
struct EntryPoints;

struct VendorTag {};
struct AllSerialTag {};

#define CTRL_CL_ENTRY_POINTS(CALL)                                                            \
  using SerialInit = int32_t(CALL*)(uint32_t serial_index, void** reference);                 \
  using SerialClose = void(CALL*)(void* reference);                                           \
  using SerialRead =                                                                          \
      int32_t(CALL*)(void* reference, char* buffer, uint32_t* count, uint32_t timeout_ms);    \
  using SerialWrite =                                                                         \
      int32_t(CALL*)(void* reference, char* buffer, uint32_t* count, uint32_t timeout_ms);    \
  using GetNumBytesAvail = int32_t(CALL*)(void* reference, uint32_t* count);                  \
  using FlushPort = int32_t(CALL*)(void* reference);                                          \
  using GetSupportedBaudRates = int32_t(CALL*)(void* reference, uint32_t* mask);              \
  using SetBaudRate = int32_t(CALL*)(void* reference, uint32_t code);                         \
  using GetNumSerialPorts = int32_t(CALL*)(uint32_t * count);                                 \
  using GetSerialPortIdentifier = int32_t(CALL*)(uint32_t index, char* text, uint32_t* size); \
  using GetNumPorts = int32_t(CALL*)(uint32_t * count);                                       \
  using GetPortInfo =                                                                         \
      int32_t(CALL*)(uint32_t index, char* manufacturer, uint32_t* manufacturer_size,         \
                     char* port_id, uint32_t* port_id_size, uint32_t* version);               \
  using GetNumManufacturers = int32_t(CALL*)(uint32_t * count);                               \
  using GetManufacturer =                                                                     \
      int32_t(CALL*)(uint32_t index, char* name, uint32_t* size, uint32_t* version);          \
  using SelectManufacturer = int32_t(CALL*)(const char* name);

template <>
struct EntryPoints<VendorTag> {
  CTRL_CL_ENTRY_POINTS(CTRL_CL_VENDOR_CALL)
  using GetErrorText = int32_t(CTRL_CL_VENDOR_CALL*)(int32_t code, char* text, uint32_t* size);
};

template <>
struct EntryPoints<AllSerialTag> {
  CTRL_CL_ENTRY_POINTS(CTRL_CL_ALL_CALL)
  using GetErrorText = int32_t(CTRL_CL_ALL_CALL*)(const char* manufacturer, int32_t code,
                                                  char* text, uint32_t* size);
};

#undef CTRL_CL_ENTRY_POINTS

}  // namespace ctrl::clser
