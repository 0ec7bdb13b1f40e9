// Catches exchanges that take the wrong line as the answer, miss a failure case, hang past the
// time-out, report the wrong online state, or trace the traffic wrongly; and text registers that
// read or write the wrong number of registers.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "camera/command_engine.h"
#include "camera/protocol.h"
#include "support/recording_notifier.h"

namespace ctrl {
namespace {

// A camera on a script: each request gets the reply chunks the responder returns, each due a
// given time after the request arrived. Time is the fake clock's.
class ScriptedChannel final : public ByteChannel {
 public:
  struct Chunk {
    int64_t delay_us;
    std::string bytes;
  };
  using Responder = std::function<std::vector<Chunk>(const std::string& request)>;

  ScriptedChannel(FakeClock& clock, Responder responder)
      : clock_(clock), responder_(std::move(responder)) {}

  bool Write(std::string_view bytes) override {
    requests.emplace_back(bytes);
    for (Chunk& chunk : responder_(std::string(bytes))) {
      pending_.push_back({clock_.NowUs() + chunk.delay_us, std::move(chunk.bytes)});
    }
    return true;
  }

  int Read(char* buffer, int length, int timeout_ms) override {
    const int64_t deadline = clock_.NowUs() + int64_t{timeout_ms} * 1000;
    int delivered = 0;
    for (;;) {
      if (hang_up_at_us >= 0 && clock_.NowUs() >= hang_up_at_us) return delivered;
      while (delivered < length && Due()) {
        buffer[delivered++] = pending_.front().bytes[offset_++];
        if (offset_ == pending_.front().bytes.size()) {
          pending_.pop_front();
          offset_ = 0;
        }
      }
      if (delivered == length || clock_.NowUs() >= deadline) return delivered;
      int64_t next = pending_.empty() ? deadline : std::min(deadline, pending_.front().due_us);
      if (hang_up_at_us >= 0 && hang_up_at_us > clock_.NowUs())
        next = std::min(next, hang_up_at_us);
      clock_.SleepUntilUs(next);
    }
  }

  bool LineLost() const override { return hang_up_at_us >= 0 && clock_.NowUs() >= hang_up_at_us; }

  void DiscardInput() override {
    while (Due()) {
      pending_.pop_front();
      offset_ = 0;
    }
  }

  std::vector<std::string> requests;
  int64_t hang_up_at_us = -1;  // from then on the line is gone

 private:
  struct Pending {
    int64_t due_us;
    std::string bytes;
  };
  bool Due() const { return !pending_.empty() && pending_.front().due_us <= clock_.NowUs(); }

  FakeClock& clock_;
  Responder responder_;
  std::deque<Pending> pending_;
  size_t offset_ = 0;
};

struct Recorder final : TraceSink, OnlineStatusObserver {
  void TraceLine(std::string_view line) override { trace.emplace_back(line); }
  void OnlineStatusChanged(bool online) override { states.push_back(online); }
  std::vector<std::string> trace;
  std::vector<bool> states;
};

// A well-behaved register file answering "0x%08X=%d" and "OK>".
struct RegisterCamera {
  std::map<uint32_t, int32_t> registers;
  std::vector<ScriptedChannel::Chunk> Answer(const std::string& request) {
    char op[4] = {};
    unsigned reg = 0;
    unsigned value = 0;
    int fields = std::sscanf(request.c_str(), "%2s 0x%X %u", op, &reg, &value);
    if (fields >= 2 && std::string(op) == "wr") registers[reg] = static_cast<int32_t>(value);
    char line[64];
    std::snprintf(line, sizeof line, "0x%08X=%d\r\n", reg, registers[reg]);
    return {{100, line}, {200, "OK>\r\n"}};
  }
};

// The answer to a read request whose value is the register's low byte, so every register
// answers something of its own.
std::string LowByteReply(const std::string& request) {
  unsigned reg = 0;
  std::sscanf(request.c_str(), "rd 0x%X", &reg);
  char line[64];
  std::snprintf(line, sizeof line, "0x%08X=%u\r\nOK>\r\n", reg, reg & 0xFF);
  return line;
}

// The reply a camera that names its registers gives: the requested register, `value_text`, prompt.
std::string NamedReply(const std::string& request, const std::string& value_text) {
  unsigned reg = 0;
  std::sscanf(request.c_str() + 3, "0x%X", &reg);
  char name[16];
  std::snprintf(name, sizeof name, "0x%08X=", reg);
  return name + value_text + "\r\nOK>\r\n";
}

class EngineTest : public ::testing::Test {
 protected:
  void Use(ScriptedChannel::Responder responder) {
    channel_ = std::make_unique<ScriptedChannel>(clock_, std::move(responder));
    engine_ = std::make_unique<Command>(*channel_, clock_, table_, status_);
    engine_->set_trace_sink(&recorder_);
    status_.Register(&recorder_);
    recorder_.states.clear();
  }
  void UseCamera() {
    Use([this](const std::string& r) { return camera_.Answer(r); });
  }

  test::RecordingNotifier notifier_;
  FakeClock clock_{1'000'000};
  CommandTable table_;
  OnlineStatusPublisher status_;
  Recorder recorder_;
  RegisterCamera camera_;
  std::unique_ptr<ScriptedChannel> channel_;
  std::unique_ptr<Command> engine_;
};

TEST_F(EngineTest, ReadAndWriteConfirmedExchanges) {
  UseCamera();
  camera_.registers[0x01600004] = 16;
  int32_t value = 0;
  ASSERT_TRUE(engine_->ReadCommand(1, value, kDefaultTimeoutMs));
  EXPECT_EQ(value, 16);
  ASSERT_TRUE(engine_->WriteCommand(56, -4095, kDefaultTimeoutMs));
  EXPECT_EQ(channel_->requests.back(), "wr 0x01209050 4294963201\r\n");
  EXPECT_EQ(camera_.registers[0x01209050], -4095);
  EXPECT_EQ(recorder_.states, (std::vector<bool>{true, true}));
  EXPECT_EQ(recorder_.trace, (std::vector<std::string>{"Tx: rd 0x01600004", "Rx: 0x01600004=16",
                                                       "Rx: OK>", "Tx: wr 0x01209050 4294963201",
                                                       "Rx: 0x01209050=-4095", "Rx: OK>"}));
  // The exchange ends as soon as the prompt is in, not at some polling step.
  EXPECT_EQ(clock_.NowUs(), 1'000'000 + 400);
}

TEST_F(EngineTest, SilentCameraTimesOutOfflineWithoutWaitingLonger) {
  Use([](const std::string&) { return std::vector<ScriptedChannel::Chunk>{}; });
  int32_t value = 77;
  int64_t start = clock_.NowUs();
  EXPECT_FALSE(engine_->ReadRegister(0x01600004, value, 5000));
  EXPECT_EQ(clock_.NowUs() - start, 5'000'000);
  EXPECT_EQ(value, 77);
  EXPECT_EQ(recorder_.states, std::vector<bool>{false});
}

TEST_F(EngineTest, EchoedRequestFailsWithoutStatusReport) {
  Use([](const std::string& r) {
    std::string echo = r;
    return std::vector<ScriptedChannel::Chunk>{
        {10, echo}, {20, "0x01600004=1\r\n"}, {30, "OK>\r\n"}};
  });
  int32_t value = 0;
  EXPECT_FALSE(engine_->ReadRegister(0x01600004, value, 5000));
  EXPECT_TRUE(recorder_.states.empty());
}

TEST_F(EngineTest, PromptWithTrailingSpaceFailsButTheValueIsDelivered) {
  Use([](const std::string&) {
    return std::vector<ScriptedChannel::Chunk>{{10, "0x01600004=42\r\n"}, {20, "OK> \r\n"}};
  });
  int32_t value = 0;
  EXPECT_FALSE(engine_->ReadRegister(0x01600004, value, 5000));
  EXPECT_EQ(value, 42);
  EXPECT_TRUE(recorder_.states.empty());
}

TEST_F(EngineTest, PromptEndedByLoneLfFails) {
  Use([](const std::string&) {
    return std::vector<ScriptedChannel::Chunk>{{10, "0x01600004=1\r\n"}, {20, "OK>\n"}};
  });
  int32_t value = 0;
  EXPECT_FALSE(engine_->ReadRegister(0x01600004, value, 5000));
}

TEST_F(EngineTest, ReadValuesTakeThirtyTwoBitPatternsAsTwosComplementAndUseAutoBase) {
  const std::map<uint32_t, std::string> replies = {{1, "4294963201"}, {2, "010"},
                                                   {3, "0xFFFFF001"}, {4, "-4095"},
                                                   {5, "4294967296"}, {6, " 0x00000010 "}};
  Use([&](const std::string& r) {
    unsigned reg = 0;
    std::sscanf(r.c_str(), "rd 0x%X", &reg);
    return std::vector<ScriptedChannel::Chunk>{{10, NamedReply(r, replies.at(reg))}};
  });
  const std::map<uint32_t, int32_t> expected = {{1, -4095}, {2, 8},          {3, -4095},
                                                {4, -4095}, {5, 2147483647}, {6, 16}};
  for (const auto& [reg, want] : expected) {
    int32_t value = 0;
    EXPECT_TRUE(engine_->ReadRegister(reg, value, 5000)) << replies.at(reg);
    EXPECT_EQ(value, want) << replies.at(reg);
  }
}

TEST_F(EngineTest, EmptyReplyLineFails) {
  Use([](const std::string&) { return std::vector<ScriptedChannel::Chunk>{{10, "\r\nOK>\r\n"}}; });
  int32_t value = 0;
  EXPECT_FALSE(engine_->ReadRegister(1, value, 5000));
}

// A reply that comes after its request timed out must not answer the next request.
TEST_F(EngineTest, LateReplyIsNotTakenForTheNextAnswer) {
  bool late = true;
  Use([&](const std::string& r) {
    int64_t delay = late ? 5'500'000 : 1'000'000;
    late = false;
    return std::vector<ScriptedChannel::Chunk>{{delay, LowByteReply(r)}};
  });
  int32_t value = 0;
  EXPECT_FALSE(engine_->ReadRegister(0x01000011, value, 5000));
  // The late reply lands 0.5 s into the next exchange; its own answer comes at 1 s.
  EXPECT_TRUE(engine_->ReadRegister(0x01000022, value, 5000));
  EXPECT_EQ(value, 0x22);
}

TEST_F(EngineTest, BytesAlreadyWaitingAreDiscardedBeforeARequest) {
  int calls = 0;
  Use([&](const std::string&) {
    ++calls;
    if (calls == 1) {
      // The same register's reply, arriving late: it would otherwise answer the next read.
      return std::vector<ScriptedChannel::Chunk>{{6'000'000, "0x00000001=111\r\nOK>\r\n"}};
    }
    return std::vector<ScriptedChannel::Chunk>{{10, "0x00000001=222\r\nOK>\r\n"}};
  });
  int32_t value = 0;
  EXPECT_FALSE(engine_->ReadRegister(1, value, 5000));
  clock_.AdvanceUs(2'000'000);  // the late bytes are now waiting in the channel
  EXPECT_TRUE(engine_->ReadRegister(1, value, 5000));
  EXPECT_EQ(value, 222);
}

// A refused write fails at its error line while the prompt behind it is still on the wire.
// That prompt must not fail the next exchange, and the answers must not fall one behind.
TEST_F(EngineTest, PromptOfARefusedWriteDoesNotShiftLaterAnswers) {
  Use([&](const std::string& r) {
    if (r.rfind("wr ", 0) == 0) {
      return std::vector<ScriptedChannel::Chunk>{{10, "Error: invalid value\r\nO"},
                                                 {500, "K>\r\n"}};
    }
    return std::vector<ScriptedChannel::Chunk>{{1000, LowByteReply(r)}};
  });
  EXPECT_FALSE(engine_->WriteRegister(0x01000011, 7, 5000));
  int32_t value = 0;
  EXPECT_TRUE(engine_->ReadRegister(0x01000022, value, 5000));
  EXPECT_EQ(value, 0x22);
  EXPECT_TRUE(engine_->ReadRegister(0x01000033, value, 5000));
  EXPECT_EQ(value, 0x33);
}

// A camera that echoes each request: the exchange fails at the echo, and the answer behind it
// must not confirm the next write to the same register, which the camera refuses.
TEST_F(EngineTest, AnswerBehindAnEchoDoesNotConfirmTheNextWrite) {
  Use([&](const std::string& r) {
    unsigned reg = 0;
    unsigned value = 0;
    std::sscanf(r.c_str(), "wr 0x%X %u", &reg, &value);
    char line[64];
    std::snprintf(line, sizeof line, "0x%08X=%u\r\nOK>\r\n", reg, value);
    std::string answer = value == 3 ? line : "Error: invalid value\r\nOK>\r\n";
    return std::vector<ScriptedChannel::Chunk>{{10, r}, {1000, answer}};
  });
  EXPECT_FALSE(engine_->WriteRegister(0x01000011, 3, 5000));
  EXPECT_FALSE(engine_->WriteRegister(0x01000011, 1, 5000));
  EXPECT_TRUE(recorder_.states.empty());  // lines came: no offline report
}

// A late reply whose first bytes are already in when the next request goes out: cutting those
// bytes off would leave a tail that names no register ("x01000011=17") and would be taken
// for the answer.
TEST_F(EngineTest, LateReplyArrivingMidLineIsNotCutIntoANamelessAnswer) {
  bool first = true;
  Use([&](const std::string& r) {
    const std::string reply = LowByteReply(r);
    if (first) {
      first = false;
      return std::vector<ScriptedChannel::Chunk>{{5'100'000, reply.substr(0, 3)},
                                                 {6'000'000, reply.substr(3)}};
    }
    return std::vector<ScriptedChannel::Chunk>{{2'000'000, reply}};
  });
  int32_t value = 0;
  EXPECT_FALSE(engine_->ReadRegister(0x01000011, value, 5000));
  clock_.AdvanceUs(200'000);  // "0x0" of the late reply is waiting
  EXPECT_TRUE(engine_->ReadRegister(0x01000022, value, 5000));
  EXPECT_EQ(value, 0x22);
}

TEST_F(EngineTest, OverlongLineReportsOverflowAndTheExchangeStillCompletes) {
  Use([](const std::string&) {
    // Two kilobytes without LF overflow twice, but the operator is told once; the noise left in
    // front of the register name does not hide the answer.
    return std::vector<ScriptedChannel::Chunk>{{10, std::string(3000, 'g')},
                                               {20, "0x00000001=5\r\nOK>\r\n"}};
  });
  int32_t value = 0;
  EXPECT_TRUE(engine_->ReadRegister(1, value, 5000));
  EXPECT_EQ(value, 5);
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_EQ(notifier_.messages[0].text, "RS-232C receiving buffer overflowed");
  EXPECT_EQ(notifier_.messages[0].caption, "Communication Error");
}

// A flood that overflows the line buffer leaves a tail; when the tail ends without "=", it is no
// refusal of the camera, and the reply behind it still answers (or the exchange times out).
TEST_F(EngineTest, TailOfAnOverflowedLineIsNoRefusal) {
  Use([](const std::string&) {
    return std::vector<ScriptedChannel::Chunk>{{10, std::string(1030, '~') + "\r\n"},
                                               {20, "0x00000001=5\r\nOK>\r\n"}};
  });
  int32_t value = 0;
  EXPECT_TRUE(engine_->ReadRegister(1, value, 5000));
  EXPECT_EQ(value, 5);
  EXPECT_EQ(engine_->last_failure(), Command::Failure::kNone);
}

// The same for the rest of a line whose start was dropped before the next request was sent.
TEST_F(EngineTest, RestOfALineDroppedBeforeTheRequestIsNoRefusal) {
  int request = 0;
  Use([&request](const std::string&) {
    if (++request == 1) {
      return std::vector<ScriptedChannel::Chunk>{{10, "0x00000001=5\r\nOK>\r\n0x01203C00=12"}};
    }
    return std::vector<ScriptedChannel::Chunk>{{10, "345\r\n"}, {20, "0x00000002=6\r\nOK>\r\n"}};
  });
  int32_t value = 0;
  EXPECT_TRUE(engine_->ReadRegister(1, value, 5000));
  EXPECT_EQ(value, 5);
  EXPECT_TRUE(engine_->ReadRegister(2, value, 5000));
  EXPECT_EQ(value, 6);
  EXPECT_EQ(engine_->last_failure(), Command::Failure::kNone);
}

TEST_F(EngineTest, RepliesSplitIntoSingleBytesAreAssembled) {
  Use([](const std::string&) {
    std::vector<ScriptedChannel::Chunk> chunks;
    std::string reply = "0x00000001=9\r\nOK>\r\n";
    for (size_t i = 0; i < reply.size(); ++i) {
      chunks.push_back({static_cast<int64_t>(100 * (i + 1)), std::string(1, reply[i])});
    }
    return chunks;
  });
  int32_t value = 0;
  EXPECT_TRUE(engine_->ReadRegister(1, value, 5000));
  EXPECT_EQ(value, 9);
}

TEST_F(EngineTest, TextRegistersReadUntilZeroByteAndWriteCeilOfLengthOverFour) {
  UseCamera();
  uint32_t reg = 0x00000044;
  for (uint32_t v : PackTextRegisters("QX-4096TR-PCL")) {
    camera_.registers[reg] = static_cast<int32_t>(v);
    reg += 4;
  }
  std::string text;
  ASSERT_TRUE(engine_->ReadText(3, 64, text, 1000));
  EXPECT_EQ(text, "QX-4096TR-PCL");
  EXPECT_EQ(channel_->requests.size(), 4u);

  channel_->requests.clear();
  ASSERT_TRUE(engine_->WriteText(7, "ABCDE", 5000));
  EXPECT_EQ(channel_->requests, (std::vector<std::string>{"wr 0x00000184 1094861636\r\n",
                                                          "wr 0x00000188 1157627904\r\n"}));
  channel_->requests.clear();
  EXPECT_TRUE(engine_->WriteText(7, "", 5000));
  EXPECT_TRUE(channel_->requests.empty());
  std::string nothing;
  EXPECT_TRUE(engine_->ReadText(7, 0, nothing, 5000));
  EXPECT_TRUE(channel_->requests.empty());
}

TEST_F(EngineTest, TextReadOfNonZeroRegistersStopsAfterSixteen) {
  Use([](const std::string& r) {
    return std::vector<ScriptedChannel::Chunk>{{10, NamedReply(r, "1094795585")}};  // "AAAA"
  });
  std::string text;
  ASSERT_TRUE(engine_->ReadText(2, 64, text, 5000));
  EXPECT_EQ(text, std::string(64, 'A'));
  EXPECT_EQ(channel_->requests.size(), 16u);
}

TEST_F(EngineTest, CheckModelClassifiesAndKeepsUnsupportedNames) {
  std::string name = "QX-8192M-PCL";
  Use([&](const std::string& r) {
    unsigned reg = 0;
    std::sscanf(r.c_str(), "rd 0x%X", &reg);
    auto values = PackTextRegisters(name);
    size_t index = (reg - 0x44) / 4;
    uint32_t value = index < values.size() ? values[index] : 0;
    return std::vector<ScriptedChannel::Chunk>{
        {10, NamedReply(r, std::to_string(static_cast<int32_t>(value)))}};
  });
  ASSERT_TRUE(engine_->CheckModel());
  EXPECT_EQ(engine_->device().kind, ModelKind::WideMono);
  EXPECT_TRUE(notifier_.messages.empty());

  name = "QX-9999X";
  ASSERT_TRUE(engine_->CheckModel());
  EXPECT_EQ(engine_->device().kind, ModelKind::Unsupported);
  EXPECT_EQ(engine_->device().name, "QX-9999X");
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_EQ(notifier_.messages[0].text, "Unsupported model: \"QX-9999X\"");
}

TEST_F(EngineTest, CheckModelFailureLeavesTheRecordAndUsesTheShortTimeOut) {
  Use([](const std::string&) { return std::vector<ScriptedChannel::Chunk>{}; });
  engine_->device().kind = ModelKind::Color;
  engine_->device().name = "QX-4096TR-PCL";
  int64_t start = clock_.NowUs();
  EXPECT_FALSE(engine_->CheckModel());
  EXPECT_EQ(clock_.NowUs() - start, 1'000'000);
  EXPECT_EQ(engine_->device().kind, ModelKind::Color);
  EXPECT_EQ(engine_->device().name, "QX-4096TR-PCL");
}

TEST_F(EngineTest, IdleDrainTracesUnaskedLinesUntilTheNextExchangeClearsThem) {
  UseCamera();
  engine_->SendText("rd 0x00000001\r\n");
  clock_.AdvanceUs(1000);
  engine_->OnIdleTimer();
  EXPECT_TRUE(engine_->HasLine());
  EXPECT_EQ(recorder_.trace,
            (std::vector<std::string>{"Tx: rd 0x00000001", "Rx: 0x00000001=0", "Rx: OK>"}));
  int32_t value = 0;
  EXPECT_TRUE(engine_->ReadRegister(2, value, 5000));
  EXPECT_FALSE(engine_->HasLine());
}

TEST_F(EngineTest, DeviceVersionDigitsBecomeTheVersionNumber) {
  UseCamera();
  auto values = PackTextRegisters("V2.10a");
  camera_.registers[0xC4] = static_cast<int32_t>(values[0]);
  camera_.registers[0xC8] = static_cast<int32_t>(values[1]);
  engine_->UpdateDeviceVersion();
  EXPECT_EQ(engine_->device().version_number, 210);
  EXPECT_EQ(DeviceVersionNumber("99999999999"), 2147483647);
}

// What a camera made by someone else may send around its answer. Register 0x0100101C holds
// 8000; each case is a run of exchanges with the bytes the camera sends for each.
struct ForeignReplyCase {
  const char* name;
  std::vector<std::vector<ScriptedChannel::Chunk>> replies;  // one entry per exchange
  bool last_ok;
  int32_t last_value;
};

void PrintTo(const ForeignReplyCase& c, std::ostream* out) {
  *out << c.name;
}

class ForeignReplyTest : public EngineTest,
                         public ::testing::WithParamInterface<ForeignReplyCase> {};

TEST_P(ForeignReplyTest, NoWrongValueIsReportedAsRead) {
  const ForeignReplyCase& c = GetParam();
  size_t exchange = 0;
  Use([&](const std::string&) { return c.replies.at(exchange); });
  bool ok = false;
  int32_t value = -1;
  for (exchange = 0; exchange < c.replies.size(); ++exchange) {
    value = -1;
    ok = engine_->ReadRegister(0x0100101C, value, 5000);
  }
  EXPECT_EQ(ok, c.last_ok);
  // A failed read delivers nothing (-1 stays) rather than a value pieced together wrongly.
  EXPECT_EQ(value, c.last_ok ? c.last_value : -1);
}

const char kGood[] = "0x0100101C=8000\r\nOK>\r\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, ForeignReplyTest,
    ::testing::Values(
        ForeignReplyCase{"StrayFragmentGluedToTheReply", {{{10, "=77"}, {20, kGood}}}, false, 0},
        ForeignReplyCase{"CutOffReplyThenItsRetry",
                         {{{10, "0x0100101C=29"}}, {{10, "0x0100101C=297\r\nOK>\r\n"}}},
                         true,
                         297},
        ForeignReplyCase{"CutOffReplyGluedToTheNextInOneExchange",
                         {{{10, "0x0100101C=29"}, {20, "0x0100101C=297\r\nOK>\r\n"}}},
                         false,
                         0},
        ForeignReplyCase{"LateReplysTailBeforeTheAnswer",
                         {{{10, "1010=4000\r\nOK>\r\n"}, {20, kGood}}},
                         true,
                         8000},
        ForeignReplyCase{"AnotherRegistersLineBeforeTheAnswer",
                         {{{10, "0x01001010=4000\r\nOK>\r\n"}, {20, kGood}}},
                         true,
                         8000},
        ForeignReplyCase{"NamelessValueLine", {{{10, "=8000\r\nOK>\r\n"}}}, false, 0},
        ForeignReplyCase{"NameWithoutItsHexPrefix", {{{10, "0100101C=8000\r\nOK>\r\n"}}}, false, 0},
        ForeignReplyCase{"UnsignedPatternOfANegativeValue",
                         {{{10, "0x0100101c=4294963201\r\nOK>\r\n"}}},
                         true,
                         -4095},
        ForeignReplyCase{
            "ErrorLineStillFailsAtOnce", {{{10, "Error: busy\r\nOK>\r\n"}}}, false, 0}),
    [](const ::testing::TestParamInfo<ForeignReplyCase>& param) { return param.param.name; });

// A camera that hung up: the exchange under way and every later one fail at once, offline,
// instead of each waiting out its time-out; the caller can tell it from a refusal.
TEST_F(EngineTest, HangUpFailsTheExchangeAtOnceAndEveryLaterOne) {
  Use([](const std::string&) { return std::vector<ScriptedChannel::Chunk>{}; });
  channel_->hang_up_at_us = clock_.NowUs() + 300'000;
  int32_t value = 0;
  const int64_t start = clock_.NowUs();
  EXPECT_FALSE(engine_->ReadRegister(0x0100101C, value, 5000));
  EXPECT_EQ(clock_.NowUs() - start, 300'000);
  EXPECT_EQ(engine_->last_failure(), Command::Failure::kLineLost);
  const size_t sent = channel_->requests.size();
  EXPECT_FALSE(engine_->WriteRegister(0x0100101C, 1, 5000));
  EXPECT_EQ(clock_.NowUs() - start, 300'000);
  EXPECT_EQ(channel_->requests.size(), sent) << "nothing is sent on a lost line";
  EXPECT_EQ(recorder_.states, (std::vector<bool>{false, false}));

  Use([](const std::string&) {
    return std::vector<ScriptedChannel::Chunk>{{10, "Error: read-only register\r\nOK>\r\n"}};
  });
  EXPECT_FALSE(engine_->WriteRegister(0x0100101C, 1, 5000));
  EXPECT_EQ(engine_->last_failure(), Command::Failure::kRefused);
}

// A peer that never stops talking: every exchange still ends by its time-out, the drain before
// a request is bounded, and the overflow is reported once, not once a kilobyte.
TEST_F(EngineTest, EndlessTalkerCannotHoldAnExchangePastItsTimeOut) {
  for (const char* flood : {"#", "0x01001010=1\r\n"}) {
    Use([&](const std::string&) {
      std::vector<ScriptedChannel::Chunk> chunks;
      for (int i = 0; i < 200'000; ++i) chunks.push_back({i * 30, flood});
      return chunks;
    });
    notifier_.messages.clear();
    int32_t value = 0;
    const int64_t start = clock_.NowUs();
    EXPECT_FALSE(engine_->ReadRegister(0x0100101C, value, 1000)) << flood;
    // Ends with the first byte past the time-out (the fake clock moves in 30 us steps here).
    EXPECT_GE(clock_.NowUs() - start, 1'000'000) << flood;
    EXPECT_LE(clock_.NowUs() - start, 1'000'030) << flood;
    EXPECT_LE(notifier_.messages.size(), 1u) << flood;
    engine_->ReceiveLine();  // the idle drain returns with the flood still running
  }
}

// Cameras that reply unsigned give a text byte of 0x80 or more in the top of a value above 2^31:
// it must come back as that byte, not as a saturated 7F FF FF FF.
TEST_F(EngineTest, TextBytesAbove0x7FSurviveUnsignedReplies) {
  Use([](const std::string& r) {
    const bool first = r.find("0x00000184") != std::string::npos;
    return std::vector<ScriptedChannel::Chunk>{{10, NamedReply(r, first ? "3916719393" : "0")}};
  });
  std::string text;
  ASSERT_TRUE(engine_->ReadText(7, kIdentityTextBytes, text, 5000));
  EXPECT_EQ(text, "\xE9te!");
}

// A text shorter than its field whose length is a multiple of four is ended by a zero register,
// so the tail of a longer old text does not survive; a text that fills the field gets none.
TEST_F(EngineTest, ShorterIdentityTextIsEndedByAZeroRegister) {
  UseCamera();
  for (uint32_t reg = 0x184, k = 0; k < 16; ++k) camera_.registers[reg + 4 * k] = 0x41414141;
  struct {
    std::string text;
    size_t writes;
  } cases[] = {{"abcd", 2}, {"abcdefgh", 3}, {"abcde", 2}, {"", 1}, {std::string(64, 'x'), 16}};
  for (const auto& c : cases) {
    channel_->requests.clear();
    ASSERT_TRUE(engine_->WriteText(7, c.text, 5000, kIdentityTextBytes)) << c.text;
    EXPECT_EQ(channel_->requests.size(), c.writes) << c.text;
    std::string back;
    ASSERT_TRUE(engine_->ReadText(7, kIdentityTextBytes, back, 5000));
    EXPECT_EQ(back, c.text);
  }
}

}  // namespace
}  // namespace ctrl

namespace ctrl {
namespace {

// What the link's health counts for each kind of reply: a count in the wrong bucket would send
// the operator after the wrong fault (a slow camera for a noisy line, or the other way round).
TEST_F(EngineTest, LinkHealthCountsEachKindOfReplyInItsOwnBucket) {
  struct Case {
    const char* what;
    std::function<std::vector<ScriptedChannel::Chunk>(const std::string&)> reply;
    uint64_t timeouts, refused, skipped, round_trips;
    int64_t round_trip_us;  // of the one successful exchange; 0 when none
  };
  const std::vector<Case> cases = {
      {"answered after 300 us",
       [](const std::string& r) {
         return std::vector<ScriptedChannel::Chunk>{{300, LowByteReply(r)}};
       },
       0, 0, 0, 1, 300},
      {"silent", [](const std::string&) { return std::vector<ScriptedChannel::Chunk>{}; }, 1, 0, 0,
       0, 0},
      {"refused",
       [](const std::string&) {
         return std::vector<ScriptedChannel::Chunk>{{100, "Error: not writable\r\nOK>\r\n"}};
       },
       0, 1, 0, 0, 0},
      {"stray line first",
       [](const std::string& r) {
         return std::vector<ScriptedChannel::Chunk>{{100, "0x0000DEAD=5\r\n" + LowByteReply(r)}};
       },
       0, 0, 1, 1, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use(c.reply);
    int32_t value = 0;
    engine_->ReadRegister(0x01600004, value, 1000);
    const LinkHealth& health = engine_->health();
    EXPECT_EQ(health.exchanges, 1u);
    EXPECT_EQ(health.timeouts, c.timeouts);
    EXPECT_EQ(health.refused, c.refused);
    EXPECT_EQ(health.lines_skipped, c.skipped);
    EXPECT_EQ(health.round_trip_count(), c.round_trips);
    EXPECT_EQ(health.MedianRoundTripUs(), c.round_trip_us);
    EXPECT_EQ(health.bytes_sent, std::string("rd 0x01600004\r\n").size());
  }
}

}  // namespace
}  // namespace ctrl
