// The notifier of runs nobody watches: every box becomes one recorded line and nothing waits.
#include "ui/qt_notifier.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct RecordCase {
  const char* name;
  std::string text;
  std::string caption;
  bool question;
  std::string expected_line;
};

void PrintTo(const RecordCase& c, std::ostream* out) {
  *out << c.name;
}

const RecordCase kCases[] = {
    {"message without caption names the tool", "Failed to initialize!", "", false,
     "QX-4096M_TR-PCL QX-8192M-PCL Control Tool: Failed to initialize!"},
    {"own caption", "Completed saving current setting data !", "Store", false,
     "Store: Completed saving current setting data !"},
    {"line breaks become one line", "Time out.\r\nCommand: rd 0x44\n", "Error", false,
     "Error: Time out. Command: rd 0x44"},
    {"camera bytes in Latin-1", "Unsupported model: \"QX-\xB5\"", "", false,
     "QX-4096M_TR-PCL QX-8192M-PCL Control Tool: Unsupported model: \"QX-\xC2\xB5\""},
    {"question is answered No", "Are you sure to terminate the Camera Control Tool ?", "Confirm",
     true, "Confirm: Are you sure to terminate the Camera Control Tool ? -> No"},
};

class RecordingModeTest : public testing::TestWithParam<RecordCase> {};

TEST_P(RecordingModeTest, RecordsOneLineInsteadOfABox) {
  const RecordCase& c = GetParam();
  std::vector<std::string> lines;
  ctrl::ui::QtNotifier notifier;
  notifier.RecordInsteadOfShowing([&lines](const std::string& line) { lines.push_back(line); });
  if (c.question) {
    EXPECT_FALSE(notifier.AskYesNo(c.text, c.caption));
  } else {
    notifier.ShowMessage(c.text, c.caption, ctrl::MessageIcon::Exclamation);
  }
  EXPECT_EQ(lines, std::vector<std::string>{c.expected_line});
}

INSTANTIATE_TEST_SUITE_P(Boxes, RecordingModeTest, testing::ValuesIn(kCases));

}  // namespace
