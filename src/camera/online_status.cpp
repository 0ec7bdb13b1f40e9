#include "camera/online_status.h"

#include <algorithm>

namespace ctrl {

void OnlineStatusPublisher::Register(OnlineStatusObserver* observer) {
  if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
  observer->OnlineStatusChanged(online_);
}

void OnlineStatusPublisher::Unregister(OnlineStatusObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void OnlineStatusPublisher::Report(bool online) {
  online_ = online;
  // A copy, so an observer may unregister itself while being told.
  std::vector<OnlineStatusObserver*> observers = observers_;
  for (OnlineStatusObserver* observer : observers) observer->OnlineStatusChanged(online);
}

}  // namespace ctrl
