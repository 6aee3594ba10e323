// The acquisition settings of the camera dialog: what the next exposure or
// sequence is to be. They live in the context for the program's run and are
// never written to the settings file, whose layout is fixed. The program
// settings that take part in a sequence keep their own places: the beep after
// exposure, the interlace smoothing (second-field gain matching), the last
// autosave number and folder, the readout interrupt setting in the settings
// record; the dark frame path in the context.
#pragma once

#include <optional>

#include "camera/exposure_range.h"
#include "camera/usb_commands.h"

namespace tarvex {

enum class ExposureMode { Fast, Progressive, Interlaced };

// The exposure E of a sequence in milliseconds: the value in its range's
// unit.
int sequence_exposure_ms(int value, ExposureRange range);
// The guide exposure: as a sequence's, with minutes counting as seconds.
int guide_exposure_ms(int value, ExposureRange range);
// True for the ranges the host times with progress and messages (seconds,
// minutes).
inline bool is_long_range(ExposureRange range) {
  return range == ExposureRange::Seconds || range == ExposureRange::Minutes;
}
// The value a range starts at when chosen: 5 thousandths or hundredths,
// else 1.
inline int default_exposure_value(ExposureRange range) {
  return range == ExposureRange::Thousandths || range == ExposureRange::Hundredths ? 5 : 1;
}
// The largest exposure value the camera dialog offers for a range.
int exposure_value_maximum(ExposureRange range);

inline constexpr int MAX_EXPOSURE_COUNT = 20;
inline constexpr int MAX_DELAY_MINUTES = 20;

struct AcquisitionSettings {
  ExposureRange range = ExposureRange::Seconds;
  int value = 1;
  // Exposures in the sequence; counts down while it runs and is 1 again
  // when the camera dialog opens.
  int count = 1;
  bool average = false;           // average instead of sum
  bool alternative_slew = false;  // register on brightness profiles instead of a star
  bool continuous = false;        // repeat until stopped
  int delay_minutes = 0;          // pause between repetitions
  bool pause_between = false;     // the focus mode pauses between frames
  bool delay_before = false;      // 10-second countdown before the first exposure
  ExposureMode mode = ExposureMode::Fast;
  bool auto_dark = false;      // subtract the dark frame from every exposure
  bool auto_save = false;      // save every result as the next FITS file of the series
  bool auto_colour = false;    // colour synthesis after every exposure
  bool auto_exposure = false;  // a stored flag the dialog shows; acquisition ignores it

  // Self-guiding.
  bool self_guide_next = false;     // guide the next exposure
  bool take_matching_dark = false;  // the next exposure repeats the last guided one as a dark
  bool half_time_download = false;  // read the first field at half time while guiding
  // The guide frames a matching dark repeats: set from last_guided_frames
  // when "Take matching Darkframe" is armed; shown as "No of Guiding Frames".
  int guide_frames = 0;
  // Guide frames counted in the last self-guided exposure (not a dark).
  int last_guided_frames = 0;
  // The guide exposure (value and range), copied from the main
  // exposure when self-guiding is armed; the user then sets the longer main
  // exposure.
  int guide_value = 1;
  ExposureRange guide_range = ExposureRange::Seconds;
  // Dithering: between the exposures of a self-guided run with automatic
  // saving, the guide reference moves by a random offset of up to this many
  // pixels and the next exposure waits for the guider to settle. Set for
  // the run (camera dialog, tarvex-cli --dither); the amount starts from
  // the guide.dither-pixels setting.
  bool dither = false;
  double dither_pixels = 3;
  // The amount was set in this program run (the camera dialog's field):
  // turning dithering on then keeps it rather than taking the setting's.
  bool dither_pixels_set = false;

  // The guider control box was probed over the serial link: done once per
  // program run, on the first use of either self-guiding control.
  bool control_box_probed = false;

  // The focus and guide window position X, Y sent to the camera: the
  // top-left column and frame row of the 128 x 128 window (see
  // camera_dialog_model.h for how a picked centre becomes X, Y).
  int focus_x = DEFAULT_WINDOW_X;
  // File > "Focus Frame Centre" waits for a click on the picture.
  bool focus_centre_armed = false;
  int focus_y = DEFAULT_WINDOW_Y;

  // A beep after each exposure for this run only (tarvex-cli --beep); unset,
  // the program setting decides.
  std::optional<bool> beep_after_exposure;
};

}  // namespace tarvex
