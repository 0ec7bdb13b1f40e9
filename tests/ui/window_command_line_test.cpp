// The operator window's command line: the options that reach the run, and how help, version
// and mistakes end it before any window exists.
#include "ui/window_command_line.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "ctrl_version.h"

namespace ctrl::ui {
namespace {

WindowCommandLine Parse(QStringList arguments) {
  arguments.prepend("ctrltool");
  return ParseWindowCommandLine(arguments);
}

TEST(WindowCommandLine, OptionsReachTheRun) {
  struct Case {
    QStringList arguments;
    bool simulate;
    std::string model;
    std::string device;
    QString screenshot_dir;
    bool factory;
  };
  const Case cases[] = {
      {{}, false, "QX-4096M-PCL", "", "", false},
      {{"--simulate"}, true, "QX-4096M-PCL", "", "", false},
      // The model is optional after --simulate, and options may follow either way.
      {{"--simulate", "QX-8192M-PCL", "--factory"}, true, "QX-8192M-PCL", "", "", true},
      {{"--simulate", "--screenshot", "shots", "QX-4096TR-PCL"},
       true,
       "QX-4096TR-PCL",
       "",
       "shots",
       false},
      {{"--device", "/dev/ttyUSB0"}, false, "QX-4096M-PCL", "/dev/ttyUSB0", "", false},
      {{"--device=/dev/serial/by-id/usb-FTDI-if00"},
       false,
       "QX-4096M-PCL",
       "/dev/serial/by-id/usb-FTDI-if00",
       "",
       false},
      // The toolkit's own options pass.
      {{"-platform", "offscreen", "--simulate"}, true, "QX-4096M-PCL", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const WindowCommandLine parsed = Parse(c.arguments);
    ASSERT_FALSE(parsed.exit_code) << parsed.err.toStdString();
    EXPECT_EQ(parsed.options.simulate, c.simulate);
    EXPECT_EQ(parsed.options.model, c.model);
    EXPECT_EQ(parsed.options.device, c.device);
    EXPECT_EQ(parsed.options.screenshot_dir, c.screenshot_dir);
    EXPECT_EQ(parsed.options.factory, c.factory);
  }
}

TEST(WindowCommandLine, MistakesEndTheRunWithAUsageError) {
  struct Case {
    QStringList arguments;
    QString named;  // what the message must name
  };
  const Case cases[] = {
      {{"--simulate", "QX-1234"}, "QX-1234"},
      {{"QX-4096M-PCL"}, "QX-4096M-PCL"},  // a model without --simulate
      {{"--device"}, "device"},
      {{"--colour"}, "colour"},
      {{"--simulate", "QX-4096M-PCL", "QX-8192M-PCL"}, "QX-8192M-PCL"},
      {{"--simulate", "--device", "/dev/ttyS0"}, "--device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const WindowCommandLine parsed = Parse(c.arguments);
    ASSERT_TRUE(parsed.exit_code);
    EXPECT_EQ(*parsed.exit_code, 2);
    EXPECT_TRUE(parsed.err.contains(c.named)) << parsed.err.toStdString();
    EXPECT_TRUE(parsed.err.contains("--help")) << parsed.err.toStdString();
    EXPECT_TRUE(parsed.out.isEmpty());
  }
}

TEST(WindowCommandLine, HelpAndVersionEndTheRunWell) {
  int argc = 1;
  char name[] = "ctrltool";
  char* argv[] = {name, nullptr};
  const QCoreApplication application(argc, argv);  // the help names the program from it

  const WindowCommandLine help = Parse({"--help"});
  ASSERT_TRUE(help.exit_code);
  EXPECT_EQ(*help.exit_code, 0);
  for (const char* named : {"--simulate", "--device", "--factory", "--screenshot", "--version",
                            "QX-8192M-PCL", "MODEL"}) {
    EXPECT_TRUE(help.out.contains(named)) << named;
  }
  EXPECT_FALSE(help.out.contains("platformtheme")) << "the toolkit's options stay out of it";

  const WindowCommandLine version = Parse({"--version"});
  ASSERT_TRUE(version.exit_code);
  EXPECT_EQ(*version.exit_code, 0);
  EXPECT_EQ(version.out, QString("ctrltool %1\n").arg(CTRL_VERSION));
}

}  // namespace
}  // namespace ctrl::ui
