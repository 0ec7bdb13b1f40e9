#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace ctrl::ui {

// What the operator's window was started with.
struct WindowOptions {
  bool simulate = false;
  std::string model = "QX-4096M-PCL";  // the simulated camera's model
  std::string device;                  // the run's COM port leads to this device
  QString screenshot_dir;              // save every window as PNG files here, then end
  bool factory = false;                // factory control mode for this run only
};

// The options, or an exit code when the run ends at the command line (help, version, a usage
// error) with the text to print on stdout (`out`) or stderr (`err`).
struct WindowCommandLine {
  WindowOptions options;
  std::optional<int> exit_code;
  QString out;
  QString err;
};

// `arguments` with the program's name first. Accepts the toolkit's own options (-platform ...)
// so they still reach the application.
WindowCommandLine ParseWindowCommandLine(const QStringList& arguments);

}  // namespace ctrl::ui
