// Focus mode: repeated short exposures of the 128 x 128 focus window, each
// shown enlarged in the main window with its brightest value in the camera
// dialog, so the astronomer can turn the focuser until that value peaks.
// Runs on the window's thread inside the camera dialog; a left button press
// (the dialog's "Stop" included) ends it after the frame in progress has been
// read and shown; keys and right presses do not.
//
// The focus window is read into the first 16384 samples of CurrentFrame, as
// the small-frame display expects. Those samples of the astronomer's picture
// are kept aside on the first focus frame and put back by
// end_focus_display, so focusing and then closing the dialog leaves the
// picture as it was.
#pragma once

#include "app/tarvex.h"

namespace tarvex {

inline constexpr const char* FOCUS_PAUSE_TITLE = "Focus Frame Pause";
inline constexpr const char* FOCUS_PAUSE_TEXT = "Press OK to continue or Stop to end focus mode.";
// The pause of the focus-frame delay setting between frames.
inline constexpr std::uint32_t FOCUS_DELAY_MS = 1000;

// What the focus mode asks of the camera dialog.
class FocusFront {
 public:
  virtual ~FocusFront() = default;
  // A frame was read and shown in the main window (its bitmap written): the
  // dialog shows the peak and the focus bitmap.
  virtual void frame_shown(int /*peak*/) {}
  // The "Focus Frame Pause" prompt; true for "OK", false for "Stop" or a
  // close.
  virtual bool pause_prompt() { return true; }
};

enum class FocusOutcome {
  NotStarted,  // the minutes range or a value of 100 or more: nothing done
  Stopped,     // a left press or "Stop" in the pause prompt
  Finished,    // the frame limit was reached
  Failed,      // a window read failed (reported once by the camera link)
};

struct FocusRun {
  FocusOutcome outcome = FocusOutcome::NotStarted;
  int frames = 0;
  int peak = 0;  // of the last frame
};

// The full width at half maximum, in pixels, of the star in a 128 x 128 focus
// window: the background is the mean of the window's outer ring, and the
// pixels at or above half way from it to the peak make an area A, taken as a
// disc: 2 * sqrt(A / pi). For a round Gaussian star this is its FWHM. 0 when
// the window is flat.
double window_fwhm(const std::uint16_t* window);

// The "Start" button's action. `max_frames` 0 runs until stopped.
FocusRun run_focus_mode(Tarvex& app, FocusFront& front, int max_frames = 0);

// Leaves the small-frame display: puts back the samples the focus frames
// overwrote and clears SmallFrameMode. The caller redraws. Nothing happens
// when no focus frame was taken since the last call.
void end_focus_display(Tarvex& app);

// File > "Focus Frame Centre": the next left click on the picture that no
// other tool claims (merge marking and star picking take their clicks first)
// centres the focus window on the pixel clicked, as near as the camera's
// reach allows. "Default Focus Frame Centre" puts the window back at 80, 312.
void arm_focus_centre(Tarvex& app);
// True when the click was taken as the focus window's centre.
bool focus_centre_click(Tarvex& app, int x, int y);
void default_focus_centre(Tarvex& app);

}  // namespace tarvex
