// What the INDI driver makes of the camera's frames: the exposure a
// requested duration becomes, the rows and columns a subframe and the binned
// mode deliver, and the mosaic cards of a raw frame stored top row first,
// checked pixel by pixel against the program's own standard export (bottom
// row first) so that both name the same colour for every photosite.
#include "indi/indi_frames.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "files/fits_standard.h"

namespace tarvex::indi {
namespace {

TEST(IndiExposurePlan, EachDurationGetsTheRangeThatHoldsIt) {
  struct Case {
    double seconds;
    ExposureRange range;
    int value;
    double exposed;
  };
  const Case cases[] = {
      {1, ExposureRange::Seconds, 1, 1},        // whole seconds: host-timed, stoppable
      {300, ExposureRange::Seconds, 300, 300},  // the longest in seconds
      {0.25, ExposureRange::Thousandths, 250, 0.25},
      {0.0004, ExposureRange::Thousandths, 1, 0.001},  // never below the shortest exposure
      {0, ExposureRange::Thousandths, 1, 0.001},
      {-3, ExposureRange::Thousandths, 1, 0.001},
      {2.5, ExposureRange::Hundredths, 250, 2.5},
      {12.3, ExposureRange::Seconds, 12, 12},
      {600, ExposureRange::Minutes, 10, 600},
      {5400, ExposureRange::Minutes, 90, 5400},
      {1e6, ExposureRange::Minutes, 90, 5400},  // capped at the dialog's longest
  };
  for (const Case& c : cases) {
    const ExposurePlan p = plan_exposure(c.seconds);
    EXPECT_EQ(p.range, c.range) << c.seconds;
    EXPECT_EQ(p.value, c.value) << c.seconds;
    EXPECT_DOUBLE_EQ(p.seconds, c.exposed) << c.seconds;
  }
}

std::unique_ptr<Frame> numbered_frame() {
  auto f = std::make_unique<Frame>();
  for (int row = 0; row < FRAME_HEIGHT; ++row)
    for (int col = 0; col < FRAME_WIDTH; ++col)
      (*f)[row * FRAME_WIDTH + col] = static_cast<std::uint16_t>(row * 100 + col % 100);
  return f;
}

TEST(IndiRegion, SubframesAndTheBinnedModeTakeTheRowsTheCameraRead) {
  const auto frame = numbered_frame();
  // A subframe: rows 3..5, columns 10..13, top row first.
  Region r{10, 3, 4, 3, 1};
  std::vector<std::uint16_t> out(region_samples(r));
  copy_region(*frame, r, out.data());
  EXPECT_EQ(out, (std::vector<std::uint16_t>{310, 311, 312, 313, 410, 411, 412, 413, 510, 511, 512,
                                             513}));

  // Binned: an odd start row moves up to the row the camera read, the
  // height becomes whole row pairs, and only the read (even) rows are sent.
  r = clamp_region({0, 5, 2, 5, BINNED_ROWS});
  EXPECT_EQ(r.y, 4);
  EXPECT_EQ(r.h, 4);
  out.assign(region_samples(r), 0);
  copy_region(*frame, r, out.data());
  EXPECT_EQ(out, (std::vector<std::uint16_t>{400, 401, 600, 601}));

  // The whole binned frame is 752 x 290.
  EXPECT_EQ(region_samples(clamp_region({0, 0, FRAME_WIDTH, FRAME_HEIGHT, BINNED_ROWS})),
            static_cast<std::size_t>(FRAME_WIDTH * FRAME_HEIGHT / 2));

  // Outside the frame or empty: kept inside, at least a pixel.
  r = clamp_region({800, -4, 0, 9000, 7});
  EXPECT_EQ(r.x, FRAME_WIDTH - 1);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.w, 1);
  EXPECT_EQ(r.h, FRAME_HEIGHT);
  EXPECT_EQ(r.bin_y, 1);

  // RGB: the three planes of the region one after another.
  auto green = numbered_frame();
  auto blue = numbered_frame();
  for (auto& v : *green) v = static_cast<std::uint16_t>(v + 1);
  for (auto& v : *blue) v = static_cast<std::uint16_t>(v + 2);
  r = {7, 1, 1, 2, 1};
  out.assign(3 * region_samples(r), 0);
  copy_planes(*frame, *green, *blue, r, out.data());
  EXPECT_EQ(out, (std::vector<std::uint16_t>{107, 207, 108, 208, 109, 209}));
}

// The value of a card among the standard export's cards ("" when absent).
std::string card_value(const std::vector<std::string>& cards, const std::string& key) {
  for (const std::string& c : cards) {
    if (c.compare(0, 8, (key + "        ").substr(0, 8)) != 0) continue;
    std::string v = c.substr(10, c.find('/', 10) == std::string::npos ? 70 : c.find('/', 10) - 10);
    v.erase(0, v.find_first_not_of(" '"));
    v.erase(v.find_last_not_of(" '") + 1);
    return v;
  }
  return {};
}

// The mosaic letter a FITS reader assigns to the pixel stored at column x of
// stored row y, with the pattern read row by row and shifted by the offsets.
char letter(const std::string& pattern, int x_offset, int y_offset, int x, int y) {
  return pattern[static_cast<std::size_t>(((y + y_offset) % BAYER_ROWS) * BAYER_COLUMNS +
                                          (x + x_offset) % BAYER_COLUMNS)];
}

TEST(IndiMosaic, EveryPhotositeHasTheColourTheProgramsOwnExportGivesIt) {
  auto fs = std::make_unique<FrameStore>();
  fs->IsBinned = 0;
  fs->IsColour = 0;
  const Region regions[] = {{0, 0, FRAME_WIDTH, FRAME_HEIGHT, 1},
                            {1, 1, 40, 20, 1},
                            {33, 6, 9, 9, 1},
                            {100, 203, 64, 64, 1}};
  for (bool pixel_offset : {false, true}) {
    for (bool line_offset : {false, true}) {
      const auto cards =
          standard_fits_cards(*fs, FitsText{}, ProcessingHistory{}, StandardFitsSamples::Int16, {},
                              MosaicOffsets{pixel_offset, line_offset});
      ASSERT_EQ(card_value(cards, "ROWORDER"), "BOTTOM-UP");
      const std::string pattern = card_value(cards, "BAYERPAT");
      ASSERT_EQ(pattern.size(), 8u);
      const int xo = std::stoi(card_value(cards, "XBAYROFF"));
      const int yo = std::stoi(card_value(cards, "YBAYROFF"));
      for (const Region& r : regions) {
        const MosaicCards m = top_down_mosaic(r, pixel_offset, line_offset);
        for (int row = r.y; row < r.y + r.h; ++row) {
          for (int col = r.x; col < r.x + r.w; ++col) {
            // The export stores the picture's row `row` as stored row
            // 579 - row; the driver stores it as row - r.y of its subframe.
            const char exported = letter(pattern, xo, yo, col, FRAME_HEIGHT - 1 - row);
            const char sent = letter(m.pattern, m.x_offset, m.y_offset, col - r.x, row - r.y);
            ASSERT_EQ(sent, exported) << "column " << col << ", row " << row << ", offsets "
                                      << pixel_offset << line_offset;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvex::indi
