// The simulated camera on the wire: request grammar, reply form, timing, the fault switches and
// robustness against arbitrary input, all through the in-process channel on a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sim/pty/fault_options.h"
#include "sim_session.h"

namespace ctrl::sim {
namespace {

using ::ctrl::sim::testing::SimSession;

std::string TakeAll(SimSession& s) {
  std::string out;
  s.camera.TakeDue(INT64_MAX, out);
  return out;
}

// Catches: reply lines the host cannot parse (register text, signed value, prompt), writes
// answered with the requested instead of the resulting value, and a parser that only takes
// the exact request spelling.
TEST(SimProtocol, RepliesAreValueLineThenPrompt) {
  SimSession s;
  auto reply = s.Exchange("rd 0x01600004\r\n");
  EXPECT_EQ(reply.first, "0x01600004=1");
  EXPECT_EQ(reply.second, "OK>");
  EXPECT_EQ(s.Exchange("rd 0x00000044\r\n").first, "0x00000044=1364733236");  // "QX-4"
  EXPECT_EQ(s.Exchange("wr 0x01209050 4294967196\r\n").first, "0x01209050=-100");
  EXPECT_EQ(s.Exchange("wr 0x01209054 1\r\n").first, "0x01209054=1");
  EXPECT_EQ(s.Exchange("rd 0x01209050\r\n").first, "0x01209050=0") << "background mode";
  EXPECT_EQ(s.Exchange("wr 0x01600314 1\r\n").first, "0x01600314=1") << "actions echo the 1";

  for (const char* request : {"RD 0x01600004\r\n", "  rd    0x01600004   \r\n", "rd 0x01600004\n",
                              "Rd\t0X01600004\r\n", "rd 1600004\r\n"}) {
    reply = s.Exchange(request);
    EXPECT_EQ(reply.first, "0x01600004=1") << request;
    EXPECT_EQ(reply.second, "OK>") << request;
  }
  EXPECT_EQ(s.Exchange("WR 0x0120604c   0x200\r\n").first, "0x0120604C=512");
  EXPECT_EQ(s.Exchange("wr 0x01209050 -5\r\n").first, "0x01209050=-5");
}

// Catches: refusals that look like a value line (contain "=") or leave out the prompt.
TEST(SimProtocol, RefusalsAreErrorLinesWithoutEqualsThenPrompt) {
  SimSession s;  // Mono
  const char* refused[] = {
      "rd 0x12345678\r\n",             // unknown register
      "wr 0x01201080 2\r\n",           // white balance: colour models only
      "wr 0x0120604C 5000\r\n",        // out of range
      "wr 0x01006044 0\r\n",           // not an item value
      "wr 0x01303038 1\r\n",           // read-only
      "wr 0x0120604C abc\r\n",         // not a number
      "wr 0x0120604C 4294967296\r\n",  // beyond 32 bits
      "wr 0x0120604C 1 2\r\n",         // one word too many
      "rd 0x1234567890\r\n",           // register beyond 32 bits
      "hello\r\n",
      "rd\r\n",
  };
  for (const char* request : refused) {
    auto reply = s.Exchange(request);
    ASSERT_TRUE(reply.first.has_value()) << request;
    EXPECT_EQ(reply.first->find('='), std::string::npos) << request << " -> " << *reply.first;
    EXPECT_EQ(reply.first->rfind("Error", 0), 0u) << request;
    EXPECT_EQ(reply.second, "OK>") << request;
  }
  EXPECT_EQ(s.model.Peek(reg::kDigitalGain), 256u) << "refused writes change nothing";
}

// Catches: a line assembler that depends on how the bytes are chunked.
TEST(SimProtocol, AnyChunkingAndSeveralRequestsInOneWrite) {
  SimSession s;
  for (char c : std::string("rd 0x01600000\r\n")) s.channel.Write(std::string(1, c));
  EXPECT_EQ(s.ReadLine(), "0x01600000=0");
  EXPECT_EQ(s.ReadLine(), "OK>");
  s.channel.Write("rd 0x01600004\r\nwr 0x01203C00 250\r\n");
  for (const char* line : {"0x01600004=1", "OK>", "0x01203C00=250", "OK>"}) {
    EXPECT_EQ(s.ReadLine(), line);
  }
  EXPECT_EQ(s.ReadLine(100), std::nullopt);
}

// Catches: an empty line taken as a request error, or a line too long for the camera's buffer
// crashing it or being executed.
TEST(SimProtocol, EmptyLineGetsPromptOverlongRequestIsRefused) {
  SimSession s;
  s.channel.Write("\r\n");
  EXPECT_EQ(s.ReadLine(), "OK>");
  s.channel.Write("wr 0x0120604C 300" + std::string(5000, ' ') + "\r\n");
  EXPECT_EQ(s.ReadLine(), "Error: line too long");
  EXPECT_EQ(s.ReadLine(), "OK>");
  EXPECT_EQ(s.model.Peek(reg::kDigitalGain), 256u);
  EXPECT_EQ(s.Exchange("rd 0x01600004\r\n").first, "0x01600004=1");
}

// Catches: a calibration that answers before it is done, or requests overtaking it.
TEST(SimTimingOnWire, CalibrationRepliesWhenDoneAndHoldsBackLaterRequests) {
  SimSession s;
  const int64_t t0 = s.clock.NowUs();
  s.channel.Write("wr 0x01102084 1\r\n");
  s.channel.Write("rd 0x01203C00\r\n");
  EXPECT_EQ(s.camera.NextDueUs(), t0 + CameraModel::kFpnCalibrationUs);
  char byte = 0;
  EXPECT_EQ(s.channel.Read(&byte, 1, 2000), 0) << "nothing within 2 s";
  EXPECT_EQ(s.ReadLine(10000), "0x01102084=1");
  EXPECT_EQ(s.clock.NowUs(), t0 + CameraModel::kFpnCalibrationUs);
  EXPECT_EQ(s.ReadLine(), "OK>");
  EXPECT_EQ(s.ReadLine(), "0x01203C00=100");
  EXPECT_EQ(s.ReadLine(), "OK>");
}

// Catches: a silent camera that still answers, or a channel that waits in real time or spins.
TEST(SimFaults, SilentCameraNeverHasAnythingDue) {
  SimSession s;
  s.camera.faults().silent = true;
  const int64_t t0 = s.clock.NowUs();
  s.channel.Write("rd 0x01600004\r\n");
  EXPECT_EQ(s.camera.NextDueUs(), -1);
  char buffer[8];
  EXPECT_EQ(s.channel.Read(buffer, 1, 5000), 0);
  EXPECT_EQ(s.clock.NowUs(), t0 + 5'000'000) << "the fake clock jumped to the time-out";
  EXPECT_EQ(s.camera.requests_served(), 0u);
  s.camera.faults().silent = false;
  EXPECT_EQ(s.Exchange("rd 0x01600004\r\n").first, "0x01600004=1");
}

// Catches: dropping the wrong replies, or dropped requests not being executed.
TEST(SimFaults, DropEveryNthReplyStillServesTheRequest) {
  SimSession s;
  s.camera.faults().drop_every_nth_reply = 3;
  std::vector<bool> answered;
  for (int i = 1; i <= 6; ++i) {
    auto reply = s.Exchange("wr 0x01203C00 " + std::to_string(100 + i) + "\r\n", 200);
    answered.push_back(reply.first.has_value());
  }
  EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true, true, false}));
  EXPECT_EQ(s.camera.replies_dropped(), 2u);
  EXPECT_EQ(s.model.Peek(reg::kGamma), 106u);
}

// Catches: each reply-shaping fault not doing what its name says.
TEST(SimFaults, EchoTrailingSpaceGarbageAndOverlongLine) {
  {
    SimSession s;
    s.camera.faults().echo_requests = true;
    s.channel.Write("rd 0x01600004\r\n");
    EXPECT_EQ(TakeAll(s), "rd 0x01600004\r\n0x01600004=1\r\nOK>\r\n");
  }
  {
    SimSession s;
    s.camera.faults().trailing_space_after_prompt = true;
    auto reply = s.Exchange("rd 0x01600004\r\n");
    EXPECT_EQ(reply.first, "0x01600004=1");
    EXPECT_EQ(reply.second, "OK> ");
  }
  {
    SimSession s;
    s.camera.faults().garbage_between_replies = true;
    std::string all_garbage;
    for (int i = 0; i < 20; ++i) {
      s.channel.Write("rd 0x01600004\r\n");
      const std::string out = TakeAll(s);
      const std::string reply = "0x01600004=1\r\nOK>\r\n";
      ASSERT_GT(out.size(), reply.size());
      ASSERT_EQ(out.substr(out.size() - reply.size()), reply);
      const std::string garbage = out.substr(0, out.size() - reply.size());
      EXPECT_LE(garbage.size(), 4u);
      EXPECT_EQ(garbage.find_first_of("\n\r="), std::string::npos);
      all_garbage += garbage;
    }
    EXPECT_GT(std::set<char>(all_garbage.begin(), all_garbage.end()).size(), 5u);
  }
  {
    SimSession s;
    s.camera.faults().overlong_line = true;
    s.channel.Write("rd 0x01600004\r\n");
    const std::string out = TakeAll(s);
    EXPECT_GT(out.find('\n'), 1023u);
    EXPECT_EQ(out.substr(out.size() - 19), "0x01600004=1\r\nOK>\r\n");
  }
}

// Catches: a delayed reply that is lost instead of arriving late and being taken for the next.
TEST(SimFaults, DelayedReplyArrivesAfterTheTimeOut) {
  SimSession s;
  s.camera.faults().reply_delay_us = 2'000'000;
  const int64_t t0 = s.clock.NowUs();
  s.channel.Write("rd 0x01600004\r\n");
  EXPECT_EQ(s.camera.NextDueUs(), t0 + 2'000'000);
  EXPECT_EQ(s.ReadLine(1000), std::nullopt);
  s.camera.faults().reply_delay_us = 0;
  s.channel.Write("rd 0x01600000\r\n");
  EXPECT_EQ(s.ReadLine(), "0x01600004=1") << "the late reply comes first";
  EXPECT_EQ(s.clock.NowUs(), t0 + 2'000'000);
  EXPECT_EQ(s.ReadLine(), "OK>");
  EXPECT_EQ(s.ReadLine(), "0x01600000=0");
}

// Catches: split delivery that bunches bytes, and reads that do not return as soon as the
// requested count is in.
TEST(SimFaults, SplitBytesArriveOneByOneWithGaps) {
  SimSession s;
  s.camera.faults().split_into_single_bytes = true;
  const int64_t t0 = s.clock.NowUs();
  s.channel.Write("rd 0x01600004\r\n");
  char buffer[32] = {};
  ASSERT_EQ(s.channel.Read(buffer, 3, 1000), 3);
  EXPECT_EQ(std::string(buffer, 3), "0x0");
  EXPECT_EQ(s.clock.NowUs(), t0 + 2 * CameraFrontEnd::kSplitByteGapUs);
  // Bytes not yet due survive a discard.
  s.clock.AdvanceUs(CameraFrontEnd::kSplitByteGapUs + 50);
  s.channel.DiscardInput();
  ASSERT_EQ(s.channel.Read(buffer, 1, 1000), 1);
  EXPECT_EQ(buffer[0], '6');  // "0x01600004": the fifth byte
  EXPECT_EQ(s.clock.NowUs(), t0 + 4 * CameraFrontEnd::kSplitByteGapUs);
}

// Catches: each of the reply-breaking faults sending other bytes than its name promises (a cut
// that keeps the line end or the prompt, a fragment with an LF, talk that answers a request or
// floods without bound, a hang-up that still answers), checked byte for byte step by step.
TEST(SimFaults, LineBreakingFaultsSendExactlyTheirBytes) {
  struct Step {
    std::string request;   // sent at the step's start ("" for none)
    int64_t advance_us;    // then the clock moves on this far
    std::string expected;  // every byte due by then
  };
  struct Case {
    const char* name;
    std::function<void(Faults&)> set;
    std::vector<Step> steps;
    bool hung_up_after;
  };
  const std::string gamma = "0x01203C00=100\r\nOK>\r\n";
  const Case cases[] = {
      {"unsigned replies",
       [](Faults& f) { f.unsigned_replies = true; },
       {{"wr 0x01209050 -5\r\n", 0, "0x01209050=4294967291\r\nOK>\r\n"},
        {"rd 0x01209050\r\n", 0, "0x01209050=4294967291\r\nOK>\r\n"},
        {"rd 0x01203C00\r\n", 0, gamma},
        {"rd 0x12345678\r\n", 0, "Error: unknown register\r\nOK>\r\n"}},
       false},
      {"every second reply cut",
       [](Faults& f) { f.cut_reply_every_nth = 2; },
       {{"rd 0x01203C00\r\n", 0, gamma},
        {"rd 0x01203C00\r\n", 1'000'000, "0x01203C00=10"},
        {"rd 0x01203C00\r\n", 0, gamma},
        {"rd 0x12345678\r\n", 0, "Error: unknown registe"}},
       false},
      {"stray fragment before every second reply",
       [](Faults& f) { f.stray_fragment_every_nth = 2; },
       {{"rd 0x01203C00\r\n", 0, gamma},
        {"rd 0x01203C00\r\n", 0, "=77" + gamma},
        {"rd 0x01203C00\r\n", 0, gamma}},
       false},
      {"control bytes in the user ID",
       [](Faults& f) { f.control_bytes_in_texts = true; },
       {{"rd 0x00000184\r\n", 0, "0x00000184=458961482\r\nOK>\r\n"},   // ESC [ 2 J
        {"rd 0x00000188\r\n", 0, "0x00000188=1667327721\r\nOK>\r\n"},  // c a f 0xE9
        {"rd 0x0000018C\r\n", 0, "0x0000018C=25165692\r\nOK>\r\n"},    // 0x01 0x7F 0xFF |
        {"rd 0x00000190\r\n", 0, "0x00000190=6383220\r\nOK>\r\n"}},    // NUL a f t
       false},
      {"endless talk",
       [](Faults& f) { f.endless_talk = true; },
       {{"rd 0x01203C00\r\n", 0, "0xFFFFFFFC=1\r\n"},
        {"", 900, "0xFFFFFFFC=2\r\n0xFFFFFFFC=3\r\n0xFFFFFFFC=4\r\n"},
        {"", 299, ""},
        {"", 61 * 300, ""},  // items 5 to 65, checked below
        {"rd 0x01203C00\r\n", 0, ""}},
       false},
      {"hang-up after two requests",
       [](Faults& f) { f.hang_up_after = 2; },
       {{"rd 0x01203C00\r\n", 0, gamma},
        {"rd 0x01203C00\r\n", 0, gamma},
        {"rd 0x01203C00\r\n", 1'000'000, ""},
        {"rd 0x01203C00\r\n", 1'000'000, ""}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimSession s;
    c.set(s.camera.faults());
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      if (!step.request.empty()) s.camera.Receive(step.request, s.clock.NowUs());
      s.clock.AdvanceUs(step.advance_us);
      std::string out;
      s.camera.TakeDue(s.clock.NowUs(), out);
      if (std::string(c.name) == "endless talk" && i == 3) {
        // Lines 5 to 65, with a run of bytes without LF in place of the 64th.
        EXPECT_EQ(out.size(), 5 * 14 + 55 * 15 + CameraFrontEnd::kOverlongLineBytes);
        EXPECT_NE(out.find(std::string(CameraFrontEnd::kOverlongLineBytes, '~')),
                  std::string::npos);
        EXPECT_EQ(out.substr(out.size() - 15), "0xFFFFFFFC=65\r\n");
        continue;
      }
      EXPECT_EQ(out, step.expected) << "step " << i;
    }
    EXPECT_EQ(s.camera.hung_up(), c.hung_up_after);
    // Switched off (and the line up again), the camera answers plainly.
    s.camera.faults() = Faults{};
    s.camera.Reconnect();
    s.clock.AdvanceUs(1'000'000);
    TakeAll(s);
    EXPECT_EQ(s.camera.NextDueUs(), -1);
    s.camera.Receive("rd 0x01203C00\r\n", s.clock.NowUs());
    EXPECT_EQ(TakeAll(s), gamma);
  }
}

// Catches: talk that grows without bound while nobody collects it, and control texts that stay
// in the camera once the fault is off.
TEST(SimFaults, TalkIsBoundedAndControlTextsAreRestored) {
  SimSession s;
  s.camera.faults().endless_talk = true;
  std::string out;
  s.camera.TakeDue(s.clock.NowUs(), out);
  out.clear();
  s.clock.AdvanceUs(3'600'000'000);  // an hour nobody read
  s.camera.TakeDue(s.clock.NowUs(), out);
  const size_t lines = CameraFrontEnd::kTalkBacklogUs / CameraFrontEnd::kTalkIntervalUs + 1;
  EXPECT_LE(out.size(), lines * 24 + 2 * CameraFrontEnd::kOverlongLineBytes);
  EXPECT_GT(out.size(), lines * 10);

  SimSession t;
  t.model.PokeText(reg::kUserId, "line 7");
  t.camera.faults().control_bytes_in_texts = true;
  t.Exchange("rd 0x00000184\r\n");
  EXPECT_EQ(t.model.PeekText(reg::kUserId), std::string("\x1b[2Jcaf\xe9\x01\x7f\xff|"));
  t.camera.faults().control_bytes_in_texts = false;
  t.Exchange("rd 0x00000184\r\n");
  EXPECT_EQ(t.model.PeekText(reg::kUserId), "line 7");
}

// Catches: a new fault the command line or CLSIM_FAULTS cannot switch on, or that switches the
// wrong field, and counts that take a bad value.
TEST(SimFaults, NewFaultsAreSwitchedOnByName) {
  struct Case {
    const char* option;
    bool accepted;
    std::function<bool(const Faults&)> is_set;
  };
  const Case cases[] = {
      {"unsigned_replies", true, [](const Faults& f) { return f.unsigned_replies; }},
      {"control_bytes_in_texts", true, [](const Faults& f) { return f.control_bytes_in_texts; }},
      {"endless_talk", true, [](const Faults& f) { return f.endless_talk; }},
      {"cut_reply_every_nth=5", true, [](const Faults& f) { return f.cut_reply_every_nth == 5; }},
      {"cut_reply_every_nth", true, [](const Faults& f) { return f.cut_reply_every_nth == 2; }},
      {"stray_fragment_every_nth=7", true,
       [](const Faults& f) { return f.stray_fragment_every_nth == 7; }},
      {"hang_up_after=40", true, [](const Faults& f) { return f.hang_up_after == 40; }},
      {"refuse_baud_rate_change", true, [](const Faults& f) { return f.refuse_baud_rate_change; }},
      {"ignore_requests_after_baud_change", true,
       [](const Faults& f) { return f.ignore_requests_after_baud_change; }},
      {"hang_up_after", false, nullptr},
      {"hang_up_after=-1", false, nullptr},
      {"endless_talk=1", false, nullptr},
      {"cut_reply_every_nth=x", false, nullptr},
  };
  for (const Case& c : cases) {
    Faults faults;
    EXPECT_EQ(ApplyFaultOption(c.option, faults), c.accepted) << c.option;
    if (c.is_set) {
      EXPECT_TRUE(c.is_set(faults)) << c.option;
    }
  }
  const std::vector<std::string> names = FaultOptionNames();
  for (const char* name :
       {"unsigned_replies", "control_bytes_in_texts", "endless_talk", "cut_reply_every_nth=N",
        "stray_fragment_every_nth=N", "hang_up_after=N"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
}

int64_t LineTimeUs(int64_t bytes, int64_t baud) {
  return (bytes * 10'000'000 + baud - 1) / baud;
}

// Catches: line-speed emulation that ignores the request's own bytes, the baud rate, or the
// moment the camera switches to a new rate.
TEST(SimFaults, LineSpeedPacesBothDirectionsAtTheBaudRate) {
  SimSession s;
  s.camera.faults().emulate_line_speed = true;
  const std::string request = "rd 0x01600004\r\n";      // 15 bytes
  const std::string reply = "0x01600004=1\r\nOK>\r\n";  // 19 bytes
  int64_t t0 = s.clock.NowUs();
  s.channel.Write(request);
  EXPECT_EQ(s.camera.NextDueUs(), t0 + LineTimeUs(15, 9600) + LineTimeUs(1, 9600));
  char buffer[64];
  ASSERT_EQ(s.channel.Read(buffer, 19, 1000), 19);
  EXPECT_EQ(std::string(buffer, 19), reply);
  EXPECT_EQ(s.clock.NowUs() - t0, 15625 + 19792) << "about 35 ms at 9600";

  // Switch to 460800: the reply to the write still travels at 9600.
  t0 = s.clock.NowUs();
  s.channel.Write("wr 0x00010004 64\r\n");  // 18 bytes; reply 20 bytes
  ASSERT_EQ(s.channel.Read(buffer, 20, 1000), 20);
  EXPECT_EQ(std::string(buffer, 20), "0x00010004=64\r\nOK>\r\n");
  EXPECT_EQ(s.clock.NowUs() - t0, LineTimeUs(18, 9600) + LineTimeUs(20, 9600));
  EXPECT_EQ(s.model.baud_rate(), 460800);

  t0 = s.clock.NowUs();
  s.channel.Write(request);
  EXPECT_EQ(s.camera.NextDueUs(), t0 + LineTimeUs(15, 460800) + LineTimeUs(1, 460800));
  ASSERT_EQ(s.channel.Read(buffer, 19, 1000), 19);
  EXPECT_EQ(s.clock.NowUs() - t0, 326 + 413);

  // Two requests in one write: the second, long one is answered once its last byte is in.
  t0 = s.clock.NowUs();
  s.channel.Write(request + "rd 0x01600004" + std::string(100, ' ') + "\r\n");  // 15 + 115 bytes
  ASSERT_EQ(s.channel.Read(buffer, 38, 1000), 38);
  EXPECT_EQ(s.clock.NowUs() - t0, LineTimeUs(130, 460800) + LineTimeUs(19, 460800));
}

// Catches: without line-speed emulation a baud change must still wait for its reply.
TEST(SimFaults, BaudSwitchWaitsForTheReplyWithoutLineSpeed) {
  SimSession s;
  s.camera.faults().reply_delay_us = 1000;
  s.channel.Write("wr 0x00010004 16\r\n");
  char byte = 0;
  EXPECT_EQ(s.channel.Read(&byte, 1, 0), 0);
  EXPECT_EQ(s.model.baud_rate(), 9600) << "the reply is not out yet";
  EXPECT_EQ(s.ReadLine(), "0x00010004=16");
  EXPECT_EQ(s.model.baud_rate(), 115200);
}

// Catches: arbitrary input crashing the camera, growing its memory, or leaving it deaf.
TEST(SimRobustness, RandomBytesNeitherCrashNorSilenceTheCamera) {
  SimSession s;
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> length(0, 400);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 3000; ++round) {
    std::string chunk;
    const int n = length(random);
    for (int i = 0; i < n; ++i) {
      const int b = byte(random);
      chunk.push_back(b < 8 ? '\n' : static_cast<char>(b));  // plenty of line ends
    }
    s.channel.Write(chunk);
    if (round % 7 == 0) s.clock.AdvanceUs(byte(random) * 100);
  }
  std::string pending;
  s.camera.TakeDue(INT64_MAX, pending);
  EXPECT_LE(pending.size(), CameraFrontEnd::kMaxPendingBytes);
  EXPECT_GT(s.camera.requests_served(), 1000u);

  s.channel.Write("\r\n");        // ends whatever partial line is left
  s.clock.AdvanceUs(10'000'000);  // past any calibration a random write may have started
  s.channel.DiscardInput();
  auto reply = s.Exchange("rd 0x01600004\r\n", 10000);
  EXPECT_EQ(reply.first, "0x01600004=1");
  EXPECT_EQ(reply.second, "OK>");
}

// Catches: replies piling up without bound when nobody reads them.
TEST(SimRobustness, UnreadRepliesAreCapped) {
  SimSession s;
  for (int i = 0; i < 20000; ++i) s.channel.Write("rd 0x01600004\r\n");
  std::string pending;
  s.camera.TakeDue(INT64_MAX, pending);
  EXPECT_LE(pending.size(), CameraFrontEnd::kMaxPendingBytes);
  EXPECT_GT(s.camera.replies_dropped(), 0u);
  EXPECT_EQ(s.Exchange("rd 0x01600004\r\n").first, "0x01600004=1");
}

}  // namespace
}  // namespace ctrl::sim
