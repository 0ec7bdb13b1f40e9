#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace ctrl::cli {
namespace {

// Lock-free, so the handler may set it.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
  g_interrupted.store(true);
}

using Handler = void (*)(int);
Handler g_previous = SIG_DFL;
int g_guards = 0;

}  // namespace

InterruptGuard::InterruptGuard() {
  if (g_guards++ == 0) g_previous = std::signal(SIGINT, OnInterrupt);
}

InterruptGuard::~InterruptGuard() {
  if (--g_guards == 0) std::signal(SIGINT, g_previous == SIG_ERR ? SIG_DFL : g_previous);
}

bool InterruptRequested() {
  return g_interrupted.load();
}

void ClearInterrupt() {
  g_interrupted.store(false);
}

void RequestInterrupt() {
  g_interrupted.store(true);
}

}  // namespace ctrl::cli
