// Ctrl-C, SIGTERM and SIGHUP (a closed terminal, a dropped remote session)
// in tarvex-cli: for the length of a run that listens for them, the signal
// only sets a flag, and the run's event pump reports it as a press at its
// next pass, so the run stops the way a press stops it in the window (the
// current frame or pulse finishes, a held move sends its stop, the ending
// path runs and a file being written is finished or removed).
#pragma once

#include <signal.h>

#include <atomic>

#include "platform/basic_ports.h"

namespace tarvex::cli {

// The pump of a run: no window events, but an interruption arrives as a
// press of `as`: a key by default, the Stop button where only that stops.
class InterruptPump : public NullPump {
 public:
  explicit InterruptPump(Input as = Input::Key) : as_(as) {}
  void pump() override;
  // An interruption has been taken as a press during the run.
  bool interrupted = false;

 private:
  Input as_;
};

// Installs the handler of SIGINT, SIGTERM and SIGHUP for its lifetime and
// puts back the ones it found. Nothing else is done in the handler than
// setting the flag.
class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction previous_[3]{};
};

// True from an interruption until the next InterruptScope starts or ends:
// for work that runs outside the pump, such as a helper program waited for.
const std::atomic<bool>& interruption_requested();

}  // namespace tarvex::cli
