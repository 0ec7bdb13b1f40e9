#pragma once

// The common part of the substitute Camera Link serial libraries: simulated cameras on
// numbered ports, configured from the environment when the library is first used.
//
//   CLSIM_PORTS         comma-separated camera models, one port each
//                       (default "QX-4096M-PCL"), e.g. "QX-4096M-PCL,QX-4096TR-PCL"
//   CLSIM_PORTS_<TAG>   the same for one library file only; TAG is the library's own tag
//                       (SIM, SIM2, ...), so two vendor files can serve different cameras
//   CLSIM_BAUD_MASK     baud-rate bits the grabber supports (default 0x51: 9600, 115200,
//                       460800); strtoul syntax, e.g. 0x11
//   CLSIM_MANUFACTURER  manufacturer name reported by the library (default "Ornvik CLSim")
//   CLSIM_MANUFACTURERS comma-separated names the 2001 manager offers (default: the
//                       manufacturer name alone)
//   CLSIM_FAULTS        comma-separated camera faults, as camsim's --fault; after the
//                       hang-up fault strikes, clSerialRead and clSerialWrite fail with
//                       "invalid reference" until the port is opened again
//
// A port starts at 9600 bits per second on every clSerialInit. While its rate differs from the
// camera's Baud Rate register the camera does not understand the requests and stays silent.
// clSerialRead returns exactly the asked count or fails after its time-out, waiting on real
// time for the camera's reply bytes. Cameras keep their state while the process runs (the
// libraries are linked not to be unloaded; a DLL pins itself at first use).

#include <cstdint>
#include <string>
#include <vector>

#if defined(_WIN32)
#define CLSIM_EXPORT extern "C" __declspec(dllexport)
#elif defined(__GNUC__)
#define CLSIM_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define CLSIM_EXPORT extern "C"
#endif

namespace ctrl::sim::clserial {

enum Status : int32_t {
  kOk = 0,
  kBufferTooSmall = -10001,
  kManufacturerDoesNotExist = -10002,
  kPortInUse = -10003,
  kTimeout = -10004,
  kInvalidIndex = -10005,
  kInvalidReference = -10006,
  kErrorNotFound = -10007,
  kBaudRateNotSupported = -10008,
  kInvalidPointer = -10011,
};

constexpr uint32_t kVersion11 = 3;  // the Camera Link version value of "1.1"

uint32_t PortCount();
// The model served on a port, empty outside the list.
std::string ModelOfPort(uint32_t index);
std::string PortIdentifier(uint32_t index);
const std::string& ManufacturerName();
const std::vector<std::string>& Manufacturers();
uint32_t SupportedBaudMask();

int32_t SerialInit(uint32_t index, void** reference);
void SerialClose(void* reference);
int32_t SerialRead(void* reference, char* buffer, uint32_t* count, uint32_t timeout_ms);
int32_t SerialWrite(void* reference, const char* buffer, uint32_t* count, uint32_t timeout_ms);
int32_t NumBytesAvail(void* reference, uint32_t* count);
int32_t FlushPort(void* reference);
int32_t GetSupportedBaudRates(void* reference, uint32_t* mask);
int32_t SetBaudRate(void* reference, uint32_t code);
int32_t ErrorText(int32_t code, char* text, uint32_t* size);

// Copies text and its terminator into a caller's buffer; *size becomes the needed size.
int32_t CopyText(const std::string& text, char* buffer, uint32_t* size);

}  // namespace ctrl::sim::clserial
