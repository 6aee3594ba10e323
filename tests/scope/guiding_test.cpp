// The autoguider's arithmetic on hand-computed cases.
#include "scope/guiding.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tarvex {
namespace {

TEST(GuidingFramePlacement, InsideAndAtTheEdges) {
  // Near the top left: the frame starts at 0, the star keeps its place.
  GuidingFrame f = place_guiding_frame(30, 40);
  EXPECT_EQ(f.origin_column, 0);
  EXPECT_EQ(f.origin_row, 0);
  EXPECT_EQ(f.star_column, 30);
  EXPECT_EQ(f.star_row, 20);
  // Exactly the half size is still "at the edge".
  f = place_guiding_frame(64, 128);
  EXPECT_EQ(f.origin_column, 0);
  EXPECT_EQ(f.origin_row, 0);
  // Inside: centred, the row origin 36 shifts the star up by 6.
  f = place_guiding_frame(100, 201);
  EXPECT_EQ(f.origin_column, 36);
  EXPECT_EQ(f.origin_row, 36);
  EXPECT_EQ(f.star_column, 64);
  EXPECT_EQ(f.star_row, 58);
  // Odd column origin: one column to the right.
  f = place_guiding_frame(65, 131);
  EXPECT_EQ(f.origin_column, 1);
  EXPECT_EQ(f.origin_row, 1);
  EXPECT_EQ(f.star_column, 65);
  EXPECT_EQ(f.star_row, 63);
  // Bottom right: the frame ends at the sensor's edge.
  f = place_guiding_frame(701, 579);
  EXPECT_EQ(f.origin_column, 624);
  EXPECT_EQ(f.origin_row, 162);
  EXPECT_EQ(f.star_column, 77);
  EXPECT_EQ(f.star_row, 125);
}

TEST(GuidingFramePlacement, WindowPutsTheStarWhereTheFrameSays) {
  // {gx, gy, window X, Y, star column, row in the window, held with r = 8}
  struct Case {
    int gx, gy, x, y, column, row;
    bool held;
  };
  const Case cases[] = {
      {100, 201, 36, 144, 64, 57, true},     // frame star (64, 58): Y 143 to the nearest step
      {65, 131, 0, 69, 65, 62, true},        // odd column origin; frame star (65, 63)
      {30, 40, 0, 21, 30, 19, true},         // top left corner; frame star (30, 20)
      {319, 300, 254, 243, 65, 57, true},    // odd origin 255: the even column before it
      {360, 300, 255, 243, 105, 57, true},   // beyond reach: the star sits right of centre
      {380, 300, 255, 243, 125, 57, false},  // too near the window's right edge
      {5, 300, 0, 243, 5, 57, false},        // the search box leaves the frame
      {701, 579, 255, 450, 446, 129, false},
  };
  for (const Case& c : cases) {
    const GuidingFrame f = place_guiding_frame(c.gx, c.gy);
    const GuideWindow w = guide_window(f, c.gx, c.gy);
    EXPECT_EQ(w.at.x, c.x) << c.gx;
    EXPECT_EQ(w.at.y, c.y) << c.gy;
    EXPECT_EQ(w.star_column, c.column) << c.gx;
    EXPECT_EQ(w.star_row, c.row) << c.gy;
    EXPECT_EQ(guide_window_holds_star(w, 8), c.held) << c.gx << "," << c.gy;
    if (c.gx - f.star_column <= WINDOW_MAX_X && c.held) {
      EXPECT_EQ(w.star_column, f.star_column);
      EXPECT_LE(std::abs(w.star_row - f.star_row), 1);
    }
  }
}

TEST(GuidingTraining, RatesAndBacklashFromRecordedLegs) {
  TrainingLegs legs{64, 58, 52, 57, 63, 64, 70, 76, 71, 65};
  TrainingResult r = training_result(legs, 1);
  EXPECT_EQ(r.ra_rate, 6);
  EXPECT_EQ(r.dec_rate, 6);
  EXPECT_EQ(r.ra_backlash, 1);
  EXPECT_EQ(r.dec_backlash, 1);

  // Dec takes the larger leg (north 10, south 8), divided by T = 2.
  legs = {60, 70, 80, 72, 64, 64, 64, 64, 64, 64};
  r = training_result(legs, 2);
  EXPECT_EQ(r.dec_rate, 5);
  EXPECT_EQ(r.dec_backlash, 2);  // |y0 - y4| = 4 beats |y1 - y3| = 2, over T = 2
  EXPECT_EQ(r.ra_rate, 0);

  // No motion: rates of 0 are stored as 1; a huge backlash is held at 20.
  TrainingResult stored = stored_training_values({0, 0, 45, -3});
  EXPECT_EQ(stored.ra_rate, 1);
  EXPECT_EQ(stored.dec_rate, 1);
  EXPECT_EQ(stored.ra_backlash, 20);
  EXPECT_EQ(stored.dec_backlash, 0);

  EXPECT_EQ(training_pulse_ms(2, 3), 1700);
  EXPECT_LE(training_pulse_ms(1, 10), 0);
}

TEST(GuidingError, ThousandthsWithoutWrapping) {
  EXPECT_EQ(guide_error(10, 3, 10, 1), 200);
  EXPECT_EQ(guide_error(10, 1, 10, 3), -200);
  EXPECT_EQ(guide_error(12, 0, 10, 5), 1500);
  // 40 pixels would wrap to a negative 16-bit value; it is held instead.
  EXPECT_EQ(guide_error(100, 0, 60, 0), 32767);
  EXPECT_EQ(guide_error(60, 0, 100, 0), -32768);
}

TEST(GuidingCorrection, DeadBandsBacklashHysteresisAndLimits) {
  GuideParameters p;  // rates 6, no backlash, no hysteresis, tenths
  CorrectionMemory m;
  // 0.15 pixel east in tenths mode: 150 / 6 = 25 ms.
  Correction c = guide_correction(150, 10, p, false, m);
  EXPECT_TRUE(c.ra.send);
  EXPECT_TRUE(c.ra.positive);
  EXPECT_EQ(c.ra.ms, 25);
  EXPECT_FALSE(c.dec.send);  // 10 is inside the 20 dead band
  EXPECT_TRUE(c.delay_70ms);
  // Whole-pixel mode: 150 is inside the 200 dead band.
  p.whole_pixels = true;
  c = guide_correction(150, 0, p, false, m);
  EXPECT_FALSE(c.ra.send);
  p.whole_pixels = false;

  // Reversal east -> west: the backlash shortens the west correction.
  p.ra_backlash = 20;
  c = guide_correction(-600, 0, p, false, m);
  EXPECT_TRUE(c.ra.reversed);
  EXPECT_FALSE(c.ra.positive);
  EXPECT_EQ(c.ra.ms, 96);  // 580 / 6
  EXPECT_FALSE(m.ra_east);
  // West again: no backlash.
  c = guide_correction(-600, 0, p, false, m);
  EXPECT_FALSE(c.ra.reversed);
  EXPECT_EQ(c.ra.ms, 100);
  // Back to east: the backlash lengthens it.
  c = guide_correction(600, 0, p, false, m);
  EXPECT_EQ(c.ra.ms, 103);  // 620 / 6

  // Hysteresis that eats the whole pulse: nothing sent (so no beep).
  p.dec_hysteresis = 16;
  c = guide_correction(0, 100, p, false, m);
  EXPECT_FALSE(c.dec.send);
  EXPECT_EQ(c.dec.ms, 0);

  // Large errors are skipped unless permitted.
  c = guide_correction(3500, 0, p, false, m);
  EXPECT_TRUE(c.skipped_large);
  EXPECT_FALSE(c.ra.send);
  c = guide_correction(3500, 0, p, true, m);
  EXPECT_FALSE(c.skipped_large);
  EXPECT_EQ(c.ra.ms, 583);  // still east: no backlash

  // A rate of 0 is taken as 1; the pulse is capped.
  p.ra_rate = 0;
  p.ra_backlash = 0;
  c = guide_correction(500, 0, p, false, m);
  EXPECT_EQ(c.ra.ms, 500);
  c = guide_correction(32767, 0, p, true, m);
  EXPECT_EQ(c.ra.ms, GUIDE_MAX_PULSE_MS);

  p.direction_change_delay = false;
  c = guide_correction(0, 0, p, false, m);
  EXPECT_FALSE(c.delay_70ms);
}

TEST(GuidingReference, HalfRowStep) {
  int y = 10, t = 3;
  half_row_step(y, t);
  EXPECT_EQ(y, 10);
  EXPECT_EQ(t, 8);
  half_row_step(y, t);
  EXPECT_EQ(y, 11);
  EXPECT_EQ(t, 3);
  y = 10, t = 5;
  half_row_step(y, t);
  EXPECT_EQ(y, 11);
  EXPECT_EQ(t, 0);
  y = 10, t = 4;
  half_row_step(y, t);
  EXPECT_EQ(t, 9);
}

}  // namespace
}  // namespace tarvex
