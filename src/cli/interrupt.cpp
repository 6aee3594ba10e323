#include "cli/interrupt.h"

namespace tarvex::cli {

namespace {

// Set by the signal handler, taken by the pump's next pass.
volatile sig_atomic_t g_interrupted = 0;

void on_interrupt(int) {
  g_interrupted = 1;
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

InterruptScope::InterruptScope() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptScope::~InterruptScope() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  g_interrupted = 0;
}

}  // namespace tarvex::cli
