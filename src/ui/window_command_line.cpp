#include "ui/window_command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include "ctrl_version.h"
#include "sim/model_kind.h"

namespace ctrl::ui {
namespace {

// The toolkit's own options, taken by QApplication: accepted here and kept out of the help.
struct ToolkitOption {
  const char* name;
  bool takes_value;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowtitle", true},
    {"qwindowicon", true},     {"style", true},
    {"stylesheet", true},      {"reverse", false},
    {"display", true},         {"geometry", true},
};

QString ModelList() {
  QStringList names;
  for (const std::string& name : sim::ModelNames()) names << QString::fromStdString(name);
  return names.join(", ");
}

}  // namespace

WindowCommandLine ParseWindowCommandLine(const QStringList& arguments) {
  WindowCommandLine result;
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Control tool for QX-4096M/TR-PCL and QX-8192M-PCL line-scan cameras: the operator's "
      "window.");
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({"h", "help"}, "Show this help and end.");
  const QCommandLineOption version("version", "Show the version and end.");
  const QCommandLineOption simulate(
      "simulate", "Talk to a built-in simulated camera behind COM1 (model " + ModelList() +
                      "; QX-4096M-PCL unless MODEL is given).");
  const QCommandLineOption device(
      "device",
      "Open the stored COM port on this serial device, for this run only (nothing of it is "
      "stored).",
      "PATH");
  const QCommandLineOption factory("factory",
                                   "Factory control mode for this run only (not stored).");
  const QCommandLineOption screenshot(
      "screenshot", "Save each window as a PNG file in DIR and end (stored settings untouched).",
      "DIR");
  for (const QCommandLineOption& option : {help, version, simulate, device, factory, screenshot}) {
    parser.addOption(option);
  }
  for (const ToolkitOption& toolkit : kToolkitOptions) {
    QCommandLineOption option(toolkit.name, "", toolkit.takes_value ? "value" : "");
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  parser.addPositionalArgument("model", "The simulated camera's model (with --simulate).",
                               "[MODEL]");

  const auto usage_error = [&](const QString& message) {
    result.exit_code = 2;
    result.err = "ctrltool: " + message + "\nRun with --help for usage.\n";
    return result;
  };
  if (!parser.parse(arguments)) return usage_error(parser.errorText());
  if (parser.isSet(help)) {
    result.exit_code = 0;
    result.out = parser.helpText();
    return result;
  }
  if (parser.isSet(version)) {
    result.exit_code = 0;
    result.out = QString("ctrltool %1\n").arg(CTRL_VERSION);
    return result;
  }

  WindowOptions& options = result.options;
  options.simulate = parser.isSet(simulate);
  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1 || (!positional.isEmpty() && !options.simulate)) {
    return usage_error(QString("unexpected argument \"%1\".").arg(positional.back()));
  }
  if (!positional.isEmpty()) options.model = positional.front().toStdString();
  if (options.simulate && !sim::KindOfModel(options.model)) {
    return usage_error(QString("\"%1\" is not a model the simulator knows. Models: %2.")
                           .arg(QString::fromStdString(options.model), ModelList()));
  }
  if (options.simulate && parser.isSet(device)) {
    return usage_error("--simulate and --device both choose the camera: give one.");
  }
  options.device = parser.value(device).toStdString();
  options.screenshot_dir = parser.value(screenshot);
  options.factory = parser.isSet(factory);
  return result;
}

}  // namespace ctrl::ui
