// The colour pipeline end to end against known colours: the colour chart
// taken by the simulated camera on a virtual clock, synthesized with the
// program's default options, balanced with the program's own colour balance
// on the chart's grey patches, and compared with the chart's known colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "../colour/ciede2000.h"
#include "app/capture/sequencer.h"
#include "app/colour/synthesis_commands.h"
#include "colour/corrections.h"
#include "one_shot_front.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "test_support.h"

namespace tarvex {
namespace {

constexpr double PI = 3.14159265358979323846;

class ChartFront : public CaptureFront {
 public:
  explicit ChartFront(ExposureMode mode) : mode_(mode) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& a) override {
    a.mode = mode_;
    a.range = ExposureRange::Seconds;
    a.value = 1;
    a.count = 1;
    return CameraDialogResult::TakePhoto;
  }

 private:
  ExposureMode mode_;
};

using Rgb = std::array<double, 3>;
using testing::delta_e2000;
using testing::lab;

// The mean of each plane over the middle of a patch (a margin of 20
// photosites keeps clear of the edges the synthesis and the filters blur).
Rgb patch_mean(const FrameStore& fs, const ChartPatch& p) {
  Rgb sum{};
  int n = 0;
  for (int y = p.y0 + 20; y < p.y1 - 20; ++y)
    for (int x = p.x0 + 20; x < p.x1 - 20; ++x) {
      const int i = y * FRAME_WIDTH + x;
      sum[0] += fs.RedPlane[i], sum[1] += fs.GreenPlane[i], sum[2] += fs.BluePlane[i];
      ++n;
    }
  for (double& v : sum) v /= n;
  return sum;
}

const ChartPatch& patch_named(const char* name) {
  for (const ChartPatch& p : chart_patches())
    if (std::string(p.name) == name) return p;
  ADD_FAILURE() << name;
  return chart_patches()[0];
}

Rgb known_linear(const ChartPatch& p) {
  return {srgb_to_linear(p.red), srgb_to_linear(p.green), srgb_to_linear(p.blue)};
}

// The hue of linear RGB in degrees, 0..360 (red 0, green 120, blue 240).
double hue(const Rgb& c) {
  const double h = std::atan2(std::sqrt(3.0) * (c[1] - c[2]), 2 * c[0] - c[1] - c[2]) * 180 / PI;
  return h < 0 ? h + 360 : h;
}

double hue_error(double a, double b) {
  const double d = std::fabs(a - b);
  return std::min(d, 360 - d);
}

TEST(ColourCheck, DeltaE2000MatchesPublishedPairs) {
  // Pairs from the CIEDE2000 test data of Sharma, Wu and Dalal.
  EXPECT_NEAR(delta_e2000({50, 2.6772, -79.7751}, {50, 0, -82.7485}), 2.0425, 1e-4);
  EXPECT_NEAR(delta_e2000({50, -1.3802, -84.2814}, {50, 0, -82.7485}), 1.0000, 1e-4);
  EXPECT_NEAR(delta_e2000({50, 2.5, 0}, {73, 25, -18}), 27.1492, 1e-4);
}

// Each synthesized plane against the light of the chart's greys: a black
// level and a gain, from neutral 8 and neutral 3.5.
struct GreyLine {
  Rgb black, gain;
};
GreyLine grey_line(const FrameStore& fs) {
  const ChartPatch& light = patch_named("neutral 8");
  const ChartPatch& dark = patch_named("neutral 3.5");
  const double ll = srgb_to_linear(light.red), ld = srgb_to_linear(dark.red);
  const Rgb ml = patch_mean(fs, light), md = patch_mean(fs, dark);
  GreyLine line;
  for (int c = 0; c < 3; ++c) {
    line.gain[c] = (ml[c] - md[c]) / (ll - ld);
    line.black[c] = ml[c] - line.gain[c] * ll;
  }
  return line;
}

struct Figures {
  double mean_hue_error = 0, worst_hue_error = 0, mean_delta_e = 0, worst_grey_chroma = 0;
  GreyLine line;  // before the balance
};

// Takes the chart, synthesizes and balances it, and measures it.
Figures check_chart(ExposureMode mode, const char* label) {
  testing::TempDir dir;
  VirtualClock clock;
  RecordingMessages messages;
  NullPump pump;
  NullProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SkyConfig sky;
  sky.scene = SkyScene::Chart;
  sky.seed = 7;
  SimCamera camera(clock, sky);
  Tarvex app(Paths(dir.path() / "data"),
             Ports{messages, clock, pump, progress, launcher, display, camera});
  ChartFront front(mode);
  Sequencer sequencer(app, front);
  Figures f;
  f.line = {};
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Done);
  EXPECT_EQ(app.store().IsBinned, mode == ExposureMode::Fast);
  synthesize_colour(app, synthesis_options(app.settings));
  FrameStore& fs = app.store();
  EXPECT_TRUE(fs.IsColour);

  // Balance on the grey ramp: each plane is a straight line in the grey's
  // light; neutral 8 and neutral 3.5 give its gain and its black level.
  // The minimum takes off the black level, the maximum evens the gains so
  // that the white patch ends at nine tenths of full scale.
  const double white = srgb_to_linear(patch_named("white").red);
  const GreyLine line = grey_line(fs);
  f.line = line;
  int minimum[3], maximum[3];
  for (int c = 0; c < 3; ++c) {
    const double gain = line.gain[c], black = line.black[c];
    minimum[c] = static_cast<int>(std::lround(black / 256));
    maximum[c] = static_cast<int>(std::lround((black + gain * white / 0.9) / 256));
    EXPECT_GE(minimum[c], -10) << label;
    EXPECT_LT(minimum[c], maximum[c]) << label;
    EXPECT_LE(maximum[c], 300) << label;
  }
  ColourBalance balance;
  balance.red = {0, minimum[0], maximum[0]};
  balance.green = {0, minimum[1], maximum[1]};
  balance.blue = {0, minimum[2], maximum[2]};
  balance_planes(fs, balance);

  // Balanced plane values back to linear light: white is 0.9 of 65535.
  const double scale = white / (0.9 * 65535);
  int saturated = 0;
  double hue_sum = 0, de_sum = 0;
  for (const ChartPatch& p : chart_patches()) {
    Rgb m = patch_mean(fs, p);
    for (double& v : m) v = std::max(0.0, v * scale);
    const Rgb k = known_linear(p);
    const double de = delta_e2000(lab(k), lab(m));
    de_sum += de;
    const bool grey = p.red == p.green && p.green == p.blue;
    const bool near_grey = std::abs(p.red - p.blue) < 3 && std::abs(p.red - p.green) < 3;
    std::printf("  %-8s %-14s known %.3f %.3f %.3f  measured %.3f %.3f %.3f  dE2000 %5.1f", label,
                p.name, k[0], k[1], k[2], m[0], m[1], m[2], de);
    if (grey || near_grey) {
      const Rgb l = lab(m);
      const double chroma = std::hypot(l[1], l[2]);
      if (std::string(p.name) != "black")
        f.worst_grey_chroma = std::max(f.worst_grey_chroma, chroma);
      std::printf("  chroma %.1f\n", chroma);
      continue;
    }
    const double e = hue_error(hue(k), hue(m));
    std::printf("  hue %5.1f (known %5.1f, error %4.1f)\n", hue(m), hue(k), e);
    if (p.y0 == chart_patches()[0].y0) {  // the six saturated colours
      EXPECT_LT(e, 60.0) << label << " " << p.name;
      hue_sum += e;
      f.worst_hue_error = std::max(f.worst_hue_error, e);
      ++saturated;
    }
  }
  f.mean_hue_error = hue_sum / saturated;
  f.mean_delta_e = de_sum / static_cast<double>(chart_patches().size());
  std::printf(
      "%s: hue error of the six saturated patches mean %.1f, worst %.1f degrees; "
      "mean dE2000 of the chart %.1f; worst grey chroma %.1f\n",
      label, f.mean_hue_error, f.worst_hue_error, f.mean_delta_e, f.worst_grey_chroma);
  EXPECT_TRUE(messages.shown.empty()) << label;
  return f;
}

TEST(ColourCheck, ChartComesOutInItsColours) {
  for (const auto& [mode, label] :
       {std::pair{ExposureMode::Progressive, "normal"}, std::pair{ExposureMode::Fast, "binned"}}) {
    const Figures f = check_chart(mode, label);
    // Grey stays grey: the chroma of the grey ramp (white to neutral 3.5)
    // stays within 4 CIELAB units, where a tint starts to show.
    EXPECT_LT(f.worst_grey_chroma, 4.0) << label;
    EXPECT_LT(f.mean_hue_error, 10.0) << label;
  }
}

// The night sky through the same pipeline: the light of a star or the
// nebula above its surroundings, divided by the gains the chart measured,
// is its colour in the three bands.
TEST(ColourCheck, RedStarsComeOutRedAndBlueStarsBlue) {
  const GreyLine line = check_chart(ExposureMode::Progressive, "for-sky").line;
  testing::TempDir dir;
  VirtualClock clock;
  RecordingMessages messages;
  NullPump pump;
  NullProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SkyConfig sky;
  sky.seed = 7;
  SimCamera camera(clock, sky);
  Tarvex app(Paths(dir.path() / "data"),
             Ports{messages, clock, pump, progress, launcher, display, camera});
  OneShotFront front = one_exposure(ExposureMode::Progressive, ExposureRange::Tenths, 1);
  Sequencer sequencer(app, front);
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done);
  // The defaults but for the anti-alias filter: its 5 x 5 median takes the
  // colour out of anything smaller than about half its window, which a star
  // is, and gives it back only the detail common to the three planes.
  SynthesisOptions options = synthesis_options(app.settings);
  EXPECT_TRUE(options.anti_alias);
  options.anti_alias = false;
  synthesize_colour(app, options);
  const FrameStore& fs = app.store();

  // Light within `r` of (x, y) above the ring from r + 4 to r + 8.
  auto colour_at = [&](double x, double y, int r) {
    Rgb inner{}, ring{};
    int n_inner = 0, n_ring = 0;
    for (int j = -r - 8; j <= r + 8; ++j)
      for (int i = -r - 8; i <= r + 8; ++i) {
        const double d = std::hypot(i, j);
        const int px = static_cast<int>(std::lround(x)) + i;
        const int py = static_cast<int>(std::lround(y)) + j;
        const int k = py * FRAME_WIDTH + px;
        const Rgb v{double(fs.RedPlane[k]), double(fs.GreenPlane[k]), double(fs.BluePlane[k])};
        if (d <= r) {
          for (int c = 0; c < 3; ++c) inner[c] += v[c];
          ++n_inner;
        } else if (d >= r + 4) {
          for (int c = 0; c < 3; ++c) ring[c] += v[c];
          ++n_ring;
        }
      }
    Rgb light;
    for (int c = 0; c < 3; ++c) light[c] = (inner[c] - ring[c] * n_inner / n_ring) / line.gain[c];
    return light;
  };
  // The double star: an orange primary (4000 K) and a blue-white companion
  // (13000 K); the last two stars of the field.
  const auto& stars = camera.sky().stars();
  ASSERT_GE(stars.size(), 2u);
  const auto& orange = stars[stars.size() - 2];
  const auto& blue = stars[stars.size() - 1];
  const Rgb o = colour_at(orange.x, orange.y, 3);
  const Rgb b = colour_at(blue.x, blue.y, 3);
  const double o_hue = hue(o), b_hue = hue(b);
  const double o_known = hue({orange.r, orange.g, orange.b});
  const double b_known = hue({blue.r, blue.g, blue.b});
  std::printf(
      "orange star %.0f K: bands %.3f %.3f %.3f (known %.2f %.2f %.2f), hue %.1f (known %.1f)\n",
      orange.kelvin, o[0] / (o[0] + o[1] + o[2]) * 3, o[1] / (o[0] + o[1] + o[2]) * 3,
      o[2] / (o[0] + o[1] + o[2]) * 3, orange.r, orange.g, orange.b, o_hue, o_known);
  std::printf(
      "blue star %.0f K: bands %.3f %.3f %.3f (known %.2f %.2f %.2f), hue %.1f (known %.1f)\n",
      blue.kelvin, b[0] / (b[0] + b[1] + b[2]) * 3, b[1] / (b[0] + b[1] + b[2]) * 3,
      b[2] / (b[0] + b[1] + b[2]) * 3, blue.r, blue.g, blue.b, b_hue, b_known);
  EXPECT_GT(o[0], 1.1 * o[2]);
  EXPECT_GT(b[2], 1.1 * b[0]);
  EXPECT_LT(hue_error(o_hue, o_known), 30.0);
  EXPECT_LT(hue_error(b_hue, b_known), 30.0);
  // The nebula's heart, against the dark sky beside it: the red of
  // glowing hydrogen.
  const Rgb n = colour_at(200, 350, 12);
  std::printf("nebula: hue %.1f (hydrogen %.1f)\n", hue(n), hue({2.3, 0.3, 0.4}));
  EXPECT_GT(n[0], 2 * n[1]);
  EXPECT_GT(n[0], 2 * n[2]);
}

}  // namespace
}  // namespace tarvex
