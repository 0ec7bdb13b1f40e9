// Catches wrong request bytes, reply-grammar mistakes, integer conversions that overflow or
// pick the wrong base, text packing in the wrong byte order, and line assembly that keeps the
// CR, loses bytes or overruns its buffer.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "camera/command_table.h"
#include "camera/protocol.h"

namespace ctrl {
namespace {

// A settings line must state its value whole: what is cut, padded with other text or beyond
// 32 bits would otherwise become 0, the number's start or a saturated value.
TEST(Protocol, WholeValuesAreOneNumberARegisterHolds) {
  struct Case {
    const char* value;
    bool whole;
    int32_t integer;  // checked when whole
  };
  const Case cases[] = {
      {"4000", true, 4000},
      {"-4095", true, -4095},
      {"4294963201", true, -4095},  // the 32-bit pattern of -4095
      {"4294967295", true, -1},
      {"-2147483648", true, -2147483647 - 1},
      {"4 0 0 0", true, 4000},  // spaces go anywhere
      {"4000\t", true, 4000},
      {"&H1F", true, 31},
      {"&HFFFFFFFF", true, -1},
      {"", false, 0},
      {"4000abc", false, 0},
      {"4294967296", false, 0},
      {"-2147483649", false, 0},
      {"&H", false, 0},
      {"&H1FFFFFFFF", false, 0},
      {"0x1F", false, 0},
  };
  CommandTable table;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    ReplyFields fields;
    ASSERT_TRUE(ParseReply(std::string("0x01001010=") + c.value, table, ModelKind::Mono, fields));
    EXPECT_EQ(fields.value_whole, c.whole);
    if (c.whole) {
      EXPECT_EQ(fields.integer_value, c.integer);
    }
  }
}

TEST(Protocol, RequestsAreFormattedExactly) {
  EXPECT_EQ(FormatReadRequest(0x01600004), "rd 0x01600004\r\n");
  EXPECT_EQ(FormatWriteRequest(0x01001010, 4000), "wr 0x01001010 4000\r\n");
  // A negative value travels as its unsigned 32-bit pattern.
  EXPECT_EQ(FormatWriteRequest(0x01209050, static_cast<uint32_t>(-4095)),
            "wr 0x01209050 4294963201\r\n");
  EXPECT_EQ(FormatReadRequest(0xABCDEF01), "rd 0xABCDEF01\r\n");
}

struct ReplyCase {
  const char* line;
  bool ok;
  const char* name;
  char separator;
  const char* value_text;
  const char* second;
  int count;
  int command_id;
  int32_t integer;
};

// Names each case after its line, so test listings show it instead of the struct's bytes.
void PrintTo(const ReplyCase& c, std::ostream* out) {
  *out << '"';
  for (const char* p = c.line; *p != '\0'; ++p) {
    if (*p == '\r') {
      *out << "\\r";
    } else if (*p == '\n') {
      *out << "\\n";
    } else {
      *out << *p;
    }
  }
  *out << '"';
}

class ParseReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ParseReplyTest, Fields) {
  const ReplyCase& c = GetParam();
  CommandTable table;
  ReplyFields fields;
  EXPECT_EQ(ParseReply(c.line, table, ModelKind::Mono, fields), c.ok) << c.line;
  EXPECT_EQ(fields.error, !c.ok);
  EXPECT_EQ(fields.name, c.name);
  EXPECT_EQ(fields.separator, c.separator);
  EXPECT_EQ(fields.value_text, c.value_text);
  EXPECT_EQ(fields.second_value_text, c.second);
  EXPECT_EQ(fields.value_count, c.count);
  EXPECT_EQ(fields.command_id, c.command_id);
  if (c.ok) {
    EXPECT_EQ(fields.integer_value, c.integer);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseReplyTest,
    ::testing::Values(
        ReplyCase{"0x01600004 = 0x00000010", true, "0x01600004", '=', "0x00000010", "", 1, 1, 0},
        ReplyCase{"0x01600004=16,3", true, "0x01600004", '=', "16", "3", 2, 1, 16},
        ReplyCase{"0x01600004?", true, "0x01600004", '?', "", "", 0, 1, 0},
        ReplyCase{"0x01600004?7", true, "0x01600004", '?', "7", "", 1, 1, 7},
        ReplyCase{"0x01600004=&H1F", true, "0x01600004", '=', "&H1F", "", 1, 1, 31},
        ReplyCase{"0x01600004=&HFFFFFFFF", true, "0x01600004", '=', "&HFFFFFFFF", "", 1, 1, -1},
        ReplyCase{"0x01209050=-4095\r\n", true, "0x01209050", '=', "-4095", "", 1, 56, -4095},
        ReplyCase{"0x01600004=", true, "0x01600004", '=', "", "", 1, 1, 0},
        ReplyCase{"0x01600004=99999999999", true, "0x01600004", '=', "99999999999", "", 1, 1,
                  2147483647},
        ReplyCase{"0x01600004=12abc", true, "0x01600004", '=', "12abc", "", 1, 1, 12},
        ReplyCase{"0x016000 04 = 5", true, "0x01600004", '=', "5", "", 1, 1, 5},
        ReplyCase{"0x01209050=4294963201", true, "0x01209050", '=', "4294963201", "", 1, 56, -4095},
        ReplyCase{"0x0160000a=5", false, "0x0160000a", '=', "5", "", 1, -1, 0},
        ReplyCase{"OK>", false, "", '?', "", "", 0, -1, 0},
        ReplyCase{"", false, "", '?', "", "", 0, -1, 0},
        ReplyCase{"=5", false, "", '=', "5", "", 1, -1, 0}));

TEST(Protocol, AutoBaseConversion) {
  EXPECT_EQ(AutoBaseToInt32("0x00000010"), 16);
  EXPECT_EQ(AutoBaseToInt32("010"), 8);
  EXPECT_EQ(AutoBaseToInt32("  -12"), -12);
  EXPECT_EQ(AutoBaseToInt32("+7x"), 7);
  // A register's 32-bit pattern is two's complement; only what is beyond 32 bits saturates.
  EXPECT_EQ(AutoBaseToInt32("4294963201"), -4095);
  EXPECT_EQ(AutoBaseToInt32("0xFFFFF001"), -4095);
  EXPECT_EQ(AutoBaseToInt32("2147483648"), -2147483647 - 1);
  EXPECT_EQ(AutoBaseToInt32("4294967296"), 2147483647);
  EXPECT_EQ(AutoBaseToInt32("-4294963201"), -2147483647 - 1);
  EXPECT_EQ(AutoBaseToInt32("0xFFFFFFFF"), -1);
  EXPECT_EQ(AutoBaseToInt32("18446744073709551616"), 2147483647);
  EXPECT_EQ(AutoBaseToInt32("0x10000000000000000"), 2147483647);
  EXPECT_EQ(AutoBaseToInt32("-18446744073709551616"), -2147483647 - 1);
  EXPECT_EQ(AutoBaseToInt32("0200000000000000000000"), 2147483647);
  EXPECT_EQ(AutoBaseToInt32("2147483647"), 2147483647);
  EXPECT_EQ(AutoBaseToInt32("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(AutoBaseToInt32("abc"), 0);
  EXPECT_EQ(AutoBaseToInt32(""), 0);
  EXPECT_EQ(AutoBaseToInt32("0x"), 0);
  EXPECT_EQ(AutoBaseToInt32("09"), 0) << "9 is no octal digit";
  EXPECT_EQ(AutoBaseToInt32("99999999999999999999999999"), 2147483647);
  EXPECT_EQ(AutoBaseToUInt32("0xFFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(AutoBaseToUInt32("0x1FFFFFFFF"), 0xFFFFFFFFu);
}

TEST(Protocol, ReplyRegisterNumberOnlyForHexNames) {
  EXPECT_EQ(ReplyRegisterNumber("0x01600004=16"), 0x01600004);
  EXPECT_EQ(ReplyRegisterNumber("0x1 = 2"), 1);
  EXPECT_EQ(ReplyRegisterNumber("value=16"), -1);
  EXPECT_EQ(ReplyRegisterNumber("=16"), -1);
  EXPECT_EQ(ReplyRegisterNumber("0x01600004"), -1);
  EXPECT_EQ(ReplyRegisterNumber("0x016000041=1"), -1);
  EXPECT_EQ(ReplyRegisterNumber("0xZZ=1"), -1);
  // Line noise in front of the register text does not hide it; a cut-off head leaves none.
  EXPECT_EQ(ReplyRegisterNumber("\x7f#junk0x01600004=16"), 0x01600004);
  EXPECT_EQ(ReplyRegisterNumber("0x12zz0x0000ABCD=1"), 0xABCD);
  EXPECT_EQ(ReplyRegisterNumber("x01600004=16"), -1);
  EXPECT_EQ(ReplyRegisterNumber("01600004=16"), -1);
}

struct AnswerCase {
  const char* line;
  std::optional<int32_t> value;  // nullopt: the line does not answer a request for 0x0100101C
};

// Only a whole line naming the register asked, with one complete number, answers it: tails of
// late replies, glued fragments and other registers' lines never yield a value.
TEST(Protocol, OnlyAWholeLineNamingTheRegisterAnswersIt) {
  const AnswerCase cases[] = {
      {"0x0100101C=8000", 8000},
      {"0x0100101c=8000", 8000},
      {"0X100101C=8000", 8000},
      {"0x0100101C = 8000  ", 8000},
      {"0x0100101C=0x1F40", 8000},
      {"0x0100101C=-4095", -4095},
      {"0x0100101C=4294963201", -4095},
      {"\x7f#junk0x0100101C=8000", 8000},  // line noise without "=" in front of the name
      {"=770x0100101C=8000", std::nullopt},
      {"0x0100101C=290x0100101C=297", std::nullopt},
      {"0x0100101C=29\x01", std::nullopt},
      {"1010=4000", std::nullopt},
      {"0100101C=8000", std::nullopt},
      {"x0100101C=8000", std::nullopt},
      {"0x01001010=4000", std::nullopt},
      {"=8000", std::nullopt},
      {"value = 0x10", std::nullopt},
      {"0x0100101C=", std::nullopt},
      {"0x0100101C=80 00", std::nullopt},
      {"0x0100101C=16,3", std::nullopt},
      {"0x0100101C=12abc", std::nullopt},
      {"0x0100101C=+", std::nullopt},
      {"0x10100101C=8000", std::nullopt},
  };
  for (const AnswerCase& c : cases) {
    EXPECT_EQ(ReplyValueFor(c.line, 0x0100101C), c.value) << c.line;
  }
}

TEST(Protocol, TextRegistersPackMostSignificantFirst) {
  EXPECT_TRUE(PackTextRegisters("").empty());
  auto abcde = PackTextRegisters("ABCDE");
  ASSERT_EQ(abcde.size(), 2u);
  EXPECT_EQ(abcde[0], 0x41424344u);
  EXPECT_EQ(abcde[1], 0x45000000u);
  EXPECT_EQ(PackTextRegisters("ABCD").size(), 1u) << "no terminating register";
  EXPECT_EQ(PackTextRegisters(std::string(64, 'x')).size(), 16u);
  EXPECT_EQ(PackTextRegisters("\xff")[0], 0xFF000000u);
}

TEST(Protocol, TextRegistersUnpackUntilTheFirstZeroByte) {
  std::string text;
  EXPECT_FALSE(AppendTextRegister(0x51582D34u, text));
  EXPECT_TRUE(AppendTextRegister(0x30003900u, text));
  EXPECT_EQ(text, "QX-40");
  std::string high;
  EXPECT_FALSE(AppendTextRegister(0xE9FF8081u, high));
  EXPECT_EQ(high, "\xE9\xFF\x80\x81");
  std::string empty;
  EXPECT_TRUE(AppendTextRegister(0, empty));
  EXPECT_EQ(empty, "");
}

TEST(LineAssembly, DropsTheByteBeforeLfAndKeepsPartialLines) {
  LineAssembler assembler;
  std::string line;
  std::string out;
  for (char c : std::string("OK>\r")) {
    EXPECT_EQ(assembler.Push(c, line), LineAssembler::Result::kNone);
  }
  EXPECT_EQ(assembler.fill_count(), 4);
  EXPECT_EQ(assembler.Push('\n', line), LineAssembler::Result::kLine);
  EXPECT_EQ(line, "OK>");
  // LF alone after "OK>": the last character is taken for the CR.
  for (char c : std::string("OK>\n")) assembler.Push(c, line);
  EXPECT_EQ(line, "OK");
  EXPECT_EQ(assembler.Push('\n', line), LineAssembler::Result::kLine);
  EXPECT_EQ(line, "");
}

TEST(LineAssembly, OverflowAt1024BytesStartsAgainEmpty) {
  LineAssembler assembler;
  std::string line;
  for (int i = 0; i < 1023; ++i) {
    ASSERT_EQ(assembler.Push('a', line), LineAssembler::Result::kNone);
  }
  EXPECT_EQ(assembler.Push('a', line), LineAssembler::Result::kOverflow);
  EXPECT_EQ(assembler.fill_count(), 0);
  for (char c : std::string("x=1\r\n")) assembler.Push(c, line);
  EXPECT_EQ(line, "x=1");
  // The longest line that fits: 1022 characters plus CR.
  std::string longest(1022, 'b');
  for (char c : longest + "\r") ASSERT_EQ(assembler.Push(c, line), LineAssembler::Result::kNone);
  EXPECT_EQ(assembler.Push('\n', line), LineAssembler::Result::kLine);
  EXPECT_EQ(line, longest);
}

}  // namespace
}  // namespace ctrl
