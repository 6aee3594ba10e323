// Solve & Sync and Centre Target on the simulated camera and the simulated
// mount (the real serial code on its pseudo-terminal), on the virtual clock.
// The solver is a stand-in that answers where the telescope really points:
// the simulated mount's own coordinates plus a pointing error that only a
// sync takes away, as a real mount's model error behaves. The error lives in
// a wrapper of the mount port, which moves it into the mount's coordinates
// whenever a sync changes them without moving the telescope.
#include "app/centre_target.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>

#include "app/capture/sequencer.h"
#include "app/mounts.h"
#include "app/telescope.h"
#include "fake_mount.h"
#include "files/more_settings.h"
#include "files/settings.h"
#include "platform/basic_ports.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "sim/sim_camera.h"
#include "sim/sim_mount.h"
#include "test_context.h"
#include "test_support.h"

namespace tarvex {
namespace {

// The telescope's true pointing, of date: the mount's belief plus `error`.
struct TruePointing {
  const SimMount* sim = nullptr;
  double ra_error_hours = 0, dec_error_degrees = 0;
  MountPosition now() const {
    return {sim->ra_hours() + ra_error_hours, sim->dec_degrees() + dec_error_degrees};
  }
};

// The mount port over the LX200 link, keeping the true pointing still when
// a sync changes only what the mount believes.
class MountWithError final : public Mount {
 public:
  MountWithError(Mount& inner, TruePointing& truth, const SimMount& sim)
      : inner_(inner), truth_(truth), sim_(sim) {}
  ScopeResult sync_position(const MountPosition& p) override {
    const double ra = sim_.ra_hours(), dec = sim_.dec_degrees();
    const ScopeResult r = inner_.sync_position(p);
    truth_.ra_error_hours += ra - sim_.ra_hours();
    truth_.dec_error_degrees += dec - sim_.dec_degrees();
    ++syncs;
    return r;
  }
  int syncs = 0;

  MountCapabilities capabilities() const override { return inner_.capabilities(); }
  ScopeResult open() override { return inner_.open(); }
  ScopeResult reset() override { return inner_.reset(); }
  GotoResult goto_coordinates(const Coordinates& t) override { return inner_.goto_coordinates(t); }
  GotoResult goto_object(Catalogue c, int n) override { return inner_.goto_object(c, n); }
  ScopeResult sync(const Coordinates& t) override { return inner_.sync(t); }
  GotoResult goto_position(const MountPosition& p) override { return inner_.goto_position(p); }
  ScopeResult abort() override { return inner_.abort(); }
  void set_rate(MoveRate r) override { inner_.set_rate(r); }
  ScopeResult move(Direction d) override { return inner_.move(d); }
  ScopeResult stop() override { return inner_.stop(); }
  MoveRate rate() const override { return inner_.rate(); }
  bool moving() const override { return inner_.moving(); }
  ScopeResult pulse(Direction d, std::uint32_t ms, PulseEnd e) override {
    return inner_.pulse(d, ms, e);
  }
  ScopeResult read_position(MountPosition& out) override { return inner_.read_position(out); }
  ScopeResult read_object_info() override { return inner_.read_object_info(); }
  std::string object_info() const override { return inner_.object_info(); }
  void set_focus_speed(bool f) override { inner_.set_focus_speed(f); }
  ScopeResult focus(bool in) override { return inner_.focus(in); }
  ScopeResult focus_stop() override { return inner_.focus_stop(); }
  bool focus_fast() const override { return inner_.focus_fast(); }
  bool focusing() const override { return inner_.focusing(); }

 private:
  Mount& inner_;
  TruePointing& truth_;
  const SimMount& sim_;
};

// Answers the true pointing in J2000 at the time of the solve, or fails
// as told.
class TruthSolver final : public PlateSolver {
 public:
  TruthSolver(const TruePointing& truth, Clock& clock) : truth_(truth), clock_(clock) {}
  SolveOutcome solve(const SolveImage& image, const SolveRequest& request,
                     const std::atomic<bool>*) override {
    ++solves;
    last_request = request;
    last_width = image.width;
    SolveOutcome o;
    if (fail != SolveFailure::None) {
      o.failure = fail;
      o.reason = "indexes cover fields of 30' to 60'";
      return o;
    }
    const MountPosition p = truth_.now();
    PlateSolution s;
    s.centre = precess_to_j2000({p.ra_hours, p.dec_degrees},
                                julian_date_of_unix(static_cast<double>(clock_.wall_time())));
    o.solution = s;
    return o;
  }
  int solves = 0;
  int last_width = 0;
  SolveRequest last_request;
  SolveFailure fail = SolveFailure::None;

 private:
  const TruePointing& truth_;
  Clock& clock_;
};

class Steps : public CentreReport {
 public:
  void tried(const CentreTry& t) override { lines.push_back(centre_try_line(t)); }
  std::vector<std::string> lines;
};

struct CentreRig : ::testing::Test {
  testing::TempDir dir;
  VirtualClock base;
  SteppingClock clock{base};
  SimMount sim;
  RecordingMessages messages;
  NullPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  std::unique_ptr<SimCamera> camera;
  std::unique_ptr<TermiosSerialPort> serial;
  std::unique_ptr<Tarvex> app;
  TruePointing truth;
  std::unique_ptr<MountWithError> mount;
  std::unique_ptr<TruthSolver> solver;
  Steps steps;

  void SetUp() override {
    ASSERT_TRUE(sim.open());
    clock.add_listener(sim);
    base.set_wall_time(1705348800);  // the simulated mount's own start
    camera = std::make_unique<SimCamera>(clock);
    serial = std::make_unique<TermiosSerialPort>(clock, [this](int) { return sim.device_path(); });
    app = std::make_unique<Tarvex>(
        Paths(dir.path() / "data"),
        Ports{messages, clock, pump, progress, launcher, display, *camera});
    app->telescope.port = serial.get();
    app->settings.telescope_type = LinkType::Lx200;
    ASSERT_EQ(save_settings(app->paths.settings_file(), app->settings, app->fits), FileSave::Ok);
    app->acquisition.range = ExposureRange::Seconds;
    app->acquisition.value = 1;
    truth.sim = &sim;
    // The default pointing error: 5' in each coordinate.
    truth.dec_error_degrees = 5.0 / 60;
    truth.ra_error_hours = 5.0 / 60 / 15 / std::cos(41.27 * 3.14159265358979 / 180);
    mount = std::make_unique<MountWithError>(lx200_mount(*app), truth, sim);
    solver = std::make_unique<TruthSolver>(truth, clock);
  }
  SkyPosition true_j2000() {
    const MountPosition p = truth.now();
    return precess_to_j2000({p.ra_hours, p.dec_degrees},
                            julian_date_of_unix(static_cast<double>(clock.wall_time())));
  }
};

// M31 (J2000 00:42:44.3 +41:16:09) from a 5' pointing error: the first try
// finds the error and syncs it away, the next go-to lands within the
// mount's one-second step, and the telescope really points at M31.
TEST_F(CentreRig, CentresAPointingErrorAwayWithinThreeTries) {
  CentreRequest request;
  request.first_goto = {CentreGoto::Kind::Position, Catalogue::Messier, 0,
                        SkyPosition{0 + 42 / 60.0 + 44.3 / 3600, 41 + 16 / 60.0 + 9 / 3600.0}};
  const CentreOutcome o = centre_target(*app, *mount, solver.get(), request, steps);
  ASSERT_EQ(o.status, CentreStatus::Centred) << o.reason;
  EXPECT_LE(o.tries, 3);
  EXPECT_GE(o.tries, 2) << "a 5' error is not within 30\" on the first try";
  EXPECT_LE(o.error_arcsec, 30.0);
  EXPECT_EQ(mount->syncs, o.tries - 1);
  ASSERT_EQ(steps.lines.size(), static_cast<std::size_t>(o.tries));
  EXPECT_NE(steps.lines[0].find("from target, synced"), std::string::npos) << steps.lines[0];
  // The first try measured the whole error, about 7' (5' in each axis).
  EXPECT_NEAR(std::stod(steps.lines[0].substr(steps.lines[0].find(", ") + 2)), 424, 6);
  // Independently of the loop's own arithmetic: where the telescope points.
  EXPECT_LE(separation_arcsec(true_j2000(), request.first_goto.j2000), 30.0);
  // Exposures were binned 2 x 2 for the solver, and the hint was the
  // mount's belief in J2000 (within the pointing error of the truth).
  EXPECT_EQ(solver->last_width, 376);
  ASSERT_TRUE(solver->last_request.hint.has_value());
  EXPECT_LT(separation_arcsec(*solver->last_request.hint, true_j2000()), 30.0);
  EXPECT_EQ(centre_outcome_line(o).rfind("centred within ", 0), 0u);
}

// Every refusal stops the loop before the telescope moves, with its reason.
TEST_F(CentreRig, RefusalsLeaveTheMountWhereItWas) {
  // Wherever the simulated mount points first.
  ASSERT_EQ(ensure_link_open(*app), ScopeResult::Done);
  const double ra0 = sim.ra_hours(), dec0 = sim.dec_degrees();
  auto unmoved = [&](const char* what) {
    EXPECT_NEAR(sim.ra_hours(), ra0, 1e-9) << what;
    EXPECT_NEAR(sim.dec_degrees(), dec0, 1e-9) << what;
    EXPECT_EQ(mount->syncs, 0) << what;
  };
  CentreRequest m31;
  m31.first_goto = {CentreGoto::Kind::Position, Catalogue::Messier, 0, SkyPosition{0.712, 41.27}};

  // No solver.
  CentreOutcome o = centre_target(*app, *mount, nullptr, m31, steps);
  EXPECT_EQ(o.status, CentreStatus::Refused);
  EXPECT_EQ(o.message, Msg::CentreNoSolver);
  unmoved("no solver");

  // A mount that cannot go to positions: the control box.
  o = centre_target(*app, control_box_mount(*app), solver.get(), m31, steps);
  EXPECT_EQ(o.message, Msg::CentreNoMount);
  EXPECT_EQ(solve_and_sync(*app, control_box_mount(*app), solver.get(), steps).message,
            Msg::CentreNoMount);
  unmoved("no mount");

  // A tolerance below the high-precision step (15" of right ascension at the
  // equator, 11" at M31).
  CentreRequest fine = m31;
  fine.tolerance_arcsec = 5;
  o = centre_target(*app, *mount, solver.get(), fine, steps);
  EXPECT_EQ(o.message, Msg::CentreToleranceBelowStep);
  unmoved("tolerance");

  // A target below the horizon: the mount refuses the slew.
  CentreRequest south = m31;
  south.first_goto.j2000 = {6.0, -80.0};
  o = centre_target(*app, *mount, solver.get(), south, steps);
  EXPECT_EQ(o.status, CentreStatus::Refused);
  EXPECT_EQ(o.message, Msg::CentreTargetRefused);
  EXPECT_NE(o.reason.find("Below Horizon"), std::string::npos) << o.reason;
  unmoved("below the horizon");

  // A field no installed index covers: Solve & Sync exposes and solves but
  // syncs nothing, and says what the indexes cover.
  solver->fail = SolveFailure::NoIndexForScale;
  o = solve_and_sync(*app, *mount, solver.get(), steps);
  EXPECT_EQ(o.status, CentreStatus::Refused);
  EXPECT_EQ(o.message, Msg::CentreFieldTooSmall);
  EXPECT_NE(o.reason.find("30' to 60'"), std::string::npos) << o.reason;
  EXPECT_EQ(solver->solves, 1);
  unmoved("field too small");
  solver->fail = SolveFailure::None;

  // A mount that stays in low precision: found out at its first sync; the
  // loop stops there, before another go-to, with the step it can reach.
  sim.set_high_precision(false);
  sim.hold_low_precision(true);
  o = centre_target(*app, *mount, solver.get(), m31, steps);
  EXPECT_EQ(o.status, CentreStatus::NotCentred);
  EXPECT_EQ(o.message, Msg::CentreBelowStep);
  EXPECT_NE(centre_outcome_line(o).find("0.1 minute of right ascension"), std::string::npos);
  EXPECT_EQ(mount->syncs, 1);
  EXPECT_EQ(solver->solves, 2);
  // ... and a second run refuses before anything moves.
  const double ra1 = sim.ra_hours();
  o = centre_target(*app, *mount, solver.get(), m31, steps);
  EXPECT_EQ(o.status, CentreStatus::Refused);
  EXPECT_EQ(o.message, Msg::CentreBelowStep);
  EXPECT_NEAR(sim.ra_hours(), ra1, 1e-9);
}

// The header checklist of a standard copy written by automatic saving after
// a go-to to M31, read back by an independent FITS reader (astropy).
class AutosaveFront : public CaptureFront {
 public:
  CameraDialogResult run_camera_dialog(AcquisitionSettings& s) override {
    s.auto_save = true;
    return CameraDialogResult::TakePhoto;
  }
  void autosaved(const std::filesystem::path& f) override { files.push_back(f); }
  void autosaved_standard(const std::filesystem::path& f) override { standard.push_back(f); }
  std::vector<std::filesystem::path> files, standard;
};

constexpr const char* kHeaderReader = R"PY(
import sys
from astropy.io import fits
with fits.open(sys.argv[1]) as hdul:
    h = hdul[0].header
    for k in ("IMAGETYP", "OBJECT", "OBJCTRA", "OBJCTDEC", "RA", "DEC", "SITELAT", "SITELONG",
              "DATE-OBS", "EXPTIME", "XBINNING", "READOUTM", "XPIXSZ", "FOCALLEN", "APTDIA", "SCALE",
              "SWCREATE", "BAYERPAT", "NAXIS1", "NAXIS2"):
        print("%s=%s" % (k, h.get(k, "MISSING")))
)PY";

// The first Python that can import astropy, or empty.
std::string python_with_astropy() {
  for (const char* py : {"/usr/bin/python3", "python3"}) {
    const std::string cmd = std::string(py) + " -c 'import astropy.io.fits' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == 0) return py;
  }
  return {};
}

std::map<std::string, std::string> astropy_header(const std::string& python,
                                                  const testing::TempDir& dir,
                                                  const std::filesystem::path& file) {
  std::map<std::string, std::string> values;
  const auto script = dir / "header.py";
  testing::write_bytes(
      script, std::vector<std::uint8_t>(kHeaderReader, kHeaderReader + std::strlen(kHeaderReader)));
  const std::string cmd = python + " '" + script.string() + "' '" + file.string() + "' 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return values;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p) != nullptr) {
    std::string line(buf);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    const auto eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  ::pclose(p);
  return values;
}

TEST_F(CentreRig, AutosavedStandardCopyCarriesTheObservingCards) {
  const std::string python = python_with_astropy();
  if (python.empty())
    GTEST_SKIP() << "python3 cannot import astropy (Debian package python3-astropy)";
  app->fits.fits_focal_length = 300 / 25.4;
  app->fits.fits_aperture = 3.1416 * 1.5 * 1.5;  // 3 inches across
  const GotoResult went = lx200_mount(*app).goto_object(Catalogue::Messier, 31);
  ASSERT_EQ(went.status, ScopeResult::Done);
  clock.sleep_ms(60000);  // the slew ends
  AutosaveFront front;
  Sequencer sequencer(*app, front);
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done);
  ASSERT_EQ(front.files.size(), 1u);
  ASSERT_EQ(front.standard.size(), 1u);
  EXPECT_EQ(front.standard[0], front.files[0].parent_path() / "IMG1.fits");
  auto h = astropy_header(python, dir, front.standard[0]);
  EXPECT_EQ(h["IMAGETYP"], "Light");
  EXPECT_EQ(h["OBJECT"], "M31");
  // The mount answers of date; the header is J2000, M31 at 00 42 44 +41 16.
  EXPECT_EQ(h["OBJCTRA"].substr(0, 5), "00 42") << h["OBJCTRA"];
  EXPECT_EQ(h["OBJCTDEC"].substr(0, 4), "+41 ") << h["OBJCTDEC"];
  EXPECT_NEAR(std::stod(h["RA"]), 10.68, 0.02);
  EXPECT_NEAR(std::stod(h["DEC"]), 41.27, 0.02);
  // The simulated site: 52 N, 1.5 W, which the mount answers as +001*30.
  EXPECT_NEAR(std::stod(h["SITELAT"]), 52.0, 0.01);
  EXPECT_NEAR(std::stod(h["SITELONG"]), -1.5, 0.01);
  EXPECT_EQ(h["DATE-OBS"].substr(0, 10), "2024-01-15");
  EXPECT_NEAR(std::stod(h["EXPTIME"]), 1.0, 1e-9);
  // A one-second exposure is read binned, on the full grid of samples.
  EXPECT_EQ(h["XBINNING"], "1");
  EXPECT_EQ(h["READOUTM"], "Fast");
  EXPECT_NEAR(std::stod(h["XPIXSZ"]), 8.6, 1e-6);
  EXPECT_NEAR(std::stod(h["FOCALLEN"]), 300.0, 1e-6);
  EXPECT_NEAR(std::stod(h["APTDIA"]), 76.2, 0.01);
  EXPECT_NEAR(std::stod(h["SCALE"]), 5.913, 0.001);
  EXPECT_EQ(h["SWCREATE"].rfind("Tarvex ", 0), 0u) << h["SWCREATE"];
  EXPECT_EQ(h["BAYERPAT"], "MISSING");  // a binned frame holds no mosaic
  EXPECT_EQ(h["NAXIS1"], "752");

  // Turned off in the small settings file: the series alone.
  MoreSettings more;
  ASSERT_EQ(more.set(AUTOSAVE_STANDARD_KEY, "off"), SettingChange::Set);
  ASSERT_EQ(save_more_settings(app->paths.more_settings_file(), more), FileSave::Ok);
  AutosaveFront second;
  Sequencer again(*app, second);
  ASSERT_EQ(again.take_photo(), CaptureOutcome::Done);
  EXPECT_EQ(second.files.size(), 1u);
  EXPECT_TRUE(second.standard.empty());
  EXPECT_FALSE(std::filesystem::exists(second.files[0].parent_path() / "IMG2.fits"));
}

// No camera: a context whose USB port leads nowhere.
TEST(CentreTarget, RefusedWithoutACamera) {
  testing::TestContext ctx;
  FakeMount mount;
  mount.caps.position_ra_step_seconds = 1;
  mount.caps.position_dec_step_arcsec = 1;
  TruePointing truth;
  TruthSolver solver(truth, ctx.clock);
  Steps steps;
  CentreRequest request;
  request.first_goto.kind = CentreGoto::Kind::Catalogue;
  request.first_goto.number = 31;
  const CentreOutcome o = centre_target(*ctx, mount, &solver, request, steps);
  EXPECT_EQ(o.status, CentreStatus::Refused);
  EXPECT_EQ(o.message, Msg::CentreNoCamera);
  EXPECT_EQ(mount.log, std::vector<std::string>{"open"}) << "nothing moved";
  EXPECT_EQ(solver.solves, 0);
}

}  // namespace
}  // namespace tarvex
