#include "app/stack/batch_stack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>

#include "../processing/star_field.h"
#include "files/fits_image.h"
#include "files/fits_standard.h"
#include "files/raw_file.h"
#include "test_support.h"

namespace tarvex {
namespace {

using testing::SkyStar;
using testing::TempDir;

constexpr int kW = 256, kH = 200;
constexpr float kSky = 1000.0F;

std::vector<SkyStar> sky() {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> ux(-60, kW + 60), uy(-60, kH + 60), uf(0, 1);
  std::vector<SkyStar> s;
  for (int i = 0; i < 120; ++i)
    s.push_back({ux(rng), uy(rng), 4000 + 80000 * std::pow(uf(rng), 3)});
  return s;
}

// The sky through `t` (sky to frame), with star widths sx, sy and noise.
std::vector<float> render(const RigidTransform& t, double sx, double sy, unsigned seed) {
  return testing::render_star_field(sky(), t, kW, kH, sx, sy, seed, 14);
}

struct StackFixture : ::testing::Test {
  TempDir dir;
  std::unique_ptr<FrameStore> scratch = std::make_unique<FrameStore>();
  std::filesystem::path mono(const std::string& name, const std::vector<float>& img) {
    const auto p = dir / name;
    EXPECT_TRUE(write_float_fits(p, kW, kH, 1, img, {}, ""));
    return p;
  }
};

TEST_F(StackFixture, DriftRotationHotPixelsAndATrailStackClean) {
  StackRequest rq;
  const int frames = 9;
  const int hot_x = 100, hot_y = 80;  // a hot pixel fixed on the sensor
  for (int i = 0; i < frames; ++i) {
    const RigidTransform drift{0.004 * i, 2.7 * i, -1.3 * i};
    std::vector<float> img = render(drift, 1.5, 1.5, 100 + i);
    img[hot_y * kW + hot_x] = 30000;
    if (i == 4)  // a satellite crosses
      for (int x = 0; x < kW; ++x) img[(60 + x / 8) * kW + x] += 5000;
    rq.lights.push_back(mono("light" + std::to_string(i) + ".fits", img));
  }
  // A frame whose stars are trailed is left out and listed.
  rq.lights.push_back(mono("trailed.fits", render({}, 4.0, 1.4, 99)));
  rq.out = dir / "stack.fits";
  rq.temp_parent = dir.path();
  const StackOutcome r = run_batch_stack(rq, *scratch);
  ASSERT_TRUE(r.written) << r.error;
  EXPECT_EQ(r.kind, StackKind::Monochrome);
  EXPECT_EQ(r.stacked, frames);
  ASSERT_EQ(r.left_out.size(), 1u);
  EXPECT_EQ(r.left_out[0].file, "trailed.fits");
  EXPECT_NE(r.left_out[0].reason.find("trailed"), std::string::npos);

  const auto read = read_fits_image(rq.out);
  ASSERT_TRUE(read.image);
  const FitsImage& s = *read.image;
  ASSERT_EQ(s.planes, 1);
  const std::vector<float> truth = render({}, 1.5, 1.5, 1);  // the first light's geometry
  auto at = [&](const std::vector<float>& v, int x, int y) { return v[y * kW + x]; };
  // The trail and the hot pixel (which moves on the sky from frame to frame) are gone.
  for (int x = 20; x < kW - 40; ++x) {
    const int y = 60 + x / 8;
    if (at(truth, x, y) > kSky + 50) continue;  // a star's slope: resampling, not the trail
    EXPECT_LT(std::abs(s.data[y * kW + x] - at(truth, x, y)), 30) << x;
  }
  for (int i = 1; i < frames; ++i) {
    // Where the hot pixel of frame i lands in the stack.
    const RigidTransform back = RigidTransform{0.004 * i, 2.7 * i, -1.3 * i}.inverse();
    double x, y;
    back.apply(hot_x, hot_y, x, y);
    const int ix = int(std::lround(x)), iy = int(std::lround(y));
    EXPECT_LT(s.data[iy * kW + ix], at(truth, ix, iy) + 100) << i;
  }
  // Stars stay sharp and in place: the stack matches the noiseless truth
  // near the brightest star far better than one frame's noise.
  const auto stars = detect_stars(PlaneView{s.data.data(), kW, kH});
  const auto ref_stars = detect_stars(PlaneView{truth.data(), kW, kH});
  ASSERT_GE(stars.size(), 20u);
  EXPECT_NEAR(stars[0].x, ref_stars[0].x, 0.1);
  EXPECT_NEAR(stars[0].y, ref_stars[0].y, 0.1);
  EXPECT_LT(field_shape(stars).fwhm, 1.15 * field_shape(ref_stars).fwhm);

  // HISTORY names the inputs, the method and what was left out.
  const auto bytes = testing::read_bytes(rq.out);
  const std::string header(bytes.begin(), bytes.begin() + 2880 * 2);
  EXPECT_NE(header.find("HISTORY Stack of 9 of 10 monochrome lights: sigma, kappa 3 low 3 high"),
            std::string::npos);
  EXPECT_NE(header.find("HISTORY Light: light0.fits"), std::string::npos);
  EXPECT_NE(header.find("HISTORY Left out: trailed.fits: trailed stars"), std::string::npos);

  // Memory: the combine works in bands; a band of two rows gives the same result.
  EXPECT_EQ(r.band_rows, kH);
  rq.band_bytes = 2 * kW * sizeof(float) * frames;
  rq.out = dir / "banded.fits";
  const StackOutcome b = run_batch_stack(rq, *scratch);
  ASSERT_TRUE(b.written);
  EXPECT_EQ(b.band_rows, 2);
  EXPECT_EQ(read_fits_image(rq.out).image->data, s.data);
}

TEST_F(StackFixture, WhatAFileHoldsDecidesHowItIsStacked) {
  FrameStore& fs = *scratch;
  for (int i = 0; i < FRAME_SAMPLES; ++i) fs.CurrentFrame[i] = static_cast<std::uint16_t>(i * 7);
  fs.IsColour = false;
  fs.IsBinned = false;
  // A raw frame exported as standard FITS carries the mosaic; read back it
  // is a mosaic in the frame's own row order, with the camera's phases.
  const auto raw = dir / "raw.fits";
  ASSERT_EQ(save_standard_fits(raw, fs, FitsText{}, ProcessingHistory{}, StandardFitsSamples::Int16,
                               {}, MosaicOffsets{true, false}),
            FileSave::Ok);
  const auto raw_bytes = testing::read_bytes(raw);
  const std::string raw_header(raw_bytes.begin(), raw_bytes.begin() + 2880);
  EXPECT_NE(raw_header.find("BAYERPAT= 'GMGMYCYC'"), std::string::npos);
  EXPECT_NE(raw_header.find("XBAYROFF=                    1"), std::string::npos);
  EXPECT_NE(raw_header.find("YBAYROFF=                    0"), std::string::npos);
  const std::vector<std::uint16_t> frame(fs.CurrentFrame.begin(),
                                         fs.CurrentFrame.begin() + FRAME_SAMPLES);
  auto r = read_stack_image(raw, {}, fs);
  ASSERT_TRUE(r.image) << r.error;
  EXPECT_EQ(r.image->kind, StackKind::Mosaic);
  EXPECT_TRUE(r.image->mosaic.pixel_offset);
  EXPECT_FALSE(r.image->mosaic.line_offset);
  EXPECT_EQ(r.image->data[753], static_cast<float>(frame[753]));
  EXPECT_EQ(r.image->data[FRAME_SAMPLES - 1], static_cast<float>(frame[FRAME_SAMPLES - 1]));

  // A KR File is a mosaic too; with colour planes it is colour, and its
  // standard export has three planes and no mosaic.
  std::copy(frame.begin(), frame.end(), fs.CurrentFrame.begin());
  ASSERT_EQ(save_raw(dir / "raw.kr", fs), RawSave::Ok);
  EXPECT_EQ(read_stack_image(dir / "raw.kr", {}, fs).image->kind, StackKind::Mosaic);
  fs.IsColour = true;
  ASSERT_EQ(save_raw(dir / "colour.kr", fs), RawSave::Ok);
  ASSERT_EQ(save_standard_fits(dir / "colour.fits", fs, FitsText{}, ProcessingHistory{},
                               StandardFitsSamples::Float32, {}),
            FileSave::Ok);
  const auto colour_bytes = testing::read_bytes(dir / "colour.fits");
  EXPECT_EQ(std::string(colour_bytes.begin(), colour_bytes.begin() + 2880).find("BAYERPAT"),
            std::string::npos);
  EXPECT_EQ(read_stack_image(dir / "colour.kr", {}, fs).image->kind, StackKind::Colour);
  const auto c = read_stack_image(dir / "colour.fits", {}, fs);
  ASSERT_TRUE(c.image);
  EXPECT_EQ(c.image->kind, StackKind::Colour);
  EXPECT_EQ(c.image->planes, 3);

  // Hand-built: 16-bit signed samples with BZERO, 3 x 2, two-dimensional,
  // and the same with another sensor's mosaic.
  auto hand = [&](const std::string& name, const std::string& extra) {
    std::string h;
    for (std::string card :
         {std::string("SIMPLE  =                    T"),
          std::string("BITPIX  =                   16"),
          std::string("NAXIS   =                    2"),
          std::string("NAXIS1  =                    3"),
          std::string("NAXIS2  =                    2"),
          std::string("BZERO   =                32768"), extra, std::string("END")}) {
      if (card.empty()) continue;
      card.resize(80, ' ');
      h += card;
    }
    h.resize(2880, ' ');
    std::vector<std::uint8_t> b(h.begin(), h.end());
    // Stored bottom row first: 0x8000 is 0, 0x7FFF 65535.
    for (unsigned v : {0x8000u, 0x8001u, 0x8002u, 0x7FFFu, 0x0000u, 0xFFFFu}) {
      b.push_back(static_cast<std::uint8_t>(v >> 8));
      b.push_back(static_cast<std::uint8_t>(v));
    }
    b.resize(2 * 2880, 0);
    testing::write_bytes(dir / name, b);
    return dir / name;
  };
  const auto m = read_stack_image(hand("mono.fits", ""), {}, fs);
  ASSERT_TRUE(m.image) << m.error;
  EXPECT_EQ(m.image->kind, StackKind::Monochrome);
  EXPECT_EQ(m.image->data, (std::vector<float>{65535, 32768, 32767, 0, 1, 2}));
  const auto other = read_stack_image(hand("rggb.fits", "BAYERPAT= 'RGGB'"), {}, fs);
  EXPECT_FALSE(other.image);
  EXPECT_NE(other.error.find("'RGGB'"), std::string::npos);

  // Mixed lights are refused naming the odd file, and so is a dark of another size.
  StackRequest rq;
  rq.out = dir / "out.fits";
  rq.lights = {dir / "raw.kr", raw, dir / "colour.kr"};
  StackOutcome o = run_batch_stack(rq, fs);
  EXPECT_FALSE(o.written);
  EXPECT_EQ(o.error, "light colour.kr is colour, the lights are raw mosaic");
  rq.lights = {dir / "raw.kr", raw};
  rq.darks = {dir / "mono.fits"};
  o = run_batch_stack(rq, fs);
  EXPECT_FALSE(o.written);
  EXPECT_EQ(o.error, "dark mono.fits is monochrome, the lights are raw mosaic");
  EXPECT_FALSE(std::filesystem::exists(rq.out));
}

TEST(StackMasters, MedianBelowFiveFilesAndClippedMeanFromFive) {
  auto frames = [](std::vector<float> values) {
    std::vector<StackImage> f;
    for (float v : values) {
      StackImage im;
      im.width = 2;
      im.height = 1;
      im.data = {v, 2 * v};
      f.push_back(im);
    }
    return f;
  };
  EXPECT_EQ(build_master(frames({10, 40, 12})).data, (std::vector<float>{12, 24}));
  // Five files: the cosmic ray (1000) is clipped and the rest averaged.
  const StackImage m = build_master(frames({10, 11, 12, 13, 1000, 14, 10, 11, 12, 13}));
  EXPECT_NEAR(m.data[0], (10 + 11 + 12 + 13 + 14 + 10 + 11 + 12 + 13) / 9.0, 1e-4);

  // Calibration: dark subtracted, then divided by the flat scaled to mean 1.
  StackImage light, dark, flat;
  for (StackImage* im : {&light, &dark, &flat}) {
    im->width = 4;
    im->height = 1;
  }
  light.data = {110, 210, 310, 410};
  dark.data = {10, 10, 10, 10};
  flat.data = {50, 100, 150, 0};  // mean 75; the dead sample is left undivided
  calibrate_image(light, &dark, &flat);
  EXPECT_EQ(light.data, (std::vector<float>{150, 150, 150, 400}));
}

}  // namespace
}  // namespace tarvex
