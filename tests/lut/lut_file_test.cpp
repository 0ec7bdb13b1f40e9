// Catches LUT files written in the wrong shape, loads that glue signs and decimal points into
// other numbers, misread columns, line counts or over-long lines, wrong or missing messages, and
// saves that destroy the previous file when they fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "lut/lut_file.h"
#include "lut/lut_flows.h"
#include "lut/operator_answers.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

namespace fs = std::filesystem;

std::string ColourLines(int lines) {
  std::string text;
  for (int k = 0; k < lines; ++k) {
    text += std::to_string(k % 4096) + "," + std::to_string((k + 1) % 4096) + "," +
            std::to_string((k + 2) % 4096) + "\n";
  }
  return text;
}

std::string MonoLines(int lines) {
  std::string text;
  for (int k = 0; k < lines; ++k) text += std::to_string(k % 4096) + "\n";
  return text;
}

class LutFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("lut_file_test_" + std::to_string(std::random_device()()));
    fs::create_directories(dir_);
    for (int t = 0; t < kLutTableCount; ++t) bank_.table(t).fill(7);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string WriteText(const std::string& name, const std::string& text) const {
    std::ofstream(PathOf(name), std::ios::binary) << text;
    return PathOf(name);
  }
  static std::string ReadText(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }

  fs::path dir_;
  LutBank bank_;
  test::RecordingNotifier notifier_;
};

struct Entry {
  int table;
  int index;
  int32_t value;
};

struct LoadCase {
  const char* what;
  std::string text;
  ModelKind kind;
  bool loads;
  std::vector<std::string> messages;
  std::vector<Entry> entries;  // what the tables hold afterwards (7 = untouched)
};

TEST_F(LutFile, LoadRules) {
  const std::string colour = "GammaData (R G B)\n";
  const std::string mono = "GammaData\n";
  const std::vector<LoadCase> cases = {
      {"header only", colour, ModelKind::Color, true, {}, {{0, 0, 7}}},
      {"empty file", "", ModelKind::Color, true, {}, {{1, 0, 7}}},
      {"any header", "whatever\n1,2,3\n", ModelKind::Color, true, {}, {{2, 0, 3}}},
      {"fewer lines",
       colour + ColourLines(3),
       ModelKind::Color,
       true,
       {},
       {{0, 2, 2}, {2, 2, 4}, {0, 3, 7}}},
      {"all lines", colour + ColourLines(4096), ModelKind::Color, true, {}, {{2, 4095, 1}}},
      {"one line too many",
       colour + ColourLines(4097),
       ModelKind::Color,
       false,
       {"Too many data"},
       {{0, 4095, 4095}}},
      {"blank last line, colour",
       colour + ColourLines(4096) + "\n",
       ModelKind::Color,
       false,
       {"Invalid line format"},
       {{0, 4095, 4095}}},
      {"blank last line, short mono",
       mono + MonoLines(10) + "\n",
       ModelKind::Mono,
       true,
       {},
       {{1, 9, 9}, {1, 10, 0}, {1, 11, 7}}},
      {"blank last line, full mono",
       mono + MonoLines(4096) + "\n",
       ModelKind::WideMono,
       false,
       {"Too many data"},
       {}},
      {"colour file on mono",
       colour + ColourLines(5),
       ModelKind::Mono,
       false,
       {"Invalid data count format"},
       {{1, 0, 7}}},
      {"mono file on colour",
       mono + MonoLines(5),
       ModelKind::Unsupported,
       false,
       {"Invalid line format"},
       {{0, 0, 7}}},
      {"four columns",
       colour + "1,2,3,4\n",
       ModelKind::Color,
       false,
       {"Invalid data count format"},
       {}},
      {"mono line sets red 0 and blue from a second column",
       mono + "100,200\n300\n",
       ModelKind::Mono,
       true,
       {},
       {{0, 0, 0}, {1, 0, 100}, {2, 0, 200}, {1, 1, 300}, {2, 1, 0}}},
      {"above 4095, first one reported",
       colour + "1,2,3\n4,5000,6\n9999,0,0\n",
       ModelKind::Color,
       true,
       {"Invalid data value: Line(1) : Value(5000)"},
       {{1, 1, 4095}, {0, 2, 4095}}},
      {"signs and decimal points",
       colour + "-5,12.5,12.4\n+7,12.0,1 2\n-0,.5,4095.4\n",
       ModelKind::Color,
       true,
       {"Invalid data value: Line(0) : Value(-5)"},
       {{0, 0, 0},
        {1, 0, 13},
        {2, 0, 12},
        {0, 1, 7},
        {1, 1, 12},
        {2, 1, 12},
        {0, 2, 0},
        {1, 2, 1},
        {2, 2, 4095}}},
      {"fraction alone",
       mono + "1\n2\n2047.5\n",
       ModelKind::Mono,
       true,
       {"Invalid data value: Line(2) : Value(2048)"},
       {{1, 2, 2048}}},
      // 126 characters fill one read; the line end then arrives as a line of its own.
      {"long mono line",
       mono + "5" + std::string(125, ' ') + "\n6\n",
       ModelKind::Mono,
       true,
       {},
       {{1, 0, 5}, {1, 1, 0}, {1, 2, 6}}},
      {"long colour line",
       colour + "1,2,3" + std::string(130, ' ') + "\n",
       ModelKind::Color,
       false,
       {"Invalid line format"},
       {{0, 0, 1}}},
      // 125 characters and CR LF fit one read: CR LF is one line end.
      {"CR LF",
       "GammaData (R G B)\r\n1,2,3" + std::string(120, ' ') + "\r\n4,5,6\r\n",
       ModelKind::Color,
       true,
       {},
       {{0, 1, 4}, {2, 1, 6}}},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    LutBank bank;
    for (int t = 0; t < kLutTableCount; ++t) bank.table(t).fill(7);
    notifier_.messages.clear();
    EXPECT_EQ(ReadLutFile(WriteText("in.csv", c.text), bank, c.kind), c.loads);
    EXPECT_EQ(notifier_.Texts(), c.messages);
    for (const auto& m : notifier_.messages) EXPECT_EQ(m.icon, MessageIcon::Error);
    for (const Entry& e : c.entries) {
      EXPECT_EQ(bank.table(e.table)[e.index], e.value) << e.table << "[" << e.index << "]";
    }
    // Only a complete load switches to View Mode; a stopped one leaves the modes alone.
    for (int t = 0; t < kLutTableCount; ++t) {
      EXPECT_EQ(bank.editor(t).mode(), c.loads ? LutMode::kView : LutMode::kEdit);
    }
  }
}

TEST_F(LutFile, MissingFileReportsAndChangesNothing) {
  const std::string path = PathOf("absent.csv");
  EXPECT_FALSE(ReadLutFile(path, bank_, ModelKind::Color));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{path + "\nCouldn't open this file"});
  EXPECT_EQ(bank_.table(kGreenLut)[0], 7);
  EXPECT_EQ(bank_.editor(kGreenLut).mode(), LutMode::kEdit);
}

TEST_F(LutFile, WritesExactlyTheHeaderAnd4096LfLinesAndReadsThemBack) {
  for (int i = 0; i < kLutEntryCount; ++i) {
    bank_.table(kRedLut)[i] = i;
    bank_.table(kGreenLut)[i] = 4095 - i;
    bank_.table(kBlueLut)[i] = (i * 7) % 4096;
  }
  const std::string path = PathOf("colour.csv");
  ASSERT_TRUE(WriteLutFile(path, bank_, ModelKind::Color));
  std::string text = ReadText(path);
  EXPECT_TRUE(text.starts_with("GammaData (R G B)\n0,4095,0\n1,4094,7\n"));
  EXPECT_TRUE(text.ends_with("\n4094,1,4082\n4095,0,4089\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4097);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  LutBank loaded;
  EXPECT_TRUE(ReadLutFile(path, loaded, ModelKind::Color));
  for (int t = 0; t < kLutTableCount; ++t) EXPECT_EQ(loaded.table(t), bank_.table(t)) << t;

  // A monochrome camera's file holds the green table alone.
  ASSERT_TRUE(WriteLutFile(path, bank_, ModelKind::WideMono));
  text = ReadText(path);
  EXPECT_TRUE(text.starts_with("GammaData\n4095\n4094\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4097);
  EXPECT_EQ(text.find(','), std::string::npos);
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(LutFile, FailedSaveKeepsThePreviousFileAndLeavesNoTemporary) {
  // A directory in the target's place is never replaced: refused before anything is written.
  fs::create_directories(dir_ / "taken.csv" / "inside");
  EXPECT_FALSE(WriteLutFile(PathOf("taken.csv"), bank_, ModelKind::Color));
  EXPECT_TRUE(fs::exists(dir_ / "taken.csv" / "inside"));
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{PathOf("taken.csv") + "\nCouldn't open this file"});
  // A folder that does not exist cannot be opened at all.
  EXPECT_FALSE(WriteLutFile(PathOf("missing/out.csv"), bank_, ModelKind::Color));
  EXPECT_EQ(notifier_.Texts().back(), PathOf("missing/out.csv") + "\nCouldn't open this file");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 0);
}

TEST_F(LutFile, SaveReplacesAnExistingFileOnlyWhenConfirmed) {
  const std::string path = WriteText("keep.csv", "old content");
  test::OperatorAnswers operator_;
  EXPECT_FALSE(SaveLutFileConfirmed(path, bank_, ModelKind::Color, operator_.Asker()));
  EXPECT_EQ(ReadText(path), "old content");
  ASSERT_EQ(operator_.questions.size(), 1u);
  EXPECT_EQ(operator_.questions[0].text,
            path + "\nThis file already exists.\nReplace existing file?");
  EXPECT_EQ(operator_.questions[0].caption, "");
  EXPECT_EQ(operator_.questions[0].icon, MessageIcon::Question);

  operator_.answers = {true};
  EXPECT_TRUE(SaveLutFileConfirmed(path, bank_, ModelKind::Color, operator_.Asker()));
  EXPECT_TRUE(ReadText(path).starts_with("GammaData (R G B)\n7,7,7\n"));
  // A new file is written without a question.
  EXPECT_TRUE(SaveLutFileConfirmed(PathOf("new.csv"), bank_, ModelKind::Color, operator_.Asker()));
  EXPECT_EQ(operator_.questions.size(), 2u);
  EXPECT_TRUE(notifier_.questions.empty());
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 2);
}

}  // namespace
}  // namespace ctrl
