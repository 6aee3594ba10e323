// The autoguider's arithmetic: where the 128 x 128 guiding frame is read
// from, the rates and backlash that training measures, and the correction
// pulses that hold a star on its reference position. Plain values in and
// out, so that each step can be checked by hand and replayed from recorded
// star positions; the application layer sends the pulses and takes frames.
#pragma once

#include <cstdint>

#include "image/window_geometry.h"

namespace tarvex {

inline constexpr int GUIDE_HALF_SIZE = 64;          // half the guiding frame's side
inline constexpr int GUIDE_FRAME_COLUMNS = 752;     // columns of the full frame
inline constexpr int GUIDE_FRAME_FIELD_ROWS = 290;  // rows of one field
// Errors beyond this many thousandths of a pixel on either axis are not
// corrected unless the one-shot permission is set.
inline constexpr int GUIDE_LARGE_ERROR = 3000;
inline constexpr int GUIDE_DEAD_BAND_WHOLE = 200;  // whole-pixel mode
inline constexpr int GUIDE_DEAD_BAND_TENTHS = 20;  // tenths mode
// The longest single correction pulse. A star position that runs away (a
// wrong star, a cloud edge) must not drive the mount for seconds at a time;
// three seconds at the slowest trained rate of 1 pixel per second still
// corrects the largest error that is ever corrected.
inline constexpr std::int32_t GUIDE_MAX_PULSE_MS = 3000;
inline constexpr int GUIDE_MAX_BACKLASH = 20;

// The guiding frame: its origin in full-frame columns and field rows, and the
// guide star's position inside it after the camera's window adjustments.
struct GuidingFrame {
  int origin_column = 0;
  int origin_row = 0;  // field rows
  int star_column = 0;
  int star_row = 0;
};

// Places the guiding frame around a guide star picked at full-frame column
// `gx` and full-frame row `gy` (frame rows; halved to field rows). The origin
// keeps the whole frame on the sensor; the star position inside the frame is
// then shifted one column right for an odd column origin and up by the row
// origin's remainder modulo 10, which is how the camera aligns a window read.
GuidingFrame place_guiding_frame(int gx, int gy);

// The window the camera reads for a guiding frame, and where the guide star
// lands in it. The frame's star position is where the star is wanted inside
// the window, so the window starts that far above and left of the guide
// star, kept in the camera's reach (the row to the nearest row step). The
// star then lands on the wanted column exactly and within a row of the
// wanted row, except beyond the camera's reach (the rightmost columns and
// the last rows), where it lands where the reachable window puts it.
struct GuideWindow {
  WindowPosition at;  // the window position X, Y sent to the camera
  int star_column = 0;
  int star_row = 0;
};

GuideWindow guide_window(const GuidingFrame& f, int gx, int gy);

// The star's search box of radius `r` lies inside the window, as it must for
// the star to be found there.
bool guide_window_holds_star(const GuideWindow& w, int r);

// Star positions recorded during training, in guiding-frame pixels.
struct TrainingLegs {
  int y0 = 0, y1 = 0, y2 = 0, y3 = 0, y4 = 0;  // start, north, north, south, south
  int x0 = 0, x1 = 0, x2 = 0, x3 = 0, x4 = 0;  // start, east, east, west, west
};

struct TrainingResult {
  int ra_rate = 0;  // pixels per second, as measured (may be 0)
  int dec_rate = 0;
  int ra_backlash = 0;
  int dec_backlash = 0;
};

// Rates and backlash from the recorded legs for a training pulse of
// `seconds` (1, 2 or 4; anything below 1 counts as 1). Dec takes the larger
// of its two legs.
TrainingResult training_result(const TrainingLegs& legs, int seconds);

// The values stored from a result: a rate of 0 becomes 1, backlash is held
// within 0..GUIDE_MAX_BACKLASH (the settings file accepts no more).
TrainingResult stored_training_values(const TrainingResult& measured);

// The training pulse length in ms for a pulse of `seconds` and a hysteresis
// setting; 0 or less means training cannot run with those settings.
int training_pulse_ms(int seconds, int hysteresis);

// Signed thousandths of a pixel between a reference and a current position,
// each a whole part and tenths. Held within the 16-bit range (the value the
// correction works in) rather than wrapping to the other sign.
std::int16_t guide_error(int reference, int reference_tenths, int current, int current_tenths);

// The guiding parameters one correction uses.
struct GuideParameters {
  int ra_rate = 6;  // pixels per second; 0 is taken as 1
  int dec_rate = 6;
  int ra_backlash = 0;
  int dec_backlash = 0;
  int ra_hysteresis = 0;  // ms
  int dec_hysteresis = 0;
  bool whole_pixels = false;           // "Ignore drift < 1 pixel"
  bool direction_change_delay = true;  // wait 70 ms between the axes
};

// One axis of a correction.
struct AxisPulse {
  bool send = false;      // a pulse goes out (with a beep before and after)
  bool positive = false;  // east for RA, north for Dec: the error was positive
  std::int32_t ms = 0;    // pulse length when sent
  bool reversed = false;  // the direction changed: backlash was applied
};

// The correction for one axis with error `d` (thousandths). `last_positive`
// is the direction of that axis's previous correction and is updated when the
// error is outside the dead band.
AxisPulse axis_correction(int d, int rate, int backlash, int hysteresis, bool whole_pixels,
                          bool& last_positive);

struct Correction {
  bool skipped_large = false;  // beyond the large-error limit without permission
  AxisPulse ra;
  AxisPulse dec;
  bool delay_70ms = false;  // wait 70 ms between the RA and Dec steps
};

// Remembered between corrections: the last direction of each axis.
struct CorrectionMemory {
  bool ra_east = true;    // the last RA letter was east
  bool dec_north = true;  // the last Dec letter was north
};

Correction guide_correction(int dx, int dy, const GuideParameters& p, bool large_permitted,
                            CorrectionMemory& memory);

// Moves a reference y position half a field row down: the guiding frame
// alternates between the two interlaced fields.
void half_row_step(int& y, int& y_tenths);

}  // namespace tarvex
