// The plate solver and `tarvex-cli solve`: its refusals, and whole solves
// through the real solve-field of fields rendered from the catalogue.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include <thread>

#include "app/astrometry_solver.h"
#include "app/camera_transport.h"
#include "app/solve_commands.h"
#include "app/solve_file.h"
#include "catalogue_field.h"
#include "cli/cli_fixture.h"
#include "files/fits.h"
#include "files/fits_header_edit.h"
#include "files/fits_image.h"
#include "files/fits_standard.h"
#include "image/history.h"
#include "platform/subprocess.h"
#include "processing/plate_wcs.h"
#include "test_context.h"

namespace tarvex {
namespace {

using namespace std::chrono_literals;
using testing::CliFixture;
using testing::TempDir;

constexpr double kM42Ra = 83.82, kM42Dec = -5.39;

bool solver_installed() {
  return !find_program("solve-field").empty() && !installed_solver_indexes().empty() &&
         !find_star_list().empty();
}

#define SKIP_WITHOUT_SOLVER()                                                              \
  do {                                                                                     \
    if (!solver_installed())                                                               \
      GTEST_SKIP() << "astrometry.net (solve-field and its indexes) is not installed, or " \
                      "the star list is missing: the solve through it is not tested";      \
  } while (0)

// Whole solves take seconds each: the sanitizer build leaves them out.
#if defined(__SANITIZE_ADDRESS__)
#define SKIP_IN_SANITIZER_BUILD() GTEST_SKIP() << "long solves run in the normal build only"
#else
#define SKIP_IN_SANITIZER_BUILD() \
  do {                            \
  } while (0)
#endif

std::string card(const std::string& text) {
  std::string c = text;
  c.resize(80, ' ');
  return c;
}

// An index file's header alone: enough for the solver to learn its range.
void write_index_header(const std::filesystem::path& p, double low_rad, double high_rad) {
  char low[81], high[81];
  std::snprintf(low, sizeof low, "SCALE_L =     %.12f / lower", low_rad);
  std::snprintf(high, sizeof high, "SCALE_U =     %.12f / upper", high_rad);
  std::string h = card("SIMPLE  =                    T") + card(low) + card(high) + card("END");
  h.resize(2880, ' ');
  std::ofstream(p, std::ios::binary) << h;
}

TEST(PlateSolver, RefusesWithoutSolverOrSuitableIndex) {
  TempDir dir;
  SolveImage image{376, 290, std::vector<std::uint16_t>(376 * 290, 1000)};
  SolveRequest request;
  request.pixel_width_um = 17.2;
  request.pixel_height_um = 16.6;

  SolveOutcome o = make_astrometry_solver("tarvex-no-solve-field")->solve(image, request);
  EXPECT_EQ(o.failure, SolveFailure::SolverMissing);
  EXPECT_NE(o.reason.find("astrometry.net is not installed"), std::string::npos);
  EXPECT_NE(o.reason.find("astrometry.net, astrometry-data-tycho2-08 and "
                          "astrometry-data-tycho2-09"),
            std::string::npos);

  // A stand-in solver that must never be reached: the refusals come first.
  const auto fake = dir / "solve-field";
  std::ofstream(fake) << "#!/bin/sh\ntouch " << (dir / "ran").string() << "\n";
  std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
  std::filesystem::create_directory(dir / "indexes");
  std::ofstream(dir / "astrometry.cfg")
      << "# indexes\nadd_path " << (dir / "indexes").string() << "\nautoindex\n";
  o = make_astrometry_solver(fake.string(), dir / "astrometry.cfg")->solve(image, request);
  EXPECT_EQ(o.failure, SolveFailure::NoIndexForScale);
  EXPECT_NE(o.reason.find("no astrometry.net index is installed"), std::string::npos);

  // The tycho2-08 and -09 quads (30'..42'..60') from their headers, and a
  // -10 known by its name alone (60'..85').
  constexpr double kArcmin = 3.14159265358979323846 / 180 / 60;
  write_index_header(dir / "indexes" / "index-4108.fits", 30 * kArcmin, 42 * kArcmin);
  write_index_header(dir / "indexes" / "index-4109.fits", 42 * kArcmin, 60 * kArcmin);
  std::ofstream(dir / "indexes" / "index-tycho2-10.fits") << "not a FITS header";
  const auto indexes = installed_solver_indexes(dir / "astrometry.cfg");
  ASSERT_EQ(indexes.size(), 3u);
  EXPECT_NEAR(indexes[0].quad_low_arcmin, 30, 1e-6);
  EXPECT_NEAR(indexes[1].quad_high_arcmin, 60, 1e-6);
  EXPECT_NEAR(indexes[2].quad_low_arcmin, 60, 1e-6);
  EXPECT_NEAR(indexes[2].quad_high_arcmin, 85, 1e-6);

  // 2000 mm: a field of 11' x 8', diagonal 14', too small for 30' quads.
  request.focal_length_mm = 2000;
  o = make_astrometry_solver(fake.string(), dir / "astrometry.cfg")->solve(image, request);
  EXPECT_EQ(o.failure, SolveFailure::NoIndexForScale);
  EXPECT_NE(o.reason.find("no index for this field size: the field is 11\xE2\x80\xB2 x 8"),
            std::string::npos)
      << o.reason;
  EXPECT_NE(o.reason.find("(diagonal 14\xE2\x80\xB2); the installed indexes serve fields with a "
                          "diagonal from 30\xE2\x80\xB2 and sides up to 14\xC2\xB0"),
            std::string::npos)
      << o.reason;
  // 700 mm still has a diagonal over 30'; 3 mm a field far too wide.
  EXPECT_EQ(index_coverage_refusal(indexes, 31.8, 23.6), "");
  EXPECT_NE(index_coverage_refusal(indexes, 9000, 7000), "");
  EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
}

// A standard FITS file of the rendered raw frame, carrying the focal length
// and (when given) the pointing in its header, as the program writes them.
bool write_field_file(const std::filesystem::path& path, const std::vector<std::uint16_t>& frame,
                      double focal_mm, std::optional<SkyPosition> pointing) {
  auto fs = std::make_unique<FrameStore>();
  std::copy(frame.begin(), frame.end(), fs->CurrentFrame.begin());
  fs->IsColour = false;
  fs->IsBinned = false;
  FitsText fits;
  fits.fits_focal_length = focal_mm / 25.4;
  fits.fits_object = "M42";
  ProcessingHistory history;
  StandardFitsStamp stamp;
  stamp.software = "Tarvex test";
  if (pointing) {
    stamp.pointing_known = true;
    stamp.ra_hours = pointing->ra_hours;
    stamp.dec_degrees = pointing->dec_degrees;
  }
  return save_standard_fits(path, *fs, fits, history, StandardFitsSamples::Int16, stamp) ==
         FileSave::Ok;
}

// The angular distance between two positions, arcseconds.
double separation_arcsec(double ra1_deg, double dec1_deg, double ra2_deg, double dec2_deg) {
  constexpr double kDeg = 3.14159265358979323846 / 180;
  const double c =
      std::sin(dec1_deg * kDeg) * std::sin(dec2_deg * kDeg) +
      std::cos(dec1_deg * kDeg) * std::cos(dec2_deg * kDeg) * std::cos((ra1_deg - ra2_deg) * kDeg);
  return std::acos(std::min(1.0, c)) / kDeg * 3600;
}

struct SolveCli : CliFixture {};

TEST_F(SolveCli, HintAndFocalLengthFromTheHeaderWcsAddedAroundEveryCard) {
  SKIP_WITHOUT_SOLVER();
  SKIP_IN_SANITIZER_BUILD();
  const auto frame = testing::catalogue_field(kM42Ra, kM42Dec, 300);
  ASSERT_FALSE(frame.empty());
  const auto file = dir / "m42.fits";
  // The mount believed it pointed 20' off.
  ASSERT_TRUE(write_field_file(file, frame, 300, SkyPosition{(kM42Ra + 0.3) / 15, kM42Dec + 0.1}));
  const auto before = testing::read_bytes(file);
  const auto cards_before = read_fits_header_cards(file);

  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(run({"solve", file.string()}), 0) << err.str() << out.str();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "solve with a hint from the header: " << seconds << " s\n";
  const std::regex line(
      "solved RA (\\d\\d):(\\d\\d):(\\d\\d\\.\\d) Dec ([+-])(\\d\\d):(\\d\\d):(\\d\\d) "
      "scale (\\d+\\.\\d\\d)\"/px angle (-?\\d+\\.\\d) deg \\(J2000\\)\n");
  std::smatch m;
  const std::string text = out.str();
  ASSERT_TRUE(std::regex_match(text, m, line)) << text;
  const double ra = (std::stod(m[1]) + std::stod(m[2]) / 60 + std::stod(m[3]) / 3600) * 15;
  const double dec =
      (m[4] == "-" ? -1 : 1) * (std::stod(m[5]) + std::stod(m[6]) / 60 + std::stod(m[7]) / 3600);
  // Within a pixel (5.9") of where the field was rendered, plus the
  // rounding of the printed line.
  EXPECT_LT(separation_arcsec(ra, dec, kM42Ra, kM42Dec), 5.9 + 1.5);
  EXPECT_NEAR(std::stod(m[8]), 206.265 * 8.6 / 300, 0.03);
  // The field was rendered with north towards the bottom rows.
  EXPECT_NEAR(std::fabs(std::stod(m[9])), 180.0, 0.2);

  // Every original card in its place and the data unchanged; the new cards
  // put the middle of the picture where it was rendered.
  const auto after = testing::read_bytes(file);
  const auto cards_after = read_fits_header_cards(file);
  ASSERT_EQ(cards_after.size(), cards_before.size() + wcs_keywords().size());
  for (std::size_t i = 0; i + 1 < cards_before.size(); ++i)
    EXPECT_EQ(cards_after[i], cards_before[i]) << i;
  const std::size_t data_before = (cards_before.size() * 80 + 2879) / 2880 * 2880;
  const std::size_t data_after = (cards_after.size() * 80 + 2879) / 2880 * 2880;
  ASSERT_EQ(after.size() - data_after, before.size() - data_before);
  EXPECT_TRUE(std::equal(after.begin() + static_cast<std::ptrdiff_t>(data_after), after.end(),
                         before.begin() + static_cast<std::ptrdiff_t>(data_before)));
  WcsSolution w;
  for (const auto& [key, value] : {std::pair{"CRVAL1", &w.crval1},
                                   {"CRVAL2", &w.crval2},
                                   {"CRPIX1", &w.crpix1},
                                   {"CRPIX2", &w.crpix2},
                                   {"CD1_1", &w.cd1_1},
                                   {"CD1_2", &w.cd1_2},
                                   {"CD2_1", &w.cd2_1},
                                   {"CD2_2", &w.cd2_2}}) {
    bool found = false;
    for (const auto& c : cards_after)
      if (const auto v = fits_card_value(c, key)) {
        *value = std::stod(*v);
        found = true;
      }
    EXPECT_TRUE(found) << key;
  }
  const SkyPosition middle = wcs_pixel_to_sky(w, (FRAME_WIDTH + 1) / 2.0, (FRAME_HEIGHT + 1) / 2.0);
  EXPECT_LT(separation_arcsec(middle.ra_hours * 15, middle.dec_degrees, kM42Ra, kM42Dec), 5.9);
  // The file's pixel scale: the full-resolution pixels, not the binned ones.
  EXPECT_NEAR(std::hypot(w.cd1_1, w.cd2_1) * 3600, 206.265 * 8.6 / 300, 0.03);
  // A standard reader still takes the file.
  EXPECT_TRUE(read_fits_image(file).image.has_value());
}

TEST_F(SolveCli, OwnLayoutGetsAStandardCopyAndHintArgumentsWin) {
  SKIP_WITHOUT_SOLVER();
  SKIP_IN_SANITIZER_BUILD();
  const auto frame = testing::catalogue_field(10.68, 41.27, 300);  // M31
  ASSERT_FALSE(frame.empty());
  auto fs = std::make_unique<FrameStore>();
  std::copy(frame.begin(), frame.end(), fs->CurrentFrame.begin());
  FitsText fits;
  fits.fits_focal_length = 300 / 25.4;  // the own layout keeps inches
  ProcessingHistory history;
  const auto file = dir / "IMG7.FIT";
  ASSERT_EQ(save_fits(file, false, *fs, fits, history), FileSave::Ok);
  const auto own = testing::read_bytes(file);
  ASSERT_EQ(
      run({"solve", file.string(), "--ra", "00:42:44", "--dec", "+41:16:09", "--radius", "2"}), 0)
      << err.str() << out.str();
  const auto copy = dir / "IMG7-wcs.fits";
  EXPECT_NE(out.str().find("\nstandard copy with the solution: " + copy.string() + "\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(testing::read_bytes(file), own);  // the own file is left as it was
  const auto cards = read_fits_header_cards(copy);
  const auto has = [&](const std::string& start) {
    return std::any_of(cards.begin(), cards.end(),
                       [&](const std::string& c) { return c.rfind(start, 0) == 0; });
  };
  EXPECT_TRUE(has("CTYPE1  = 'RA---TAN'"));
  EXPECT_TRUE(has("EQUINOX =               2000.0"));
  EXPECT_TRUE(has("FOCALLEN"));
  const auto image = read_fits_image(copy);
  ASSERT_TRUE(image.image.has_value());
  EXPECT_EQ(image.image->width, FRAME_WIDTH);
}

TEST_F(SolveCli, RefusalsAndFailures) {
  // Bad arguments and unreadable files: exit 2.
  EXPECT_EQ(run({"solve"}), 2);
  EXPECT_EQ(run({"solve", "x.fits", "--ra", "05:35:17"}), 2);
  EXPECT_NE(err.str().find("--ra and --dec go together"), std::string::npos);
  EXPECT_EQ(run({"solve", "x.fits", "--ra", "24:00:00", "--dec", "+10:00:00"}), 2);
  EXPECT_EQ(run({"solve", "x.fits", "--dec", "+91:00:00", "--ra", "01:00:00"}), 2);
  EXPECT_EQ(run({"solve", "x.fits", "--focal-length", "-3"}), 2);
  EXPECT_EQ(run({"solve", "x.fits", "--radius", "3"}), 2);
  EXPECT_EQ(run({"solve", (dir / "missing.fits").string(), "--focal-length", "300"}), 2);
  std::ofstream(dir / "text.fits") << "not an image";
  EXPECT_EQ(run({"solve", (dir / "text.fits").string(), "--focal-length", "300"}), 2);

  // A file without a focal length, none given: a usage error naming it.
  const auto file = dir / "plain.fits";
  std::vector<std::uint16_t> flat(FRAME_SAMPLES, 1000);
  ASSERT_TRUE(write_field_file(file, flat, 300, std::nullopt));
  ASSERT_TRUE(add_fits_header_cards(file, {}, {"FOCALLEN"}).result == HeaderEdit::Done);
  EXPECT_EQ(run({"solve", file.string()}), 2);
  EXPECT_NE(err.str().find("--focal-length"), std::string::npos) << err.str();

  // No solve-field on the PATH.
  {
    testing::PathSetting path((dir / "empty").string());
    EXPECT_EQ(run({"solve", file.string(), "--focal-length", "300"}), 1);
  }
  EXPECT_EQ(out.str(),
            "not solved: astrometry.net is not installed (no solve-field): install "
            "astrometry.net, astrometry-data-tycho2-08 and astrometry-data-tycho2-09\n");

  SKIP_WITHOUT_SOLVER();
  SKIP_IN_SANITIZER_BUILD();
  // An empty sky: too few stars, said so.
  EXPECT_EQ(run({"solve", file.string(), "--focal-length", "300"}), 1);
  EXPECT_EQ(out.str().rfind("not solved: too few stars: ", 0), 0u) << out.str();
}

TEST_F(SolveCli, CtrlCEndsSolveField) {
  // A solve-field that would take a minute, writing down its process.
  std::filesystem::create_directory(dir / "bin");
  const auto fake = dir / "bin" / "solve-field";
  std::ofstream(fake) << "#!/bin/sh\necho $$ > " << (dir / "pid").string() << "\nexec sleep 60\n";
  std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
  const auto frame = testing::catalogue_field(kM42Ra, kM42Dec, 300);
  const auto file = dir / "field.fits";
  ASSERT_TRUE(write_field_file(file,
                               frame.empty() ? std::vector<std::uint16_t>(FRAME_SAMPLES, 9) : frame,
                               300, std::nullopt));
  testing::PathSetting path((dir / "bin").string() + ":" + std::getenv("PATH"));
  std::thread interrupt([&] {
    // Once solve-field runs, Ctrl-C.
    for (int i = 0; i < 1000 && !std::filesystem::exists(dir / "pid"); ++i)
      std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(100ms);
    ::kill(::getpid(), SIGINT);
  });
  const auto start = std::chrono::steady_clock::now();
  const int status = run({"solve", file.string()});
  interrupt.join();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out.str(), "not solved: cancelled\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
  std::ifstream in(dir / "pid");
  pid_t pid = 0;
  ASSERT_TRUE(in >> pid);
  std::this_thread::sleep_for(50ms);
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  EXPECT_TRUE(line.empty() || line.find(") Z") != std::string::npos) << line;
}

TEST(PlateSolver, CancelEndsSolveFieldAndTimeOutIsNamed) {
  SKIP_WITHOUT_SOLVER();
  TempDir dir;
  const auto frame = testing::catalogue_field(kM42Ra, kM42Dec, 300);
  ASSERT_FALSE(frame.empty());
  SolveImage image{FRAME_WIDTH, FRAME_HEIGHT, frame};
  SolveRequest request;  // no hint: a search of the whole sky
  std::atomic<bool> cancel{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(300ms);
    cancel = true;
  });
  const auto start = std::chrono::steady_clock::now();
  const SolveOutcome o = make_astrometry_solver()->solve(image, request, &cancel);
  stopper.join();
  EXPECT_EQ(o.failure, SolveFailure::Cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

  // A solver that stops at its processor-time limit, as astrometry.net's
  // engine reports it.
  const auto fake = dir / "solve-field";
  std::ofstream(fake) << "#!/bin/sh\necho 'Total CPU time limit reached!'\nexit 0\n";
  std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
  request.hint = SkyPosition{1, 2};
  const SolveOutcome t = make_astrometry_solver(fake.string())->solve(image, request);
  EXPECT_EQ(t.failure, SolveFailure::TimedOut);
  EXPECT_EQ(t.reason.rfind("time-out", 0), 0u) << t.reason;
}

// The measurement of the closing note, run on demand:
//   build/tarvex_tests --gtest_also_run_disabled_tests
//     --gtest_filter='SolveTiming.DISABLED_*'
// Twelve fields spread over the sky at 300 mm, each solved with a hint 20'
// off; every centre must come within a pixel of where it was rendered.
TEST(SolveTiming, DISABLED_TwelveFieldsWithHints) {
  SKIP_WITHOUT_SOLVER();
  TempDir dir;
  const std::pair<double, double> fields[] = {{10.68, 41.27},  {83.82, -5.39}, {201.37, -43.02},
                                              {283.40, 33.03}, {0.5, 0.5},     {45.0, 60.0},
                                              {120.0, -30.0},  {160.0, 10.0},  {230.0, 75.0},
                                              {250.0, -60.0},  {310.0, 20.0},  {350.0, -15.0}};
  std::vector<double> seconds;
  auto scratch = std::make_unique<FrameStore>();
  const auto solver = make_astrometry_solver();
  for (const auto& [ra, dec] : fields) {
    const auto frame = testing::catalogue_field(ra, dec, 300);
    ASSERT_FALSE(frame.empty());
    const auto file = dir / "field.fits";
    std::filesystem::remove(file);
    ASSERT_TRUE(write_field_file(file, frame, 300, SkyPosition{(ra + 0.3) / 15, dec + 0.1}));
    SolveFileRequest request;
    request.file = file;
    const auto start = std::chrono::steady_clock::now();
    const SolveFileResult r = solve_file(request, *solver, *scratch);
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    ASSERT_TRUE(r.outcome.solution) << ra << " " << dec << ": " << r.outcome.reason;
    const SkyPosition c = r.outcome.solution->centre;
    const double off = separation_arcsec(c.ra_hours * 15, c.dec_degrees, ra, dec);
    std::cout << "field " << ra << " " << dec << ": " << seconds.back() << " s, centre off " << off
              << "\"\n";
    EXPECT_LT(off, 206.265 * 8.6 / 300);
  }
  std::sort(seconds.begin(), seconds.end());
  std::cout << "solve with a hint: median " << (seconds[5] + seconds[6]) / 2 << " s, max "
            << seconds.back() << " s\n";
}

// A solver that answers from a script: it waits for the cancel flag when
// told to, and records what it was asked.
class ScriptedSolver : public PlateSolver {
 public:
  SolveOutcome answer;
  bool wait_for_cancel = false;
  SolveImage seen_image;
  SolveRequest seen_request;
  SolveOutcome solve(const SolveImage& image, const SolveRequest& request,
                     const std::atomic<bool>* cancel) override {
    seen_image = image;
    seen_request = request;
    while (wait_for_cancel && !cancel->load()) std::this_thread::sleep_for(5ms);
    return wait_for_cancel ? SolveOutcome{std::nullopt, SolveFailure::Cancelled, "cancelled"}
                           : answer;
  }
};

TEST(SolveImageCommand, PreparesRunsCancelsAndKeepsTheSolutionWithItsImage) {
  TempDir dir;
  RecordingMessages messages;
  VirtualClock clock;
  ScriptedPump pump(clock);
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  Tarvex app(Paths(dir / "data"), Ports{messages, clock, pump, progress, launcher, display});
  std::fill(app.store().CurrentFrame.begin(), app.store().CurrentFrame.end(), 500);

  std::string refusal;
  app.fits.fits_focal_length = 0;
  EXPECT_FALSE(prepare_image_solve(app, refusal));
  EXPECT_NE(refusal.find("focal length"), std::string::npos);

  app.fits.fits_focal_length = 300 / 25.4;
  const auto job = prepare_image_solve(app, refusal);
  ASSERT_TRUE(job);
  EXPECT_EQ(job->binning, 2);  // a raw frame
  EXPECT_EQ(job->image.width, FRAME_WIDTH / 2);
  EXPECT_NEAR(job->request.focal_length_mm, 300, 1e-9);
  EXPECT_NEAR(job->request.pixel_width_um, 17.2, 1e-9);
  EXPECT_NEAR(job->request.pixel_height_um, 16.6, 1e-9);

  // A press during the solve cancels it; the window was busy meanwhile.
  ScriptedSolver solver;
  solver.wait_for_cancel = true;
  pump.press_at(clock.now_ms() + 500, Input::Key);
  SolveOutcome o = run_image_solve(app, *job, solver);
  EXPECT_EQ(o.failure, SolveFailure::Cancelled);
  EXPECT_EQ(progress.captions.back(), SOLVE_PROGRESS_CAPTION);
  EXPECT_FALSE(progress.is_open);
  EXPECT_FALSE(app.busy);
  KeptSolution kept;
  EXPECT_EQ(finish_image_solve(app, *job, o, kept), "not solved: cancelled");
  EXPECT_FALSE(kept.solution);

  // A solution in binned pixels comes back in the frame's own.
  solver.wait_for_cancel = false;
  PlateSolution s;
  s.centre = {5.5, -5.5};
  s.arcsec_per_pixel = 11.8;
  s.wcs.crpix1 = 188.5;
  s.wcs.crpix2 = 145.5;
  s.wcs.cd1_1 = s.wcs.cd2_2 = -11.8 / 3600;
  solver.answer.solution = s;
  o = run_image_solve(app, *job, solver);
  EXPECT_EQ(finish_image_solve(app, *job, o, kept),
            "solved RA 05:30:00.0 Dec -05:30:00 scale 5.90\"/px angle 0.0 deg (J2000)");
  const auto current = current_image_solution(app, kept);
  ASSERT_TRUE(current);
  EXPECT_NEAR(current->wcs.crpix1, 376.5, 1e-9);
  EXPECT_NEAR(current->wcs.cd1_1, -5.9 / 3600, 1e-12);
  // Once the image changes, the solution no longer belongs to it.
  app.store().CurrentFrame[1000] = 7;
  EXPECT_FALSE(current_image_solution(app, kept));
}

// What the solver is handed for each kind of file: the picture's size and
// the size of its pixels, from the header or the own layout's record.
TEST(SolveFile, EachKindOfImageReachesTheSolverAtItsScale) {
  TempDir dir;
  auto fs = std::make_unique<FrameStore>();
  std::fill(fs->CurrentFrame.begin(), fs->CurrentFrame.end(), 100);
  std::fill(fs->RedPlane.begin(), fs->RedPlane.end(), 100);
  std::fill(fs->GreenPlane.begin(), fs->GreenPlane.end(), 200);
  std::fill(fs->BluePlane.begin(), fs->BluePlane.end(), 300);
  FitsText fits;
  fits.fits_focal_length = 20;  // inches
  ProcessingHistory history;
  StandardFitsStamp stamp;
  struct Case {
    const char* name;
    bool colour, binned, own;
    int width;
    double pixel_um;
  } cases[] = {{"raw.fits", false, false, false, FRAME_WIDTH / 2, 17.2},
               {"binned.fits", false, true, false, FRAME_WIDTH / 2, 17.2},
               {"colour.fits", true, false, false, FRAME_WIDTH, 8.6},
               {"raw.FIT", false, false, true, FRAME_WIDTH / 2, 17.2},
               {"colour.FIT", true, false, true, FRAME_WIDTH, 8.6}};
  auto scratch = std::make_unique<FrameStore>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs->IsColour = c.colour;
    fs->IsBinned = c.binned;
    const auto file = dir / c.name;
    ASSERT_EQ(c.own
                  ? save_fits(file, c.colour, *fs, fits, history)
                  : save_standard_fits(file, *fs, fits, history, StandardFitsSamples::Int16, stamp),
              FileSave::Ok);
    ScriptedSolver solver;
    solver.answer.failure = SolveFailure::NotSolved;
    SolveFileRequest request;
    request.file = file;
    const SolveFileResult r = solve_file(request, solver, *scratch);
    EXPECT_EQ(r.status, SolveFileStatus::NotSolved);
    EXPECT_EQ(solver.seen_image.width, c.width);
    EXPECT_NEAR(solver.seen_request.pixel_width_um, c.pixel_um, 1e-6);
    EXPECT_NEAR(solver.seen_request.focal_length_mm, 508, 1e-6);
    EXPECT_FALSE(solver.seen_request.hint);
    // Luminance of 100, 200, 300: 0.299 * 100 + 0.587 * 200 + 0.114 * 300.
    EXPECT_EQ(solver.seen_image.pixels.at(1000), c.colour ? 182 : 100);
  }
}

}  // namespace
}  // namespace tarvex
