#include "scope/guiding.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace tarvex {

namespace {

// Origin of a span of 2*half samples around `g` that stays within 0..size.
int frame_origin(int g, int half, int size) {
  if (g > half && g < size - half) return g - half;
  if (g <= half) return 0;
  return size - 2 * half;
}

}  // namespace

GuidingFrame place_guiding_frame(int gx, int gy) {
  const int field_y = gy / 2;  // truncates toward zero
  GuidingFrame f;
  f.origin_column = frame_origin(gx, GUIDE_HALF_SIZE, GUIDE_FRAME_COLUMNS);
  f.origin_row = frame_origin(field_y, GUIDE_HALF_SIZE, GUIDE_FRAME_FIELD_ROWS);
  f.star_column = gx - f.origin_column + f.origin_column % 2;
  f.star_row = field_y - f.origin_row - f.origin_row % 10;
  return f;
}

GuideWindow guide_window(const GuidingFrame& f, int gx, int gy) {
  const int x = std::clamp(gx - f.star_column, 0, WINDOW_MAX_X);
  // Nearest row step: the camera reads rows only in steps of three.
  const int wanted_y = std::clamp(gy - f.star_row, 0, WINDOW_MAX_Y);
  const int y =
      std::min((wanted_y + WINDOW_ROW_STEP / 2) / WINDOW_ROW_STEP * WINDOW_ROW_STEP, WINDOW_MAX_Y);
  GuideWindow w;
  w.at = {x, y};
  w.star_column = gx - x;
  w.star_row = gy - y;
  return w;
}

bool guide_window_holds_star(const GuideWindow& w, int r) {
  const auto inside = [r](int v) { return v - r >= 0 && v + r < WINDOW_SIZE; };
  return inside(w.star_column) && inside(w.star_row);
}

TrainingResult training_result(const TrainingLegs& l, int seconds) {
  const int t = std::max(1, seconds);
  TrainingResult r;
  r.ra_rate = (std::abs(l.x3 - l.x4) + std::abs(l.x1 - l.x2)) / (2 * t);
  r.ra_backlash = (std::abs(l.x0 - l.x4) + std::abs(l.x1 - l.x3)) / (2 * t);
  const int dec_south = std::abs(l.y3 - l.y4), dec_north = std::abs(l.y1 - l.y2);
  r.dec_rate = (dec_north > dec_south ? dec_north : dec_south) / t;
  const int back_a = std::abs(l.y0 - l.y4), back_b = std::abs(l.y1 - l.y3);
  r.dec_backlash = (back_b > back_a ? back_b : back_a) / t;
  return r;
}

TrainingResult stored_training_values(const TrainingResult& m) {
  TrainingResult s = m;
  if (s.ra_rate == 0) s.ra_rate = 1;
  if (s.dec_rate == 0) s.dec_rate = 1;
  s.ra_rate = std::clamp(s.ra_rate, 1, int{std::numeric_limits<std::int16_t>::max()});
  s.dec_rate = std::clamp(s.dec_rate, 1, int{std::numeric_limits<std::int16_t>::max()});
  s.ra_backlash = std::clamp(s.ra_backlash, 0, GUIDE_MAX_BACKLASH);
  s.dec_backlash = std::clamp(s.dec_backlash, 0, GUIDE_MAX_BACKLASH);
  return s;
}

int training_pulse_ms(int seconds, int hysteresis) {
  return seconds * 1000 - hysteresis * 100;
}

std::int16_t guide_error(int reference, int reference_tenths, int current, int current_tenths) {
  const long d = static_cast<long>(reference - current) * 1000 +
                 static_cast<long>(reference_tenths - current_tenths) * 100;
  return static_cast<std::int16_t>(std::clamp<long>(d, std::numeric_limits<std::int16_t>::min(),
                                                    std::numeric_limits<std::int16_t>::max()));
}

AxisPulse axis_correction(int d, int rate, int backlash, int hysteresis, bool whole_pixels,
                          bool& last_positive) {
  AxisPulse a;
  const int band = whole_pixels ? GUIDE_DEAD_BAND_WHOLE : GUIDE_DEAD_BAND_TENTHS;
  if (std::abs(d) <= band) return a;
  a.positive = d > 0;
  if (a.positive != last_positive) {
    d += backlash;  // signed: lengthens a positive correction, shortens a negative one
    a.reversed = true;
  }
  last_positive = a.positive;
  const int r = rate == 0 ? 1 : rate;
  const std::int32_t ms = std::abs(d / r) - hysteresis;
  if (ms <= 0) return a;
  a.send = true;
  a.ms = std::min(ms, GUIDE_MAX_PULSE_MS);
  return a;
}

Correction guide_correction(int dx, int dy, const GuideParameters& p, bool large_permitted,
                            CorrectionMemory& memory) {
  Correction c;
  if ((std::abs(dx) > GUIDE_LARGE_ERROR || std::abs(dy) > GUIDE_LARGE_ERROR) && !large_permitted) {
    c.skipped_large = true;
    return c;
  }
  c.ra = axis_correction(dx, p.ra_rate, p.ra_backlash, p.ra_hysteresis, p.whole_pixels,
                         memory.ra_east);
  c.delay_70ms = p.direction_change_delay;
  c.dec = axis_correction(dy, p.dec_rate, p.dec_backlash, p.dec_hysteresis, p.whole_pixels,
                          memory.dec_north);
  return c;
}

void half_row_step(int& y, int& y_tenths) {
  if (y_tenths > 4) {
    y += 1;
    y_tenths -= 5;
  } else {
    y_tenths += 5;
  }
}

}  // namespace tarvex
