// BusyScope: the busy cursor and the window's busy flag for the length of one
// command, restored however the command ends.
#pragma once

#include "app/tarvex.h"

namespace tarvex {

class BusyScope {
 public:
  explicit BusyScope(Tarvex& app) : app_(app), was_busy_(app.busy) {
    app_.busy = true;
    app_.ports.progress.busy_cursor(true);
  }
  ~BusyScope() {
    app_.ports.progress.busy_cursor(false);
    app_.busy = was_busy_;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  Tarvex& app_;
  bool was_busy_;
};

}  // namespace tarvex
