#include "camera/readout.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace tarvex {

namespace {

inline std::uint16_t saturating_sum(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t s = a + b;
  return static_cast<std::uint16_t>(s >= 65535u ? 65535u : s);
}

// Copies little-endian 16-bit samples.
void copy_samples(const std::uint8_t* raw, std::uint16_t* out, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, raw, count * 2);
  } else {
    for (std::size_t i = 0; i < count; ++i)
      out[i] = static_cast<std::uint16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
  }
}

// True while the clock has not yet reached `end` (tick counts may wrap).
inline bool before(std::uint32_t now, std::uint32_t end) {
  return static_cast<std::int32_t>(now - end) < 0;
}

}  // namespace

void wait_exposure(CameraLink& link, Clock& clock, int exposure_ms) {
  const std::uint32_t t0 = clock.now_ms();
  const std::uint32_t end = t0 + static_cast<std::uint32_t>(exposure_ms);
  if (exposure_ms < 500) return;
  while (before(clock.now_ms(), end)) {
    if (exposure_ms > 600) send_timing_command(link, TimingCommand::Prepare);
  }
}

void place_field(const std::uint8_t* raw, Frame& destination, int parity) {
  const int first_row = parity & 1;
  for (int i = 0; i < FIELD_LINES; ++i) {
    const std::uint8_t* line =
        raw +
        2 * (static_cast<std::size_t>(RAW_FIRST_LINE + i) * RAW_LINE_SAMPLES + RAW_FIRST_SAMPLE);
    copy_samples(line, destination.data() + (first_row + 2 * i) * FRAME_WIDTH, FRAME_WIDTH);
  }
}

LinkResult read_field(CameraLink& link, Clock& clock, ReadoutState& state, Frame& destination) {
  set_field_request(link.command, state.exposure_ms);
  link.read_length = FIELD_READ_BYTES;
  const bool measure =
      state.field_read_time == FIELD_READ_TIME_UNMEASURED && state.exposure_ms > 500;
  const std::uint32_t start = measure ? clock.now_ms() : 0;
  if (read_block_data(link) != LinkResult::Ok) return LinkResult::Failed;
  // Only a read that delivered a field is a fair measure of the read time.
  if (measure) state.field_read_time = clock.now_ms() - start;
  place_field(link.receive_buffer.data(), destination, state.field_parity);
  return LinkResult::Ok;
}

LinkResult read_window(CameraLink& link, const ReadoutState& state, std::uint16_t* destination) {
  set_window_request(link.command, state.exposure_ms, state.window_x, state.window_y);
  link.read_length = WINDOW_READ_BYTES;
  if (read_block_data(link) != LinkResult::Ok) return LinkResult::Failed;
  copy_samples(link.receive_buffer.data(), destination, SMALL_FRAME_SAMPLES);
  return LinkResult::Ok;
}

int window_exposure_ms(int value, ExposureRange range) {
  return short_exposure_ms(value, range);
}

int focus_peak(const std::uint16_t* window) {
  int peak = 0;
  for (int y = 12; y <= 125; ++y) {
    const std::uint16_t* row = window + y * SMALL_FRAME_SIDE;
    const std::uint16_t* above = row - SMALL_FRAME_SIDE;
    for (int x = 5; x <= 125; ++x) {
      const int v = row[x] / 4;
      if (v > peak && above[x] / 4 > peak) peak = v;
    }
  }
  return peak;
}

void stretch_window(std::uint16_t* window, const WindowStretch& stretch) {
  const int bits = std::clamp(stretch.bits, MIN_WINDOW_BITS, MAX_WINDOW_BITS);
  if (stretch.stretch_all || bits == 16) return;
  const std::uint32_t factor = 1u << (16 - bits);
  for (int i = 0; i < SMALL_FRAME_SAMPLES; ++i) {
    const std::uint32_t v = window[i] * factor;
    window[i] = static_cast<std::uint16_t>(v >= 65535u ? 65535u : v);
  }
}

namespace {

// Window events are handled this often during a long window exposure.
constexpr std::uint32_t REPAINT_INTERVAL_MS = 100;

// Waits out a window exposure as wait_exposure does, handling window events
// with `pump` when given, and stops at the first timing command the camera
// does not take: a camera that stopped answering shows the link's one
// message, not one per pass.
LinkResult wait_window_exposure(CameraLink& link, Clock& clock, int exposure_ms, EventPump* pump) {
  const std::uint32_t end = clock.now_ms() + static_cast<std::uint32_t>(exposure_ms);
  if (exposure_ms < 500) return LinkResult::Ok;
  std::uint32_t next_pump = pump != nullptr ? clock.now_ms() + REPAINT_INTERVAL_MS : 0;
  while (before(clock.now_ms(), end)) {
    if (exposure_ms > 600 && send_timing_command(link, TimingCommand::Prepare) != LinkResult::Ok)
      return LinkResult::Failed;
    if (pump != nullptr && !before(clock.now_ms(), next_pump)) {
      pump->pump();
      next_pump = clock.now_ms() + REPAINT_INTERVAL_MS;
    }
  }
  return LinkResult::Ok;
}

}  // namespace

LinkResult take_window_frame(CameraLink& link, Clock& clock, ReadoutState& state, int value,
                             ExposureRange range, const WindowStretch& stretch,
                             std::uint16_t* destination, int* peak, EventPump* pump) {
  const int exposure = window_exposure_ms(value, range);
  state.exposure_ms = exposure;
  if (send_timing_command(link, TimingCommand::Prepare) != LinkResult::Ok ||
      send_timing_command(link, TimingCommand::StartExposure) != LinkResult::Ok ||
      wait_window_exposure(link, clock, exposure, pump) != LinkResult::Ok ||
      send_timing_command(link, TimingCommand::EndSingleField) != LinkResult::Ok ||
      read_window(link, state, destination) != LinkResult::Ok)
    return LinkResult::Failed;
  if (peak != nullptr) *peak = focus_peak(destination);
  stretch_window(destination, stretch);
  return LinkResult::Ok;
}

LinkResult take_guide_frame(CameraLink& link, Clock& clock, ReadoutState& state, int guide_ms,
                            bool first_field_downloaded, const WindowStretch& stretch,
                            std::uint16_t* destination) {
  send_timing_command(link, TimingCommand::Prepare);
  wait_exposure(link, clock, guide_ms);
  send_timing_command(
      link, first_field_downloaded ? TimingCommand::EndFirstField : TimingCommand::EndSecondField);
  if (read_window(link, state, destination) != LinkResult::Ok) return LinkResult::Failed;
  stretch_window(destination, stretch);
  return LinkResult::Ok;
}

void fill_odd_rows(Frame& frame) {
  for (int y = 1; y <= FRAME_HEIGHT - 3; y += 2) {
    const std::uint16_t* above = frame.data() + (y - 1) * FRAME_WIDTH;
    const std::uint16_t* below = above + 2 * FRAME_WIDTH;
    std::uint16_t* row = frame.data() + y * FRAME_WIDTH;
    for (int x = 0; x < FRAME_WIDTH; ++x)
      row[x] = static_cast<std::uint16_t>((static_cast<std::uint32_t>(above[x]) + below[x]) / 2);
  }
}

int field_pedestal(const std::uint8_t* raw) {
  // The samples around the picture: the leading lines whole, and the
  // margins left and right of every picture line.
  std::vector<std::uint16_t> dark;
  dark.reserve(static_cast<std::size_t>(RAW_FIRST_LINE) * RAW_LINE_SAMPLES +
               static_cast<std::size_t>(FIELD_LINES) * (RAW_LINE_SAMPLES - FRAME_WIDTH));
  auto take = [&](int line, int from, int to) {
    const std::uint8_t* p = raw + 2 * (static_cast<std::size_t>(line) * RAW_LINE_SAMPLES);
    for (int i = from; i < to; ++i)
      dark.push_back(static_cast<std::uint16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
  };
  for (int line = 0; line < RAW_FIELD_LINES; ++line) {
    if (line < RAW_FIRST_LINE) {
      take(line, 0, RAW_LINE_SAMPLES);
    } else {
      take(line, 0, RAW_FIRST_SAMPLE);
      take(line, RAW_FIRST_SAMPLE + FRAME_WIDTH, RAW_LINE_SAMPLES);
    }
  }
  auto middle = dark.begin() + static_cast<std::ptrdiff_t>(dark.size() / 2);
  std::nth_element(dark.begin(), middle, dark.end());
  return *middle;
}

void combine_fields(Frame& frame, const Frame& other, Frame& work, int mode, int pedestal) {
  const std::uint16_t* f = frame.data();
  const std::uint16_t* o = other.data();
  std::uint16_t* w = work.data();
  for (int y = 0; y < FRAME_HEIGHT - 1; ++y) {
    const std::uint16_t* a;
    const std::uint16_t* b;
    if (mode == 1) {
      a = f + y * FRAME_WIDTH;
      b = f + (y + 1) * FRAME_WIDTH;
    } else if (y % 2 == 0) {
      a = f + (y + 1) * FRAME_WIDTH;
      b = o + y * FRAME_WIDTH;
    } else {
      a = f + y * FRAME_WIDTH;
      b = o + (y + 1) * FRAME_WIDTH;
    }
    std::uint16_t* out = w + y * FRAME_WIDTH;
    if (mode == 1 || pedestal <= 0) {
      for (int x = 0; x < FRAME_WIDTH; ++x) out[x] = saturating_sum(a[x], b[x]);
      continue;
    }
    // A saturated sum stays the saturation mark; below it one read's
    // pedestal comes off (never below 0).
    const std::uint32_t p = static_cast<std::uint32_t>(pedestal);
    for (int x = 0; x < FRAME_WIDTH; ++x) {
      const std::uint16_t sum = saturating_sum(a[x], b[x]);
      out[x] = sum == 65535u ? sum : static_cast<std::uint16_t>(sum > p ? sum - p : 0u);
    }
  }
  // Row 579 has no computed sum; it repeats row 578 so the last row keeps
  // the brightness of the combined frame.
  std::memcpy(w + (FRAME_HEIGHT - 1) * FRAME_WIDTH, w + (FRAME_HEIGHT - 2) * FRAME_WIDTH,
              FRAME_WIDTH * sizeof(std::uint16_t));
  std::memcpy(frame.data(), w, FRAME_SAMPLES * sizeof(std::uint16_t));
}

void match_fields(Frame& frame) {
  const std::uint16_t* p = frame.data();
  // Black level from the dark samples of the top row.
  long sum = 0;
  long count = 0;
  for (int x = 1; x < FRAME_WIDTH; ++x) {
    if (p[x] < 4000) {
      sum += p[x];
      ++count;
    }
  }
  const int black = count > 0 ? static_cast<int>(((sum / count) * 8) / 10) : 0;

  // Ratio of each second-field sample to the mean of its first-field
  // neighbours, gathered by brightness bin.
  float bin_sum[HISTOGRAM_BINS] = {};
  float bin_count[HISTOGRAM_BINS] = {};
  for (int k = 3; k <= 285; ++k) {
    const std::uint16_t* er = p + 2 * k * FRAME_WIDTH;
    const std::uint16_t* mr = er + FRAME_WIDTH;
    const std::uint16_t* fr = mr + FRAME_WIDTH;
    for (int x = 10; x <= 740; ++x) {
      const int e = er[x] - black;
      const int f = fr[x] - black;
      if (!(e > 2000 && e < 60000 && f > 2000 && f < 60000)) continue;
      const float ratio = static_cast<float>(e) / static_cast<float>(f);
      if (!(ratio > 0.75f && ratio < 1.5f)) continue;
      const int m = mr[x] - black;
      // A sample below the black level has no bin.
      if (m < 0) continue;
      const float a = static_cast<float>(e + f) * 0.5f;
      const float r = a == 0.0f ? 1.0f : static_cast<float>(m) / a;
      const int b = m / 257;
      bin_sum[b] += r;
      bin_count[b] += 1.0f;
    }
  }
  for (int j = 1; j <= 255; ++j)
    if (bin_count[j] > 1.0f) bin_sum[j] /= bin_count[j];

  // Straight line through the bin means.
  double n = 0, sx = 0, sy = 0;
  for (int j = 1; j <= 255; ++j) {
    if (bin_count[j] > 0.0f) {
      n += 1;
      sx += j;
      sy += bin_sum[j];
    }
  }
  if (n == 0) return;
  const double mean_x = sx / n;
  const double mean_y = sy / n;
  double sxx = 0, sxy = 0;
  for (int j = 1; j <= 255; ++j) {
    if (bin_count[j] > 0.0f) {
      sxx += (j - mean_x) * (j - mean_x);
      sxy += (j - mean_x) * (bin_sum[j] - mean_y);
    }
  }
  sxx /= n;
  sxy /= n;
  if (sxx == 0) return;
  const double slope = sxy / sxx;
  const double intercept = mean_y - slope * mean_x;

  // Lift the second-field samples that lie below their neighbours by the
  // fitted ratio at their level.
  std::uint16_t* q = frame.data();
  for (int k = 1; k <= 287; ++k) {
    const std::uint16_t* er = q + 2 * k * FRAME_WIDTH;
    std::uint16_t* mr = q + (2 * k + 1) * FRAME_WIDTH;
    const std::uint16_t* fr = mr + FRAME_WIDTH;
    for (int x = 1; x < FRAME_WIDTH; ++x) {
      const int e = std::max(0, er[x] - black);
      const int m = std::max(0, mr[x] - black);
      const int f = std::max(0, fr[x] - black);
      if (e + f == 0) continue;
      if (2 * m >= e + f) continue;  // q = 1 - 2m / (e + f) is not above 0
      const double fitted = intercept + slope * (m / 257);
      if (!(fitted > 1e-6)) continue;  // no sensible divisor at this level
      const double v = static_cast<double>(m) / fitted + black;
      mr[x] = static_cast<std::uint16_t>(std::clamp(v, 0.0, 65535.0));
    }
  }
}

}  // namespace tarvex
