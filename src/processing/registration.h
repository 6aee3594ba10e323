// Registration of the exposures of a multiple-exposure run: each new
// exposure is lined up with the sum of the earlier ones and added to it (or
// its share added, when averaging). Two methods: the standard one follows a
// star found by star location, the alternative one compares brightness
// profiles of a 100 x 100 box. Shifts are kept even where they are small, so
// the sensor's colour mosaic of the exposures stays aligned; the pixel left
// out is carried to the next exposure, so the stars of the sum stay within
// one pixel of each other however the drift runs. All sums saturate at
// 65535.
#pragma once

#include <array>
#include <cstdint>

#include "image/frame_store.h"
#include "processing/star_location.h"

namespace tarvex {

enum class Registration {
  Added,           // the exposure was lined up and added; the result holds the new sum
  LostTrack,       // the star's brightness jumped (standard), or the box holds too little
                   // structure to compare (alternative): nothing was added
  NothingToCentre  // no star (standard) or no bright box (alternative): nothing was added
};

// The registration state of one run; cleared at the start and end of a run.
struct StandardRegistration {
  bool has_reference = false;
  int x = 0;  // where the star of the sum lies now
  int y = 0;
  int brightness = 0;  // the star's sample in the first exposure
};

inline constexpr int PROFILE_BOX = 100;
inline constexpr int PROFILE_FIRST_ROW = 100;  // the box's rows start here, below its top offset
inline constexpr int PROFILE_FIRST_COLUMN = 200;
inline constexpr int PROFILE_MAX_OFFSET = 10;
inline constexpr int PROFILE_COMPARED = 80;

struct ProfileRegistration {
  bool has_reference = false;
  int top = 0;      // the box's top offset T
  int shift_x = 0;  // shift applied to the latest exposure, relative to the first
  int shift_y = 0;
  int residual_x = 0;  // the pixel an even shift left out, carried to the next exposure
  int residual_y = 0;
  std::array<std::int64_t, PROFILE_BOX> rows{};     // reference profile, one sum per box row
  std::array<std::int64_t, PROFILE_BOX> columns{};  // one sum per box column
};

// The standard method's rule for a shift: an odd shift between -9 and 9 is
// lowered by one (1 -> 0, -1 -> -2).
int lower_odd_shift(int shift);
// The alternative method's rule: an odd offset between -9 and 9 moves one
// step towards 0 (1 -> 0, -1 -> 0).
int odd_shift_towards_zero(int shift);

// Standard method. `count` is the number of exposures requested (the divisor
// when averaging), `radius` the star search radius. The first exposure
// becomes the sum (each sample div count when averaging) and the star is
// searched three times from the shared star position; `shown` gets the
// exposure as it is. Later exposures: the star is searched three times from
// where it lies in the sum; a sample there above 3 times or below 0.3 times
// the first brightness loses track. Else the sum, shifted onto the new
// exposure, is added: shown[i][j] = new[i][j] (div count) + sum[i - dy][j -
// dx] where 0 < i - dy < 580 and 0 < j - dx < 752; other samples keep the new
// exposure's value; the sum becomes that. `shown` may be the exposure itself,
// never the sum. Nothing is changed unless Added. Nothing is reported here:
// the caller says why the run ends.
Registration register_on_star(StandardRegistration& state, StarLocation& star, int radius,
                              const Frame& exposure, Frame& sum, Frame& shown, int count,
                              bool average);

// Alternative method: the sum stays where the first exposure lay, and each
// later exposure is added with its shift relative to the first; `shown` gets
// the exposure itself after the first exposure, the sum after later ones.
// Nothing is changed unless Added.
Registration register_on_profiles(ProfileRegistration& state, const Frame& exposure, Frame& sum,
                                  Frame& shown, int count, bool average);

// Pieces of the methods, for tests.

// Adds `exposure` (div count when averaging) to `sum` shifted by (dx, dy) as
// the standard method does, into `result`.
void add_following_exposure(const Frame& exposure, const Frame& sum, Frame& result, int dx, int dy,
                            int count, bool average);
// Adds the exposure seen at offset (dx, dy) from the sum into the sum in
// place, as the alternative method does.
void add_into_sum(const Frame& exposure, Frame& sum, int dx, int dy, int count, bool average);

// The first bin of the highest count of the histogram of sample div 256.
int mode_bin_256(const Frame& frame);
// The mean of the first 10000 samples, truncated.
int frame_brightness(const Frame& frame);
// The row and column profiles of the box at top offset `top` above the
// background level.
void box_profiles(const Frame& frame, int top, int background,
                  std::array<std::int64_t, PROFILE_BOX>& rows,
                  std::array<std::int64_t, PROFILE_BOX>& columns);
// The offset -10..10 at which `current` matches `reference` best (the first
// on ties, 0 when no difference is below 10,000,000), and the differences.
int best_profile_offset(
    const std::array<std::int64_t, PROFILE_BOX>& reference,
    const std::array<std::int64_t, PROFILE_BOX>& current,
    std::array<std::int64_t, 2 * PROFILE_MAX_OFFSET + 1>* differences = nullptr);

}  // namespace tarvex
