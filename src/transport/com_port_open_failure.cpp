#include "transport/com_port_open_failure.h"

#include <cerrno>
#include <string_view>

namespace ctrl {
namespace {

struct OpenErrorClass {
  SystemErrorKind kind;
  long code;
  OpenFault fault;
};

// Codes the platforms give for the same fault. On Windows a device opened by another program
// is refused as access denied: COM ports carry no permissions of their own.
constexpr OpenErrorClass kOpenErrorClasses[] = {
    {SystemErrorKind::kErrno, EBUSY, OpenFault::kInUse},        // held with TIOCEXCL
    {SystemErrorKind::kErrno, EWOULDBLOCK, OpenFault::kInUse},  // flock: held by this tool
    {SystemErrorKind::kErrno, EACCES, OpenFault::kPermissionDenied},
    {SystemErrorKind::kErrno, EPERM, OpenFault::kPermissionDenied},
    {SystemErrorKind::kErrno, ENOENT, OpenFault::kNoSuchDevice},
    {SystemErrorKind::kErrno, ENODEV, OpenFault::kNoSuchDevice},
    {SystemErrorKind::kErrno, ENXIO, OpenFault::kNoSuchDevice},  // a ttyS without a UART
    {SystemErrorKind::kErrno, ENOTTY, OpenFault::kNotATerminal},
    {SystemErrorKind::kWin32, win32_error::kAccessDenied, OpenFault::kInUse},
    {SystemErrorKind::kWin32, win32_error::kSharingViolation, OpenFault::kInUse},
    {SystemErrorKind::kWin32, win32_error::kFileNotFound, OpenFault::kNoSuchDevice},
    {SystemErrorKind::kWin32, win32_error::kPathNotFound, OpenFault::kNoSuchDevice},
    {SystemErrorKind::kWin32, win32_error::kDeviceDoesNotExist, OpenFault::kNoSuchDevice},
    {SystemErrorKind::kWin32, win32_error::kInvalidFunction, OpenFault::kNotATerminal},
    {SystemErrorKind::kWin32, win32_error::kNotSupported, OpenFault::kNotATerminal},
};

#ifdef __linux__
// Serial devices belong to the group dialout on the Linux distributions in use.
constexpr const char* kPermissionHint =
    " The user must be in the dialout group (sudo usermod -aG dialout $USER, then log in "
    "again).";
#else
constexpr const char* kPermissionHint = "";
#endif

// "\\.\COM5" is how COM5 is opened, not how a user knows it.
std::string DisplayedPath(const std::string& device_path) {
  constexpr std::string_view kWin32DevicePrefix = "\\\\.\\";
  if (device_path.starts_with(kWin32DevicePrefix)) {
    return device_path.substr(kWin32DevicePrefix.size());
  }
  return device_path;
}

std::string HolderList(const LineOpenResult& result) {
  std::string list;
  for (const DeviceHolder& holder : result.holders) {
    if (!list.empty()) list += "; ";
    list += holder.program + ", pid " + std::to_string(holder.pid);
  }
  return list;
}

// The system's text without the full stop and line end Windows ends it with.
std::string SystemText(const LineOpenResult& result) {
  std::string text = result.error_text;
  while (!text.empty() && std::string_view(". \r\n").find(text.back()) != std::string::npos) {
    text.pop_back();
  }
  if (!text.empty()) return text;
  if (result.error_kind == SystemErrorKind::kNone) return "the system gave no reason";
  return "error " + std::to_string(result.error_code);
}

}  // namespace

OpenFault ClassifyOpenError(SystemErrorKind kind, long code) {
  for (const OpenErrorClass& entry : kOpenErrorClasses) {
    if (entry.kind == kind && entry.code == code) return entry.fault;
  }
  return OpenFault::kOther;
}

std::string OpenFailureReason(const std::string& device_path, const LineOpenResult& result) {
  const std::string device = DisplayedPath(device_path);
  switch (ClassifyOpenError(result.error_kind, result.error_code)) {
    case OpenFault::kInUse: {
      const std::string holders = HolderList(result);
      return device + " is in use by another program" +
             (holders.empty() ? "" : " (" + holders + ")") + ".";
    }
    case OpenFault::kPermissionDenied:
      return device + ": permission denied." + kPermissionHint;
    case OpenFault::kNoSuchDevice:
      return device + ": no such device (is it plugged in, and is the name right?).";
    case OpenFault::kNotATerminal:
      return device + " is not a serial port" +
             (result.error_kind == SystemErrorKind::kErrno ? " (not a terminal)." : ".");
    case OpenFault::kOther:
      break;
  }
  return device + ": " + SystemText(result) + ".";
}

}  // namespace ctrl
