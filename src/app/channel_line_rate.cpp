#include "app/channel_line_rate.h"

namespace ctrl {

bool ChannelLineRate::SetLineRate(int rate) {
  const int before = channel_.baud_rate();
  const bool opened = channel_.ReopenWithBaudRate(rate);
  // The channel keeps a rate even when the port refused it: the port goes back to its own.
  if (!opened) channel_.ReopenWithBaudRate(before);
  if (rate_changed_) rate_changed_(channel_.baud_rate());
  return opened;
}

bool RunLongOperation(Command& engine, LineRateControl* line, bool fast,
                      const std::function<bool()>& operation,
                      const std::function<void(const std::string&)>& report) {
  if (!fast || line == nullptr) return operation();
  FastLink link(engine, *line);
  std::string message;
  if (!link.Raise(message)) {
    report(message + " Going on at " + std::to_string(line->LineRate()) + " baud.");
  }
  const bool done = operation();
  message.clear();
  if (!link.Restore(message)) report(message);
  return done;
}

}  // namespace ctrl
