#pragma once

#include <vector>

namespace ctrl {

// A window's status strip: told after each exchange whether the camera answered.
class OnlineStatusObserver {
 public:
  virtual ~OnlineStatusObserver() = default;
  virtual void OnlineStatusChanged(bool online) = 0;
};

// Publishes the engine's online/offline reports to every registered status strip.
class OnlineStatusPublisher {
 public:
  // A newly registered observer learns the current state at once.
  void Register(OnlineStatusObserver* observer);
  void Unregister(OnlineStatusObserver* observer);
  void Report(bool online);
  bool online() const { return online_; }

 private:
  std::vector<OnlineStatusObserver*> observers_;
  bool online_ = false;
};

}  // namespace ctrl
