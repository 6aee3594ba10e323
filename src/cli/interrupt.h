// Ctrl-C in tarvex-cli: for the length of a run that listens for it, the
// signal only sets a flag, and the run's event pump reports it as a key
// press at its next pass, so the run stops the way a key press stops it in
// the window (the current frame or pulse finishes, the ending path runs).
#pragma once

#include <signal.h>

#include "platform/basic_ports.h"

namespace tarvex::cli {

// The pump of a run: no window events, but a Ctrl-C arrives as a key.
class InterruptPump : public NullPump {
 public:
  void pump() override;
  // A Ctrl-C has been taken as a key press during the run.
  bool interrupted = false;
};

// Installs the Ctrl-C handler for its lifetime and puts back the one it
// found. Nothing else is done in the handler than setting the flag.
class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  struct sigaction previous_ {};
};

}  // namespace tarvex::cli
