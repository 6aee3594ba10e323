// The points where an exposure sequence hands over to the autoguider: the
// menu's auto-guiding paused for the run, the guiding check before a guided
// exposure, the guiding frame switched at the half-time download, one
// guiding step on every pass of the wait, the re-arming after each exposure.
// Until the autoguider is built the default does nothing, and nothing arms
// self-guiding.
#pragma once

#include <string>

#include "app/acquisition.h"

namespace tarvex {

class Tarvex;

// What the autoguider sees of the guided exposure under way.
struct GuidedExposure {
  Tarvex& app;
  AcquisitionSettings& acquisition;
  int exposure_ms;
  int guide_ms;
  int frames_counted = 0;  // guide frames taken during this exposure
  bool half_done = false;  // the first field was read at half time
  // Guided exposures of this run before this one (0: the run's first).
  int run_index = 0;
  // Set by the autoguider when a key or button press stopped it (the run
  // is stopped, not failed).
  bool stopped = false;
};

class SelfGuide {
 public:
  virtual ~SelfGuide() = default;

  // Auto-guiding started from the main window pauses for the run: true when
  // it was on (it is resumed when the run ends).
  virtual bool suspend_menu_guiding() { return false; }
  virtual void resume_menu_guiding() {}
  // A stop by a key or button while guiding is in progress ends that
  // guiding: true when it was in progress.
  virtual bool end_guiding_in_progress() { return false; }
  // Puts the guide star back where the autoguider kept it, if it keeps one.
  virtual void restore_guide_star() {}

  // The "Guiding Info" window: opened or retitled with a stage text, closed.
  virtual void show_info(const std::string& /*text*/) {}
  virtual void close_info() {}

  // Before a guided exposure starts integrating: checks the telescope and
  // makes the guiding frame. False ends the run (the autoguider reports why).
  virtual bool check_before_exposure(GuidedExposure&) { return true; }
  // The first field was read at half time: the guiding frame moves with it.
  virtual void switch_guiding_frame(GuidedExposure&) {}
  // Lets the next correction exceed the usual limit once, where the
  // reference moves (around the half-time switch).
  virtual void allow_large_correction() {}
  // One guide frame and its correction. A guiding failure clears
  // acquisition.self_guide_next, which ends the run with message 57.
  virtual void guide_step(GuidedExposure&) {}
  // After each guided exposure of a run: guiding is armed for the next one.
  virtual void rearm(GuidedExposure&) {}
  // The run was stopped by a key or button press.
  virtual void stop() {}
};

// The autoguider of a program built without one: it does nothing.
SelfGuide& no_self_guide();

}  // namespace tarvex
