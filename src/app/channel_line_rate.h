#pragma once

#include <functional>
#include <string>

#include "camera/command_engine.h"
#include "camera/link_rate.h"
#include "transport/comm_channel.h"

namespace ctrl {

// The PC side's rate on the window's connection: a new rate reopens the current port with it,
// so the channel remembers the rate (and a normal exit stores it) as when the operator picks
// it in the communication window.
class ChannelLineRate final : public LineRateControl {
 public:
  // Told the rate the port now uses after every successful change, so lists that show the rate
  // stay in step.
  using RateChanged = std::function<void(int rate)>;

  explicit ChannelLineRate(CommChannel& channel, RateChanged rate_changed = {})
      : channel_(channel), rate_changed_(std::move(rate_changed)) {}

  int LineRate() const override { return channel_.baud_rate(); }
  // What the open port takes: a Camera Link library's own list, so no rate it refuses (with its
  // message box) is ever tried.
  std::vector<int> SupportedRates() const override { return channel_.SupportedBaudRates(); }
  bool SetLineRate(int rate) override;

 private:
  CommChannel& channel_;
  RateChanged rate_changed_;
};

// Runs a long operation. With `fast` and a line whose rate can change, the operation runs
// inside a FastLink: both sides move to the fastest rate first and back to the starting rate
// afterwards, also when the operation failed. `report` gets what the raise or the restore
// could not do; a failed raise leaves the operation to run at the rate the line has.
bool RunLongOperation(Command& engine, LineRateControl* line, bool fast,
                      const std::function<bool()>& operation,
                      const std::function<void(const std::string&)>& report);

}  // namespace ctrl
