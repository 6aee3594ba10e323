#include "app/label.h"

#include <gtest/gtest.h>

#include "app/label_font.h"
#include "image/label_band.h"
#include "image/mirror.h"
#include "test_context.h"

namespace tarvex {
namespace {

std::tm fixed_time() {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 2;  // March
  t.tm_mday = 5;
  t.tm_hour = 21;
  t.tm_min = 7;
  t.tm_sec = 9;
  return t;
}

// The first column of row 1..9 holding a lit pixel, or -1.
int first_lit_column(const FrameStore& fs) {
  for (int x = 0; x < FRAME_WIDTH; ++x)
    for (int y = 1; y < LABEL_CELL_HEIGHT; ++y)
      if (fs.CurrentFrame[static_cast<std::size_t>(y * FRAME_WIDTH + x)] == 65535) return x;
  return -1;
}

TEST(Label, LineCentringWithAndWithoutDate) {
  FitsText fits;
  const std::tm now = fixed_time();
  const std::string full(64, 'A');
  EXPECT_EQ(label_line(full, LabelDate::None, now, fits), full);
  EXPECT_EQ(label_line("M42", LabelDate::None, now, fits), std::string(30, ' ') + "M42");
  // With a date the centring counts 24 more cells: (64 - 3 - 24) / 2 = 18.
  EXPECT_EQ(label_line("M42", LabelDate::Auto, now, fits),
            std::string(18, ' ') + "M42  21:07:09 UT 05-03-2024 ");
  fits.fits_time = "01:02:03";
  fits.fits_date = "2024-03-06";
  EXPECT_EQ(label_line("", LabelDate::Fits, now, fits),
            std::string(20, ' ') + " 01:02:03 UT 2024-03-06");
}

TEST(Label, DrawsIntoTopRowsAndMarksTheFrame) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  for (auto& s : fs->CurrentFrame) s = 1000;
  draw_label(*fs, std::string(64, 'H'));
  // A 64-character label starts in column 0: 'H' has its left stroke in column 1.
  EXPECT_EQ(first_lit_column(*fs), 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(fs->CurrentFrame[static_cast<std::size_t>(i)], 17);
  EXPECT_TRUE(has_label_band(fs->CurrentFrame));
  // Rows 0..9 hold only 0, 65535 and the mark; row 10 is untouched.
  for (int i = 6; i < BLOCK_SAMPLES; ++i) {
    const auto v = fs->CurrentFrame[static_cast<std::size_t>(i)];
    ASSERT_TRUE(v == 0 || v == 65535) << i;
  }
  EXPECT_EQ(fs->CurrentFrame[BLOCK_SAMPLES], 1000);
  // Cells past 64 are drawn up to the frame's 94 cells, and no further.
  draw_label(*fs, std::string(200, 'I'));
  EXPECT_EQ(fs->CurrentFrame[BLOCK_SAMPLES], 1000);
}

TEST(Label, UnknownCharactersLeaveTheirCellBlack) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  draw_label(*fs, "#%*");
  for (int i = 6; i < BLOCK_SAMPLES; ++i)
    ASSERT_EQ(fs->CurrentFrame[static_cast<std::size_t>(i)], 0);
  // Every character of the documented sets has a glyph with some ink,
  // except the blank.
  const std::string set = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/-:";
  for (char c : set) {
    const LabelGlyph* g = label_glyph(c);
    ASSERT_NE(g, nullptr) << c;
    int ink = 0;
    for (auto row : *g) ink += row != 0;
    EXPECT_GT(ink, 0) << c;
  }
  ASSERT_NE(label_glyph(' '), nullptr);
  EXPECT_EQ(label_glyph('#'), nullptr);
  EXPECT_EQ(label_glyph(static_cast<char>(0xE9)), nullptr);
  // Letters that must not look alike.
  EXPECT_NE(*label_glyph('O'), *label_glyph('0'));
  EXPECT_NE(*label_glyph('l'), *label_glyph('1'));
  EXPECT_NE(*label_glyph('S'), *label_glyph('5'));
}

TEST(Label, AutoDateCentringOnTheFrame) {
  testing::TestContext t;
  std::tm now = fixed_time();
  t.clock.set_wall_time(std::mktime(&now));
  ASSERT_TRUE(label_image(*t, "ORION", LabelDate::Auto).ok());
  // (64 - 5 - 24) / 2 = 17 blanks: the 'O' is in cell 17, its leftmost ink in column 1.
  EXPECT_EQ(first_lit_column(t->store()), 17 * 8 + 1);
  EXPECT_EQ(t.display.reloads, 1);
}

TEST(Label, DialogDateRules) {
  RecordingMessages messages;
  FitsText fits;
  LabelDialogModel m;
  m.toggle_auto_date();
  m.set_text(std::string(40, 'x'));
  EXPECT_EQ(m.text().size(), LABEL_TEXT_MAX);
  // FITS date shorter than 7 characters: refused with message 50.
  fits.fits_date = "1/2/24";
  EXPECT_FALSE(m.toggle_use_fits_date(fits, messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].code, 50u);
  EXPECT_EQ(messages.shown[0].text, "Sorry, FITs date not set");
  // A real date turns it on, and Auto Date with it.
  m.toggle_auto_date();
  EXPECT_FALSE(m.auto_date());
  fits.fits_date = "2024-03-06";
  EXPECT_TRUE(m.toggle_use_fits_date(fits, messages));
  EXPECT_TRUE(m.auto_date());
  EXPECT_EQ(m.date_mode(), LabelDate::Fits);
  // Auto Date off takes Use FITs Date with it.
  m.toggle_auto_date();
  EXPECT_FALSE(m.use_fits_date());
  EXPECT_EQ(m.date_mode(), LabelDate::None);
  // Reopening keeps Auto Date, clears the text and Use FITs Date.
  m.toggle_auto_date();
  m.toggle_use_fits_date(fits, messages);
  m.open();
  EXPECT_TRUE(m.text().empty());
  EXPECT_TRUE(m.auto_date());
  EXPECT_FALSE(m.use_fits_date());
}

}  // namespace
}  // namespace tarvex
