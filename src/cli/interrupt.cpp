#include "cli/interrupt.h"

namespace tarvex::cli {

namespace {

// Set by the Ctrl-C handler, taken by the pump's next pass.
volatile sig_atomic_t g_interrupted = 0;

void on_interrupt(int) {
  g_interrupted = 1;
}

}  // namespace

void InterruptPump::pump() {
  NullPump::pump();
  if (g_interrupted) {
    g_interrupted = 0;
    press(Input::Key);
    interrupted = true;
  }
}

InterruptScope::InterruptScope() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_);
}

InterruptScope::~InterruptScope() {
  sigaction(SIGINT, &previous_, nullptr);
  g_interrupted = 0;
}

}  // namespace tarvex::cli
