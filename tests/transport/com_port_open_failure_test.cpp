// What the user reads when a COM port cannot be opened: the system's code sorted into a fault
// class, and the reason line that names the device.
#include "transport/com_port_open_failure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace ctrl {
namespace {

#ifdef __linux__
const std::string kDialoutHint =
    " The user must be in the dialout group (sudo usermod -aG dialout $USER, then log in again).";
#else
const std::string kDialoutHint;
#endif

struct ReasonCase {
  const char* name;
  std::string device;
  SystemErrorKind kind;
  long code;
  std::string system_text;
  std::vector<DeviceHolder> holders;
  OpenFault fault;
  std::string reason;
};

const ReasonCase kReasonCases[] = {
    // In use: by a program that can be named, by several, or by one that cannot be seen.
    {"busy_named",
     "/dev/ttyUSB0",
     SystemErrorKind::kErrno,
     EBUSY,
     "Device or resource busy",
     {{"minicom", 1234}},
     OpenFault::kInUse,
     "/dev/ttyUSB0 is in use by another program (minicom, pid 1234)."},
    {"locked_two_holders",
     "/dev/ttyUSB0",
     SystemErrorKind::kErrno,
     EWOULDBLOCK,
     "",
     {{"flock", 10}, {"sleep", 11}},
     OpenFault::kInUse,
     "/dev/ttyUSB0 is in use by another program (flock, pid 10; sleep, pid 11)."},
    {"locked_unseen",
     "/dev/pts/7",
     SystemErrorKind::kErrno,
     EWOULDBLOCK,
     "",
     {},
     OpenFault::kInUse,
     "/dev/pts/7 is in use by another program."},
    {"windows_access_denied",
     "\\\\.\\COM5",
     SystemErrorKind::kWin32,
     5,
     "Access is denied.",
     {},
     OpenFault::kInUse,
     "COM5 is in use by another program."},
    {"windows_sharing",
     "\\\\.\\COM5",
     SystemErrorKind::kWin32,
     32,
     "",
     {},
     OpenFault::kInUse,
     "COM5 is in use by another program."},
    // Permission: the hint to join the group that owns serial devices.
    {"eacces",
     "/dev/ttyUSB0",
     SystemErrorKind::kErrno,
     EACCES,
     "Permission denied",
     {},
     OpenFault::kPermissionDenied,
     "/dev/ttyUSB0: permission denied." + kDialoutHint},
    {"eperm",
     "/dev/ttyS0",
     SystemErrorKind::kErrno,
     EPERM,
     "Operation not permitted",
     {},
     OpenFault::kPermissionDenied,
     "/dev/ttyS0: permission denied." + kDialoutHint},
    // No device behind the path.
    {"enoent",
     "/dev/ttyUSB9",
     SystemErrorKind::kErrno,
     ENOENT,
     "",
     {},
     OpenFault::kNoSuchDevice,
     "/dev/ttyUSB9: no such device (is it plugged in, and is the name right?)."},
    {"enodev",
     "/dev/ttyUSB9",
     SystemErrorKind::kErrno,
     ENODEV,
     "",
     {},
     OpenFault::kNoSuchDevice,
     "/dev/ttyUSB9: no such device (is it plugged in, and is the name right?)."},
    {"enxio",
     "/dev/ttyS3",
     SystemErrorKind::kErrno,
     ENXIO,
     "",
     {},
     OpenFault::kNoSuchDevice,
     "/dev/ttyS3: no such device (is it plugged in, and is the name right?)."},
    {"windows_file_not_found",
     "\\\\.\\COM16",
     SystemErrorKind::kWin32,
     2,
     "",
     {},
     OpenFault::kNoSuchDevice,
     "COM16: no such device (is it plugged in, and is the name right?)."},
    {"windows_path_not_found",
     "\\\\.\\COM16",
     SystemErrorKind::kWin32,
     3,
     "",
     {},
     OpenFault::kNoSuchDevice,
     "COM16: no such device (is it plugged in, and is the name right?)."},
    // A file or device that is no serial line.
    {"enotty",
     "/dev/null",
     SystemErrorKind::kErrno,
     ENOTTY,
     "",
     {},
     OpenFault::kNotATerminal,
     "/dev/null is not a serial port (not a terminal)."},
    {"windows_invalid_function",
     "C:\\cam.txt",
     SystemErrorKind::kWin32,
     1,
     "",
     {},
     OpenFault::kNotATerminal,
     "C:\\cam.txt is not a serial port."},
    // Anything else: the system's own words, without a doubled full stop.
    {"eio",
     "/dev/ttyUSB0",
     SystemErrorKind::kErrno,
     EIO,
     "Input/output error",
     {},
     OpenFault::kOther,
     "/dev/ttyUSB0: Input/output error."},
    {"windows_gen_failure",
     "\\\\.\\COM3",
     SystemErrorKind::kWin32,
     31,
     "A device attached to the system is not functioning.\r\n",
     {},
     OpenFault::kOther,
     "COM3: A device attached to the system is not functioning."},
    {"no_text",
     "/dev/ttyUSB0",
     SystemErrorKind::kErrno,
     EIO,
     "",
     {},
     OpenFault::kOther,
     "/dev/ttyUSB0: error " + std::to_string(EIO) + "."},
    {"no_code",
     "/dev/ttyUSB0",
     SystemErrorKind::kNone,
     0,
     "",
     {},
     OpenFault::kOther,
     "/dev/ttyUSB0: the system gave no reason."},
    // The numbering matters: the same number means another thing on the other system.
    {"win32_13_is_no_eacces",
     "\\\\.\\COM3",
     SystemErrorKind::kWin32,
     EACCES,
     "The data is invalid.",
     {},
     OpenFault::kOther,
     "COM3: The data is invalid."},
    {"errno_5_is_no_access_denied",
     "/dev/ttyUSB0",
     SystemErrorKind::kErrno,
     5,
     "Input/output error",
     {},
     OpenFault::kOther,
     "/dev/ttyUSB0: Input/output error."},
    {"errno_32_is_no_sharing_violation",
     "/dev/ttyUSB0",
     SystemErrorKind::kErrno,
     32,
     "Broken pipe",
     {},
     OpenFault::kOther,
     "/dev/ttyUSB0: Broken pipe."},
};

TEST(TransportComPortOpenFailureReason, EachFaultClassNamesTheDeviceAndTheReason) {
  for (const ReasonCase& c : kReasonCases) {
    SCOPED_TRACE(c.name);
    LineOpenResult result;
    result.failed_step = "CreateFile";
    result.error_kind = c.kind;
    result.error_code = c.code;
    result.error_text = c.system_text;
    result.holders = c.holders;
    EXPECT_EQ(ClassifyOpenError(c.kind, c.code), c.fault);
    EXPECT_EQ(OpenFailureReason(c.device, result), c.reason);
  }
}

}  // namespace
}  // namespace ctrl
