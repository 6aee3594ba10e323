#include "sim/sim_camera.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "camera/usb_commands.h"

namespace tarvex {

namespace {

constexpr std::size_t FIELD_SAMPLES = 298 * 832;
constexpr std::size_t FIELD_BYTES = 2 * FIELD_SAMPLES;
constexpr std::size_t WINDOW_SAMPLES = 128 * 128;
constexpr std::size_t WINDOW_BYTES = 2 * WINDOW_SAMPLES;

void to_little_endian(const std::uint16_t* samples, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(samples[i] & 0xFF);
    out[2 * i + 1] = static_cast<std::uint8_t>(samples[i] >> 8);
  }
}

}  // namespace

SimCamera::SimCamera(Clock& clock, std::unique_ptr<SkyRenderer> sky)
    : clock_(clock), sky_(std::move(sky)), samples_(FIELD_SAMPLES) {
  if (!sky_) sky_ = std::make_unique<SkyRenderer>();
}

SimCamera::SimCamera(Clock& clock, const SkyConfig& config)
    : SimCamera(clock, std::make_unique<SkyRenderer>(config)) {}

std::optional<std::vector<UsbInterface>> SimCamera::list_interfaces(UsbClass cls) {
  std::vector<UsbInterface> out;
  if (cls == UsbClass::Block && !block_interface_present) return out;
  UsbInterface itf;
  itf.path = cls == UsbClass::Hid ? "sim:hid" : "sim:block";
  itf.vendor_id = 0x1209;
  itf.product_id = 0x7A58;
  itf.manufacturer = "Tarvex";
  itf.product = cls == UsbClass::Hid ? "Simulated camera" : "Simulated camera image data";
  out.push_back(itf);
  return out;
}

int SimCamera::open_interface(UsbClass cls, const UsbInterface&) {
  if (cls == UsbClass::Hid) {
    hid_open_ = true;
    return 1;
  }
  block_open_ = true;
  return 2;
}

double SimCamera::field_exposure(int field, std::uint32_t now) const {
  if (is_latched_[field]) return latched_[field];
  return static_cast<double>(now - start_[field]);
}

void SimCamera::note_pointing(std::uint32_t now, bool always) {
  const double t = static_cast<double>(now - integration_start_);
  const double x = sky_->pointing_x(), y = sky_->pointing_y();
  if (!always && !pointing_.empty()) {
    const PointingSample& last = pointing_.back();
    if ((last.x == x && last.y == y) || t - last.t_ms < 50) return;
  }
  pointing_.push_back({t, x, y});
}

std::vector<PointingSample> SimCamera::path_of(std::uint32_t start, double exposure_ms) const {
  std::vector<PointingSample> path;
  if (pointing_.empty()) return path;
  const double from = static_cast<double>(start - integration_start_);
  const double to = from + exposure_ms;
  auto at = [&](double t) {
    if (t <= pointing_.front().t_ms) return pointing_.front();
    for (std::size_t i = 1; i < pointing_.size(); ++i) {
      const PointingSample& a = pointing_[i - 1];
      const PointingSample& b = pointing_[i];
      if (t <= b.t_ms) {
        const double f = b.t_ms > a.t_ms ? (t - a.t_ms) / (b.t_ms - a.t_ms) : 1.0;
        return PointingSample{t, a.x + f * (b.x - a.x), a.y + f * (b.y - a.y)};
      }
    }
    return pointing_.back();
  };
  PointingSample first = at(from);
  path.push_back({0.0, first.x, first.y});
  for (const PointingSample& p : pointing_)
    if (p.t_ms > from && p.t_ms < to) path.push_back({p.t_ms - from, p.x, p.y});
  PointingSample last = at(to);
  path.push_back({exposure_ms, last.x, last.y});
  return path;
}

void SimCamera::timing(int sub_code) {
  const std::uint32_t now = clock_.now_ms();
  // A 4 or 5 that was not followed by a window read acts on the fields now.
  resolve_pending(false);
  if (sub_code == 1) {
    if (on_exposure_start) on_exposure_start();
    integration_start_ = now;
    pointing_.clear();
  }
  note_pointing(now, sub_code != 2);
  const bool frame_continues = sub_code == 1 && first_rows_just_read_;
  first_rows_just_read_ = false;
  switch (sub_code) {
    case 1:  // integration of both fields starts
      start_[0] = start_[1] = now;
      is_latched_[0] = is_latched_[1] = false;
      any_latched_ = false;
      next_field_ = 0;
      window_start_ = now;
      guide_window_ = false;
      ++exposure_number_;
      // The second field of a frame whose first field was read at half
      // time: the charge of both halves together makes the frame, so it is
      // read as the first field was.
      if (frame_continues) single_rows_exposure_ = exposure_number_;
      break;
    case 3:  // a single-field or window exposure ends
      frame_readout_ = false;
      latch(0, now);
      latched_[1] = latched_[0];
      is_latched_[1] = true;
      next_field_ = 0;
      break;
    case 4:
    case 5:
      // Ends a guide window when a window read follows, else acts on the
      // fields: what comes next decides.
      pending_code_ = sub_code;
      pending_at_ = now;
      break;
    default:  // 2 keeps the exposure running
      break;
  }
}

void SimCamera::latch(int field, std::uint32_t at) {
  latched_[field] = static_cast<double>(at - start_[field]);
  is_latched_[field] = true;
  last_latched_ = latched_[field];
  any_latched_ = true;
}

void SimCamera::resolve_pending(bool window_read_follows, bool field_read_follows) {
  const int code = pending_code_;
  if (code == 0) return;
  pending_code_ = 0;
  const std::uint32_t at = pending_at_;
  if (window_read_follows) {
    // A guide window read while the main exposure integrates: the fields
    // go on undisturbed.
    guide_window_ = true;
    guide_exposure_ = static_cast<double>(at - window_start_);
    return;
  }
  if (code == 5) {
    // The first field of a progressive frame ends; the second keeps
    // integrating, and the frame is read a photosite row at a time.
    frame_readout_ = true;
    latch(0, at);
    next_field_ = 0;
  } else if (is_latched_[0] || field_read_follows) {
    latch(1, at);  // the second field ends
    next_field_ = 1;
  } else {
    start_[1] = at;  // the second field restarts part-way
    next_field_ = 1;
  }
}

int SimCamera::write_report(std::span<const std::uint8_t> report) {
  if (!hid_open_) return ENODEV;
  if (report.size() < 1 + 8 || report[0] != 0) return EINVAL;
  const std::uint8_t* payload = report.data() + 1;
  if (recording_) {
    Command c{clock_.now_ms(), {}};
    std::memcpy(c.bytes.data(), payload, 8);
    commands_.push_back(c);
  }
  if (payload[0] == 2) {
    timing(payload[1]);
  } else if (payload[0] == 4) {
    std::memcpy(request_.data(), payload, 8);
    resolve_pending(request_[7] == 1, request_[7] == 2);
    read_pending_ = true;
  }
  return 0;
}

UsbRead SimCamera::bulk_read(std::span<std::uint8_t> destination) {
  return bulk_read_waiting(destination, {});
}

UsbRead SimCamera::bulk_read_waiting(std::span<std::uint8_t> destination,
                                     const std::function<void()>& while_waiting) {
  // The camera's read time on the program's clock, in steps when the
  // reader waits in steps.
  auto pass = [&](std::uint32_t ms) {
    if (!while_waiting) return clock_.sleep_ms(ms);
    for (std::uint32_t left = ms; left > 0;) {
      const std::uint32_t step = std::min(left, READ_STEP_MS);
      clock_.sleep_ms(step);
      left -= step;
      while_waiting();
    }
  };
  if (!block_open_) return {ENODEV, 0};
  if (fail_error_ != 0) {
    const int e = fail_error_;
    fail_error_ = 0;
    read_pending_ = false;
    return {e, 0};
  }
  // Without a read request the camera sends nothing and the transfer times out.
  if (!read_pending_) return {ETIMEDOUT, 0};
  read_pending_ = false;
  const std::uint32_t now = clock_.now_ms();
  note_pointing(now, true);
  const int short_exposure = request_[1] | (request_[2] << 8);
  std::size_t size = 0;
  if (request_[7] == 2) {
    const int field = next_field_;
    last_exposure_ms_ = short_exposure != 0 ? short_exposure : field_exposure(field, now);
    // A progressive frame (first field ended by timing command 5, both
    // fields of one exposure) is read a photosite row at a time; every other
    // field read sums neighbouring rows on the chip.
    if (field == 0 && frame_readout_) single_rows_exposure_ = exposure_number_;
    first_rows_just_read_ = field == 0 && frame_readout_;
    const bool single = field == 0 ? frame_readout_ : single_rows_exposure_ == exposure_number_;
    sky_->set_field_readout(single ? FieldReadout::Single : FieldReadout::Summed);
    const auto path = path_of(start_[field], last_exposure_ms_);
    sky_->render_field(field, last_exposure_ms_, path, exposure_number_, samples_.data());
    size = FIELD_BYTES;
    if (field == 0) next_field_ = 1;
    pass(field_read_ms);
  } else if (request_[7] == 1) {
    first_rows_just_read_ = false;
    std::uint32_t from = start_[0];
    if (guide_window_) {
      last_exposure_ms_ = guide_exposure_;
      from = window_start_;
    } else if (short_exposure != 0) {
      last_exposure_ms_ = short_exposure;
    } else {
      last_exposure_ms_ = any_latched_ ? last_latched_ : static_cast<double>(now - start_[0]);
    }
    int column = 0, row = 0;
    decode_window_codes(request_, column, row);
    const auto path = path_of(from, last_exposure_ms_);
    sky_->render_window(column, row, last_exposure_ms_, path, exposure_number_, samples_.data());
    size = WINDOW_BYTES;
    pass(window_read_ms);
    if (guide_window_) {
      guide_window_ = false;
      window_start_ = clock_.now_ms();  // the window's charge was read out
      // The next guide window gathers its light from now: under the seeing
      // of its own moment, not the main exposure's first.
      if (on_exposure_start) on_exposure_start();
    }
  } else {
    return {ETIMEDOUT, 0};
  }
  const std::size_t n = std::min({destination.size(), size, short_bytes_});
  short_bytes_ = SIZE_MAX;
  to_little_endian(samples_.data(), n / 2, destination.data());
  if (n % 2) destination[n - 1] = static_cast<std::uint8_t>(samples_[n / 2] & 0xFF);
  return {0, n};
}

}  // namespace tarvex
