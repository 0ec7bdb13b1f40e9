#include "camera/clock.h"

namespace ctrl {

Clock& DefaultClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace ctrl
