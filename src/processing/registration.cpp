#include "processing/registration.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tarvex {

namespace {

inline std::uint16_t saturating_add(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t s = a + b;
  return static_cast<std::uint16_t>(s > 65535u ? 65535u : s);
}

inline std::uint32_t share(std::uint16_t v, int count, bool average) {
  return average ? v / static_cast<std::uint32_t>(count) : v;
}

// The first exposure of a sum: the sum is the exposure, or its share.
void start_sum(const Frame& exposure, Frame& sum, int count, bool average) {
  if (!average) {
    std::memcpy(sum.data(), exposure.data(), FRAME_SAMPLES * sizeof(std::uint16_t));
    return;
  }
  for (int i = 0; i < FRAME_SAMPLES; ++i)
    sum[i] = static_cast<std::uint16_t>(exposure[i] / static_cast<unsigned>(count));
}

void copy_frame_samples(const Frame& from, Frame& to) {
  if (&from != &to) std::memcpy(to.data(), from.data(), FRAME_SAMPLES * sizeof(std::uint16_t));
}

// Three searches of the whole exposure, each starting where the previous one
// ended. The sequencer reports a failure once, so nothing is said here.
bool find_star(StarLocation& star, int x, int y, const Frame& frame, int radius) {
  const FrameView view{frame.data(), FRAME_WIDTH, FRAME_HEIGHT};
  for (int pass = 0; pass < 3; ++pass) {
    if (locate_star(star, view, x, y, radius) != StarSearch::Found) return false;
    x = star.position.x;
    y = star.position.y;
  }
  return true;
}

}  // namespace

int lower_odd_shift(int shift) {
  return (shift % 2 != 0 && shift >= -9 && shift <= 9) ? shift - 1 : shift;
}

int odd_shift_towards_zero(int shift) {
  if (shift % 2 == 0 || shift < -9 || shift > 9) return shift;
  return shift > 0 ? shift - 1 : shift + 1;
}

void add_following_exposure(const Frame& exposure, const Frame& sum, Frame& result, int dx, int dy,
                            int count, bool average) {
  // Columns j whose source column j - dx lies in 1..751.
  const int first = std::clamp(1 + dx, 0, FRAME_WIDTH);
  const int end = std::clamp(FRAME_WIDTH + dx, 0, FRAME_WIDTH);
  for (int i = 0; i < FRAME_HEIGHT; ++i) {
    const std::uint16_t* n = exposure.data() + i * FRAME_WIDTH;
    std::uint16_t* out = result.data() + i * FRAME_WIDTH;
    const int si = i - dy;
    if (si <= 0 || si >= FRAME_HEIGHT || first >= end) {
      if (out != n) std::memcpy(out, n, FRAME_WIDTH * sizeof(std::uint16_t));
      continue;
    }
    const std::uint16_t* s = sum.data() + si * FRAME_WIDTH - dx;
    for (int j = 0; j < first; ++j) out[j] = n[j];
    for (int j = first; j < end; ++j) out[j] = saturating_add(share(n[j], count, average), s[j]);
    for (int j = end; j < FRAME_WIDTH; ++j) out[j] = n[j];
  }
}

void add_into_sum(const Frame& exposure, Frame& sum, int dx, int dy, int count, bool average) {
  // Columns j whose source column j + dx lies in 1..751.
  const int first = std::clamp(1 - dx, 0, FRAME_WIDTH);
  const int end = std::clamp(FRAME_WIDTH - dx, 0, FRAME_WIDTH);
  for (int i = 0; i < FRAME_HEIGHT; ++i) {
    const int si = i + dy;
    if (si <= 0 || si >= FRAME_HEIGHT) continue;
    const std::uint16_t* n = exposure.data() + si * FRAME_WIDTH + dx;
    std::uint16_t* s = sum.data() + i * FRAME_WIDTH;
    for (int j = first; j < end; ++j) s[j] = saturating_add(s[j], share(n[j], count, average));
  }
}

Registration register_on_star(StandardRegistration& state, StarLocation& star, int radius,
                              const Frame& exposure, Frame& sum, Frame& shown, int count,
                              bool average) {
  const bool first = !state.has_reference;
  const int from_x = first ? star.position.x : state.x;
  const int from_y = first ? star.position.y : state.y;
  if (!find_star(star, from_x, from_y, exposure, radius)) return Registration::NothingToCentre;
  const int x = star.position.x;
  const int y = star.position.y;
  const int brightness = exposure[y * FRAME_WIDTH + x];

  if (first) {
    start_sum(exposure, sum, count, average);
    copy_frame_samples(exposure, shown);
    state = {true, x, y, brightness};
    return Registration::Added;
  }
  if (brightness > 3.0 * state.brightness || brightness < 0.3 * state.brightness)
    return Registration::LostTrack;
  // The shift from where the star lies in the sum; an even shift leaves a
  // pixel out, which stays in the next exposure's shift.
  const int dx = lower_odd_shift(x - state.x);
  const int dy = lower_odd_shift(y - state.y);
  add_following_exposure(exposure, sum, shown, dx, dy, count, average);
  copy_frame_samples(shown, sum);
  state.x += dx;
  state.y += dy;
  return Registration::Added;
}

int mode_bin_256(const Frame& frame) {
  std::array<int, 256> histogram{};
  for (int i = 0; i < FRAME_SAMPLES; ++i) ++histogram[frame[i] >> 8];
  return static_cast<int>(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
}

int frame_brightness(const Frame& frame) {
  std::int64_t sum = 0;
  for (int i = 0; i < 10000; ++i) sum += frame[i];
  return static_cast<int>(static_cast<double>(sum) * 0.0001);
}

void box_profiles(const Frame& frame, int top, int background,
                  std::array<std::int64_t, PROFILE_BOX>& rows,
                  std::array<std::int64_t, PROFILE_BOX>& columns) {
  rows.fill(0);
  columns.fill(0);
  for (int r = 0; r < PROFILE_BOX; ++r) {
    const std::uint16_t* p =
        frame.data() + (top + PROFILE_FIRST_ROW + r) * FRAME_WIDTH + PROFILE_FIRST_COLUMN;
    for (int c = 0; c < PROFILE_BOX; ++c) {
      const std::int64_t v = (static_cast<std::int64_t>(p[c]) - background) * 16;
      if (v > 0) {
        rows[r] += v;
        columns[c] += v;
      }
    }
  }
}

int best_profile_offset(const std::array<std::int64_t, PROFILE_BOX>& reference,
                        const std::array<std::int64_t, PROFILE_BOX>& current,
                        std::array<std::int64_t, 2 * PROFILE_MAX_OFFSET + 1>* differences) {
  int best = 0;
  std::int64_t best_difference = 10'000'000;
  for (int d = -PROFILE_MAX_OFFSET; d <= PROFILE_MAX_OFFSET; ++d) {
    std::int64_t difference = 0;
    for (int k = 0; k < PROFILE_COMPARED; ++k)
      difference +=
          std::llabs(reference[k + PROFILE_MAX_OFFSET] - current[k + PROFILE_MAX_OFFSET + d]);
    if (differences != nullptr) (*differences)[d + PROFILE_MAX_OFFSET] = difference;
    if (difference < best_difference) {
      best_difference = difference;
      best = d;
    }
  }
  return best;
}

Registration register_on_profiles(ProfileRegistration& state, const Frame& exposure, Frame& sum,
                                  Frame& shown, int count, bool average) {
  const int mode = mode_bin_256(exposure);
  const int background = mode * 256 + 1024;

  if (!state.has_reference) {
    // The box lies where the brightest samples reach 400 times the mode bin,
    // searched down in steps of 10 rows; the maximum carries over.
    int peak = 0;
    int top = -1;
    for (int t = 0; t <= 20; t += 10) {
      for (int r = t + PROFILE_FIRST_ROW; r < t + PROFILE_FIRST_ROW + PROFILE_BOX; ++r) {
        const std::uint16_t* p = exposure.data() + r * FRAME_WIDTH + PROFILE_FIRST_COLUMN;
        peak = std::max<int>(peak, *std::max_element(p, p + PROFILE_BOX));
      }
      if (peak >= 400 * mode) {
        top = t;
        break;
      }
    }
    if (top < 0) return Registration::NothingToCentre;
    start_sum(exposure, sum, count, average);
    copy_frame_samples(exposure, shown);
    state = ProfileRegistration{};
    state.has_reference = true;
    state.top = top;
    box_profiles(exposure, top, background, state.rows, state.columns);
    return Registration::Added;
  }

  std::array<std::int64_t, PROFILE_BOX> rows, columns;
  box_profiles(exposure, state.top, background, rows, columns);
  std::array<std::int64_t, 2 * PROFILE_MAX_OFFSET + 1> column_differences{};
  const int raw_dy = best_profile_offset(state.rows, rows);
  const int raw_dx = best_profile_offset(state.columns, columns, &column_differences);
  // Profiles that hardly change with the offset hold no star to follow.
  const std::int64_t around_zero = column_differences[PROFILE_MAX_OFFSET - 1] +
                                   column_differences[PROFILE_MAX_OFFSET] +
                                   column_differences[PROFILE_MAX_OFFSET + 1];
  if (around_zero < 5000) return Registration::LostTrack;

  state.rows = rows;
  state.columns = columns;
  const int want_x = raw_dx + state.residual_x;
  const int want_y = raw_dy + state.residual_y;
  const int dx = odd_shift_towards_zero(want_x);
  const int dy = odd_shift_towards_zero(want_y);
  state.residual_x = want_x - dx;
  state.residual_y = want_y - dy;
  state.shift_x += dx;
  state.shift_y += dy;
  add_into_sum(exposure, sum, state.shift_x, state.shift_y, count, average);
  copy_frame_samples(sum, shown);
  return Registration::Added;
}

}  // namespace tarvex
