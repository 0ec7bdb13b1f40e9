// camsim's command line: what each option does to the server's options, and how help, version
// and mistakes end the run.
#include "sim/pty/camsim_arguments.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ctrl_version.h"

namespace ctrl::sim {
namespace {

struct Parsed {
  CamsimCommandLine command_line;
  std::string out;
  std::string err;
};

Parsed Parse(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  Parsed parsed{ParseCamsimCommandLine(args, out, err), "", ""};
  parsed.out = out.str();
  parsed.err = err.str();
  return parsed;
}

TEST(CamsimArguments, OptionsReachTheServer) {
  const Parsed plain = Parse({});
  ASSERT_FALSE(plain.command_line.exit_code);
  EXPECT_EQ(plain.command_line.options.model, "QX-4096M-PCL");
  EXPECT_TRUE(plain.command_line.options.link_path.empty());
  EXPECT_FALSE(plain.command_line.options.check_line_rate);
  EXPECT_EQ(plain.command_line.options.baud_rate, 9600);

  // A camera left at another rate understands only that rate.
  const Parsed fast = Parse({"--baud", "115200"});
  ASSERT_FALSE(fast.command_line.exit_code) << fast.err;
  EXPECT_EQ(fast.command_line.options.baud_rate, 115200);
  EXPECT_TRUE(fast.command_line.options.check_line_rate);

  const Parsed full =
      Parse({"--model", "QX-8192M-PCL", "--link", "/tmp/cam0", "--fault", "silent",
             "--fault=drop_every_nth_reply=3", "--fault", "hang_up_after=7", "--line-speed"});
  ASSERT_FALSE(full.command_line.exit_code) << full.err;
  const PtyCameraServer::Options& options = full.command_line.options;
  EXPECT_EQ(options.model, "QX-8192M-PCL");
  EXPECT_EQ(options.link_path, "/tmp/cam0");
  EXPECT_TRUE(options.faults.silent);
  EXPECT_EQ(options.faults.drop_every_nth_reply, 3);
  EXPECT_EQ(options.faults.hang_up_after, 7);
  EXPECT_TRUE(options.faults.emulate_line_speed);
  EXPECT_TRUE(options.check_line_rate);

  // A model the tool does not support is still served: it is how an unsupported camera is met.
  const Parsed unknown_model = Parse({"--model", "QX-2048X"});
  ASSERT_FALSE(unknown_model.command_line.exit_code);
  EXPECT_EQ(unknown_model.command_line.options.model, "QX-2048X");
}

TEST(CamsimArguments, MistakesEndTheRunWithAUsageError) {
  struct Case {
    std::vector<std::string> args;
    std::string named;  // what the message must name
  };
  const Case cases[] = {
      {{"--fault", "no_such_fault"}, "no_such_fault"},
      {{"--fault", "drop_every_nth_reply=many"}, "drop_every_nth_reply=many"},
      {{"--link"}, "--link"},
      {{"--colour"}, "--colour"},
      {{"QX-4096M-PCL"}, "QX-4096M-PCL"},
      {{"--baud", "57600"}, "57600"},
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.args);
    SCOPED_TRACE(c.args.front());
    ASSERT_TRUE(parsed.command_line.exit_code);
    EXPECT_EQ(*parsed.command_line.exit_code, 2);
    EXPECT_NE(parsed.err.find(c.named), std::string::npos) << parsed.err;
    EXPECT_NE(parsed.err.find("--help"), std::string::npos) << parsed.err;
    EXPECT_TRUE(parsed.out.empty());
  }
}

TEST(CamsimArguments, HelpAndVersionEndTheRunWell) {
  const Parsed help = Parse({"--help"});
  ASSERT_TRUE(help.command_line.exit_code);
  EXPECT_EQ(*help.command_line.exit_code, 0);
  for (const char* named : {"--model", "--link", "--fault", "--line-speed", "--version",
                            "hang_up_after", "unsigned_replies", "QX-8192M-PCL"}) {
    EXPECT_NE(help.out.find(named), std::string::npos) << named;
  }

  const Parsed version = Parse({"--version"});
  ASSERT_TRUE(version.command_line.exit_code);
  EXPECT_EQ(*version.command_line.exit_code, 0);
  EXPECT_EQ(version.out, std::string("camsim ") + CTRL_VERSION + "\n");
}

}  // namespace
}  // namespace ctrl::sim
