#include "cli/interrupt.h"

namespace tarvex::cli {

namespace {

// Set by the signal handler, taken by the pump's next pass.
volatile sig_atomic_t g_interrupted = 0;
// The same, kept until the scope ends; lock-free, so safe in the handler.
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_interrupt(int) {
  g_interrupted = 1;
  g_requested = true;
}

}  // namespace

void InterruptPump::pump() {
  NullPump::pump();
  if (g_interrupted) {
    g_interrupted = 0;
    press(as_);
    interrupted = true;
  }
}

const std::atomic<bool>& interruption_requested() {
  return g_requested;
}

InterruptScope::InterruptScope() {
  g_interrupted = 0;
  g_requested = false;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptScope::~InterruptScope() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  g_interrupted = 0;
  g_requested = false;
}

}  // namespace tarvex::cli
