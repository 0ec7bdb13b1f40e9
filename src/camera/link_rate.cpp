#include "camera/link_rate.h"

#include <algorithm>

namespace ctrl {
namespace {

std::string RateText(int rate) {
  return std::to_string(rate);
}

bool Supports(const LineRateControl& line, int rate) {
  const std::vector<int> rates = line.SupportedRates();
  return std::find(rates.begin(), rates.end(), rate) != rates.end();
}

}  // namespace

std::vector<int> LineRateControl::SupportedRates() const {
  return AllBaudRates();
}

RateDetection DetectCameraRate(Command& engine, LineRateControl& line, bool report_unsupported) {
  RateDetection result;
  const int start = line.LineRate();
  result.rate = start;
  if (engine.CheckModel(report_unsupported)) {
    result.answered = true;
    return result;
  }
  if (engine.line_lost()) return result;
  for (const int rate : line.SupportedRates()) {
    if (rate == start || !line.SetLineRate(rate)) continue;
    if (engine.CheckModel(report_unsupported)) {
      result.answered = true;
      result.rate = rate;
      result.changed = true;
      result.message = "The camera answers at " + RateText(rate) + " baud; the link now uses " +
                       RateText(rate) + ".";
      return result;
    }
    if (engine.line_lost()) break;
  }
  line.SetLineRate(start);
  result.message = "The camera did not answer at any rate the port supports.";
  return result;
}

uint32_t BaudRateCode(int rate) {
  for (const BaudRateFacts& facts : kBaudRates) {
    if (facts.rate == rate) return facts.code;
  }
  return 0;
}

int RateOfBaudRateCode(int32_t code) {
  for (const BaudRateFacts& facts : kBaudRates) {
    if (static_cast<int32_t>(facts.code) == code) return facts.rate;
  }
  return 0;
}

bool FollowCameraRate(Command& engine, LineRateControl& line, int old_rate, int new_rate,
                      std::string& message) {
  if (old_rate == new_rate) return true;
  if (line.SetLineRate(new_rate) && engine.CheckModel(/*report_unsupported=*/false)) {
    message = "The camera now uses " + RateText(new_rate) + " baud; the link follows.";
    return true;
  }
  line.SetLineRate(old_rate);
  if (engine.CheckModel(/*report_unsupported=*/false)) {
    message = "The camera did not answer at " + RateText(new_rate) + " baud; the link is back at " +
              RateText(old_rate) + ", where it answers.";
  } else {
    message = "The camera answers neither at " + RateText(new_rate) + " nor at " +
              RateText(old_rate) + " baud.";
  }
  return false;
}

bool ChangeCameraRate(Command& engine, LineRateControl& line, int new_rate, std::string& message) {
  const int old_rate = line.LineRate();
  if (new_rate == old_rate) return true;
  const uint32_t code = BaudRateCode(new_rate);
  if (code == 0 || !Supports(line, new_rate)) {
    message = "The port cannot use " + RateText(new_rate) + " baud.";
    return false;
  }
  if (!engine.WriteCommand(cmd::kBaudRate, static_cast<int32_t>(code), kDefaultTimeoutMs)) {
    message = "The camera did not take " + RateText(new_rate) + " baud; the link stays at " +
              RateText(old_rate) + ".";
    return false;
  }
  return FollowCameraRate(engine, line, old_rate, new_rate, message);
}

FastLink::FastLink(Command& engine, LineRateControl& line)
    : engine_(engine), line_(line), starting_rate_(line.LineRate()) {}

FastLink::~FastLink() {
  std::string ignored;
  Restore(ignored);
}

bool FastLink::Raise(std::string& message) {
  const std::vector<int> rates = line_.SupportedRates();
  if (rates.empty()) return false;
  const int fastest = *std::max_element(rates.begin(), rates.end());
  if (fastest == line_.LineRate()) return true;
  if (!ChangeCameraRate(engine_, line_, fastest, message)) return false;
  raised_ = true;
  return true;
}

bool FastLink::Restore(std::string& message) {
  if (!raised_) return true;
  if (!ChangeCameraRate(engine_, line_, starting_rate_, message)) return false;
  raised_ = false;
  return true;
}

}  // namespace ctrl
