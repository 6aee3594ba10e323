// The guide graph's data: the RA and Dec errors of the last corrections and
// the pulses sent for them, in a fixed ring so that guiding all night never
// grows memory, and running sums of every correction. The Guiding Info window
// draws it; tarvex-cli prints the RMS of the whole run.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvex {

struct GuideSample {
  std::uint32_t at_ms = 0;
  double dx = 0;         // RA error, pixels (reference minus star)
  double dy = 0;         // Dec error, pixels
  int ra_pulse_ms = 0;   // signed: positive east, negative west, 0 none
  int dec_pulse_ms = 0;  // signed: positive north, negative south
  // Frames in a row, this one included, whose error was beyond the
  // correction range, so that nothing was sent for them (0: corrected).
  int beyond_range = 0;
  // The star was lost and the pulses carry on the learned drift.
  bool holding_drift = false;
};

// What happened to guiding besides its corrections: a dither of the
// reference between exposures and how the guider settled after it, and the
// star lost and found again. The Guiding Info window marks them on its graph
// and tarvex-cli prints a line for each.
enum class GuideEventKind {
  Dither,          // the reference moved by (dx, dy) pixels
  Settled,         // the star held within the settle distance: `frames`, `seconds` since the dither
  SettleTimedOut,  // it did not within the time allowed: the run goes on
  StarLost,        // the star was not found (guiding goes on only while drift is held)
  StarFound,       // found again, `seconds` after it was lost
};

struct GuideEvent {
  std::uint32_t at_ms = 0;
  GuideEventKind kind = GuideEventKind::Dither;
  double dx = 0, dy = 0;  // Dither: the reference's move, pixels
  int frames = 0;         // Settled, SettleTimedOut: guide frames since the dither
  double seconds = 0;     // Settled, SettleTimedOut: since the dither; StarFound: lost for
};

// The event as one line of the guide log, without its time.
std::string guide_event_text(const GuideEvent& e);

// Running sums of every correction since guiding started, for a summary of
// the whole run however long it was.
struct GuideTotals {
  std::size_t count = 0;
  double sum_xx = 0;
  double sum_yy = 0;
  double rms_x() const { return count == 0 ? 0 : std::sqrt(sum_xx / static_cast<double>(count)); }
  double rms_y() const { return count == 0 ? 0 : std::sqrt(sum_yy / static_cast<double>(count)); }
  // The corrections since `earlier` was taken.
  GuideTotals since(const GuideTotals& earlier) const {
    return {count - earlier.count, sum_xx - earlier.sum_xx, sum_yy - earlier.sum_yy};
  }
};

class GuideGraph {
 public:
  static constexpr std::size_t CAPACITY = 1024;  // about 17 minutes at one frame a second

  static constexpr std::size_t EVENT_CAPACITY = 64;

  void clear() { size_ = 0, next_ = 0, totals_ = {}, events_size_ = 0, events_next_ = 0; }
  void add(const GuideSample& s) {
    ++totals_.count;
    totals_.sum_xx += s.dx * s.dx;
    totals_.sum_yy += s.dy * s.dy;
    samples_[next_] = s;
    next_ = (next_ + 1) % CAPACITY;
    if (size_ < CAPACITY) ++size_;
  }
  std::size_t size() const { return size_; }
  void add_event(const GuideEvent& e) {
    events_[events_next_] = e;
    events_next_ = (events_next_ + 1) % EVENT_CAPACITY;
    if (events_size_ < EVENT_CAPACITY) ++events_size_;
  }
  std::size_t events() const { return events_size_; }
  // Event i, oldest first.
  const GuideEvent& event(std::size_t i) const {
    return events_[(events_next_ + EVENT_CAPACITY - events_size_ + i) % EVENT_CAPACITY];
  }
  // Every sample since clear(), the ones the ring no longer holds included.
  const GuideTotals& totals() const { return totals_; }
  // Sample i, oldest first.
  const GuideSample& at(std::size_t i) const {
    return samples_[(next_ + CAPACITY - size_ + i) % CAPACITY];
  }
  // RMS of the errors of the samples taken within the last `window_ms`
  // before the newest (all of them for 0).
  double rms_x(std::uint32_t window_ms = 0) const { return rms(window_ms, true); }
  double rms_y(std::uint32_t window_ms = 0) const { return rms(window_ms, false); }

 private:
  double rms(std::uint32_t window_ms, bool x) const {
    if (size_ == 0) return 0;
    const std::uint32_t newest = at(size_ - 1).at_ms;
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < size_; ++i) {
      const GuideSample& s = at(i);
      if (window_ms != 0 && newest - s.at_ms > window_ms) continue;
      const double v = x ? s.dx : s.dy;
      sum += v * v;
      ++n;
    }
    return n == 0 ? 0 : std::sqrt(sum / static_cast<double>(n));
  }

  std::array<GuideSample, CAPACITY> samples_{};
  std::size_t size_ = 0;
  std::size_t next_ = 0;
  GuideTotals totals_;
  std::array<GuideEvent, EVENT_CAPACITY> events_{};
  std::size_t events_size_ = 0;
  std::size_t events_next_ = 0;
};

}  // namespace tarvex
