#include "processing/star_registration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "star_field.h"

namespace tarvex {
namespace {

using testing::SkyStar;

constexpr int kW = 400, kH = 300;

std::vector<SkyStar> random_sky(unsigned seed, int count) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> ux(-150, kW + 150), uy(-150, kH + 150), uf(0, 1);
  std::vector<SkyStar> s;
  for (int i = 0; i < count; ++i)
    s.push_back({ux(rng), uy(rng), 3000 + 60000 * std::pow(uf(rng), 3)});
  return s;
}

// The sky seen through `t` (sky to frame), stars beyond 10 pixels outside
// the frame left out.
std::vector<float> render(const std::vector<SkyStar>& sky, const RigidTransform& t, double sx,
                          double sy, unsigned seed) {
  return testing::render_star_field(sky, t, kW, kH, sx, sy, seed, 12, 10);
}

TEST(StarRegistration, RecoversShiftAndRotationIncludingAMeridianFlip) {
  const auto sky = random_sky(7, 220);
  const RigidTransform identity{};
  const std::vector<float> ref = render(sky, identity, 1.6, 1.6, 1);
  const auto ref_stars = detect_stars(PlaneView{ref.data(), kW, kH});
  ASSERT_GE(ref_stars.size(), 30u);
  for (double degrees : {0.0, 0.7, -2.5, 180.0}) {
    // The frame is the sky moved by `move`; registering it must give the way back.
    RigidTransform move{degrees * std::numbers::pi / 180, 12.3, -7.6};
    if (degrees == 180.0) move = {std::numbers::pi, kW - 1 + 3.4, kH - 1 - 2.2};
    const std::vector<float> frame = render(sky, move, 1.6, 1.6, 2);
    const auto stars = detect_stars(PlaneView{frame.data(), kW, kH});
    const auto reg = register_stars(ref_stars, stars);
    ASSERT_TRUE(reg) << degrees;
    const RigidTransform expected = move.inverse();
    double da = reg->transform.angle - expected.angle;
    da = std::remainder(da, 2 * std::numbers::pi);
    EXPECT_LT(std::abs(da) * 180 / std::numbers::pi, 0.01) << degrees;
    // Compare where the frame's centre lands, the error a stack would see.
    double x1, y1, x2, y2;
    reg->transform.apply(kW / 2.0, kH / 2.0, x1, y1);
    expected.apply(kW / 2.0, kH / 2.0, x2, y2);
    EXPECT_LT(std::hypot(x1 - x2, y1 - y2), 0.05) << degrees;
    EXPECT_GE(reg->matched, 20) << degrees;
  }
}

TEST(StarRegistration, TrailedStarsShowAsElongationAndHotPixelsAreNoStars) {
  const auto sky = random_sky(9, 150);
  std::vector<float> round = render(sky, {}, 1.6, 1.6, 3);
  std::vector<float> trailed = render(sky, {}, 4.0, 1.4, 3);
  for (int i = 0; i < 40; ++i)
    round[(37 * i + 11) * kW / 5 + 13 * i + 20] = 60000.0F;  // hot pixels
  const auto r = detect_stars(PlaneView{round.data(), kW, kH});
  for (const Star& s : r) EXPECT_GT(s.fwhm, 2.5);  // no single-pixel detections
  EXPECT_LT(field_shape(r).elongation, 1.2);
  EXPECT_NEAR(field_shape(r).fwhm, 2.3548 * 1.6, 0.6);
  EXPECT_GT(field_shape(detect_stars(PlaneView{trailed.data(), kW, kH})).elongation, 1.5);
}

TEST(StarRegistration, WarpMovesAFrameOntoTheReferenceAndMarksWhatIsOutside) {
  std::vector<float> src(kW * kH);
  // A smooth, slowly varying frame: bilinear and bicubic must reproduce it.
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      src[y * kW + x] = static_cast<float>(1000 + 3 * x + 2 * y + 0.01 * x * y);
  const RigidTransform t{0.02, 5.5, -3.25};  // frame to reference
  for (auto how : {Interpolation::Bilinear, Interpolation::Bicubic}) {
    std::vector<float> out(kW * kH);
    warp_rows(PlaneView{src.data(), kW, kH}, t, how, 0, kH, out.data());
    const RigidTransform back = t.inverse();
    for (int y = 20; y < kH - 20; y += 7)
      for (int x = 20; x < kW - 20; x += 7) {
        double sx, sy;
        back.apply(x, y, sx, sy);
        const double want = 1000 + 3 * sx + 2 * sy + 0.01 * sx * sy;
        EXPECT_NEAR(out[y * kW + x], want, 0.02) << x << "," << y;
      }
    EXPECT_TRUE(std::isnan(out[0 * kW + 0]));  // comes from x < 0, y > 0: outside
  }
}

}  // namespace
}  // namespace tarvex
