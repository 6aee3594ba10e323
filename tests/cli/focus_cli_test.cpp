#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <vector>

#include "app/capture/focus_mode.h"
#include "cli/cli.h"
#include "test_support.h"

namespace tarvex {
namespace {

// A round Gaussian star of known width on a flat sky: the measured width is
// its FWHM (2.3548 sigma) to within the pixel grid.
TEST(FocusWidth, RoundGaussianStarGivesItsFullWidthAtHalfMaximum) {
  for (const double sigma : {1.5, 3.0, 6.0}) {
    std::vector<std::uint16_t> window(SMALL_FRAME_SAMPLES);
    for (int y = 0; y < SMALL_FRAME_SIDE; ++y)
      for (int x = 0; x < SMALL_FRAME_SIDE; ++x) {
        const double r2 = (x - 64.3) * (x - 64.3) + (y - 63.6) * (y - 63.6);
        window[y * SMALL_FRAME_SIDE + x] =
            static_cast<std::uint16_t>(1000 + 20000 * std::exp(-r2 / (2 * sigma * sigma)));
      }
    EXPECT_NEAR(window_fwhm(window.data()), 2.3548 * sigma, 0.4) << "sigma " << sigma;
  }
  std::vector<std::uint16_t> flat(SMALL_FRAME_SAMPLES, 500);
  EXPECT_EQ(window_fwhm(flat.data()), 0.0);
}

TEST(FocusCli, PrintsOneLinePerFrameAndRefusesOtherOptions) {
  testing::TempDir dir;
  std::ostringstream out, err;
  const int status =
      cli::run({"--data-root", (dir / "data").string(), "--simulator", "--virtual-time", "focus",
                "--frames", "3", "--range", "t", "--value", "5", "--centre", "400,300"},
               out, err);
  EXPECT_EQ(status, 0) << err.str();
  const std::regex line(R"(frame [1-3]: peak \d+ fwhm \d+\.\d px)");
  std::istringstream lines(out.str());
  int count = 0;
  for (std::string l; std::getline(lines, l); ++count) EXPECT_TRUE(std::regex_match(l, line)) << l;
  EXPECT_EQ(count, 3);

  std::ostringstream out2, err2;
  EXPECT_EQ(cli::run({"--simulator", "focus", "--count", "2"}, out2, err2), 2);
  std::ostringstream out3, err3;
  EXPECT_EQ(cli::run({"--simulator", "focus", "--range", "m"}, out3, err3), 2);
}

}  // namespace
}  // namespace tarvex
