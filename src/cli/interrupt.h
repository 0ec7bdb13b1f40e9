#pragma once

namespace ctrl::cli {

// Ctrl+C during a run that must tidy up before it ends (a raised line rate to bring back): while
// an InterruptGuard lives, SIGINT only marks the run as interrupted; long operations stop at
// their next exchange, the tidying runs, and the run ends with kExitInterrupted.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// True once SIGINT came while a guard lived; stays true until ClearInterrupt().
bool InterruptRequested();
void ClearInterrupt();
// Marks the run as interrupted as SIGINT would (tests, and a second source of stop requests).
void RequestInterrupt();

// The shell's code for a run ended by SIGINT.
inline constexpr int kExitInterrupted = 130;

}  // namespace ctrl::cli
