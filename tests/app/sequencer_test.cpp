// The exposure sequencer on the simulated camera and a virtual clock: the
// command streams of every mode, the waits, stops, pauses, automatic saving,
// dark removal, registration and the state every run leaves behind.
#include "app/capture/sequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/fits_commands.h"
#include "camera/readout.h"
#include "files/fits.h"
#include "files/raw_file.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "test_support.h"

namespace tarvex {
namespace {

using Payload = std::vector<std::uint8_t>;

Payload timing(int n) {
  return {2, static_cast<std::uint8_t>(n), 0, 0, 0, 0, 0, 0};
}
Payload field_read(int lo, int hi) {
  return {4, static_cast<std::uint8_t>(lo), static_cast<std::uint8_t>(hi), 0, 0, 0, 0, 2};
}
bool is_read(const Payload& p) {
  return !p.empty() && p[0] == 4;
}

// Forwards every report and read to the simulated camera and keeps the
// payloads with the clock time they were sent at; a chosen read can fail.
class RecordingUsb : public UsbTransport {
 public:
  RecordingUsb(UsbTransport& inner, Clock& clock) : inner_(inner), clock_(clock) {}
  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass cls) override {
    return inner_.list_interfaces(cls);
  }
  int open_interface(UsbClass cls, const UsbInterface& which) override {
    return inner_.open_interface(cls, which);
  }
  int write_report(std::span<const std::uint8_t> report) override {
    payloads.emplace_back(report.begin() + 1, report.end());
    times.push_back(clock_.now_ms());
    return inner_.write_report(report);
  }
  UsbRead bulk_read(std::span<std::uint8_t> destination) override {
    ++reads;
    if (reads == fail_read) return {fail_error, 0};
    return inner_.bulk_read(destination);
  }
  void clear() {
    payloads.clear();
    times.clear();
  }
  // The payloads with every run of repeated timing-2 commands made one: how
  // many a wait sends depends only on how often its loop polls.
  std::vector<Payload> collapsed() const {
    std::vector<Payload> out;
    for (const Payload& p : payloads)
      if (!(p == timing(2) && !out.empty() && out.back() == timing(2))) out.push_back(p);
    return out;
  }
  int reads_requested() const {
    return static_cast<int>(std::count_if(payloads.begin(), payloads.end(), is_read));
  }
  std::vector<Payload> payloads;
  std::vector<std::uint32_t> times;
  int reads = 0;
  int fail_read = 0;  // the number of the read that fails (1 = the first), 0 for none
  int fail_error = EIO;

 private:
  UsbTransport& inner_;
  Clock& clock_;
};

// The progress window as a log of stage texts and positions, with times.
class StageLog : public Progress {
 public:
  explicit StageLog(Clock& clock) : clock_(clock) {}
  struct Event {
    std::string caption;  // empty for a position
    int position;
    std::uint32_t at;
  };
  void open(const std::string& caption) override {
    events.push_back({caption, -1, clock_.now_ms()});
  }
  void set_position(int p) override { events.push_back({"", p, clock_.now_ms()}); }
  void close() override {}
  void busy_cursor(bool on) override { busy_depth += on ? 1 : -1; }
  // Positions set after the first stage text that starts with `from`, until
  // the next stage text.
  std::vector<int> positions_in(const std::string& from, int nth = 0) const {
    std::vector<int> out;
    bool in = false;
    for (const Event& e : events) {
      if (!e.caption.empty()) {
        if (in) break;
        if (e.caption.rfind(from, 0) == 0 && nth-- == 0) in = true;
      } else if (in) {
        out.push_back(e.position);
      }
    }
    return out;
  }
  std::vector<std::string> captions() const {
    std::vector<std::string> c;
    for (const Event& e : events)
      if (!e.caption.empty()) c.push_back(e.caption);
    return c;
  }
  const Event* caption_at(const std::string& text, int nth = 0) const {
    for (const Event& e : events)
      if (e.caption == text && nth-- == 0) return &e;
    return nullptr;
  }
  std::vector<Event> events;
  int busy_depth = 0;

 private:
  Clock& clock_;
};

// The camera dialog and the "Saving Image" window of a test: the dialog sets
// what the test asks and presses "Take Photo".
class TestFront : public CaptureFront {
 public:
  TestFront(Tarvex*& app, RecordingUsb& usb) : app_(app), usb_(usb) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& settings) override {
    ++dialogs;
    EXPECT_EQ(settings.count, 1) << "the dialog opens with one exposure";
    usb_.clear();
    if (set) set(settings);
    return cancel ? CameraDialogResult::Cancel : CameraDialogResult::TakePhoto;
  }
  void saving_image(const std::filesystem::path& file) override { shown.push_back(file); }
  void autosaved(const std::filesystem::path& file) override {
    written.push_back(file);
    snapshots.push_back(std::make_unique<Frame>(app_->store().CurrentFrame));
  }
  std::function<void(AcquisitionSettings&)> set;
  bool cancel = false;
  int dialogs = 0;
  std::vector<std::filesystem::path> shown, written;
  std::vector<std::unique_ptr<Frame>> snapshots;

 private:
  Tarvex*& app_;
  RecordingUsb& usb_;
};

SkyConfig quiet_sky() {
  SkyConfig c;
  c.read_noise = 0;
  c.shot_noise = false;
  c.extended_objects = false;  // stars only: registration finds one
  return c;
}

// A camera on a virtual clock behind a recording port, a context over it and
// a sequencer with a scripted dialog.
// Forwards everything to the camera but makes every read a plain one.
class PlainReads : public UsbTransport {
 public:
  explicit PlainReads(UsbTransport& inner) : inner_(inner) {}
  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass cls) override {
    return inner_.list_interfaces(cls);
  }
  int open_interface(UsbClass cls, const UsbInterface& which) override {
    return inner_.open_interface(cls, which);
  }
  int write_report(std::span<const std::uint8_t> report) override {
    return inner_.write_report(report);
  }
  UsbRead bulk_read(std::span<std::uint8_t> destination) override {
    return inner_.bulk_read(destination);
  }

 private:
  UsbTransport& inner_;
};

// The port the context talks to: the recording one (plain reads), the
// camera itself (reads that wait in steps), or the camera with plain reads.
enum class RigPort { Recording, Camera, PlainCamera };

struct Rig {
  explicit Rig(const SkyConfig& sky = SkyConfig{}, RigPort which = RigPort::Recording)
      : camera(clock, sky) {
    clock.set_wall_time(1710000000);  // 2024-03-09 16:00:00 UT
    UsbTransport& port = which == RigPort::Camera        ? static_cast<UsbTransport&>(camera)
                         : which == RigPort::PlainCamera ? static_cast<UsbTransport&>(plain_reads)
                                                         : usb;
    app_owner =
        std::make_unique<Tarvex>(Paths(dir.path() / "data"),
                                 Ports{messages, clock, pump, progress, launcher, display, port});
    app = app_owner.get();
    sequencer = std::make_unique<Sequencer>(*app, front);
  }
  CaptureOutcome take(std::function<void(AcquisitionSettings&)> set) {
    front.set = std::move(set);
    return sequencer->take_photo();
  }
  FrameStore& fs() { return app->store(); }
  std::vector<unsigned> codes() const { return messages.codes(); }

  testing::TempDir dir;
  VirtualClock clock;
  ScriptedPump pump{clock};
  RecordingMessages messages;
  StageLog progress{clock};
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SimCamera camera;
  RecordingUsb usb{camera, clock};
  PlainReads plain_reads{camera};
  Tarvex* app = nullptr;
  TestFront front{app, usb};
  std::unique_ptr<Tarvex> app_owner;
  std::unique_ptr<Sequencer> sequencer;
};

std::function<void(AcquisitionSettings&)> exposure(ExposureMode mode, ExposureRange range,
                                                   int value, int count = 1) {
  return [=](AcquisitionSettings& a) {
    a.mode = mode;
    a.range = range;
    a.value = value;
    a.count = count;
  };
}

// Writes a KR File dark frame of one level; 'B' in the tag marks it binned.
void write_dark(const std::filesystem::path& path, std::uint16_t level, bool binned) {
  std::vector<std::uint8_t> bytes;
  testing::append_text(bytes, binned ? "B" : "N");
  bytes.resize(RAW_TAG_SIZE, ' ');
  for (int i = 0; i < FRAME_SAMPLES; ++i) testing::append_u16le(bytes, level);
  std::filesystem::create_directories(path.parent_path());
  testing::write_bytes(path, bytes);
}

// ---------------------------------------------------------------------------

TEST(Sequencer, CommandStreamOfEachModeAndRange) {
  const Payload T1 = timing(1), T2 = timing(2), T3 = timing(3), T4 = timing(4), T5 = timing(5);
  struct Case {
    ExposureMode mode;
    ExposureRange range;
    int value;
    std::vector<Payload> expected;
  };
  const std::vector<Case> cases = {
      // The camera times short exposures from the read request's bytes 1..2.
      {ExposureMode::Fast, ExposureRange::Thousandths, 499, {T2, T1, T2, T3, field_read(243, 1)}},
      {ExposureMode::Fast, ExposureRange::Thousandths, 150, {T2, T1, T3, field_read(150, 0)}},
      {ExposureMode::Fast, ExposureRange::Hundredths, 30, {T2, T1, T2, T3, field_read(44, 1)}},
      {ExposureMode::Fast, ExposureRange::Tenths, 7, {T2, T1, T2, T3, field_read(0, 0)}},
      {ExposureMode::Fast, ExposureRange::Seconds, 1, {T2, T1, T2, T3, field_read(0, 0)}},
      {ExposureMode::Fast, ExposureRange::Seconds, 5, {T2, T1, T2, T3, field_read(0, 0)}},
      {ExposureMode::Fast, ExposureRange::Minutes, 1, {T2, T1, T2, T3, field_read(0, 0)}},
      // The second field of a progressive exposure restarts once the first
      // field's read time has passed.
      {ExposureMode::Progressive,
       ExposureRange::Seconds,
       5,
       {T2, T1, T2, T4, T2, T5, field_read(0, 0), T4, field_read(0, 0)}},
      {ExposureMode::Interlaced,
       ExposureRange::Tenths,
       6,
       {T2, T1, T2, T3, field_read(0, 0), T1, T2, T5, T4, field_read(0, 0)}},
      {ExposureMode::Interlaced,
       ExposureRange::Seconds,
       2,
       {T2, T1, T2, T3, field_read(0, 0), T1, T2, T5, T4, field_read(0, 0)}},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.app->camera.readout.field_read_time = 3500;
    EXPECT_EQ(rig.take(exposure(c.mode, c.range, c.value)), CaptureOutcome::Done);
    EXPECT_EQ(rig.usb.collapsed(), c.expected) << exposure_range_to_letter(c.range) << c.value;
    EXPECT_TRUE(rig.codes().empty());
  }
}

TEST(Sequencer, DiscoveryOnceThenTheDialog) {
  Rig rig;
  rig.camera.block_interface_present = false;
  EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Thousandths, 10)),
            CaptureOutcome::NoCamera);
  EXPECT_EQ(rig.front.dialogs, 0);
  ASSERT_FALSE(rig.messages.shown.empty());
  EXPECT_EQ(rig.messages.shown.back().text, "Sorry, No camera found on USB");
  EXPECT_TRUE(rig.usb.payloads.empty()) << "nothing is sent to a camera that is not there";

  // The camera is back: the next Take Photo finds it, ends whatever it was
  // doing with timing command 3, and opens the dialog.
  rig.camera.block_interface_present = true;
  rig.front.set = [&](AcquisitionSettings&) {};
  rig.usb.clear();
  rig.front.cancel = true;
  const std::vector<Payload> before_dialog = [&] {
    rig.sequencer->take_photo();
    return rig.usb.payloads;
  }();
  EXPECT_TRUE(rig.app->camera.camera_present());
  EXPECT_EQ(rig.front.dialogs, 1);
  // Cancel: nothing taken.
  EXPECT_TRUE(before_dialog.empty());
}

TEST(Sequencer, ShortExposuresAreTimedByTheCameraOrByABusyWait) {
  // E = 499 in "q": no wait on the host. 600 ms: a busy wait with no
  // repeated command; from 601 ms timing command 2 on every pass.
  Rig rig;
  rig.take(exposure(ExposureMode::Fast, ExposureRange::Thousandths, 499));
  auto time_of = [&](const Payload& p, int nth = 0) {
    for (std::size_t i = 0; i < rig.usb.payloads.size(); ++i)
      if (rig.usb.payloads[i] == p && nth-- == 0) return rig.usb.times[i];
    return 0u;
  };
  EXPECT_LT(time_of(timing(3)) - time_of(timing(1)), 50u);

  rig.take([](AcquisitionSettings& a) { a.range = ExposureRange::Thousandths, a.value = 600; });
  EXPECT_GE(time_of(timing(3)) - time_of(timing(1)), 600u);
  EXPECT_EQ(std::count(rig.usb.payloads.begin(), rig.usb.payloads.end(), timing(2)), 2);

  rig.take([](AcquisitionSettings& a) { a.range = ExposureRange::Thousandths, a.value = 601; });
  EXPECT_GT(std::count(rig.usb.payloads.begin(), rig.usb.payloads.end(), timing(2)), 100);
}

TEST(Sequencer, ProgressiveBelowTheFieldReadTimeBecomesInterlaced) {
  Rig rig;
  // The first long exposure measures the read time (the simulated camera
  // takes about 3.5 s per field).
  rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1));
  const std::uint32_t frt = rig.app->camera.field_read_time();
  EXPECT_GE(frt, 3500u);
  EXPECT_LT(frt, 3600u);

  rig.take(exposure(ExposureMode::Progressive, ExposureRange::Seconds, 3));
  EXPECT_EQ(rig.app->acquisition.mode, ExposureMode::Interlaced);
  EXPECT_EQ(rig.usb.collapsed()[3], timing(3)) << "the first field ends as an interlaced one";
  // And it stays interlaced: the next run starts from the changed mode.
  rig.take([](AcquisitionSettings& a) { a.value = 4; });
  EXPECT_EQ(rig.app->acquisition.mode, ExposureMode::Interlaced);
  // A progressive exposure as long as the read time stays progressive.
  rig.take(exposure(ExposureMode::Progressive, ExposureRange::Seconds, 4));
  EXPECT_EQ(rig.app->acquisition.mode, ExposureMode::Progressive);
}

TEST(Sequencer, ProgressStepsFollowTheExposureLength) {
  // D = 2 up to 4 s, 6 for 5..12 s, 20 from 13 s and in minutes: the bar
  // moves D - 1 times during the wait.
  struct Case {
    ExposureRange range;
    int value;
    int steps;
  };
  for (const Case c : {Case{ExposureRange::Seconds, 4, 2}, Case{ExposureRange::Seconds, 12, 6},
                       Case{ExposureRange::Seconds, 13, 20}, Case{ExposureRange::Minutes, 1, 20}}) {
    Rig rig;
    rig.take(exposure(ExposureMode::Fast, c.range, c.value));
    std::vector<int> expected{0};
    for (int k = 1; k < c.steps; ++k) expected.push_back(k * (256 / c.steps));
    EXPECT_EQ(rig.progress.positions_in(STAGE_UNDERWAY), expected)
        << exposure_range_to_letter(c.range) << c.value;
  }
}

TEST(Sequencer, FieldReadsKeepTheWindowAliveAndReadTheSameBytes) {
  Rig plain(SkyConfig{}, RigPort::PlainCamera), live(SkyConfig{}, RigPort::Camera);
  plain.take(exposure(ExposureMode::Fast, ExposureRange::Tenths, 5));
  live.take(exposure(ExposureMode::Fast, ExposureRange::Tenths, 5));
  EXPECT_TRUE(live.fs().CurrentFrame == plain.fs().CurrentFrame);
  // The bar climbs through the read, about every 50 ms of the camera's
  // 3.5 s, and ends full; the plain read shows 0 until it has ended.
  const std::vector<int> moved = live.progress.positions_in(STAGE_READ);
  ASSERT_GE(moved.size(), 60u);
  EXPECT_EQ(moved.front(), 0);
  EXPECT_TRUE(std::is_sorted(moved.begin(), moved.end()));
  EXPECT_GT(moved[moved.size() / 2], 100);
  EXPECT_LT(moved[moved.size() / 2], 156);
  EXPECT_EQ(moved.back(), 256);
  EXPECT_GE(live.pump.pumps, plain.pump.pumps + 60);
  // The caption tells the read time of the mode: two fields for
  // Progressive and Interlaced.
  EXPECT_EQ(live.progress.captions()[1], "READ KR CAMERA - takes 3 - 4 seconds");
  for (ExposureMode mode : {ExposureMode::Progressive, ExposureMode::Interlaced}) {
    Rig rig;
    rig.take(exposure(mode, ExposureRange::Tenths, 5));
    EXPECT_EQ(rig.progress.captions()[1], "READ KR CAMERA - takes 7 - 8 seconds");
  }
}

TEST(Sequencer, KeyDuringTheExposureStopsItUnread) {
  Rig rig;
  testing::fill_frame(rig.fs().CurrentFrame, 3);
  const auto before = std::make_unique<Frame>(rig.fs().CurrentFrame);
  rig.app->acquisition.focus_x = 200;
  rig.app->acquisition.focus_y = 100;
  rig.app->camera.readout.window_x = 200;
  const int beeps = rig.clock.beeps;
  const auto outcome = rig.take([&](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Seconds, 5)(a);
    rig.pump.press_at(rig.clock.now_ms() + 2000, Input::Key);
  });
  EXPECT_EQ(outcome, CaptureOutcome::Stopped);
  EXPECT_EQ(rig.usb.reads_requested(), 0);
  EXPECT_TRUE(rig.fs().CurrentFrame == *before);
  EXPECT_EQ(rig.app->acquisition.focus_x, 80);
  EXPECT_EQ(rig.app->acquisition.focus_y, 312);
  EXPECT_EQ(rig.app->camera.readout.window_x, 80);
  EXPECT_GT(rig.clock.beeps, beeps);
  // The wait ended at the press, not at the end of the exposure.
  EXPECT_LT(rig.usb.times.back() - rig.usb.times.front(), 2500u);
  EXPECT_FALSE(rig.pump.pending().any()) << "the press was acted on";
  EXPECT_EQ(rig.progress.busy_depth, 0);
}

TEST(Sequencer, ContinuousRunsPauseBetweenExposures) {
  // A delay of 2 minutes: 120,000 ms between repetitions, the bar moving 16
  // every 7,500 ms. A press during the second pause ends the run.
  Rig rig;
  const auto outcome = rig.take([&](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Seconds, 1)(a);
    a.continuous = true;
    a.delay_minutes = 2;
    rig.pump.press_at(rig.clock.now_ms() + 200000, Input::RightButton);
  });
  EXPECT_EQ(outcome, CaptureOutcome::Stopped);
  EXPECT_EQ(rig.usb.reads_requested(), 2);

  std::vector<int> expected;
  for (int k = 0; k <= 15; ++k) expected.push_back(16 * k);
  EXPECT_EQ(rig.progress.positions_in(STAGE_PAUSE), expected);
  const StageLog::Event* pause = rig.progress.caption_at(STAGE_PAUSE);
  const StageLog::Event* next = rig.progress.caption_at(STAGE_UNDERWAY, 1);
  ASSERT_TRUE(pause && next);
  EXPECT_GE(next->at - pause->at, 120000u);
  EXPECT_LT(next->at - pause->at, 120100u);
  // The steps come every 7,500 ms.
  std::vector<std::uint32_t> step_times;
  bool in = false;
  for (const auto& e : rig.progress.events) {
    if (!e.caption.empty())
      in = e.caption == STAGE_PAUSE && step_times.empty();
    else if (in && e.position > 0)
      step_times.push_back(e.at);
  }
  ASSERT_EQ(step_times.size(), 15u);
  for (std::size_t k = 1; k < step_times.size(); ++k)
    EXPECT_NEAR(static_cast<double>(step_times[k] - step_times[k - 1]), 7500.0, 5.0);
}

TEST(Sequencer, ContinuousCountSavesEveryImageThenEnds) {
  // Continuous with three exposures: three images, each shown and saved as
  // its own file (none is summed), then the run ends.
  Rig rig;
  EXPECT_EQ(rig.take([](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Seconds, 2, 3)(a);
    a.continuous = true;
    a.auto_save = true;
  }),
            CaptureOutcome::Done);
  EXPECT_EQ(rig.usb.reads_requested(), 3);
  ASSERT_EQ(rig.front.written.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rig.front.written[i].filename(), "IMG" + std::to_string(i + 1) + ".FIT");
    EXPECT_TRUE(std::filesystem::exists(rig.front.written[i]));
  }
  EXPECT_EQ(rig.sequencer->exposures_taken(), 3);
}

TEST(Sequencer, FirstAutomaticSaveIsNumberOne) {
  Rig rig;
  rig.app->settings.autosave_number = 0;
  EXPECT_EQ(rig.take([](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Hundredths, 5)(a);
    a.auto_save = true;
  }),
            CaptureOutcome::Done);
  const auto expected = rig.app->paths.autosave_dir("") / "IMG1.FIT";
  ASSERT_EQ(rig.front.shown.size(), 1u);
  EXPECT_EQ(rig.front.shown[0], expected);
  ASSERT_EQ(rig.front.written.size(), 1u);
  EXPECT_EQ(rig.front.written[0], expected);
  EXPECT_EQ(rig.app->settings.autosave_number, 1);
  EXPECT_TRUE(std::filesystem::exists(expected));

  // "Saving Image" shows the file actually written: a number whose file
  // exists is passed over, and the window says so.
  testing::write_bytes(rig.app->paths.autosave_dir("") / "IMG2.FIT", {1, 2, 3});
  rig.take([](AcquisitionSettings& a) { a.auto_save = true; });
  ASSERT_EQ(rig.front.shown.size(), 2u);
  EXPECT_EQ(rig.front.shown[1].filename(), "IMG3.FIT");
  EXPECT_EQ(rig.front.written[1].filename(), "IMG3.FIT");
  EXPECT_EQ(rig.app->settings.autosave_number, 3);
}

// The text of FITS card `n` (1-based) of a file.
std::string fits_card(const std::filesystem::path& file, int n) {
  const auto bytes = testing::read_bytes(file);
  return std::string(bytes.begin() + (n - 1) * 80, bytes.begin() + n * 80);
}

TEST(Sequencer, SumWithAutosaveWritesAFilePerExposure) {
  // Three exposures: three files, file k holding the first k exposures,
  // with their total exposure and the UT of the start of the first.
  Rig rig(quiet_sky());
  rig.app->settings.ut_offset_hours = 0;
  EXPECT_EQ(rig.take([](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Seconds, 10, 3)(a);
    a.auto_save = true;
  }),
            CaptureOutcome::Done);
  ASSERT_EQ(rig.front.written.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const auto& file = rig.front.written[k];
    EXPECT_EQ(file.filename(), "IMG" + std::to_string(k + 1) + ".FIT");
    const double exptime = std::strtod(fits_card(file, 41).c_str() + 9, nullptr);
    EXPECT_DOUBLE_EQ(exptime, 10.0 * (k + 1));
    std::tm ut{};
    const std::time_t start = rig.sequencer->sequence_start_time();
    gmtime_r(&start, &ut);
    EXPECT_EQ(fits_card(file, 12).substr(0, 20), "TIME-OBS= '" + fits_time_text(ut) + "'");
    EXPECT_EQ(fits_card(file, 11).substr(0, 22), "DATE-OBS= '" + fits_date_text(ut) + "'");
    // The frame of file k (stored as v - 32768, big-endian) is the image
    // shown after exposure k.
    const auto bytes = testing::read_bytes(file);
    const Frame& shown = *rig.front.snapshots[k];
    for (int i = 0; i < FRAME_SAMPLES; i += 997) {
      const unsigned v = ((bytes[5760 + 2 * i] << 8) | bytes[5761 + 2 * i]) ^ 0x8000u;
      ASSERT_EQ(v, shown[i]) << k << " " << i;
    }
  }
  // The sum grows: the image after three exposures is brighter than after one.
  long long one = 0, three = 0;
  for (int i = FRAME_WIDTH + 1; i < FRAME_SAMPLES; i += 101) {
    one += (*rig.front.snapshots[0])[i];
    three += (*rig.front.snapshots[2])[i];
  }
  EXPECT_GT(three, 2 * one);
  EXPECT_EQ(rig.app->fits.fits_exposure, 30.0);
}

// A clock over the virtual one that drifts the simulated sky as time passes,
// as a mount with a poor drive would.
class DriftingClock : public Clock {
 public:
  DriftingClock(VirtualClock& inner, double x_per_s, double y_per_s)
      : inner_(inner), vx_(x_per_s), vy_(y_per_s) {}
  void attach(SkyRenderer& sky) { sky_ = &sky; }
  std::uint32_t now_ms() override {
    const std::uint32_t t = inner_.now_ms();
    if (sky_ != nullptr && t != last_) {
      const double dt = (t - last_) / 1000.0;
      sky_->shift_pointing(vx_ * dt, vy_ * dt);
    }
    last_ = t;
    return t;
  }
  std::time_t wall_time() override { return inner_.wall_time(); }
  void beep() override { inner_.beep(); }
  void sleep_ms(std::uint32_t ms) override { inner_.sleep_ms(ms); }

 private:
  VirtualClock& inner_;
  double vx_, vy_;
  SkyRenderer* sky_ = nullptr;
  std::uint32_t last_ = 0;
};

// The second moments of the star whose brightest sample lies within 5
// pixels of (x, y), about its centroid; (x, y) becomes that sample.
void star_spread(const Frame& f, int& x, int& y, double& var_x, double& var_y) {
  int best = -1, cx = x, cy = y;
  for (int j = y - 5; j <= y + 5; ++j)
    for (int i = x - 5; i <= x + 5; ++i)
      if (f[j * FRAME_WIDTH + i] > best) best = f[j * FRAME_WIDTH + i], cx = i, cy = j;
  double background = 0;
  for (int i = -12; i <= 12; ++i) background += f[(cy - 12) * FRAME_WIDTH + cx + i];
  background /= 25;
  double w = 0, mx = 0, my = 0, mxx = 0, myy = 0;
  for (int j = -6; j <= 6; ++j)
    for (int i = -6; i <= 6; ++i) {
      const double v = std::max(0.0, f[(cy + j) * FRAME_WIDTH + cx + i] - background);
      w += v, mx += v * i, my += v * j, mxx += v * i * i, myy += v * j * j;
    }
  var_x = mxx / w - (mx / w) * (mx / w);
  var_y = myy / w - (my / w) * (my / w);
  x = cx;
  y = cy;
}

TEST(Sequencer, SumOfADriftingSkyKeepsTheStarsTogether) {
  // About 3 pixels right and 2 down between exposures: the stars of an
  // average of four lie within a pixel of each other, so its star is hardly
  // wider than in one exposure.
  testing::TempDir dir;
  VirtualClock ticks;
  DriftingClock clock(ticks, 0.62, 0.41);
  SkyConfig sky;
  sky.mosaic = false;
  sky.extended_objects = false;  // no double star to pick as the guide star
  SimCamera camera(clock, sky);
  clock.attach(camera.sky());
  RecordingUsb usb(camera, clock);
  RecordingMessages messages;
  ScriptedPump pump(clock);
  NullProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  Tarvex app(Paths(dir.path() / "data"),
             Ports{messages, clock, pump, progress, launcher, display, usb});
  Tarvex* app_ptr = &app;
  TestFront front(app_ptr, usb);
  Sequencer sequencer(app, front);
  front.set = [](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Seconds, 1, 4)(a);
    a.average = true;  // no star of the sum saturates
    a.auto_save = true;
  };
  // The guide star picked before the run: the brightest well inside.
  double brightest = 0;
  for (const auto& s : camera.sky().stars()) {
    if (s.x < 60 || s.x > 680 || s.y < 60 || s.y > 520 || s.flux <= brightest) continue;
    brightest = s.flux;
    app.star.position = {static_cast<int>(s.x), static_cast<int>(s.y), 0, 0};
  }
  const StarPosition start = app.star.position;
  const double x0 = camera.sky().pointing_x();
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done);
  EXPECT_TRUE(messages.shown.empty());
  ASSERT_EQ(front.snapshots.size(), 4u);
  const double drift = camera.sky().pointing_x() - x0;
  EXPECT_GT(drift, 8.0) << "the sky did drift";

  // The star in the first exposure, and in the average of four, which lies
  // where the last exposure saw it.
  int sx = start.x, sy = start.y, cx = app.star.position.x, cy = app.star.position.y;
  double single_x, single_y, sum_x, sum_y;
  star_spread(*front.snapshots[0], sx, sy, single_x, single_y);
  star_spread(*front.snapshots[3], cx, cy, sum_x, sum_y);
  EXPECT_LT(sum_x - single_x, 0.6);
  EXPECT_LT(sum_y - single_y, 0.6);
  EXPECT_NEAR(cx - sx, drift, 2.0);
}

TEST(Sequencer, DarkIsSubtractedFromEveryExposureOfAProgressiveSum) {
  auto run = [](bool auto_dark, std::unique_ptr<Frame>& image, std::vector<std::string>& history) {
    Rig rig(quiet_sky());
    write_dark(rig.app->paths.dark_definition_file(), 500, false);
    rig.app->camera.readout.field_read_time = 3500;
    // The sum registers on the brightest star well inside the frame.
    double brightest = 0;
    for (const auto& s : rig.camera.sky().stars()) {
      if (s.x < 60 || s.x > 680 || s.y < 60 || s.y > 520 || s.flux <= brightest) continue;
      brightest = s.flux;
      rig.app->star.position = {static_cast<int>(s.x), static_cast<int>(s.y), 0, 0};
    }
    EXPECT_EQ(rig.take([&](AcquisitionSettings& a) {
      exposure(ExposureMode::Progressive, ExposureRange::Seconds, 4, 2)(a);
      a.auto_dark = auto_dark;
    }),
              CaptureOutcome::Done);
    EXPECT_TRUE(rig.codes().empty());
    image = std::make_unique<Frame>(rig.fs().CurrentFrame);
    for (int i = 0; i < HISTORY_LINES; ++i) history.push_back(rig.app->history.line(i));
  };
  std::unique_ptr<Frame> plain, dark;
  std::vector<std::string> plain_history, dark_history;
  run(false, plain, plain_history);
  run(true, dark, dark_history);
  int compared = 0;
  for (int y = 1; y < FRAME_HEIGHT - 1; ++y)
    for (int x = 1; x < FRAME_WIDTH; ++x) {
      const int i = y * FRAME_WIDTH + x;
      if ((*plain)[i] < 3000 || (*plain)[i] > 60000) continue;
      ASSERT_EQ((*plain)[i] - (*dark)[i], 1000) << x << "," << y;
      ++compared;
    }
  EXPECT_GT(compared, FRAME_SAMPLES / 2);
  EXPECT_EQ(dark_history[0], "Dark Frame Subtracted");
  EXPECT_EQ(plain_history[0], "");
}

TEST(Sequencer, DarkHistoryOnlyWhenADarkWasSubtracted) {
  // No dark file: one notice, with how a dark frame is made (not the
  // loader's words about FITS files); the exposures are taken, and their
  // history does not claim a dark frame.
  Rig rig;
  EXPECT_EQ(rig.take([](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Seconds, 1, 1)(a);
    a.auto_dark = true;
    a.continuous = true;
    a.count = 2;
  }),
            CaptureOutcome::Done);
  EXPECT_EQ(rig.usb.reads_requested(), 2);
  EXPECT_EQ(rig.codes(), (std::vector<unsigned>{50}));
  const std::string& told = rig.messages.shown[0].text;
  EXPECT_NE(told.find("dark.def"), std::string::npos) << told;
  EXPECT_NE(told.find("is missing or cannot be read"), std::string::npos) << told;
  EXPECT_NE(told.find("File > Select Dark Frame"), std::string::npos) << told;
  EXPECT_EQ(rig.app->history.line(0), "");
}

TEST(Sequencer, BinnedMismatchIsToldOnceAndNothingSubtracted) {
  // A binned dark frame with progressive (unbinned) exposures.
  Rig rig(quiet_sky());
  write_dark(rig.app->paths.dark_definition_file(), 30000, true);
  rig.app->camera.readout.field_read_time = 3500;
  EXPECT_EQ(rig.take([](AcquisitionSettings& a) {
    exposure(ExposureMode::Progressive, ExposureRange::Seconds, 4, 2)(a);
    a.auto_dark = true;
    a.continuous = true;
  }),
            CaptureOutcome::Done);
  EXPECT_EQ(rig.usb.reads_requested(), 4);
  EXPECT_EQ(rig.codes(), (std::vector<unsigned>{56}));
  EXPECT_EQ(rig.app->history.line(0), "");
  // Nothing subtracted: a dark of 30000 would have blacked the frame out.
  long long sum = 0;
  for (int i = 0; i < FRAME_SAMPLES; i += 7) sum += rig.fs().CurrentFrame[i];
  EXPECT_GT(sum / (FRAME_SAMPLES / 7), 1000);
}

TEST(Sequencer, NothingToCentreOnEndsTheSumOnce) {
  // A sky without a star, even and without noise: star location finds
  // nothing at all (noise alone would give it something to centre on).
  SkyConfig empty = quiet_sky();
  empty.star_count = 0;
  empty.hot_pixels = 0;
  empty.mosaic = false;
  Rig rig(empty);
  EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1, 3)),
            CaptureOutcome::Failed);
  EXPECT_EQ(rig.codes(), (std::vector<unsigned>{34}));
  EXPECT_EQ(rig.usb.reads_requested(), 1);
  EXPECT_EQ(rig.app->acquisition.count, 0);
  // The one exposure taken is shown.
  EXPECT_EQ(rig.display.reloads, 1);
}

TEST(Sequencer, ANewExposureLeavesNoColourOfTheLastImage) {
  Rig rig;
  FrameStore& fs = rig.fs();
  fs.IsColour = true;
  fs.HasBytePlanes = true;
  fs.RedPlane.fill(1000);
  EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1)),
            CaptureOutcome::Done);
  EXPECT_EQ(fs.IsColour, 0);
  EXPECT_EQ(fs.HasBytePlanes, 0);
  EXPECT_EQ(fs.IsBinned, 1);
  EXPECT_FALSE(rig.display.last_colour);

  // Automatic colour conversion takes the new exposure after a colour image.
  EXPECT_EQ(rig.take([](AcquisitionSettings& a) { a.auto_colour = true; }), CaptureOutcome::Done);
  EXPECT_EQ(fs.IsColour, 1);
  EXPECT_TRUE(rig.display.last_colour);
  EXPECT_TRUE(rig.codes().empty()) << "no 'Already Colour Converted'";
  // The history starts afresh with the conversion's own line.
  EXPECT_EQ(rig.app->history.line(0).rfind("Non-Linear Stretch", 0), std::string::npos);
  // A monochrome exposure after the colour one.
  EXPECT_EQ(rig.take([](AcquisitionSettings& a) { a.auto_colour = false; }), CaptureOutcome::Done);
  EXPECT_EQ(fs.IsColour, 0);
  EXPECT_FALSE(rig.display.last_colour);
}

TEST(Sequencer, StopOrFailureAfterTheFirstFieldKeepsThePreviousImage) {
  // A press during the second exposure of an interlaced frame: the first
  // field was read, but the image on show stays whole, and the automatic
  // colour conversion does not run on it.
  {
    Rig rig;
    FrameStore& fs = rig.fs();
    testing::fill_frame(fs.CurrentFrame, 5);
    fs.IsColour = true;
    testing::fill_frame(fs.RedPlane, 6);
    const auto image = std::make_unique<Frame>(fs.CurrentFrame);
    const auto red = std::make_unique<Frame>(fs.RedPlane);
    EXPECT_EQ(rig.take([&](AcquisitionSettings& a) {
      exposure(ExposureMode::Interlaced, ExposureRange::Seconds, 3)(a);
      a.auto_colour = true;
      rig.pump.press_at(rig.clock.now_ms() + 8000, Input::LeftButton);
    }),
              CaptureOutcome::Stopped);
    ASSERT_TRUE(rig.progress.caption_at(STAGE_SECOND_EXPOSURE) != nullptr);
    EXPECT_EQ(rig.usb.reads_requested(), 1);
    EXPECT_TRUE(fs.CurrentFrame == *image);
    EXPECT_TRUE(fs.RedPlane == *red);
    EXPECT_EQ(fs.IsColour, 1);
    EXPECT_TRUE(rig.codes().empty());
  }
  // The second field's read fails.
  {
    Rig rig;
    testing::fill_frame(rig.fs().CurrentFrame, 7);
    const auto image = std::make_unique<Frame>(rig.fs().CurrentFrame);
    rig.usb.fail_read = 2;
    rig.app->camera.readout.field_read_time = 3500;
    EXPECT_EQ(rig.take(exposure(ExposureMode::Progressive, ExposureRange::Seconds, 4)),
              CaptureOutcome::Failed);
    EXPECT_TRUE(rig.fs().CurrentFrame == *image);
    EXPECT_EQ(rig.codes(), (std::vector<unsigned>{50}));
    EXPECT_TRUE(rig.app->camera.camera_present())
        << "an I/O error does not mean the camera is gone";
  }
}

// A camera that delivers part of a field and stops, or stops answering in
// the middle of a read (the transfer times out): the exposure is abandoned
// with one message, the image on show stays, and the next exposure works.
TEST(Sequencer, AShortOrStalledReadKeepsThePreviousImage) {
  for (const char* fault : {"short", "stalled"}) {
    Rig rig;
    testing::fill_frame(rig.fs().CurrentFrame, 11);
    const auto image = std::make_unique<Frame>(rig.fs().CurrentFrame);
    if (std::string(fault) == "short") {
      rig.camera.shorten_next_read(FIELD_READ_BYTES / 3);
    } else {
      rig.usb.fail_read = 1;
      rig.usb.fail_error = ETIMEDOUT;
    }
    EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1)),
              CaptureOutcome::Failed)
        << fault;
    EXPECT_TRUE(rig.fs().CurrentFrame == *image) << fault;
    EXPECT_EQ(rig.codes(), (std::vector<unsigned>{50})) << fault;
    EXPECT_TRUE(rig.app->camera.camera_present()) << fault;
    rig.messages.shown.clear();
    EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1)),
              CaptureOutcome::Done)
        << fault;
    EXPECT_FALSE(rig.fs().CurrentFrame == *image) << fault;
    EXPECT_TRUE(rig.codes().empty()) << fault;
  }
}

// The DATE-OBS and TIME-OBS texts of a FITS file, as "date time".
std::string fits_date_time(const std::filesystem::path& file) {
  const std::vector<std::uint8_t> bytes = testing::read_bytes(file);
  const std::string header(bytes.begin(),
                           bytes.begin() + std::min<std::size_t>(bytes.size(), 2880));
  auto card = [&](const std::string& key) {
    const std::size_t at = header.find(key + "= '");
    if (at == std::string::npos) return std::string("?");
    const std::size_t from = at + key.size() + 3;
    return header.substr(from, header.find('\'', from) - from);
  };
  return card("DATE-OBS") + " " + card("TIME-OBS");
}

// "2024-03-09 16:00:00" for a time in UT.
std::string ut_text(std::time_t t) {
  std::tm ut{};
  gmtime_r(&t, &ut);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &ut);
  return text;
}

TEST(Sequencer, EverySavedFitsCarriesTheStartOfItsOwnExposure) {
  struct SaveDialogs : FitsDialogs {
    std::filesystem::path to;
    bool run_details(FitsDetailsModel&) override { return true; }
    std::filesystem::path choose_save_path(const std::string&, const std::string&) override {
      return to;
    }
  };
  Rig rig;
  // An automatically saved 20 s exposure...
  const std::time_t first = rig.clock.wall_time();
  ASSERT_EQ(rig.take([](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Seconds, 20)(a);
    a.auto_save = true;
  }),
            CaptureOutcome::Done);
  ASSERT_EQ(rig.front.written.size(), 1u);
  EXPECT_EQ(fits_date_time(rig.front.written[0]), ut_text(first));
  // ...then, fourteen minutes later, one saved by hand in each way.
  rig.clock.advance(14 * 60 * 1000);
  const std::time_t second = rig.clock.wall_time();
  ASSERT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 20)),
            CaptureOutcome::Done);
  EXPECT_EQ(rig.app->fits.fits_date + " " + rig.app->fits.fits_time, ut_text(second))
      << "the FITS details show the exposure's own time";
  SaveDialogs dialogs;
  dialogs.to = rig.dir.path() / "saved-as.fit";
  ASSERT_TRUE(save_as_fits_command(*rig.app, dialogs).ok());
  EXPECT_EQ(fits_date_time(dialogs.to), ut_text(second));
  ASSERT_TRUE(save_fits_image(*rig.app, rig.dir.path() / "plain.fit").ok());
  EXPECT_EQ(fits_date_time(rig.dir.path() / "plain.fit"), ut_text(second));
  std::filesystem::path quick;
  rig.clock.advance(60 * 1000);
  ASSERT_TRUE(quick_save_fits_command(*rig.app, rig.app->exposure_start, 0, &quick).ok());
  EXPECT_EQ(fits_date_time(quick), ut_text(second));
}

TEST(Sequencer, UndoAfterAnExposureKeepsTheNewImage) {
  Rig rig;
  rig.fs().UndoFrame.fill(77);
  rig.take(exposure(ExposureMode::Progressive, ExposureRange::Seconds, 6));
  const auto taken = std::make_unique<Frame>(rig.fs().CurrentFrame);
  undo_last_filter(rig.fs());
  EXPECT_TRUE(rig.fs().CurrentFrame == *taken);
}

TEST(Sequencer, SumDuringAMergeIsRefused) {
  Rig rig;
  rig.fs().MergeMode = true;
  rig.app->merge.marking_base = false;  // the base image waits in SecondFrame
  testing::fill_frame(rig.fs().SecondFrame, 9);
  const auto base = std::make_unique<Frame>(rig.fs().SecondFrame);
  EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1, 3)),
            CaptureOutcome::Refused);
  EXPECT_TRUE(rig.usb.payloads.empty());
  ASSERT_EQ(rig.codes(), (std::vector<unsigned>{50}));
  EXPECT_EQ(rig.messages.shown[0].text, CAPTURE_DURING_MERGE_TEXT);
  // A single exposure may become the merge image.
  EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1)),
            CaptureOutcome::Done);
  EXPECT_TRUE(rig.fs().SecondFrame == *base);
}

TEST(Sequencer, CameraGoneIsLookedForAgain) {
  Rig rig;
  rig.camera.fail_next_read(ENODEV);
  EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1)),
            CaptureOutcome::Failed);
  EXPECT_FALSE(rig.app->camera.camera_present());
  EXPECT_EQ(rig.take(exposure(ExposureMode::Fast, ExposureRange::Seconds, 1)),
            CaptureOutcome::Done);
  EXPECT_TRUE(rig.app->camera.camera_present());
}

TEST(Sequencer, CountdownBeforeTheFirstExposure) {
  Rig rig;
  const int beeps = rig.clock.beeps;
  rig.take([](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Hundredths, 5)(a);
    a.delay_before = true;
  });
  std::vector<std::string> expected;
  for (int i = 10; i >= 1; --i)
    expected.push_back("EXPOSURE DELAY (Left - " + std::to_string(i) + ")");
  auto captions = rig.progress.captions();
  captions.resize(10);
  EXPECT_EQ(captions, expected);
  EXPECT_GE(rig.clock.beeps - beeps, 10);
  EXPECT_GE(rig.usb.times.front(), 10000u) << "the exposure starts after ten seconds";
}

TEST(Sequencer, ThePressOnTakePhotoDoesNotStopTheRun) {
  Rig rig;
  EXPECT_EQ(rig.take([&](AcquisitionSettings& a) {
    exposure(ExposureMode::Fast, ExposureRange::Seconds, 2)(a);
    rig.pump.press(Input::LeftButton);  // the click on "Take Photo"
  }),
            CaptureOutcome::Done);
  EXPECT_EQ(rig.usb.reads_requested(), 1);
}

TEST(Sequencer, CancelAfterFocusModeShowsTheFullFrame) {
  Rig rig;
  rig.app->display.SmallFrameMode = true;
  rig.front.cancel = true;
  EXPECT_EQ(rig.take({}), CaptureOutcome::Cancelled);
  EXPECT_FALSE(rig.app->display.SmallFrameMode);
  EXPECT_EQ(rig.display.reloads, 1);
  EXPECT_TRUE(rig.usb.payloads.empty());
}

// An autoguider that records what the sequencer asks of it.
class RecordingGuide : public SelfGuide {
 public:
  bool check_before_exposure(GuidedExposure&) override {
    calls.push_back("check");
    return true;
  }
  void switch_guiding_frame(GuidedExposure& g) override {
    calls.push_back(g.half_done ? "switch" : "switch-early");
  }
  void allow_large_correction() override { calls.push_back("allow"); }
  void guide_step(GuidedExposure& g) override {
    if (calls.empty() || calls.back() != "step") calls.push_back("step");
    if (++steps == fail_at) g.acquisition.self_guide_next = false;
  }
  void rearm(GuidedExposure&) override { calls.push_back("rearm"); }
  std::vector<std::string> calls;
  int steps = 0;
  int fail_at = 0;
};

TEST(Sequencer, SelfGuidedExposureCallsTheAutoguider) {
  Rig rig;
  RecordingGuide guide;
  Sequencer sequencer(*rig.app, rig.front, guide);
  rig.front.set = [](AcquisitionSettings& a) {
    exposure(ExposureMode::Interlaced, ExposureRange::Seconds, 10)(a);
    a.self_guide_next = true;
    a.half_time_download = true;
  };
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Done);
  EXPECT_EQ(guide.calls, (std::vector<std::string>{"check", "step", "allow", "switch", "step"}));
  const Payload T1 = timing(1), T2 = timing(2), T4 = timing(4), T5 = timing(5);
  // Integration starts (2, 1, then 1, 2 once guiding is ready), the first
  // field is read at half time (2, 5), integration resumes (1), and the
  // second field ends with 4 and is read into the odd rows.
  EXPECT_EQ(rig.usb.collapsed(), (std::vector<Payload>{T2, T1, T1, T2, T5, field_read(0, 0), T1, T2,
                                                       T4, field_read(0, 0)}));
  EXPECT_FALSE(rig.app->acquisition.self_guide_next);
  EXPECT_FALSE(rig.app->acquisition.half_time_download);

  // A guiding step that fails ends the run with message 57, unread.
  guide.fail_at = guide.steps + 3;
  rig.usb.clear();
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Failed);
  EXPECT_EQ(rig.codes(), (std::vector<unsigned>{57}));
  EXPECT_EQ(rig.usb.reads_requested(), 0);
}

}  // namespace
}  // namespace tarvex
