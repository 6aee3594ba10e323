// tarvex-cli train and guide on the simulated camera and mount with a
// virtual clock, from a fresh data folder: what they print and save, a
// refusal, and a Ctrl-C that ends guiding as a key press does.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <regex>
#include <sstream>
#include <streambuf>

#include "app/guiding/guide_graph.h"
#include "cli_fixture.h"
#include "files/settings.h"
#include "platform/basic_ports.h"
#include "sim/sim_mount.h"

namespace tarvex {
namespace {

const std::regex kCorrection(
    R"(^ *\d+\.\d s +dx +[+-]\d+\.\d{3} +dy +[+-]\d+\.\d{3} +RA +[+-]\d+ ms +Dec +[+-]\d+ ms)"
    R"((?:  star beyond correction range)?$)");

struct GuideRun {
  int corrections = 0;  // the lines printed
  int ra_pulses = 0;
  double sum_xx = 0, sum_yy = 0;  // of the errors printed
  std::string last_line;
};

GuideRun read_guide_output(const std::string& text) {
  GuideRun r;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (std::regex_match(line, kCorrection)) {
      ++r.corrections;
      int ms = 0;
      std::sscanf(line.c_str() + line.find("RA ") + 3, "%d", &ms);
      r.ra_pulses += ms != 0;
      double dx = 0, dy = 0;
      std::sscanf(line.c_str() + line.find("dx ") + 3, "%lf", &dx);
      std::sscanf(line.c_str() + line.find("dy ") + 3, "%lf", &dy);
      r.sum_xx += dx * dx;
      r.sum_yy += dy * dy;
    } else {
      r.last_line = line;
    }
  }
  return r;
}

using GuideCli = testing::CliFixture;

TEST_F(GuideCli, TrainMeasuresTheSimulatedMountAndSavesWhatItMeasured) {
  ASSERT_EQ(run({"--simulator", "--virtual-time", "train"}), 0) << err.str();
  int ra = 0, dec = 0, ra_backlash = 0, dec_backlash = 0;
  ASSERT_EQ(std::sscanf(out.str().c_str(),
                        "RA rate %d px/s, Dec rate %d px/s, RA backlash %d, Dec "
                        "backlash %d",
                        &ra, &dec, &ra_backlash, &dec_backlash),
            4)
      << out.str();
  // The simulated mount's rates and backlash, within the formula's
  // resolution (whole pixels over a 1 s training pulse).
  const SimMountConfig mount;
  EXPECT_NEAR(ra, mount.guide_rate_ra, 1);
  EXPECT_NEAR(dec, mount.guide_rate_dec, 1);
  EXPECT_NEAR(ra_backlash, mount.ra_backlash, 1);
  EXPECT_NEAR(dec_backlash, mount.dec_backlash, 1);
  EXPECT_NE(err.str().find("message 50: slewx = "), std::string::npos);

  Settings saved;
  FitsText fits;
  RecordingMessages quiet;
  ASSERT_FALSE(settings_load_failed(
      load_settings(dir / "data" / "autosave" / "Tarvex.ini", saved, fits, quiet)));
  EXPECT_EQ(saved.ra_pixels_per_sec, ra);
  EXPECT_EQ(saved.dec_pixels_per_sec, dec);
  EXPECT_EQ(saved.ra_backlash, ra_backlash);
  EXPECT_EQ(saved.dec_backlash, dec_backlash);
  // What the run chose for the simulator is not saved with them: the drive
  // directions and the link stay the user's.
  EXPECT_EQ(saved.drive_directions, (DriveDirections{false, false}));
  EXPECT_EQ(saved.telescope_type, LinkType::None);
}

TEST_F(GuideCli, GuideHoldsTheStarWithTheDefaultDirectionsAndPrintsTheRms) {
  // 40 inches of focal length, 8.6 um pixels: 1.746 arcseconds per pixel
  // in RA, 8.3 um: 1.685 in Dec.
  ASSERT_EQ(run({"--simulator", "--virtual-time", "guide", "--minutes", "2", "--fits",
                 "focal-length=40"}),
            0)
      << err.str();
  const GuideRun r = read_guide_output(out.str());
  // A frame about every 1.3 s for two minutes, each with its line.
  EXPECT_GT(r.corrections, 80);
  EXPECT_LT(r.corrections, 100);
  // The mount drifts 2.4 px in the two minutes: corrections were sent and
  // closed the loop.
  EXPECT_GT(r.ra_pulses, 0);
  double rms_ra = 0, rms_dec = 0, arc_ra = 0, arc_dec = 0;
  int n = 0;
  ASSERT_EQ(std::sscanf(r.last_line.c_str(),
                        "%d corrections: RMS RA %lf px, Dec %lf px (RA %lf\", Dec %lf\")", &n,
                        &rms_ra, &rms_dec, &arc_ra, &arc_dec),
            5)
      << r.last_line;
  EXPECT_EQ(n, r.corrections);
  EXPECT_LT(rms_ra, 0.3);
  EXPECT_LT(rms_dec, 0.3);
  EXPECT_NEAR(arc_ra, rms_ra * 206.265 * 8.6 / (40 * 25.4), 0.006);
  EXPECT_NEAR(arc_dec, rms_dec * 206.265 * 8.3 / (40 * 25.4), 0.006);
  EXPECT_NE(err.str().find("message 51: Guiding Terminated"), std::string::npos);

  // Without a focal length the RMS is in pixels only.
  ASSERT_EQ(run({"--simulator", "--virtual-time", "guide", "--minutes", "1"}), 0) << err.str();
  EXPECT_EQ(read_guide_output(out.str()).last_line.find('"'), std::string::npos);
}

TEST_F(GuideCli, SummaryCoversTheWholeRunBeyondWhatTheGraphKeeps) {
  // Half an hour: more corrections than the graph's ring holds.
  ASSERT_EQ(run({"--simulator", "--virtual-time", "guide", "--minutes", "30"}), 0) << err.str();
  const GuideRun r = read_guide_output(out.str());
  ASSERT_GT(r.corrections, static_cast<int>(GuideGraph::CAPACITY));
  double rms_ra = 0, rms_dec = 0;
  int n = 0;
  ASSERT_EQ(std::sscanf(r.last_line.c_str(), "%d corrections: RMS RA %lf px, Dec %lf px", &n,
                        &rms_ra, &rms_dec),
            3)
      << r.last_line;
  EXPECT_EQ(n, r.corrections);
  EXPECT_NEAR(rms_ra, std::sqrt(r.sum_xx / r.corrections), 0.001);
  EXPECT_NEAR(rms_dec, std::sqrt(r.sum_yy / r.corrections), 0.001);
}

TEST_F(GuideCli, AStarTheCameraCannotFrameIsRefusedWithItsReason) {
  // Right of the columns the camera's window reaches.
  EXPECT_EQ(run({"--simulator", "--virtual-time", "guide", "--star", "600,200"}), 1);
  EXPECT_NE(err.str().find("message 50: The camera cannot read a guiding frame around this star"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(err.str().find("message 51"), std::string::npos) << "guiding never started";
  EXPECT_EQ(out.str(), "");
  // Options that do not belong to guiding are refused before anything runs.
  EXPECT_EQ(run({"--simulator", "--virtual-time", "guide", "--count", "3"}), 2);
  EXPECT_NE(err.str().find("--count does not belong to guide"), std::string::npos);
  EXPECT_EQ(run({"--simulator", "--virtual-time", "guide", "--fits", "object=M31"}), 2);
  EXPECT_EQ(out.str(), "");
}

TEST_F(GuideCli, BenchmarkAndUnguidedRunsPrintTheirLinesAndRefuseWhatIsNotTheirs) {
  EXPECT_EQ(run({"guide", "--benchmark", "--scenario", "nope"}), 2);
  EXPECT_NE(err.str().find("--scenario takes seeing, pe, drift-backlash, cloud, not nope"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(run({"guide", "--benchmark", "--star", "100,100"}), 2);
  EXPECT_NE(err.str().find("--star does not belong to guide --benchmark"), std::string::npos);
  EXPECT_EQ(run({"guide", "--scenario", "pe"}), 2);
  EXPECT_NE(err.str().find("--scenario belongs to guide --benchmark"), std::string::npos);
  EXPECT_EQ(out.str(), "");

  ASSERT_EQ(run({"guide", "--benchmark", "--scenario", "seeing", "--minutes", "2"}), 0)
      << err.str();
  const std::regex result(
      R"(^scenario seeing controller (classic|reference|predictive) rms-ra \d+\.\d\d" )"
      R"(rms-dec \d+\.\d\d" rms-total \d+\.\d\d" peak \d+\.\d\d" dec-reversals \d+$)");
  std::istringstream lines(out.str());
  std::string line;
  int results = 0;
  while (std::getline(lines, line) && std::regex_match(line, result)) ++results;
  EXPECT_EQ(results, 3) << out.str();
  EXPECT_EQ(line, "scenario seeing floor 0.53\"");

  out.str("");
  ASSERT_EQ(run({"--simulator", "--virtual-time", "guide", "--unguided", "--minutes", "1"}), 0)
      << err.str();
  const std::regex frame(R"(^frame (\d+) t \d+\.\d{3} x \d+\.\d{3} y \d+\.\d{3}$)");
  std::istringstream frames(out.str());
  int count = 0;
  while (std::getline(frames, line)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, frame)) << line;
    EXPECT_EQ(std::stoi(m[1]), ++count);
  }
  EXPECT_GT(count, 40);
}

// An output stream that sends the process a Ctrl-C as its `lines`th line
// ends, as a user pressing it while guiding runs.
class InterruptingBuffer : public std::streambuf {
 public:
  explicit InterruptingBuffer(int lines) : left_(lines) {}
  std::string text;

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    text.push_back(traits_type::to_char_type(c));
    if (c == '\n' && --left_ == 0) std::raise(SIGINT);
    return c;
  }

 private:
  int left_;
};

volatile std::sig_atomic_t g_outer_handler_calls = 0;
void outer_handler(int) {
  g_outer_handler_calls = g_outer_handler_calls + 1;
}

TEST_F(GuideCli, CtrlCEndsGuidingAfterTheCurrentFrame) {
  // The test's own handler stands in for whatever the caller had: the run
  // takes the signal itself, then puts this one back.
  struct sigaction mine {
  }, before{};
  mine.sa_handler = outer_handler;
  sigemptyset(&mine.sa_mask);
  ASSERT_EQ(sigaction(SIGINT, &mine, &before), 0);
  g_outer_handler_calls = 0;

  InterruptingBuffer buffer(5);
  std::ostream interrupting(&buffer);
  const int status = cli::run({"--data-root", (dir / "data").string(), "--simulator",
                               "--virtual-time", "guide", "--minutes", "10"},
                              interrupting, err);
  struct sigaction after {};
  sigaction(SIGINT, &before, &after);

  EXPECT_EQ(status, 0) << err.str();
  EXPECT_EQ(g_outer_handler_calls, 0) << "the run took the Ctrl-C";
  EXPECT_EQ(after.sa_handler, &outer_handler) << "the run put the caller's handler back";
  // The frame whose line was being printed was the last one; the ending ran.
  const GuideRun r = read_guide_output(buffer.text);
  EXPECT_EQ(r.corrections, 5) << buffer.text;
  EXPECT_EQ(r.last_line.rfind("5 corrections: RMS RA ", 0), 0u) << r.last_line;
  EXPECT_NE(err.str().find("message 51: Guiding Terminated"), std::string::npos);
}

TEST_F(GuideCli, DitheredCaptureLogsEachDitherAndSettleAndRefusesWithoutItsRun) {
  EXPECT_EQ(run({"--simulator", "--virtual-time", "capture", "--autosave", "--dither", "3"}), 2);
  EXPECT_NE(err.str().find("give --self-guide and --autosave too"), std::string::npos) << err.str();
  EXPECT_EQ(run({"--simulator", "--virtual-time", "capture", "--self-guide", "--dither", "3"}), 2);
  EXPECT_EQ(run({"capture", "--self-guide", "--autosave", "--dither", "25"}), 2);
  EXPECT_NE(err.str().find("--dither takes pixels from 0.1 to 20, not 25"), std::string::npos);

  err.str("");
  ASSERT_EQ(run({"--simulator", "--virtual-time", "--sim-mount", "preset=realistic", "capture",
                 "--self-guide", "--autosave", "--continuous", "--frames", "3", "--dither", "2",
                 "--value", "5"}),
            0)
      << err.str();
  const std::regex dither(R"(^ +\d+\.\d s  dither RA [-+]\d\.\d\d px Dec [-+]\d\.\d\d px$)");
  const std::regex settled(R"(^ +\d+\.\d s  settled after \d+ frames \(\d+\.\d s\)$)");
  std::istringstream lines(err.str());
  std::string line;
  int dithers = 0, settles = 0;
  while (std::getline(lines, line)) {
    dithers += std::regex_match(line, dither);
    settles += std::regex_match(line, settled);
  }
  EXPECT_EQ(dithers, 2) << err.str();
  EXPECT_EQ(settles, 2) << err.str();
  EXPECT_NE(out.str().find("IMG3.fits"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace tarvex
