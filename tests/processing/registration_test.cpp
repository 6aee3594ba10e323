#include "processing/registration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace tarvex {
namespace {

std::unique_ptr<Frame> blank(std::uint16_t level) {
  auto f = std::make_unique<Frame>();
  f->fill(level);
  return f;
}

// A round star of the given peak centred on (x, y) over a flat background.
std::unique_ptr<Frame> star_field(double x, double y, double peak, std::uint16_t level = 1000) {
  auto f = blank(level);
  for (int j = -6; j <= 6; ++j)
    for (int i = -6; i <= 6; ++i) {
      const int px = static_cast<int>(std::lround(x)) + i;
      const int py = static_cast<int>(std::lround(y)) + j;
      const double d2 = (px - x) * (px - x) + (py - y) * (py - y);
      (*f)[py * FRAME_WIDTH + px] =
          static_cast<std::uint16_t>(level + peak * std::exp(-d2 / (2 * 1.5 * 1.5)));
    }
  return f;
}

std::uint16_t at(const Frame& f, int x, int y) {
  return f[y * FRAME_WIDTH + x];
}

// The column of the brightest sample.
void brightest(const Frame& f, int& bx, int& by) {
  int best = -1;
  for (int y = 0; y < FRAME_HEIGHT; ++y)
    for (int x = 0; x < FRAME_WIDTH; ++x)
      if (at(f, x, y) > best) best = at(f, x, y), bx = x, by = y;
}

TEST(Registration, EvenShiftRules) {
  // Standard: odd shifts within -9..9 go one lower; the alternative method
  // moves them towards zero. Larger odd shifts and even shifts stay.
  const int shifts[] = {-11, -9, -3, -1, 0, 1, 2, 3, 9, 11};
  const int lowered[] = {-11, -10, -4, -2, 0, 0, 2, 2, 8, 11};
  const int towards[] = {-11, -8, -2, 0, 0, 0, 2, 2, 8, 11};
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(lower_odd_shift(shifts[k]), lowered[k]) << shifts[k];
    EXPECT_EQ(odd_shift_towards_zero(shifts[k]), towards[k]) << shifts[k];
  }
}

TEST(Registration, ThreeAveragedExposuresWithoutDrift) {
  // Every sample with a partner is the sum of each exposure div 3; row 0 and
  // column 0 have none and keep the last exposure's value.
  StarLocation star;
  star.position = {400, 300, 0, 0};
  StandardRegistration state;
  auto sum = std::make_unique<Frame>();
  auto shown = std::make_unique<Frame>();
  std::unique_ptr<Frame> exposures[3];
  for (int k = 0; k < 3; ++k) {
    exposures[k] = star_field(400, 300, 30000, static_cast<std::uint16_t>(1000 + 7 * k));
    (*exposures[k])[5 * FRAME_WIDTH + 9] = static_cast<std::uint16_t>(50000 + k);  // sums saturate
    ASSERT_EQ(register_on_star(state, star, 8, *exposures[k], *sum, *shown, 3, true),
              Registration::Added);
  }
  for (int y = 0; y < FRAME_HEIGHT; ++y)
    for (int x = 0; x < FRAME_WIDTH; ++x) {
      const int i = y * FRAME_WIDTH + x;
      if (x == 0 || y == 0) {
        ASSERT_EQ((*shown)[i], (*exposures[2])[i]) << x << "," << y;
      } else {
        const int expected =
            (*exposures[0])[i] / 3 + (*exposures[1])[i] / 3 + (*exposures[2])[i] / 3;
        ASSERT_EQ((*shown)[i], std::min(expected, 65535)) << x << "," << y;
      }
    }
  // Without averaging the bright sample saturates.
  StandardRegistration summing;
  star.position = {400, 300, 0, 0};
  for (int k = 0; k < 2; ++k)
    ASSERT_EQ(register_on_star(summing, star, 8, *exposures[k], *sum, *shown, 2, false),
              Registration::Added);
  EXPECT_EQ(at(*shown, 9, 5), 65535);
  EXPECT_EQ(at(*sum, 9, 5), 65535);
}

TEST(Registration, OddDriftIsCarriedSoTheStarsStayTogether) {
  // The star drifts 3 pixels right and 1 down per exposure. Each shift is
  // made even, and the pixel left out is carried, so after four exposures
  // the first exposure's star lies within one pixel of the last one's.
  StarLocation star;
  star.position = {300, 200, 0, 0};
  StandardRegistration state;
  auto sum = std::make_unique<Frame>();
  auto shown = std::make_unique<Frame>();
  const int steps = 4;
  for (int k = 0; k < steps; ++k) {
    auto f = star_field(300 + 3 * k, 200 + 1 * k, 8000, 0);
    ASSERT_EQ(register_on_star(state, star, 8, *f, *sum, *shown, steps, false),
              Registration::Added);
    EXPECT_EQ(state.x % 2, 300 % 2) << "even shifts only";
    EXPECT_LE(std::abs(state.x - (300 + 3 * k)), 1);
    EXPECT_LE(std::abs(state.y - (200 + 1 * k)), 1);
  }
  // The sum's brightest sample holds (close to) four star peaks.
  int bx = 0, by = 0;
  brightest(*shown, bx, by);
  EXPECT_LE(std::abs(bx - 309), 1);
  EXPECT_LE(std::abs(by - 203), 1);
  EXPECT_GT(at(*shown, bx, by), 3 * 8000 * 0.7);
}

TEST(Registration, BrightnessJumpAndMissingStarChangeNothing) {
  StarLocation star;
  star.position = {400, 300, 0, 0};
  StandardRegistration state;
  auto sum = std::make_unique<Frame>();
  auto shown = blank(123);
  auto first = star_field(400, 300, 10000);
  ASSERT_EQ(register_on_star(state, star, 8, *first, *sum, *shown, 3, false), Registration::Added);
  const StandardRegistration before = state;
  auto kept = std::make_unique<Frame>(*sum);
  auto kept_shown = std::make_unique<Frame>(*shown);

  // A sample above three times the first brightness (the star is 11000 at
  // its peak, 3 x 11000 < 40000).
  auto bright = star_field(401, 300, 40000);
  EXPECT_EQ(register_on_star(state, star, 8, *bright, *sum, *shown, 3, false),
            Registration::LostTrack);
  // Below 0.3 times: a star of peak 1500 over 1000 is 2500 < 0.3 x 11000.
  auto faint = star_field(401, 300, 1500);
  EXPECT_EQ(register_on_star(state, star, 8, *faint, *sum, *shown, 3, false),
            Registration::LostTrack);
  // Nothing to centre on: a flat field (400 lies below the background that
  // its histogram gives, 407).
  auto flat = blank(400);
  EXPECT_EQ(register_on_star(state, star, 8, *flat, *sum, *shown, 3, false),
            Registration::NothingToCentre);
  EXPECT_EQ(state.x, before.x);
  EXPECT_EQ(state.y, before.y);
  EXPECT_TRUE(*sum == *kept);
  EXPECT_TRUE(*shown == *kept_shown);

  // A first exposure without a star leaves the run without a reference.
  StandardRegistration fresh;
  EXPECT_EQ(register_on_star(fresh, star, 8, *flat, *sum, *shown, 3, false),
            Registration::NothingToCentre);
  EXPECT_FALSE(fresh.has_reference);
}

TEST(Registration, FollowingExposureShiftsTheSumOntoTheNewOne) {
  // result[i][j] = new[i][j] + sum[i - dy][j - dx] where the source lies in
  // rows 1..579 and columns 1..751; elsewhere the new value, undivided.
  auto exposure = blank(0);
  auto sum = blank(0);
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    (*exposure)[i] = static_cast<std::uint16_t>(i % 1000 + 3000);
    (*sum)[i] = static_cast<std::uint16_t>(i % 777);
  }
  auto result = std::make_unique<Frame>();
  add_following_exposure(*exposure, *sum, *result, 4, -2, 2, true);
  for (int y = 0; y < FRAME_HEIGHT; ++y)
    for (int x = 0; x < FRAME_WIDTH; ++x) {
      const int sy = y + 2, sx = x - 4;
      const int n = at(*exposure, x, y);
      const int expected = (sy > 0 && sy < FRAME_HEIGHT && sx > 0 && sx < FRAME_WIDTH)
                               ? n / 2 + at(*sum, sx, sy)
                               : n;
      ASSERT_EQ(at(*result, x, y), expected) << x << "," << y;
    }
}

TEST(Registration, ProfileSumsDoNotOverflow) {
  // Saturated rows give profile sums near 10^8; the differences over 80
  // entries pass 3 x 10^9, beyond 32 bits. The best offset must still win.
  std::array<std::int64_t, PROFILE_BOX> reference{}, current{};
  for (int k = 0; k < PROFILE_BOX; ++k) {
    reference[k] = (k / 7) % 2 ? 100'000'000 : 0;
    current[k] = ((k - 3) / 7) % 2 && k >= 3 ? 100'000'000 : 0;
  }
  std::array<std::int64_t, 2 * PROFILE_MAX_OFFSET + 1> differences{};
  EXPECT_EQ(best_profile_offset(reference, current, &differences), 3);
  EXPECT_EQ(differences[PROFILE_MAX_OFFSET + 3], 0);
  EXPECT_GT(differences[PROFILE_MAX_OFFSET], std::int64_t{1} << 31);
  // Nothing below 10,000,000: offset 0.
  std::array<std::int64_t, PROFILE_BOX> unlike{};
  unlike.fill(90'000'000);
  EXPECT_EQ(best_profile_offset(reference, unlike), 0);
}

TEST(Registration, ProfilesFollowADriftingStar) {
  // A star in the profile box drifting (+3, -2) per exposure. The sum stays
  // where the first exposure lay; shifts are made even towards zero and the
  // pixel left out is carried.
  ProfileRegistration state;
  auto sum = std::make_unique<Frame>();
  auto shown = std::make_unique<Frame>();
  const int n = 3;
  for (int k = 0; k < n; ++k) {
    auto f = star_field(240 + 3 * k, 160 - 2 * k, 20000, 1500);
    (*f)[(170 - 2 * k) * FRAME_WIDTH + 260 + 3 * k] = 9000;  // a second, fainter feature
    ASSERT_EQ(register_on_profiles(state, *f, *sum, *shown, n, false), Registration::Added) << k;
  }
  EXPECT_EQ(state.top, 0);
  EXPECT_EQ(state.shift_x, 6);   // 3 -> 2 (1 carried), then 3 + 1 = 4
  EXPECT_EQ(state.shift_y, -4);  // even already
  EXPECT_EQ(state.residual_x, 0);
  int bx = 0, by = 0;
  brightest(*shown, bx, by);
  EXPECT_EQ(bx, 240);
  EXPECT_EQ(by, 160);
  // Two peaks exactly on it, the middle one a pixel away.
  EXPECT_GT(at(*shown, 240, 160), 2 * 21500 + 15000);
}

TEST(Registration, ProfileMethodRefusals) {
  // No sample in the box rows 100..219 (columns 200..299) reaches 400 times
  // the mode bin: nothing to centre on.
  ProfileRegistration state;
  auto sum = std::make_unique<Frame>();
  auto shown = std::make_unique<Frame>();
  auto dim = star_field(250, 150, 5000, 10000);  // mode bin 39: 15600 needed
  EXPECT_EQ(mode_bin_256(*dim), 39);
  EXPECT_EQ(register_on_profiles(state, *dim, *sum, *shown, 2, false),
            Registration::NothingToCentre);
  // Found only at the box offset 20 (rows up to 219), not below.
  auto low = star_field(250, 214, 20000, 10000);
  EXPECT_EQ(register_on_profiles(state, *low, *sum, *shown, 2, false), Registration::Added);
  EXPECT_EQ(state.top, 20);
  ProfileRegistration late;
  auto lower = star_field(250, 226, 20000, 10000);
  EXPECT_EQ(register_on_profiles(late, *lower, *sum, *shown, 2, false),
            Registration::NothingToCentre);

  // Two exposures with nothing in the box: the second one's profiles do not
  // differ from the first's around offset 0, so the track is lost and the
  // sum kept.
  auto flat = blank(10000);
  EXPECT_EQ(register_on_profiles(state, *flat, *sum, *shown, 2, false), Registration::Added);
  auto kept = std::make_unique<Frame>(*sum);
  EXPECT_EQ(register_on_profiles(state, *flat, *sum, *shown, 2, false), Registration::LostTrack);
  EXPECT_TRUE(*sum == *kept);

  EXPECT_EQ(frame_brightness(*flat), 10000);
}

}  // namespace
}  // namespace tarvex
