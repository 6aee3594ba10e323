#include "camera/readout.h"

#include <gtest/gtest.h>

#include <memory>

#include "fake_usb.h"
#include "platform/basic_ports.h"

namespace tarvex {
namespace {

using test::FakeUsb;
using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<Frame> filled_frame(std::uint16_t v) {
  auto f = std::make_unique<Frame>();
  f->fill(v);
  return f;
}

std::uint16_t at(const Frame& f, int x, int y) {
  return f[y * FRAME_WIDTH + x];
}

// A raw field whose sample (line, s) holds line * 200 + s, little-endian.
std::vector<std::uint8_t> numbered_field() {
  std::vector<std::uint8_t> raw(FIELD_READ_BYTES);
  for (int line = 0; line < RAW_FIELD_LINES; ++line)
    for (int s = 0; s < RAW_LINE_SAMPLES; ++s) {
      const int v = line * 200 + s;
      raw[2 * (line * RAW_LINE_SAMPLES + s)] = v & 0xFF;
      raw[2 * (line * RAW_LINE_SAMPLES + s) + 1] = (v >> 8) & 0xFF;
    }
  return raw;
}

struct Rig {
  FakeUsb usb;
  RecordingMessages messages;
  VirtualClock clock{1};
  CameraLink link{usb, messages};
  ReadoutState state;
};

TEST(Readout, FieldPlacementByParity) {
  Rig r;
  r.usb.data = numbered_field();
  auto frame = filled_frame(7);
  r.state.field_parity = 1;
  r.state.exposure_ms = 300;
  ASSERT_EQ(read_field(r.link, r.clock, r.state, *frame), LinkResult::Ok);
  EXPECT_EQ(at(*frame, 0, 1), 8 * 200 + 26);
  EXPECT_EQ(at(*frame, 751, 1), 8 * 200 + 777);
  EXPECT_EQ(at(*frame, 5, 579), 297 * 200 + 31);
  for (int y = 0; y < FRAME_HEIGHT; y += 2) EXPECT_EQ(at(*frame, 100, y), 7) << y;
  // Short exposures leave the read time unmeasured.
  EXPECT_EQ(r.state.field_read_time, FIELD_READ_TIME_UNMEASURED);
  EXPECT_EQ(Bytes(r.link.command.begin(), r.link.command.end()), (Bytes{4, 44, 1, 0, 0, 0, 0, 2}));
}

TEST(Readout, FieldReadTimeMeasuredOnceAfterLongExposure) {
  Rig r;
  r.usb.data = numbered_field();
  auto frame = filled_frame(0);
  r.state.exposure_ms = 2000;
  ASSERT_EQ(read_field(r.link, r.clock, r.state, *frame), LinkResult::Ok);
  const std::uint32_t measured = r.state.field_read_time;
  EXPECT_NE(measured, FIELD_READ_TIME_UNMEASURED);
  r.clock.advance(1000);
  ASSERT_EQ(read_field(r.link, r.clock, r.state, *frame), LinkResult::Ok);
  EXPECT_EQ(r.state.field_read_time, measured);
}

TEST(Readout, FailedOrShortReadLeavesFrameUntouched) {
  Rig r;
  r.usb.data = numbered_field();
  auto frame = filled_frame(1234);
  r.usb.read_error = 110;
  r.state.exposure_ms = 2000;
  EXPECT_EQ(read_field(r.link, r.clock, r.state, *frame), LinkResult::Failed);
  EXPECT_EQ(at(*frame, 10, 0), 1234);
  EXPECT_EQ(r.state.field_read_time, FIELD_READ_TIME_UNMEASURED);
  r.usb.read_error = 0;
  r.usb.deliver_short = true;
  EXPECT_EQ(read_field(r.link, r.clock, r.state, *frame), LinkResult::Failed);
  EXPECT_EQ(at(*frame, 10, 0), 1234);
  std::vector<std::uint16_t> window(SMALL_FRAME_SAMPLES, 55);
  int peak = -1;
  EXPECT_EQ(take_window_frame(r.link, r.clock, r.state, 100, ExposureRange::Thousandths, {},
                              window.data(), &peak),
            LinkResult::Failed);
  EXPECT_EQ(window[0], 55);
  EXPECT_EQ(peak, -1);
}

// The commands of one fast 300 ms exposure and of one 300 ms focus window,
// as they go over the wire.
TEST(Readout, RecordedCommandStream) {
  Rig r;
  r.usb.data = numbered_field();
  auto frame = filled_frame(0);
  r.state.exposure_ms = 300;
  send_timing_command(r.link, TimingCommand::Prepare);
  send_timing_command(r.link, TimingCommand::StartExposure);
  send_timing_command(r.link, TimingCommand::Prepare);
  send_timing_command(r.link, TimingCommand::EndSingleField);
  ASSERT_EQ(read_field(r.link, r.clock, r.state, *frame), LinkResult::Ok);
  std::vector<std::uint16_t> window(SMALL_FRAME_SAMPLES);
  int peak = 0;
  ASSERT_EQ(take_window_frame(r.link, r.clock, r.state, 300, ExposureRange::Thousandths,
                              {16, false}, window.data(), &peak),
            LinkResult::Ok);
  const std::vector<Bytes> expected = {
      {0, 2, 2, 0, 0, 0, 0, 0, 0},        {0, 2, 1, 0, 0, 0, 0, 0, 0},
      {0, 2, 2, 0, 0, 0, 0, 0, 0},        {0, 2, 3, 0, 0, 0, 0, 0, 0},
      {0, 4, 44, 1, 0, 0, 0, 0, 2},       {0, 2, 2, 0, 0, 0, 0, 0, 0},
      {0, 2, 1, 0, 0, 0, 0, 0, 0},        {0, 2, 3, 0, 0, 0, 0, 0, 0},
      {0, 4, 44, 1, 89, 146, 112, 138, 1}};
  EXPECT_EQ(r.usb.reports, expected);
}

TEST(Readout, WindowWaitRepeatsTimingCommandOnlyAbove600) {
  for (int ms : {600, 601}) {
    Rig r;
    r.usb.data.assign(WINDOW_READ_BYTES, 0);
    std::vector<std::uint16_t> window(SMALL_FRAME_SAMPLES);
    ASSERT_EQ(take_window_frame(r.link, r.clock, r.state, ms, ExposureRange::Thousandths, {},
                                window.data()),
              LinkResult::Ok);
    const auto codes = r.usb.timing_codes();
    const long twos = std::count(codes.begin(), codes.end(), 2);
    if (ms == 600) {
      EXPECT_EQ(codes, (std::vector<int>{2, 1, 3, 0}));
    } else {
      EXPECT_GT(twos, 500);  // once per pass of the wait, one millisecond a pass
      EXPECT_EQ(codes.front(), 2);
      EXPECT_EQ(codes[1], 1);
      EXPECT_EQ(codes[codes.size() - 2], 3);
    }
    // The clock reached the end of the exposure before the read.
    EXPECT_GE(r.clock.now_ms(), static_cast<std::uint32_t>(ms));
  }
}

// A camera that stops answering ends a long window exposure at the first
// command it does not take: one report tried, one message shown, nothing
// read, the window untouched.
TEST(Readout, WindowFrameEndsAtTheFirstCommandTheCameraRefuses) {
  Rig r;
  r.usb.data.assign(WINDOW_READ_BYTES, 0);
  r.usb.write_error = 19;  // unplugged
  std::vector<std::uint16_t> window(SMALL_FRAME_SAMPLES, 55);
  int peak = -1;
  EXPECT_EQ(take_window_frame(r.link, r.clock, r.state, 2000, ExposureRange::Thousandths, {},
                              window.data(), &peak),
            LinkResult::Failed);
  EXPECT_EQ(r.usb.reports.size(), 1u);
  EXPECT_EQ(r.messages.shown.size(), 1u);
  EXPECT_EQ(r.usb.reads, 0);
  EXPECT_EQ(window[0], 55);
  EXPECT_EQ(peak, -1);
}

TEST(Readout, GuideFrameTiming) {
  Rig r;
  r.usb.data.assign(WINDOW_READ_BYTES, 0);
  r.state.exposure_ms = 4000;
  std::vector<std::uint16_t> window(SMALL_FRAME_SAMPLES);
  ASSERT_EQ(take_guide_frame(r.link, r.clock, r.state, 200, true, {}, window.data()),
            LinkResult::Ok);
  EXPECT_EQ(r.usb.timing_codes(), (std::vector<int>{2, 5, 0}));
  EXPECT_EQ(r.usb.reports.back()[2], 0);  // the read carries the 4000 ms exposure
  r.usb.reports.clear();
  ASSERT_EQ(take_guide_frame(r.link, r.clock, r.state, 200, false, {}, window.data()),
            LinkResult::Ok);
  EXPECT_EQ(r.usb.timing_codes(), (std::vector<int>{2, 4, 0}));
}

TEST(Readout, FocusPeakNeedsTwoBrightRows) {
  std::vector<std::uint16_t> w(SMALL_FRAME_SAMPLES, 0);
  w[60 * 128 + 60] = 60000;  // a lone hot pixel
  EXPECT_EQ(focus_peak(w.data()), 0);
  w[59 * 128 + 60] = 40000;  // a star covers the row above too
  EXPECT_EQ(focus_peak(w.data()), 15000);
  // Outside the searched rows and columns nothing counts.
  std::vector<std::uint16_t> edge(SMALL_FRAME_SAMPLES, 0);
  edge[10 * 128 + 60] = edge[11 * 128 + 60] = 50000;
  edge[60 * 128 + 126] = edge[59 * 128 + 126] = 50000;
  EXPECT_EQ(focus_peak(edge.data()), 0);
}

TEST(Readout, WindowStretchByBitDepth) {
  std::vector<std::uint16_t> w(SMALL_FRAME_SAMPLES, 20000);
  w[1] = 1000;
  stretch_window(w.data(), {14, false});
  EXPECT_EQ(w[0], 65535);
  EXPECT_EQ(w[1], 4000);
  std::vector<std::uint16_t> same(SMALL_FRAME_SAMPLES, 20000);
  stretch_window(same.data(), {16, false});
  stretch_window(same.data(), {12, true});
  EXPECT_EQ(same[0], 20000);
}

TEST(Readout, FillOddRows) {
  auto f = filled_frame(5);
  for (int y = 0; y < FRAME_HEIGHT; y += 2) {
    const std::uint16_t v = (y / 2) % 2 == 0 ? 100 : 301;
    std::fill_n(f->data() + y * FRAME_WIDTH, FRAME_WIDTH, v);
  }
  fill_odd_rows(*f);
  EXPECT_EQ(at(*f, 0, 1), 200);
  EXPECT_EQ(at(*f, 751, 3), 200);  // (301 + 100) div 2
  EXPECT_EQ(at(*f, 3, 579), 5);
}

TEST(Readout, CombineFields) {
  auto f = filled_frame(0);
  auto other = filled_frame(0);
  auto work = filled_frame(0);
  for (int y = 0; y < FRAME_HEIGHT; ++y)
    std::fill_n(f->data() + y * FRAME_WIDTH, FRAME_WIDTH, static_cast<std::uint16_t>(y));
  std::fill_n(f->data() + 10 * FRAME_WIDTH, FRAME_WIDTH, 40000);
  std::fill_n(f->data() + 11 * FRAME_WIDTH, FRAME_WIDTH, 40000);
  auto progressive = std::make_unique<Frame>(*f);
  combine_fields(*progressive, *other, *work, 1);
  EXPECT_EQ(at(*progressive, 0, 0), 1);
  EXPECT_EQ(at(*progressive, 7, 10), 65535);  // saturated sum
  EXPECT_EQ(at(*progressive, 7, 100), 201);
  EXPECT_EQ(at(*progressive, 7, 579), at(*progressive, 7, 578));

  for (int y = 0; y < FRAME_HEIGHT; ++y)
    std::fill_n(other->data() + y * FRAME_WIDTH, FRAME_WIDTH, static_cast<std::uint16_t>(100 * y));
  combine_fields(*f, *other, *work, 0);
  EXPECT_EQ(at(*f, 0, 100), 101 + 100 * 100);  // frame[101] + other[100]
  EXPECT_EQ(at(*f, 0, 101), 101 + 102 * 100);  // frame[101] + other[102]
  EXPECT_EQ(at(*f, 0, 579), at(*f, 0, 578));
}

TEST(Readout, MatchFieldsLiftsDimSecondField) {
  auto f = filled_frame(0);
  // Black row, then first-field rows at 20000 and a second field 10% dimmer
  // (with a brightness spread so the fit has several bins).
  for (int y = 1; y < FRAME_HEIGHT; ++y)
    for (int x = 0; x < FRAME_WIDTH; ++x) {
      const int level = 8000 + 40 * x;
      (*f)[y * FRAME_WIDTH + x] =
          static_cast<std::uint16_t>(y % 2 == 0 ? level : static_cast<int>(level * 0.9));
    }
  auto before = std::make_unique<Frame>(*f);
  match_fields(*f);
  const int x = 300, level = 8000 + 40 * x;
  EXPECT_NEAR(at(*f, x, 101), level, level * 0.01);
  EXPECT_EQ(at(*f, x, 1), at(*before, x, 1));      // never corrected
  EXPECT_EQ(at(*f, x, 577), at(*before, x, 577));  // never corrected
  EXPECT_EQ(at(*f, 0, 101), at(*before, 0, 101));
  EXPECT_EQ(at(*f, x, 100), at(*before, x, 100));  // first field kept

  // Without usable pairs the frame stays as it was.
  auto dark = filled_frame(1500);
  auto copy = std::make_unique<Frame>(*dark);
  match_fields(*dark);
  EXPECT_TRUE(std::equal(dark->begin(), dark->begin() + FRAME_SAMPLES, copy->begin()));
}

}  // namespace
}  // namespace tarvex
