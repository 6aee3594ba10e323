// The live stack of a continuous run: every new exposure (already
// dark-subtracted by the run) is colour-synthesized without the display
// options, registered on its stars onto the first accepted exposure, and
// added to a running stack with outlier rejection. The stack is shown in the
// window with the current display stretch and saved as a 32-bit
// floating-point FITS file every few frames and when the run ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/tarvex.h"
#include "processing/live_stack.h"
#include "processing/star_registration.h"

namespace tarvex {

// The live stack's file in the data folder when the run names none.
inline constexpr const char* LIVE_STACK_FILE = "live-stack.fits";

struct LiveStackOptions {
  std::filesystem::path out;  // the stack's FITS file
  int save_every = 10;        // frames between saves
  float kappa = 3.0F;         // rejection around the running mean, in sigmas
  // Frames whose stars are this elongated (trailed) are refused.
  double max_elongation = 1.5;
  // Stars a frame needs to be registered on the first one; a first frame
  // with fewer starts a stack of frames added as they lie.
  int min_stars = 6;
  bool show = true;  // put the stack on show after every frame
};

// What happened to one exposure offered to the stack.
// Binned: binned otherwise than the frames already stacked.
enum class LiveFrame { Added, Trailed, Unregistered, Binned };

class LiveStackRun {
 public:
  LiveStackRun(Tarvex& app, LiveStackOptions options);
  ~LiveStackRun();
  LiveStackRun(const LiveStackRun&) = delete;
  LiveStackRun& operator=(const LiveStackRun&) = delete;

  // Offers a raw mosaic exposure of the camera's frame size (the run's dark
  // already subtracted). Once a frame was added the stack is on show (when
  // asked) after every exposure, refused ones included; every save_every-th
  // frame added is saved.
  LiveFrame add_exposure(const Frame& raw, bool binned);
  // Saves the stack when frames were added since the last save. False when
  // the file could not be written (reported to the user).
  bool finish();

  int frames() const { return stack_ ? stack_->frames() : 0; }
  int trailed() const { return trailed_; }
  int unregistered() const { return unregistered_; }
  int other_binning() const { return other_binning_; }
  int saves() const { return saves_; }
  bool save_failed() const { return save_failed_; }
  // Processing time of the last frame offered (without the display), ms.
  double last_ms() const { return last_ms_; }
  const LiveStackOptions& options() const { return options_; }
  // The stack's three planes (red, green, blue), rows top first.
  std::vector<float> result() const;

 private:
  bool save();
  bool unmoved(const std::vector<Star>& stars) const;
  // Puts the stack on show with its frame count (when the options ask).
  void show();

  Tarvex& app_;
  LiveStackOptions options_;
  std::unique_ptr<FrameStore> scratch_;  // the colour synthesis works here
  std::unique_ptr<LiveStack> stack_;
  std::vector<Star> reference_;
  bool aligned_ = true;  // frames are registered on the first one's stars
  bool binned_ = false;  // the first frame's binned state, which every frame must share
  int other_binning_ = 0;
  std::vector<float> warped_;
  int trailed_ = 0;
  int unregistered_ = 0;
  int saves_ = 0;
  int unsaved_ = 0;
  bool save_failed_ = false;
  double last_ms_ = 0;
};

// Puts a stacked image (one plane, or three planes red, green, blue, of the
// camera's frame size; samples 0..65535) on show as the current image with
// the current display stretch, under the window title `title`. False, with
// the image left as it was, when the size is not the camera's frame.
bool show_stacked_image(Tarvex& app, int width, int height, int planes,
                        const std::vector<float>& data, const std::string& title);

}  // namespace tarvex
