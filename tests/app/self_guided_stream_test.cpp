// One self-guided exposure on the simulators, recorded as the camera and the
// mount receive it: the camera's timing commands and read requests and the
// bytes sent to the mount, in order and with their clock times. The stream
// is checked against the order of steps an interlaced self-guided exposure
// with a half-time download must follow, written out by hand below, and
// against the timings those steps imply.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "app/capture/camera_dialog_model.h"
#include "app/capture/sequencer.h"
#include "app/guiding/autoguider.h"
#include "camera/usb_commands.h"
#include "guide_rig.h"

namespace tarvex {
namespace {

// One step of the recorded stream. Kinds: '1'..'5' timing commands, 'W' a
// window read request, 'F' a field read request, 'P' bytes to the mount.
// Runs of timing command 2 (the keep-alive of every waiting loop) and
// consecutive mount bytes are each one step.
struct Step {
  char kind;
  std::uint32_t first_at;  // clock time of the first command of the step
  std::uint32_t last_at;
  int count = 1;
  std::array<std::uint8_t, 8> block{};  // the command block (of the last command)
  std::string bytes;                    // what the mount received
};

std::vector<Step> record_of(const SimCamera& camera, const SimMount& mount) {
  struct Event {
    std::uint32_t at;
    bool mount;
    const SimCamera::Command* command;
    const SimMount::Received* received;
  };
  std::vector<Event> events;
  for (const auto& c : camera.commands()) events.push_back({c.at_ms, false, &c, nullptr});
  for (const auto& r : mount.received()) events.push_back({r.at_ms, true, nullptr, &r});
  // The camera reads the clock as a command arrives, which lets the mount
  // take what was written before it at that same tick: on a tie, the mount's
  // bytes came first.
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.at != b.at ? a.at < b.at : a.mount && !b.mount;
  });
  std::vector<Step> steps;
  for (const Event& e : events) {
    char kind = '?';
    if (e.mount) {
      kind = 'P';
    } else if (e.command->bytes[0] == 2 && e.command->bytes[1] >= 1 && e.command->bytes[1] <= 5) {
      kind = static_cast<char>('0' + e.command->bytes[1]);
    } else if (e.command->bytes[0] == 4) {
      kind = e.command->bytes[7] == 1 ? 'W' : e.command->bytes[7] == 2 ? 'F' : '?';
    }
    if (!steps.empty() && steps.back().kind == kind && (kind == '2' || kind == 'P')) {
      Step& s = steps.back();
      s.last_at = e.at;
      ++s.count;
      if (e.mount) s.bytes += e.received->bytes;
      continue;
    }
    Step s{kind, e.at, e.at, 1, {}, {}};
    if (e.mount)
      s.bytes = e.received->bytes;
    else
      s.block = e.command->bytes;
    steps.push_back(s);
  }
  return steps;
}

std::string kinds_of(const std::vector<Step>& steps) {
  std::string k;
  for (const Step& s : steps) k += s.kind;
  return k;
}

// The camera dialog of a test: the user's clicks, then "Take Photo".
class ClickingFront : public CaptureFront {
 public:
  explicit ClickingFront(std::function<void(AcquisitionSettings&)> clicks)
      : clicks_(std::move(clicks)) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& a) override {
    clicks_(a);
    return CameraDialogResult::TakePhoto;
  }

 private:
  std::function<void(AcquisitionSettings&)> clicks_;
};

// The dialog's clicks for an interlaced self-guided exposure with the
// half-time download.
std::function<void(AcquisitionSettings&)> guided_interlaced(ExposureRange range, int value) {
  return [range, value](AcquisitionSettings& a) {
    a.mode = ExposureMode::Interlaced;
    a.range = range;
    a.value = value;
    a.self_guide_next = true;
    a.half_time_download = true;
  };
}

// What a pulse group must look like: an optional right-ascension pulse, then
// an optional declination pulse, each the guide rate, the move and its stop.
std::regex pulse_group(const DirectionBlock& d) {
  const std::string ra =
      std::string("[") + d.letter(Direction::East) + d.letter(Direction::West) + "]";
  const std::string dec =
      std::string("[") + d.letter(Direction::North) + d.letter(Direction::South) + "]";
  return std::regex("(?:#:RG##:M(" + ra + ")##:Q\\1#)?(?:#:RG##:M(" + dec + ")##:Q\\2#)?");
}

TEST(SelfGuidedStream, InterlacedExposureWithHalfTimeDownload) {
  // The mount drifts in right ascension only, so declination pulses come
  // from the reference's half-row step at the switch of the guiding frame.
  SimMountConfig mc = still_mount();
  mc.drift_x = 0.5;
  GuideRig rig(mc);
  Autoguider guider(*rig.app);
  ClickingFront front(guided_interlaced(ExposureRange::Seconds, 20));
  Sequencer sequencer(*rig.app, front, guider);
  rig.camera->set_recording(true);
  rig.mount.set_recording(true);
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done)
      << ::testing::PrintToString(codes(rig.messages));
  const std::vector<Step> steps = record_of(*rig.camera, rig.mount);
  const std::string k = kinds_of(steps);

  // The order, step by step ("2" is a run of keep-alives):
  //   21                 the exposure starts
  //   (2123W){4}         the guiding frame is made: three stabilising window
  //                      frames and one more, each timed by the host and
  //                      ended with 3 before its window read; no pulse
  //   12                 the main exposure starts again
  //   (4WP?2)+           guide frames while the first half integrates: only
  //                      keep-alives, ended by 4, the window read, then at
  //                      most one group of pulses before the next frame
  //   5F1                the half-time download: 5, the field read, 1
  //   25W25WP25WP?       the guiding frame switches: two frames, the
  //                      correction (the half-row step makes one), one more
  //                      frame and its correction; frames now end with 5
  //   (25WP?)+           guide frames while the second half integrates
  //   24F                the end: 2, 4 and the second field's read; no
  //                      second exposure follows a half-time download
  const std::regex order("21(?:2123W){4}12(?:4WP?2)+5F125W25WP25WP?(?:25WP?)+24F");
  ASSERT_TRUE(std::regex_match(k, order)) << k;

  // The read requests: the window reads all at the guiding frame's window,
  // the field reads with no window codes; the long exposure is timed by the
  // host, so no read carries exposure bytes. Timing commands carry only
  // their sub-code.
  const Step* first_window = nullptr;
  for (const Step& s : steps) {
    if (s.kind == 'P') continue;
    if (s.kind == 'W' || s.kind == 'F') {
      EXPECT_EQ(s.block[1], 0);
      EXPECT_EQ(s.block[2], 0);
    }
    if (s.kind == 'W') {
      if (!first_window) first_window = &s;
      for (int b = 3; b <= 6; ++b) EXPECT_EQ(s.block[b], first_window->block[b]) << b;
    } else if (s.kind == 'F') {
      for (int b = 3; b <= 6; ++b) EXPECT_EQ(s.block[b], 0) << b;
    } else {
      for (int b = 2; b <= 7; ++b) EXPECT_EQ(s.block[b], 0) << b;
    }
  }

  // Every pulse group is well formed: right ascension first, then
  // declination, each a guide-rate command, the move and its stop.
  const std::regex group = pulse_group(rig.app->telescope.directions);
  for (const Step& s : steps)
    if (s.kind == 'P') {
      EXPECT_TRUE(std::regex_match(s.bytes, group)) << s.bytes;
    }

  // Timings. Window frames of the guiding frame: 1 s from 1 to 3.
  std::vector<std::size_t> threes, guide_ends, fields;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (steps[i].kind == '3') threes.push_back(i);
    if ((steps[i].kind == '4' || steps[i].kind == '5') && i + 1 < steps.size() &&
        steps[i + 1].kind == 'W')
      guide_ends.push_back(i);
    if (steps[i].kind == 'F') fields.push_back(i);
  }
  ASSERT_EQ(threes.size(), 4u);
  for (std::size_t i : threes) {
    const std::uint32_t exposed = steps[i].first_at - steps[i - 2].first_at;
    EXPECT_GE(exposed, 1000u);
    EXPECT_LE(exposed, 1030u);
  }
  // Guide frames: 1 s from their first keep-alive to the 4 or 5 that ends
  // them.
  for (std::size_t i : guide_ends) {
    // The run of keep-alives before a guide frame starts with the pass's
    // own, a few milliseconds before the frame's.
    const std::uint32_t whole = steps[i].first_at - steps[i - 1].first_at;
    EXPECT_GE(whole, 1000u);
    EXPECT_LE(whole, 1030u);
  }
  // The half-time download comes at the first pass from half time on,
  // counted from the restart of the main exposure.
  ASSERT_EQ(fields.size(), 2u);
  const std::size_t restart = 2 + 4 * 5 + 1;  // after "21", the four window frames, "1"
  ASSERT_EQ(steps[restart - 1].kind, '1');
  const std::uint32_t t0 = steps[restart].first_at;
  const std::uint32_t half_5 = steps[fields[0] - 1].first_at;
  EXPECT_GE(half_5, t0 + 10000) << "not before half time";
  EXPECT_LE(half_5, t0 + 10000 + 1600) << "at the first pass after half time";
  // The second half lasts as long as the first, from the 1 that restarts
  // it, the switch of the guiding frame included: no guide step runs past
  // its end.
  const std::uint32_t restart_1 = steps[fields[0] + 1].first_at;
  ASSERT_EQ(steps[fields[0] + 1].kind, '1');
  const std::uint32_t final_2 = steps[fields[1] - 2].last_at;
  EXPECT_GE(final_2, restart_1 + (half_5 - t0));
  EXPECT_LE(final_2, restart_1 + (half_5 - t0) + 50);

  // The correction after the first two frames of the switch moves the mount
  // in declination: the reference moved half a field row.
  const Step& after_switch = steps[fields[0] + 8];
  ASSERT_EQ(after_switch.kind, 'P');
  std::smatch m;
  ASSERT_TRUE(std::regex_match(after_switch.bytes, m, group));
  EXPECT_TRUE(m[2].matched) << after_switch.bytes;
  // Right ascension drifts: it is corrected during the exposure.
  int ra_pulses = 0;
  for (const Step& s : steps)
    if (s.kind == 'P' && std::regex_match(s.bytes, m, group) && m[1].matched) ++ra_pulses;
  EXPECT_GE(ra_pulses, 3);

  // The count of guide frames (one per pass, the switch's three not
  // counted) is what a matching dark frame repeats.
  const int steps_guided = static_cast<int>(guide_ends.size()) - 3;
  EXPECT_EQ(rig.app->acquisition.last_guided_frames, steps_guided);
  EXPECT_GE(steps_guided, 8);
  EXPECT_LE(steps_guided, 22);
  EXPECT_FALSE(rig.app->acquisition.self_guide_next);
  EXPECT_FALSE(rig.app->acquisition.half_time_download);
}

// The guide frames of the guide steps in a recorded stream: window reads
// ended by 4 or 5, less the three of the switch of the guiding frame.
int guide_step_frames(const std::vector<Step>& steps) {
  int frames = 0;
  for (std::size_t i = 0; i + 1 < steps.size(); ++i)
    if ((steps[i].kind == '4' || steps[i].kind == '5') && steps[i + 1].kind == 'W') ++frames;
  return frames - 3;
}

TEST(SelfGuidedControls, DialogArmsAGuidedExposureThenItsMatchingDark) {
  GuideRig rig(still_mount());
  Autoguider guider(*rig.app);
  // The dialog's model with the probe the window's dialog uses.
  CameraDialogModel dialog(*rig.app);
  std::function<void()> clicks;
  ClickingFront front([&](AcquisitionSettings&) { clicks(); });
  Sequencer sequencer(*rig.app, front, guider);

  // Progressive, 11 seconds, "Self-Guide Next Exposure", then the main
  // exposure up to 50 seconds with the arrow, as the user does: two guide
  // steps fit in the first half.
  clicks = [&] {
    dialog.choose_mode(ExposureMode::Progressive);
    dialog.choose_range(ExposureRange::Seconds);
    for (int i = 1; i < 11; ++i) dialog.exposure_arrow(+1);
    dialog.toggle_self_guide();
    ASSERT_TRUE(dialog.self_guide_armed());
    EXPECT_EQ(dialog.guide_value_text(), "11");
    EXPECT_EQ(dialog.guide_range_text(), "seconds");
    EXPECT_EQ(dialog.settings().mode, ExposureMode::Interlaced);
    for (int i = 11; i < 50; ++i) dialog.exposure_arrow(+1);
    EXPECT_EQ(dialog.settings().value, 50);
  };
  rig.camera->set_recording(true);
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done)
      << ::testing::PrintToString(codes(rig.messages));
  EXPECT_TRUE(rig.app->telescope.port_open) << "the first self-guiding click probed the link";
  const int guided = guide_step_frames(record_of(*rig.camera, rig.mount));
  ASSERT_GE(guided, 2);
  EXPECT_EQ(rig.app->acquisition.last_guided_frames, guided);
  EXPECT_FALSE(dialog.self_guide_armed()) << "one guided exposure per arming";

  // "Take matching Darkframe": the guide-frame count of that exposure, the
  // exposure repeated with as many guide frames, and nothing for the mount.
  rig.camera->clear_commands();
  rig.mount.set_recording(true);
  clicks = [&] {
    dialog.toggle_matching_dark();
    EXPECT_TRUE(dialog.settings().take_matching_dark);
    EXPECT_EQ(dialog.settings().guide_frames, guided);  // "No of Guiding Frames"
    EXPECT_TRUE(dialog.self_guide_armed());
    EXPECT_TRUE(dialog.settings().half_time_download);
  };
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done)
      << ::testing::PrintToString(codes(rig.messages));
  EXPECT_TRUE(rig.mount.received().empty()) << rig.mount.received_text();
  const std::vector<Step> dark = record_of(*rig.camera, rig.mount);
  // No guiding frame is made (no window frame ended by 3); the guide steps
  // of each half stop at half the count; the switch of the guiding frame
  // takes its three frames.
  const std::string half = std::to_string(guided / 2);
  const std::regex order("2112(?:4W2){" + half + "}5F125W25W25W(?:25W){" + half + "}24F");
  EXPECT_TRUE(std::regex_match(kinds_of(dark), order)) << kinds_of(dark);
  EXPECT_EQ(rig.app->acquisition.last_guided_frames, guided) << "a dark is no guided exposure";
  EXPECT_FALSE(rig.app->acquisition.take_matching_dark);
  EXPECT_FALSE(rig.app->acquisition.self_guide_next);
  EXPECT_TRUE(rig.messages.shown.empty()) << ::testing::PrintToString(codes(rig.messages));
}

TEST(SelfGuidedControls, MatchingDarkNeedsTheControlBox) {
  GuideRig rig(still_mount());
  // No serial device answers, and the settings file says no control box
  // answered before.
  TermiosSerialPort nowhere(rig.clock, [&](int) { return rig.dir.path() / "no-such-port"; });
  rig.app->telescope.port = &nowhere;
  rig.app->settings.controlbox_present = false;
  ASSERT_EQ(save_settings(rig.app->paths.settings_file(), rig.app->settings, rig.app->fits),
            FileSave::Ok);
  CameraDialogModel dialog(*rig.app);
  dialog.toggle_matching_dark();
  dialog.toggle_matching_dark();
  // The probe runs once: its own report (the link could not be opened),
  // then message 52 at each click; nothing is armed.
  const std::vector<unsigned> c = codes(rig.messages);
  EXPECT_EQ(std::count(c.begin(), c.end(), 36u), 1);
  ASSERT_GE(c.size(), 2u);
  EXPECT_EQ(std::vector<unsigned>(c.end() - 2, c.end()), (std::vector<unsigned>{52, 52}));
  EXPECT_EQ(std::count(c.begin(), c.end(), 52u), 2);
  EXPECT_FALSE(dialog.settings().take_matching_dark);
  EXPECT_FALSE(dialog.self_guide_armed());
}

TEST(SelfGuidedStream, GuidedExposureEndingBeforeHalfTimeReadsBothFields) {
  // Half a second: the camera times nothing of it in the wait, no guide
  // frame is taken and the half-time download never happens, so the
  // exposure is read as an unguided interlaced one after its guiding frame
  // was made: 3 and the first field, then the second exposure and its
  // field. A merge with a first field never read would be a corrupt image.
  GuideRig rig(still_mount());
  Autoguider guider(*rig.app);
  ClickingFront front(guided_interlaced(ExposureRange::Tenths, 5));
  Sequencer sequencer(*rig.app, front, guider);
  rig.camera->set_recording(true);
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done)
      << ::testing::PrintToString(codes(rig.messages));
  const std::string k = kinds_of(record_of(*rig.camera, rig.mount));
  EXPECT_TRUE(std::regex_match(k, std::regex("21(?:2123W){4}123F1254F"))) << k;
}

TEST(SelfGuidedControls, UnguidedExposureKeepsThePickedStar) {
  // The guide star's position is put back after a guided exposure; an
  // exposure that was not guided has nothing to put back.
  GuideRig rig(still_mount());
  Autoguider guider(*rig.app);
  ClickingFront front([](AcquisitionSettings& a) {
    a.range = ExposureRange::Seconds;
    a.value = 2;
  });
  Sequencer sequencer(*rig.app, front, guider);
  const StarPosition picked = rig.app->star.position;
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done);
  EXPECT_EQ(rig.app->star.position.x, picked.x);
  EXPECT_EQ(rig.app->star.position.y, picked.y);
}

// Moves the sky far once the clock reaches `at`: the guide star leaves its
// search box (never while `at` is 0). Notes the beeps so far.
struct SkyJump : ClockListener {
  SkyRenderer* sky = nullptr;
  VirtualClock* clock = nullptr;
  std::uint32_t at = 0;
  int beeps_before = -1;
  void on_clock(std::uint32_t now) override {
    if (beeps_before >= 0 || at == 0 || now < at) return;
    beeps_before = clock->beeps;
    sky->shift_pointing(40, 0);
  }
};

TEST(SelfGuidedStream, StarLostAtTheGuidingFrameSwitchEndsGuidingThere) {
  SkyConfig sky;
  sky.read_noise = 0;
  sky.shot_noise = false;
  sky.hot_pixels = 0;
  GuideRig rig(still_mount(), sky);
  Autoguider guider(*rig.app);
  ClickingFront front(guided_interlaced(ExposureRange::Seconds, 20));
  Sequencer sequencer(*rig.app, front, guider);
  rig.camera->set_recording(true);
  rig.mount.set_recording(true);
  // The star goes while the first field is read at half time.
  SkyJump jump;
  jump.sky = &rig.camera->sky();
  jump.clock = &rig.base;
  rig.clock.add_listener(jump);
  struct FieldWatch : ClockListener {
    SimCamera* camera;
    SkyJump* jump;
    void on_clock(std::uint32_t now) override {
      const auto& c = camera->commands();
      if (jump->at == 0 && !c.empty() && c.back().bytes[0] == 4 && c.back().bytes[7] == 2)
        jump->at = now;
    }
  } watch;
  watch.camera = rig.camera.get();
  watch.jump = &jump;
  rig.clock.add_listener(watch);
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Failed);
  rig.clock.remove_listener(watch);
  rig.clock.remove_listener(jump);
  ASSERT_GE(jump.beeps_before, 0);
  // The two frames of the switch find no star: one set of 29 beeps, no
  // pulse, no further frame, no read of the exposure; message 57.
  const std::vector<Step> steps = record_of(*rig.camera, rig.mount);
  const std::string k = kinds_of(steps);
  EXPECT_TRUE(std::regex_match(k, std::regex("21(?:2123W){4}12(?:4WP?2)+5F125W25W"))) << k;
  for (const auto& r : rig.mount.received()) EXPECT_LT(r.at_ms, jump.at) << r.bytes;
  EXPECT_EQ(rig.base.beeps - jump.beeps_before, 29);
  EXPECT_EQ(codes(rig.messages), std::vector<unsigned>{57});
}

TEST(SelfGuidedControls, CorrectionWithoutAGuidingFrameFindsNoStar) {
  // After a lost star has given up the guiding frame, the guide window
  // buffer is no whole frame to search: the correction finds nothing and
  // sends nothing.
  GuideRig rig(still_mount());
  Autoguider guider(*rig.app);
  rig.app->star.guiding_frame = false;
  rig.app->star.guiding_active = false;
  rig.mount.set_recording(true);
  EXPECT_EQ(guider.correct(), CorrectionOutcome::StarLost);
  EXPECT_TRUE(rig.mount.received().empty());
}

TEST(SelfGuidedStream, NoStarInTheGuidingFrameEndsTheRunWithItsReason) {
  SkyConfig sky;
  sky.read_noise = 0;
  sky.shot_noise = false;
  sky.hot_pixels = 0;
  GuideRig rig(still_mount(), sky);
  rig.camera->shift_pointing(40, 0);  // the picked star is no longer there
  Autoguider guider(*rig.app);
  ClickingFront front(guided_interlaced(ExposureRange::Seconds, 20));
  Sequencer sequencer(*rig.app, front, guider);
  rig.camera->set_recording(true);
  rig.mount.set_recording(true);
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Failed);
  // The three stabilising frames, then the search fails: nothing more is
  // asked of the camera or the mount, and the astronomer is told.
  const std::string k = kinds_of(record_of(*rig.camera, rig.mount));
  EXPECT_TRUE(std::regex_match(k, std::regex("21(?:2123W){3}"))) << k;
  EXPECT_EQ(codes(rig.messages), std::vector<unsigned>{57});
  EXPECT_FALSE(rig.app->acquisition.self_guide_next);
  EXPECT_FALSE(rig.app->star.guiding_frame);
}

// The median of a frame away from its edges.
double frame_median(const Frame& f) {
  std::vector<std::uint16_t> v;
  v.reserve(540 * 710);
  for (int y = 20; y < 560; ++y)
    for (int x = 20; x < 730; ++x) v.push_back(f[y * FRAME_WIDTH + x]);
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

TEST(SelfGuidedStream, MainReadsCarryTheMainExposureWhateverTheGuideFrames) {
  // 0.2 s guide frames are timed by the camera from their read requests;
  // the 20 s exposure's field read must still ask for 20 s.
  auto sky_level = [](bool guided) {
    GuideRig rig(still_mount());
    rig.app->acquisition.guide_range = ExposureRange::Tenths;
    rig.app->acquisition.guide_value = 2;
    Autoguider guider(*rig.app);
    ClickingFront front([guided](AcquisitionSettings& a) {
      a.range = ExposureRange::Seconds;
      a.value = 20;
      a.self_guide_next = guided;
    });
    Sequencer sequencer(*rig.app, front, guider);
    rig.camera->set_recording(true);
    EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Done)
        << ::testing::PrintToString(codes(rig.messages));
    CommandBlock main_read{};
    set_field_request(main_read, 20000);
    main_read[0] = 4;  // the read command
    int field_reads = 0;
    for (const Step& s : record_of(*rig.camera, rig.mount)) {
      if (s.kind != 'F') continue;
      ++field_reads;
      EXPECT_EQ(s.block, main_read) << "guided " << guided;
    }
    EXPECT_EQ(field_reads, 1);
    return frame_median(rig.app->store().CurrentFrame);
  };
  const double unguided = sky_level(false);
  const double guided = sky_level(true);
  EXPECT_NEAR(guided, unguided, 0.05 * unguided);
}

TEST(SelfGuidedStream, StopDuringAGuidedExposureSaysSo) {
  GuideRig rig(still_mount());
  Autoguider guider(*rig.app);
  ClickingFront front(guided_interlaced(ExposureRange::Seconds, 20));
  Sequencer sequencer(*rig.app, front, guider);
  // A key pressed while the guided wait runs.
  struct Press : ClockListener {
    NullPump* pump = nullptr;
    std::uint32_t at = 0;
    void on_clock(std::uint32_t now) override {
      if (at != 0 && now >= at) {
        pump->press(Input::Key);
        at = 0;
      }
    }
  } press;
  press.pump = &rig.pump;
  press.at = rig.base.now_ms() + 12000;
  rig.clock.add_listener(press);
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Stopped);
  rig.clock.remove_listener(press);
  EXPECT_EQ(press.at, 0u) << "the press came during the exposure";
  EXPECT_EQ(codes(rig.messages), std::vector<unsigned>{57});
  EXPECT_FALSE(rig.app->acquisition.self_guide_next);
}

TEST(SelfGuidedColour, GuidedColourMatchesUnguidedInEveryMode) {
  // A 10 s colour exposure of one still sky through the colour mosaic, in
  // each readout mode: guided, without the half-time download (as every
  // exposure of a run after the first) and with it (as the first one of a
  // run), its colour planes are those of the unguided one. A progressive
  // exposure merged from its half-time download holds each photosite's
  // light once, as a field-mode frame does, where the unguided progressive
  // frame sums two whole exposures: there the colour, the planes' ratios,
  // must match, and the brightness is half.
  struct Planes {
    double red, green, blue;
  };
  auto colour = [](ExposureMode mode, bool guided, bool half_time) {
    GuideRig rig(still_mount(), {}, true);
    // The field read time as a run has measured it after its first read, so
    // that the unguided progressive fields are exposed alike.
    rig.app->camera.readout.field_read_time = SimCamera::FIELD_READ_MS;
    Autoguider guider(*rig.app);
    ClickingFront front([=](AcquisitionSettings& a) {
      a.mode = mode;
      a.range = ExposureRange::Seconds;
      a.value = 10;
      a.auto_colour = true;
      a.self_guide_next = guided;
      a.half_time_download = half_time;
    });
    Sequencer sequencer(*rig.app, front, guider);
    EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Done)
        << ::testing::PrintToString(codes(rig.messages));
    const FrameStore& fs = rig.app->store();
    EXPECT_TRUE(fs.IsColour);
    return Planes{frame_median(fs.RedPlane), frame_median(fs.GreenPlane),
                  frame_median(fs.BluePlane)};
  };
  for (ExposureMode mode :
       {ExposureMode::Fast, ExposureMode::Progressive, ExposureMode::Interlaced}) {
    const Planes unguided = colour(mode, false, false);
    for (bool half_time : {false, true}) {
      const Planes guided = colour(mode, true, half_time);
      const std::string what = "mode " + std::to_string(static_cast<int>(mode)) +
                               (half_time ? " with" : " without") + " the half-time download";
      if (half_time && mode == ExposureMode::Progressive) {
        const double green = guided.green / unguided.green;
        EXPECT_NEAR(green, 0.5, 0.05 * 0.5) << what;
        EXPECT_NEAR(guided.red / guided.green / (unguided.red / unguided.green), 1.0, 0.05) << what;
        EXPECT_NEAR(guided.blue / guided.green / (unguided.blue / unguided.green), 1.0, 0.05)
            << what;
        continue;
      }
      EXPECT_NEAR(guided.red, unguided.red, 0.05 * unguided.red) << what;
      EXPECT_NEAR(guided.green, unguided.green, 0.05 * unguided.green) << what;
      EXPECT_NEAR(guided.blue, unguided.blue, 0.05 * unguided.blue) << what;
    }
  }
}

}  // namespace
}  // namespace tarvex
