#pragma once

#include <string>

#include "transport/com_port_line.h"

namespace ctrl {

// Why a COM port could not be opened, as the user is told.
enum class OpenFault {
  kInUse,             // another program (or another port of this one) holds the device
  kPermissionDenied,  // the user may not open the device
  kNoSuchDevice,      // nothing stands behind the path
  kNotATerminal,      // the path is a file or device that is no serial line
  kOther,             // any other reason: the system's own text is shown
};

// Win32 error codes the classification knows, by value so that every platform can sort them;
// the Windows line checks them against the system's headers.
namespace win32_error {
constexpr long kInvalidFunction = 1;
constexpr long kFileNotFound = 2;
constexpr long kPathNotFound = 3;
constexpr long kAccessDenied = 5;
constexpr long kSharingViolation = 32;
constexpr long kNotSupported = 50;
constexpr long kDeviceDoesNotExist = 55;
}  // namespace win32_error

// The fault class of a code the line reported; kOther for codes without a class of their own.
OpenFault ClassifyOpenError(SystemErrorKind kind, long code);

// The line the open-failure message adds below the failed step: the device's path and why it
// could not be opened, e.g. "/dev/ttyUSB0 is in use by another program (minicom, pid 1234).".
std::string OpenFailureReason(const std::string& device_path, const LineOpenResult& result);

}  // namespace ctrl
