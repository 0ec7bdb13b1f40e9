// The COM port's reader policy, the same on every platform, driven through a scripted line
// instead of a device: what the reader does after each kind of wait result.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/recording_notifier.h"
#include "transport/com_port_transport.h"

namespace ctrl {
namespace {

struct Step {
  LineEvent event;
  std::string bytes;  // delivered before the event is returned
};

// Plays its steps to the reader one wait at a time, then blocks the reader until Interrupt.
// Pauses are recorded, never waited out.
class ScriptedLine final : public ComPortLine {
 public:
  ScriptedLine(std::vector<Step> script, LineOpenResult open_result)
      : script_(std::move(script)), open_result_(std::move(open_result)) {}

  LineOpenResult Open(const std::string& device_path, const LineFormat& /*format*/) override {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_path_ = device_path;
    open_ = true;
    interrupted_ = false;
    return open_result_;
  }
  void Close() override {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
  }
  bool IsOpen() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
  }
  LineEvent Wait(ReceivedBytes& received) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waits_;
    if (next_ < script_.size()) {
      const Step& step = script_[next_++];
      received.Take(step.bytes.data(), static_cast<int>(step.bytes.size()));
      return step.event;
    }
    exhausted_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return interrupted_; });
    return LineEvent::kInterrupt;
  }
  bool Pause(int ms) override {
    std::lock_guard<std::mutex> lock(mutex_);
    pauses_.push_back(ms);
    return !interrupted_;
  }
  void Interrupt() override {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
  }
  void Write(const char* /*bytes*/, int /*length*/) override {}
  void DiscardInput() override {}

  // True once the reader asked for more than the script holds; the bound only keeps a broken
  // build from hanging the suite.
  bool WaitUntilExhausted() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return exhausted_; });
  }

  int waits() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waits_;
  }
  std::vector<int> pauses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pauses_;
  }
  std::string opened_path() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_path_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Step> script_;
  LineOpenResult open_result_;
  std::string opened_path_;
  size_t next_ = 0;
  int waits_ = 0;
  bool open_ = false;
  bool interrupted_ = false;
  bool exhausted_ = false;
  std::vector<int> pauses_;
};

std::string ReadAll(ComPortTransport& port) {
  std::string out(2048, '\0');
  out.resize(static_cast<size_t>(port.Read(out.data(), static_cast<int>(out.size()), 0)));
  return out;
}

struct PolicyCase {
  const char* name;
  std::vector<Step> script;
  bool ends_lost;           // the script ends with the line gone
  std::string delivered;    // every byte the script delivers, in order
  std::vector<int> pauses;  // the pauses the reader takes, in order
};

// Catches a reader that stops silently, one that spins on a failing line or backs off without
// bound, a pause that never resets after bytes arrive, a lost line whose reader keeps waiting,
// and bytes received before the loss not being delivered.
TEST(TransportComPortPolicy, ReaderFollowsOnePolicyForEveryWaitResult) {
  using E = LineEvent;
  const PolicyCase cases[] = {
      {"bytes keep the reader waiting at once",
       {{E::kActive, "ab"}, {E::kActive, ""}, {E::kActive, "c"}},
       false,
       "abc",
       {}},
      {"failures back off, doubling up to the bound",
       {{E::kFailed, ""},
        {E::kFailed, ""},
        {E::kFailed, ""},
        {E::kFailed, ""},
        {E::kFailed, ""},
        {E::kFailed, ""},
        {E::kFailed, ""},
        {E::kFailed, ""},
        {E::kFailed, ""}},
       false,
       "",
       {1, 2, 4, 8, 16, 32, 64, 100, 100}},
      {"received bytes reset the back-off",
       {{E::kFailed, ""}, {E::kFailed, ""}, {E::kFailed, ""}, {E::kActive, "x"}, {E::kFailed, ""}},
       false,
       "x",
       {1, 2, 4, 1}},
      {"an idle wait pauses briefly and leaves the back-off as it was",
       {{E::kFailed, ""}, {E::kFailed, ""}, {E::kIdle, ""}, {E::kFailed, ""}, {E::kIdle, ""}},
       false,
       "",
       {1, 2, 1, 4, 1}},
      {"a hang-up ends the reader", {{E::kGone, ""}}, true, "", {}},
      {"bytes before a hang-up are still delivered",
       {{E::kActive, "OK>"}, {E::kGone, "\r\n"}},
       true,
       "OK>\r\n",
       {}},
      {"failures before a device loss do not keep the reader alive",
       {{E::kFailed, ""}, {E::kFailed, ""}, {E::kGone, ""}},
       true,
       "",
       {1, 2}},
  };
  for (const PolicyCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::RecordingNotifier notifier;
    auto owned = std::make_unique<ScriptedLine>(c.script, LineOpenResult{});
    ScriptedLine& line = *owned;
    ComPortTransport port(std::move(owned));
    port.port_map().Set("COM4", "line-under-test");
    ASSERT_TRUE(port.Open("COM4", 9600, 8, 0, false, false));
    EXPECT_EQ(line.opened_path(), "line-under-test");

    std::string delivered;
    if (c.ends_lost) {
      // A lost line ends every wait at once; the bytes before the loss come out first.
      while (!port.LineLost()) {
        if (!port.WaitForData(10000) && !port.LineLost()) break;  // neither bytes nor a loss
        delivered += ReadAll(port);
      }
      EXPECT_TRUE(port.LineLost());
      EXPECT_FALSE(port.WaitForData(10000));
      EXPECT_TRUE(port.IsOpen());  // still held until closed
    } else {
      ASSERT_TRUE(line.WaitUntilExhausted());
      delivered = ReadAll(port);
      EXPECT_FALSE(port.LineLost());
    }
    port.Close();
    EXPECT_EQ(delivered, c.delivered);
    EXPECT_EQ(line.pauses(), c.pauses);
    // After a loss the reader waits no more; otherwise it was still waiting when closed.
    EXPECT_EQ(line.waits(), static_cast<int>(c.script.size()) + (c.ends_lost ? 0 : 1));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.LineLost());
    EXPECT_TRUE(notifier.messages.empty());
  }
}

// A lost line stays lost only until the port is opened again.
TEST(TransportComPortPolicy, OpeningAgainForgetsTheLoss) {
  auto owned =
      std::make_unique<ScriptedLine>(std::vector<Step>{{LineEvent::kGone, ""}}, LineOpenResult{});
  ScriptedLine& line = *owned;
  ComPortTransport port(std::move(owned));
  ASSERT_TRUE(port.Open("COM1", 9600, 8, 0, false, false));
  EXPECT_FALSE(port.WaitForData(10000));
  ASSERT_TRUE(port.LineLost());
  ASSERT_TRUE(port.Open("COM1", 9600, 8, 0, false, false));
  ASSERT_TRUE(line.WaitUntilExhausted());
  EXPECT_FALSE(port.LineLost());
}

// The step the platform names is reported with the port's name, the device and the reason
// below it, and the line is given back.
TEST(TransportComPortPolicy, OpenFailureNamesTheStepAndLeavesThePortClosed) {
  test::RecordingNotifier notifier;
  LineOpenResult refusal;
  refusal.failed_step = "SetCommTimeouts";
  refusal.error_kind = SystemErrorKind::kWin32;
  refusal.error_code = 5;  // access denied: another program has the port
  refusal.error_text = "Access is denied.";
  auto owned = std::make_unique<ScriptedLine>(std::vector<Step>{}, refusal);
  ScriptedLine& line = *owned;
  ComPortTransport port(std::move(owned));
  port.port_map().Set("COM12", "/dev/ttyCAM12");
  EXPECT_FALSE(port.Open("COM12", 115200, 8, 0, false, false));
  EXPECT_EQ(notifier.Texts(), std::vector<std::string>{
                                  "Failed to initialize COM12 port!\nError in SetCommTimeouts()\n"
                                  "/dev/ttyCAM12 is in use by another program."});
  EXPECT_EQ(line.opened_path(), "/dev/ttyCAM12");
  EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_FALSE(line.IsOpen());
  EXPECT_EQ(line.waits(), 0);  // no reader was started
  EXPECT_FALSE(port.Write("x", 1, 0));
  EXPECT_FALSE(port.WaitForData(10));
}

}  // namespace
}  // namespace ctrl
