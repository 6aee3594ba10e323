// Camera readout: placing field and window reads into frames, the timed
// window exposures of focusing and guiding, and the frame-level operations
// of the exposure modes (single-field fill, field combination, second-field
// gain matching).
#pragma once

#include <cstdint>

#include "camera/camera_link.h"
#include "camera/exposure_range.h"
#include "image/frame_store.h"
#include "platform/ports.h"

namespace tarvex {

inline constexpr std::uint32_t FIELD_READ_TIME_UNMEASURED = 5000;
inline constexpr int MIN_WINDOW_BITS = 12;
inline constexpr int MAX_WINDOW_BITS = 16;

struct ReadoutState {
  // 0: the next field read fills the even rows, 1: the odd rows.
  int field_parity = 0;
  // Milliseconds one field read takes; measured once, on the first field
  // read after an exposure of more than 500 ms.
  std::uint32_t field_read_time = FIELD_READ_TIME_UNMEASURED;
  // The exposure the read requests carry (the last main or focus exposure).
  int exposure_ms = 1000;
  // Focus-window position.
  int window_x = DEFAULT_WINDOW_X;
  int window_y = DEFAULT_WINDOW_Y;
};

// How focus and guide windows are scaled for display.
struct WindowStretch {
  int bits = 14;             // 12..16
  bool stretch_all = false;  // "Use Stretch on all Images": windows are left unscaled
};

// Reads one field and places it into the rows of `destination` given by
// field_parity. Failed when the read failed: the frame is then left untouched
// and the caller abandons the exposure.
LinkResult read_field(CameraLink& link, Clock& clock, ReadoutState& state, Frame& destination);

// Reads one 128 x 128 window into the first 16384 samples of `destination`.
// Failed leaves the destination untouched.
LinkResult read_window(CameraLink& link, const ReadoutState& state, std::uint16_t* destination);

// The host side of a timed exposure: for exposures of 500 ms and more the
// host waits on the clock, repeating the Prepare timing command on every pass when
// longer than 600 ms; shorter exposures are timed by the camera from the
// read request.
void wait_exposure(CameraLink& link, Clock& clock, int exposure_ms);

// The exposure of a window frame: the value in its range's unit, minutes
// counting as seconds.
int window_exposure_ms(int value, ExposureRange range);

// A timed window exposure (focusing, guiding) read into `destination` and
// stretched; the frame ends at the first timing command the camera does not
// take. With `peak`, it receives the brightest value by the two-row rule
// (0..16383, before the stretch); with `pump`, window events are handled
// every 100 ms of a long exposure.
LinkResult take_window_frame(CameraLink& link, Clock& clock, ReadoutState& state, int value,
                             ExposureRange range, const WindowStretch& stretch,
                             std::uint16_t* destination, int* peak = nullptr,
                             EventPump* pump = nullptr);

// A guide window timed by the guide exposure; ends with EndFirstField when
// the first field of the main exposure was already downloaded at half time,
// else EndSecondField. The read still carries the exposure of the last main exposure.
LinkResult take_guide_frame(CameraLink& link, Clock& clock, ReadoutState& state, int guide_ms,
                            bool first_field_downloaded, const WindowStretch& stretch,
                            std::uint16_t* destination);

// Pieces of the above, exposed for tests and benchmarks.
void place_field(const std::uint8_t* raw, Frame& destination, int parity);
int focus_peak(const std::uint16_t* window);
void stretch_window(std::uint16_t* window, const WindowStretch& stretch);

// Odd rows 1..577 become the mean of their neighbours; row 579 is kept.
void fill_odd_rows(Frame& frame);

// The bias level a raw field read carries (`raw`: the whole read): the
// median of the samples the camera sends around the picture, which see no
// light.
int field_pedestal(const std::uint8_t* raw);
inline int field_pedestal(const CameraLink& link) {
  return field_pedestal(link.receive_buffer.data());
}

// Mode 1: progressive sum of neighbouring rows of `frame`. Mode 0: half-time
// merge of `frame` (latest field) with `other` (field read at half time).
// Sums saturate at 65535; `work` is scratch. Row 579 of the result repeats
// the computed row 578. Each read of a half-time merge carries the camera's
// pedestal while the two halves' light makes one exposure: `pedestal` (one
// read's, see field_pedestal) is taken off each unsaturated merged sample so
// that the frame has the bias of a single read, as a field-mode frame of the
// whole exposure has.
void combine_fields(Frame& frame, const Frame& other, Frame& work, int mode, int pedestal = 0);

// Matches the gain of the second field (odd rows) to the first.
void match_fields(Frame& frame);

}  // namespace tarvex
