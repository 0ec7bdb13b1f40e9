// Catches LUT files that are written in the wrong shape, loads that glue signs and decimal points
// into other numbers, misread columns, line counts or over-long lines, wrong or missing messages,
// and saves that destroy the previous file when they fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "lut/lut_file.h"
#include "lut/lut_flows.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

namespace fs = std::filesystem;

class LutFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device entropy;
    dir_ = fs::temp_directory_path() / ("lut_file_test_" + std::to_string(entropy()));
    fs::create_directories(dir_);
    for (int t = 0; t < kLutTableCount; ++t) bank_.table(t).fill(7);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  std::string WriteText(const std::string& name, const std::string& text) const {
    std::ofstream out(PathOf(name), std::ios::binary);
    out << text;
    return PathOf(name);
  }

  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // A file with `lines` data lines of the given form, each made from its line number.
  static std::string ColourFile(int lines) {
    std::string text = "GammaData (R G B)\n";
    for (int k = 0; k < lines; ++k) {
      text += std::to_string(k % 4096) + "," + std::to_string((k + 1) % 4096) + "," +
              std::to_string((k + 2) % 4096) + "\n";
    }
    return text;
  }
  static std::string MonoFile(int lines) {
    std::string text = "GammaData\n";
    for (int k = 0; k < lines; ++k) text += std::to_string(k % 4096) + "\n";
    return text;
  }

  bool Read(const std::string& path, ModelKind kind) { return ReadLutFile(path, bank_, kind); }

  bool AllInMode(LutMode mode) const {
    for (int t = 0; t < kLutTableCount; ++t) {
      if (bank_.editor(t).mode() != mode) return false;
    }
    return true;
  }

  fs::path dir_;
  LutBank bank_;
  test::RecordingNotifier notifier_;
};

TEST_F(LutFile, ColourRoundTripWritesExactlyTheHeaderAnd4096LfLines) {
  for (int i = 0; i < kLutEntryCount; ++i) {
    bank_.table(kRedLut)[i] = i;
    bank_.table(kGreenLut)[i] = 4095 - i;
    bank_.table(kBlueLut)[i] = (i * 7) % 4096;
  }
  const std::string path = PathOf("colour.csv");
  ASSERT_TRUE(WriteLutFile(path, bank_, ModelKind::Color));
  const std::string text = ReadText(path);
  EXPECT_EQ(text.rfind("GammaData (R G B)\n0,4095,0\n1,4094,7\n", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4097);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_TRUE(text.ends_with("\n4094,1,4082\n4095,0,4089\n"));

  LutBank loaded;
  EXPECT_TRUE(ReadLutFile(path, loaded, ModelKind::Color));
  for (int t = 0; t < kLutTableCount; ++t) EXPECT_EQ(loaded.table(t), bank_.table(t)) << t;
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(LutFile, MonochromeWritesOnlyTheGreenTable) {
  for (int i = 0; i < kLutEntryCount; ++i) bank_.table(kGreenLut)[i] = i / 2;
  const std::string path = PathOf("mono.csv");
  ASSERT_TRUE(WriteLutFile(path, bank_, ModelKind::WideMono));
  const std::string text = ReadText(path);
  EXPECT_EQ(text.rfind("GammaData\n0\n0\n1\n1\n2\n", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4097);
  EXPECT_EQ(text.find(','), std::string::npos);
}

TEST_F(LutFile, FailedSaveKeepsThePreviousFileAndLeavesNoTemporary) {
  // A directory in the target's place makes the final replace fail after everything was written.
  fs::create_directories(dir_ / "taken.csv" / "inside");
  EXPECT_FALSE(WriteLutFile(PathOf("taken.csv"), bank_, ModelKind::Color));
  EXPECT_TRUE(fs::exists(dir_ / "taken.csv" / "inside"));
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_EQ(notifier_.messages[0].text, PathOf("taken.csv") + "\nCouldn't write this file");
  EXPECT_EQ(notifier_.messages[0].icon, MessageIcon::Error);

  // A folder that does not exist cannot be opened at all.
  EXPECT_FALSE(WriteLutFile(PathOf("missing/out.csv"), bank_, ModelKind::Color));
  EXPECT_EQ(notifier_.messages.back().text,
            PathOf("missing/out.csv") + "\nCouldn't open this file");

  // A good save replaces the old content and leaves only the target behind.
  const std::string path = WriteText("old.csv", "old content");
  ASSERT_TRUE(WriteLutFile(path, bank_, ModelKind::Mono));
  EXPECT_EQ(ReadText(path).rfind("GammaData\n7\n", 0), 0u);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(LutFile, MissingFileReportsAndChangesNothing) {
  const std::string path = PathOf("absent.csv");
  EXPECT_FALSE(Read(path, ModelKind::Color));
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_EQ(notifier_.messages[0].text, path + "\nCouldn't open this file");
  EXPECT_EQ(notifier_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(bank_.table(kGreenLut)[0], 7);
  EXPECT_TRUE(AllInMode(LutMode::kEdit));
}

TEST_F(LutFile, HeaderOnlyOrEmptyFileLoadsWithoutChangingEntries) {
  for (const char* text : {"GammaData (R G B)\n", "", "anything at all"}) {
    bank_.SetModeAndRedraw(kGreenLut, LutMode::kEdit);
    bank_.table(kGreenLut).fill(7);
    EXPECT_TRUE(Read(WriteText("h.csv", text), ModelKind::Color)) << text;
    EXPECT_EQ(bank_.table(kGreenLut)[0], 7);
    EXPECT_TRUE(AllInMode(LutMode::kView));
  }
  EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(LutFile, LineCountRules) {
  // Fewer lines: the rest keeps its old values.
  EXPECT_TRUE(Read(WriteText("few.csv", ColourFile(3)), ModelKind::Color));
  EXPECT_EQ(bank_.table(kRedLut)[2], 2);
  EXPECT_EQ(bank_.table(kBlueLut)[2], 4);
  EXPECT_EQ(bank_.table(kRedLut)[3], 7);

  // One line too many: all 4096 are stored, then the load stops and the modes stay.
  bank_.SetModeAndRedraw(kRedLut, LutMode::kEdit);
  bank_.table(kRedLut).fill(7);
  EXPECT_FALSE(Read(WriteText("many.csv", ColourFile(4097)), ModelKind::Color));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Too many data"});
  EXPECT_EQ(notifier_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(bank_.table(kRedLut)[4095], 4095);
  EXPECT_EQ(bank_.editor(kRedLut).mode(), LutMode::kEdit);
}

TEST_F(LutFile, BlankLastLine) {
  // Colour: the blank line has no commas.
  EXPECT_FALSE(Read(WriteText("c.csv", ColourFile(4096) + "\n"), ModelKind::Color));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Invalid line format"});
  EXPECT_EQ(bank_.table(kBlueLut)[4095], 1);  // (4095 + 2) % 4096

  // Monochrome after a short file: the blank line stores 0 at the next entry.
  notifier_.messages.clear();
  bank_.table(kGreenLut).fill(7);
  EXPECT_TRUE(Read(WriteText("m.csv", MonoFile(10) + "\n"), ModelKind::Mono));
  EXPECT_EQ(bank_.table(kGreenLut)[9], 9);
  EXPECT_EQ(bank_.table(kGreenLut)[10], 0);
  EXPECT_EQ(bank_.table(kGreenLut)[11], 7);

  // Monochrome after a full file: one line too many.
  EXPECT_FALSE(Read(WriteText("m2.csv", MonoFile(4096) + "\n"), ModelKind::Mono));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Too many data"});
}

TEST_F(LutFile, ColumnCountMustMatchTheCamera) {
  // A colour file on a monochrome camera: the third column would pass the blue table.
  EXPECT_FALSE(Read(WriteText("c.csv", ColourFile(5)), ModelKind::Mono));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Invalid data count format"});
  EXPECT_EQ(bank_.table(kGreenLut)[0], 7);

  // A monochrome file on a colour camera.
  notifier_.messages.clear();
  EXPECT_FALSE(Read(WriteText("m.csv", MonoFile(5)), ModelKind::Unsupported));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Invalid line format"});

  // Four columns on a colour camera.
  notifier_.messages.clear();
  EXPECT_FALSE(Read(WriteText("4.csv", "G\n1,2,3,4\n"), ModelKind::Color));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Invalid data count format"});
}

TEST_F(LutFile, MonochromeLineAlsoSetsRedToZeroAndBlueToTheSecondColumn) {
  EXPECT_TRUE(Read(WriteText("m.csv", "GammaData\n100,200\n300\n"), ModelKind::Mono));
  EXPECT_EQ(bank_.table(kRedLut)[0], 0);
  EXPECT_EQ(bank_.table(kGreenLut)[0], 100);
  EXPECT_EQ(bank_.table(kBlueLut)[0], 200);
  EXPECT_EQ(bank_.table(kGreenLut)[1], 300);
  EXPECT_EQ(bank_.table(kBlueLut)[1], 0);
}

TEST_F(LutFile, ValuesAboveTheRangeAreClampedAndTheFirstIsReported) {
  EXPECT_TRUE(
      Read(WriteText("v.csv", "GammaData (R G B)\n1,2,3\n4,5000,6\n9999,0,0\n"), ModelKind::Color));
  EXPECT_EQ(bank_.table(kGreenLut)[1], 4095);
  EXPECT_EQ(bank_.table(kRedLut)[2], 4095);
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"Invalid data value: Line(1) : Value(5000)"});
}

TEST_F(LutFile, SignsAndDecimalPointsAreReadAsNumbers) {
  const std::string text =
      "GammaData (R G B)\n"
      "-5,12.5,12.4\n"
      "+7,12.0,1 2\n"
      "-0,.5,4095.4\n";
  EXPECT_TRUE(Read(WriteText("s.csv", text), ModelKind::Color));
  EXPECT_EQ(bank_.table(kRedLut)[0], 0);
  EXPECT_EQ(bank_.table(kGreenLut)[0], 13);
  EXPECT_EQ(bank_.table(kBlueLut)[0], 12);
  EXPECT_EQ(bank_.table(kRedLut)[1], 7);
  EXPECT_EQ(bank_.table(kGreenLut)[1], 12);
  EXPECT_EQ(bank_.table(kBlueLut)[1], 12);  // blanks inside a field are still skipped
  EXPECT_EQ(bank_.table(kRedLut)[2], 0);
  EXPECT_EQ(bank_.table(kGreenLut)[2], 1);
  EXPECT_EQ(bank_.table(kBlueLut)[2], 4095);
  // Only the first doubtful value of the file is reported.
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Invalid data value: Line(0) : Value(-5)"});
}

TEST_F(LutFile, FractionAloneIsReportedWithItsRoundedValue) {
  EXPECT_TRUE(Read(WriteText("f.csv", "GammaData\n1\n2\n2047.5\n"), ModelKind::Mono));
  EXPECT_EQ(bank_.table(kGreenLut)[2], 2048);
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"Invalid data value: Line(2) : Value(2048)"});
}

TEST_F(LutFile, LongLinesAreReadIn126CharacterPieces) {
  // 126 characters fill one piece; the line end then arrives as a piece (a line) of its own.
  const std::string padded_mono = "5" + std::string(125, ' ');
  EXPECT_TRUE(Read(WriteText("m.csv", "GammaData\n" + padded_mono + "\n6\n"), ModelKind::Mono));
  EXPECT_EQ(bank_.table(kGreenLut)[0], 5);
  EXPECT_EQ(bank_.table(kGreenLut)[1], 0);
  EXPECT_EQ(bank_.table(kGreenLut)[2], 6);

  // 125 characters and CR LF are one piece: CR LF is one line end.
  const std::string fits = "1,2,3" + std::string(120, ' ');
  EXPECT_TRUE(Read(WriteText("crlf.csv", "GammaData (R G B)\r\n" + fits + "\r\n4,5,6\r\n"),
                   ModelKind::Color));
  EXPECT_EQ(bank_.table(kRedLut)[1], 4);
  EXPECT_EQ(bank_.table(kBlueLut)[1], 6);

  // On a colour camera the remainder of a long line has no commas.
  const std::string long_colour = "1,2,3" + std::string(130, ' ');
  EXPECT_FALSE(
      Read(WriteText("c.csv", "GammaData (R G B)\n" + long_colour + "\n"), ModelKind::Color));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"Invalid line format"});
}

TEST_F(LutFile, SaveReplacesAnExistingFileOnlyWhenConfirmed) {
  const std::string path = WriteText("keep.csv", "old content");
  EXPECT_FALSE(SaveLutFileConfirmed(path, bank_, ModelKind::Color));
  EXPECT_EQ(ReadText(path), "old content");
  ASSERT_EQ(notifier_.questions.size(), 1u);
  EXPECT_EQ(notifier_.questions[0].text,
            path + "\nThis file already exists.\nReplace existing file?");

  notifier_.answers = {true};
  EXPECT_TRUE(SaveLutFileConfirmed(path, bank_, ModelKind::Color));
  EXPECT_EQ(ReadText(path).rfind("GammaData (R G B)\n7,7,7\n", 0), 0u);

  // A new file is written without a question.
  EXPECT_TRUE(SaveLutFileConfirmed(PathOf("new.csv"), bank_, ModelKind::Color));
  EXPECT_EQ(notifier_.questions.size(), 2u);
}

TEST_F(LutFile, DialogHelpers) {
  EXPECT_TRUE(LutDialogInitialName().ends_with("/*.csv"));
  ShowLutDialogError(-3);
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_EQ(notifier_.messages[0].text, "Error in Load Dialog! (Return-code = -3)");
  EXPECT_EQ(notifier_.messages[0].caption, "Load Error");
  EXPECT_EQ(notifier_.messages[0].icon, MessageIcon::Exclamation);
}

}  // namespace
}  // namespace ctrl
