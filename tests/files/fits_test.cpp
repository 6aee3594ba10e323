#include "files/fits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "app/file_commands.h"
#include "files/settings.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::append_text;
using testing::fill_frame;
using testing::pattern;
using testing::read_bytes;
using testing::TestContext;
using testing::write_bytes;

// A card built by hand: the text, blank-padded to 80 bytes.
std::string card(const std::string& text) {
  return text + std::string(80 - text.size(), ' ');
}

// A text card with the closing quote in column 80.
std::string long_card(const std::string& keyword, const std::string& piece) {
  std::string c = keyword + "= '" + piece + std::string(68 - piece.size(), ' ') + "'";
  return c;
}

void append_be(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x >> 8));
  v.push_back(static_cast<std::uint8_t>(x & 0xFF));
}

std::vector<std::uint8_t> frame_be(int salt, bool unsigned_format) {
  std::vector<std::uint8_t> v;
  for (int i = 0; i < FRAME_SAMPLES; ++i)
    append_be(v, static_cast<std::uint16_t>(pattern(i, salt) - (unsigned_format ? 0 : 32768)));
  return v;
}

struct Fits : ::testing::Test {
  TestContext t;
  FrameStore& fs() { return t->store(); }
  LoadTarget target() {
    return LoadTarget{fs(), t->fits, t->history, t->current_file_name,
                      t->settings.binned_import_default};
  }
  void describe_m42() {
    FitsText& f = t->fits;
    f.fits_object = "M42";
    f.fits_telescope = "LX200 10in";
    f.fits_observer = "A. Observer";
    f.fits_origin = "Garden";
    f.fits_date = "2024-03-09";
    f.fits_time = "21:05:07";
    f.fits_history = "Dark subtracted";
    f.fits_comment = std::string(70, 'c');
    f.fits_filter = "IR block";
    f.fits_exposure = 30.0;
    f.fits_focal_length = 100.0;
    f.fits_aperture = 78.5;
    t->history.add_history("Normal Stretch : max 200 ,min 10");
  }
  // The header this program writes for describe_m42, built card by card.
  std::string m42_header(bool colour, bool binned, bool unsigned_format) {
    std::string h;
    h += card(colour ? "SIMPLE  =                    F /" : "SIMPLE  =                    T /");
    h += card("BITPIX  =                   16 /");
    h += card(colour ? "NAXIS   =                    6 /" : "NAXIS   =                    2 /");
    h += card("NAXIS1  =                  752 /");
    h += card("NAXIS2  =                  580 /");
    h += card("OBJECT  = 'M42'");
    h += card("TELESCOP= 'LX200 10in'");
    h += card("INSTRUME= 'Velquor CCD'");
    h += card("OBSERVER= 'A. Observer'");
    h += card("ORIGIN  = 'Garden'");
    h += card("DATE-OBS= '2024-03-09'");
    h += card("TIME-OBS= '21:05:07'");
    h += card("HISTORY = 'Normal Stretch : max 200 ,min 10'");
    for (int i = 1; i < 15; ++i) h += card("HISTORY = ''");
    h += long_card("HISTORY ", "Dark subtracted");
    for (int i = 0; i < 3; ++i) h += long_card("HISTORY ", "");
    h += long_card("COMMENT ", std::string(68, 'c'));
    h += long_card("COMMENT ", "cc");
    h += long_card("COMMENT ", "");
    h += long_card("COMMENT ", "");
    h += card(unsigned_format ? "BZERO   =   +0.0000000000E+00" : "BZERO   =   +3.2768000000E+04");
    h += card("BSCALE  =   +1.0000000000E+00");
    h += card("PIXWIDTH=    8.6000000000E-03");
    h += card("PIXHEIGH=    8.3000000000E-03");
    h +=
        card(unsigned_format ? "SATURATE=                65535" : "SATURATE=                32768");
    h += card("EXPTIME =    3.0000000000E+01");
    h += card("FOCALLEN=    1.0000000000E+02");
    h += card("APERTURE=    7.8500000000E+01");
    h += card("FILTER  = 'IR block'");
    h += card(binned ? "FILETYPE= 'BINNED'" : "FILETYPE= 'NORMAL'");
    h += card("END");
    h += std::string(26 * 80, ' ');
    return h;
  }
};

TEST_F(Fits, MonochromeFileIsHeaderAndSignedBigEndianFrame) {
  describe_m42();
  fill_frame(fs().CurrentFrame, 1);
  fs().CurrentFrame[0] = 0;
  fs().CurrentFrame[1] = 65535;
  const auto path = t.dir / "m42.fit";
  ASSERT_EQ(save_fits(path, false, fs(), t->fits, t->history), FileSave::Ok);

  const auto bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), FITS_NORMAL_MONO);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5760), m42_header(false, false, false));
  // 0 is written as 0x80 0x00 and 65535 as 0x7F 0xFF.
  EXPECT_EQ(bytes[5760], 0x80);
  EXPECT_EQ(bytes[5761], 0x00);
  EXPECT_EQ(bytes[5762], 0x7F);
  EXPECT_EQ(bytes[5763], 0xFF);
  auto data = frame_be(1, false);
  data[0] = 0x80, data[1] = 0, data[2] = 0x7F, data[3] = 0xFF;
  EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin() + 5760));
}

TEST_F(Fits, UnsignedBinnedFileEndsWithBlanks) {
  describe_m42();
  t->fits.fits_unsigned = true;
  fs().IsBinned = true;
  fill_frame(fs().CurrentFrame, 2);
  fs().CurrentFrame[0] = 0;
  fs().CurrentFrame[1] = 65535;
  const auto path = t.dir / "binned.fit";
  ASSERT_EQ(save_fits(path, false, fs(), t->fits, t->history), FileSave::Ok);

  const auto bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), FITS_BINNED_MONO);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5760), m42_header(false, true, true));
  EXPECT_EQ(bytes[5760], 0x00);
  EXPECT_EQ(bytes[5761], 0x00);
  EXPECT_EQ(bytes[5762], 0xFF);
  EXPECT_EQ(bytes[5763], 0xFF);
  auto data = frame_be(2, true);
  data[0] = 0, data[1] = 0, data[2] = 0xFF, data[3] = 0xFF;
  EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin() + 5760));
  EXPECT_EQ(std::string(bytes.end() - 320, bytes.end()), std::string(320, ' '));
}

TEST_F(Fits, ColourFileCarriesPlanesAndRoundTrips) {
  describe_m42();
  fill_frame(fs().CurrentFrame, 1);
  fill_frame(fs().RedPlane, 2);
  fill_frame(fs().GreenPlane, 3);
  fill_frame(fs().BluePlane, 4);
  fs().IsColour = true;
  fs().IsBinned = true;  // a binned colour image has the colour length, no trailer
  const auto path = t.dir / "colour.fit";
  ASSERT_EQ(save_fits(path, true, fs(), t->fits, t->history), FileSave::Ok);
  const auto bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), FITS_COLOUR_16BIT);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5760), m42_header(true, true, false));
  std::vector<std::uint8_t> data;
  for (int salt : {1, 2, 3, 4}) {
    const auto f = frame_be(salt, false);
    data.insert(data.end(), f.begin(), f.end());
  }
  EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin() + 5760));

  init_frame_store(fs());
  fs().IsColour = false;
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsColour, 1);
  EXPECT_EQ(fs().IsBinned, 1);  // from FILETYPE
  EXPECT_EQ(fs().HasBytePlanes, 0);
  for (int i : {0, 1, 7777, FRAME_SAMPLES - 1}) {
    EXPECT_EQ(fs().CurrentFrame[i], pattern(i, 1));
    EXPECT_EQ(fs().RedPlane[i], pattern(i, 2));
    EXPECT_EQ(fs().GreenPlane[i], pattern(i, 3));
    EXPECT_EQ(fs().BluePlane[i], pattern(i, 4));
  }
}

TEST_F(Fits, RoundTripKeepsTextRecordHistoryAndEncoding) {
  describe_m42();
  for (int i = 1; i < HISTORY_LINES; ++i) t->history.add_history("Step " + std::to_string(i));
  const std::string long_history(254, 'h');
  t->fits.fits_history = long_history;
  t->fits.fits_unsigned = true;
  t->fits.fits_pixel_width = 0.0123;
  t->fits.fits_exposure = -1.5e-3;
  fill_frame(fs().CurrentFrame, 5);
  const ProcessingHistory written_history = t->history;
  const FitsText written = t->fits;
  const auto path = t.dir / "round.fit";
  ASSERT_EQ(save_fits(path, false, fs(), t->fits, t->history), FileSave::Ok);

  init_frame_store(fs());
  t->fits = FitsText{};
  t->history.clear();
  fs().IsBinned = true;
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_TRUE(t.messages.shown.empty());
  for (int i = 0; i < HISTORY_LINES; ++i) EXPECT_EQ(t->history.line(i), written_history.line(i));
  const FitsText& f = t->fits;
  EXPECT_EQ(f.fits_object, "M42");
  EXPECT_EQ(f.fits_telescope, written.fits_telescope);
  EXPECT_EQ(f.fits_instrument, "Velquor CCD");
  EXPECT_EQ(f.fits_observer, written.fits_observer);
  EXPECT_EQ(f.fits_origin, written.fits_origin);
  EXPECT_EQ(f.fits_date, "2024-03-09");
  EXPECT_EQ(f.fits_time, "21:05:07");
  EXPECT_EQ(f.fits_history, long_history);
  // Texts come back with the blank padding of their cards.
  EXPECT_EQ(f.fits_comment.substr(0, 70), std::string(70, 'c'));
  EXPECT_EQ(f.fits_comment.find_first_not_of(' ', 70), std::string::npos);
  EXPECT_EQ(f.fits_filter, "IR block");
  EXPECT_TRUE(f.fits_unsigned);
  EXPECT_DOUBLE_EQ(f.fits_pixel_width, 0.0123);
  EXPECT_DOUBLE_EQ(f.fits_pixel_height, 0.0083);
  EXPECT_DOUBLE_EQ(f.fits_exposure, -1.5e-3);
  EXPECT_DOUBLE_EQ(f.fits_focal_length, 100.0);
  EXPECT_DOUBLE_EQ(f.fits_aperture, 78.5);
  EXPECT_EQ(fs().IsBinned, 0);
  EXPECT_EQ(fs().IsColour, 0);
  for (int i = 0; i < FRAME_SAMPLES; i += 997) ASSERT_EQ(fs().CurrentFrame[i], pattern(i, 5));

  // Signed files set the offset back.
  t->fits.fits_unsigned = false;
  ASSERT_EQ(save_fits(path, false, fs(), t->fits, t->history), FileSave::Ok);
  t->fits.fits_unsigned = true;
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_FALSE(t->fits.fits_unsigned);
  EXPECT_EQ(fs().CurrentFrame[12345], pattern(12345, 5));
}

TEST_F(Fits, OlderColourFilesWithBytePlanesAreWidened) {
  describe_m42();
  std::string h = m42_header(true, false, false);
  std::vector<std::uint8_t> file(h.begin(), h.end());
  const auto f = frame_be(6, false);
  file.insert(file.end(), f.begin(), f.end());
  for (int plane = 0; plane < 3; ++plane)
    for (int i = 0; i < FRAME_SAMPLES; ++i)
      file.push_back(static_cast<std::uint8_t>((i + plane) & 0xFF));
  ASSERT_EQ(file.size(), FITS_COLOUR_8BIT);
  const auto path = t.dir / "old.fit";
  write_bytes(path, file);
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsColour, 1);
  EXPECT_EQ(fs().HasBytePlanes, 1);
  EXPECT_EQ(fs().CurrentFrame[300], pattern(300, 6));
  EXPECT_EQ(fs().RedPlane[255], 32640);
  EXPECT_EQ(fs().GreenPlane[0], 128);
  EXPECT_EQ(fs().BluePlane[1], 3 * 128);
}

TEST_F(Fits, ForeignAndGarbageFilesAreRefusedWithTheImageIntact) {
  describe_m42();
  fill_frame(fs().CurrentFrame, 1);
  const auto good = t.dir / "good.fit";
  ASSERT_EQ(save_fits(good, false, fs(), t->fits, t->history), FileSave::Ok);
  const auto original = read_bytes(good);

  fill_frame(fs().CurrentFrame, 9);
  fs().IsColour = true;
  fs().IsBinned = true;
  t->current_file_name = "~before";
  t->fits.fits_object = "NGC 7000";
  auto expect_intact = [&](const std::string& what) {
    EXPECT_EQ(fs().CurrentFrame[1000], pattern(1000, 9)) << what;
    EXPECT_EQ(fs().CurrentFrame[FRAME_SAMPLES - 1], pattern(FRAME_SAMPLES - 1, 9)) << what;
    EXPECT_EQ(fs().IsColour, 1) << what;
    EXPECT_EQ(fs().IsBinned, 1) << what;
    EXPECT_EQ(t->current_file_name, "~before") << what;
    EXPECT_EQ(t->fits.fits_object, "NGC 7000") << what;
    EXPECT_EQ(t->history.line(0), "Normal Stretch : max 200 ,min 10") << what;
  };
  const auto path = t.dir / "foreign.fit";
  auto refused = [&](std::vector<std::uint8_t> bytes, const std::string& what) {
    write_bytes(path, bytes);
    EXPECT_EQ(load_raw(path, target()), RawLoad::FitsForeign) << what;
    EXPECT_EQ(open_image(*t, path).message(), Msg::FitsNotOurs) << what;
    EXPECT_EQ(t.messages.codes().back(), 14u) << what;
    expect_intact(what);
  };

  // Another program's 16-bit FITS file of another width.
  auto foreign = original;
  std::memcpy(foreign.data() + 3 * 80, card("NAXIS1  =                 1024 /").data(), 80);
  refused(foreign, "NAXIS1 1024");
  auto bitpix8 = original;
  bitpix8[80 + 28] = ' ', bitpix8[80 + 29] = '8';
  refused(bitpix8, "BITPIX 8");
  auto naxis3 = original;
  naxis3[2 * 80 + 29] = '3';
  refused(naxis3, "NAXIS 3");
  // Same size and axes, but the cards in another order.
  auto reordered = original;
  std::swap_ranges(reordered.begin() + 5 * 80, reordered.begin() + 6 * 80,
                   reordered.begin() + 6 * 80);
  refused(reordered, "cards swapped");
  auto bad_number = original;
  std::memcpy(bad_number.data() + 40 * 80, card("EXPTIME = 'thirty'").data(), 80);
  refused(bad_number, "text in a numeric card");
  refused(std::vector<std::uint8_t>(FITS_NORMAL_MONO, 'Z'), "garbage");
  refused(std::vector<std::uint8_t>(FITS_NORMAL_MONO, 0), "zeros");

  // A file that is not as long as its layout cannot be read.
  write_bytes(path, std::vector<std::uint8_t>(original.begin(), original.begin() + 6000));
  EXPECT_EQ(load_fits(path, false, fs(), t->fits, t->history), FitsLoad::Unreadable);
  EXPECT_EQ(load_fits(t.dir / "missing.fit", false, fs(), t->fits, t->history),
            FitsLoad::Unreadable);
  write_bytes(path, original);
  // Not the 8-bit layout.
  EXPECT_EQ(load_fits(path, true, fs(), t->fits, t->history), FitsLoad::Unreadable);
  EXPECT_EQ(load_fits_second(t.dir / "missing.fit", SecondPurpose::Other, fs()),
            SecondLoad::FitsUnreadable);
  expect_intact("short reads");
}

// Corrupt headers never crash the reader and never leave a half-loaded image.
TEST_F(Fits, RandomlyCorruptedHeadersAreSafe) {
  describe_m42();
  fill_frame(fs().CurrentFrame, 1);
  const auto good = t.dir / "good.fit";
  ASSERT_EQ(save_fits(good, false, fs(), t->fits, t->history), FileSave::Ok);
  const auto original = read_bytes(good);
  std::mt19937 rng(20240309);
  const auto path = t.dir / "corrupt.fit";
  for (int round = 0; round < 150; ++round) {
    auto bytes = original;
    const int hits = 1 + static_cast<int>(rng() % 40);
    for (int k = 0; k < hits; ++k) {
      const std::size_t pos = rng() % (round % 3 == 0 ? 5760 : 3680);
      bytes[pos] = static_cast<std::uint8_t>(rng());
    }
    write_bytes(path, bytes);
    fill_frame(fs().CurrentFrame, 9);
    const RawLoad r = load_raw(path, target());
    ASSERT_TRUE(r == RawLoad::Ok || r == RawLoad::FitsUnreadable || r == RawLoad::FitsForeign)
        << static_cast<int>(r);
    if (r != RawLoad::Ok) {
      ASSERT_EQ(fs().CurrentFrame[5], pattern(5, 9));
    } else {
      ASSERT_EQ(fs().CurrentFrame[5], pattern(5, 1));
    }
    const SecondLoad s = load_second(path, SecondPurpose::SubtractDark, fs());
    ASSERT_TRUE(s == SecondLoad::Ok || s == SecondLoad::FitsUnreadable ||
                s == SecondLoad::FitsForeign || s == SecondLoad::DarkBinnedImageNot ||
                s == SecondLoad::ImageBinnedDarkNot)
        << static_cast<int>(s);
  }
}

TEST_F(Fits, SecondFrameChecksDarkFrameBinnedState) {
  describe_m42();
  fill_frame(fs().CurrentFrame, 3);
  fs().IsBinned = true;
  const auto binned_dark = t.dir / "dark-binned.fit";
  ASSERT_EQ(save_fits(binned_dark, false, fs(), t->fits, t->history), FileSave::Ok);
  fs().IsBinned = false;
  t->fits.fits_unsigned = true;
  const auto normal_dark = t.dir / "dark-normal.fit";
  ASSERT_EQ(save_fits(normal_dark, false, fs(), t->fits, t->history), FileSave::Ok);
  init_frame_store(fs());

  // Dark binned, image not: message 56.
  fs().IsBinned = 0;
  EXPECT_EQ(load_second_frame(*t, binned_dark, SecondPurpose::SubtractDark).message(),
            Msg::DarkBinned);
  EXPECT_EQ(t.messages.codes().back(), 56u);
  EXPECT_EQ(fs().SecondFrame[5], 0);  // untouched ramp row 0
  // Image binned, dark not: message 55.
  fs().IsBinned = 1;
  EXPECT_EQ(load_second_frame(*t, normal_dark, SecondPurpose::SubtractDark).message(),
            Msg::DarkNotBinned);
  EXPECT_EQ(t.messages.codes().back(), 55u);
  EXPECT_EQ(load_fits_second(normal_dark, SecondPurpose::SubtractDark, fs()),
            SecondLoad::ImageBinnedDarkNot);
  fs().IsBinned = false;
  EXPECT_EQ(load_fits_second(binned_dark, SecondPurpose::SubtractDark, fs()),
            SecondLoad::DarkBinnedImageNot);

  // Matching states and flat fields load, each with its own encoding; the
  // text record of the image is left alone.
  t->fits.fits_object = "kept";
  EXPECT_EQ(load_second(normal_dark, SecondPurpose::SubtractDark, fs()), SecondLoad::Ok);
  EXPECT_EQ(fs().SecondFrame[777], pattern(777, 3));
  fs().SecondFrame[777] = 0;
  EXPECT_EQ(load_second(binned_dark, SecondPurpose::FlatField, fs()), SecondLoad::Ok);
  EXPECT_EQ(fs().SecondFrame[777], pattern(777, 3));
  EXPECT_EQ(t->fits.fits_object, "kept");
  EXPECT_TRUE(t->fits.fits_unsigned);
}

TEST_F(Fits, FailedSaveKeepsThePreviousFile) {
  const auto path = t.dir / "keep.fit";
  write_bytes(path, {1, 2, 3});
  const auto folder = t.dir / "taken.fit";
  std::filesystem::create_directory(folder);
  EXPECT_EQ(save_fits(folder, false, fs(), t->fits, t->history), FileSave::Failed);
  EXPECT_EQ(save_fits(t.dir / "none" / "x.fit", false, fs(), t->fits, t->history),
            FileSave::Failed);
  EXPECT_EQ(read_bytes(path), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(Fits, TextsAreWrittenAsPrintableAscii) {
  t->fits.fits_object = "M\t31 \xC3\xA9";
  const auto h = fits_header(false, false, t->fits, t->history);
  EXPECT_EQ(std::string(h.data() + 5 * 80, 20),
            "OBJECT  = 'M?31 ?"
            "?' ");
  // Numbers do not follow the desktop's locale and never print as nan.
  t->fits.fits_exposure = std::nan("");
  const auto h2 = fits_header(false, false, t->fits, t->history);
  EXPECT_EQ(std::string(h2.data() + 40 * 80, 29), "EXPTIME =    0.0000000000E+00");
}

TEST_F(Fits, QuotesAndTheLargestNumbersComeBackAsWritten) {
  t->fits.fits_object = "Barnard's Loop";
  t->fits.fits_comment = "it's 'quoted'";
  t->fits.fits_exposure = 1.7976931348623157e308;  // ten digits round past the largest double
  t->fits.fits_focal_length = 1.797693134e308;
  t->fits.fits_aperture = 4.9406564584124654e-324;
  const auto header = fits_header(false, false, t->fits, t->history);
  EXPECT_EQ(std::string(header.data() + 5 * 80, 80), card("OBJECT  = 'Barnard''s Loop'"));
  EXPECT_EQ(std::string(header.data() + 40 * 80, 80), card("EXPTIME =    0.0000000000E+00"));
  const auto path = t.dir / "q.fit";
  ASSERT_EQ(save_fits(path, false, fs(), t->fits, t->history), FileSave::Ok);
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_EQ(t->fits.fits_object, "Barnard's Loop");
  EXPECT_EQ(t->fits.fits_comment.substr(0, 14), "it's 'quoted' ");
  EXPECT_EQ(t->fits.fits_exposure, 0.0);
  EXPECT_DOUBLE_EQ(t->fits.fits_focal_length, 1.797693134e308);
  EXPECT_GT(t->fits.fits_aperture, 0.0);

  EXPECT_TRUE(fits_number_writable(1.7976931348e308));
  EXPECT_FALSE(fits_number_writable(1.7976931348623157e308));
  EXPECT_FALSE(fits_number_writable(-1.79769313486e308));
  EXPECT_FALSE(fits_number_writable(std::nan("")));
  EXPECT_TRUE(fits_number_writable(-2.5e-300));

  // A header carrying a number this program could not write back is refused
  // as not of its layout, with the image intact.
  auto bytes = read_bytes(path);
  const std::string big = card("EXPTIME = 1.797693134862315E+308");
  std::memcpy(bytes.data() + 40 * 80, big.data(), 80);
  write_bytes(path, bytes);
  fs().CurrentFrame[7] = 4321;
  EXPECT_EQ(load_raw(path, target()), RawLoad::FitsForeign);
  EXPECT_EQ(fs().CurrentFrame[7], 4321);
}

TEST(AutosaveNumbers, WrapAndNames) {
  EXPECT_EQ(next_autosave_number(0), 1u);
  EXPECT_EQ(next_autosave_number(41), 42u);
  // The settings field is two bytes; numbers above 32767 are kept unsigned.
  EXPECT_EQ(next_autosave_number(static_cast<std::int16_t>(40000)), 40001u);
  EXPECT_EQ(next_autosave_number(static_cast<std::int16_t>(65528)), 65529u);
  EXPECT_EQ(next_autosave_number(static_cast<std::int16_t>(65529)), 1u);
  EXPECT_EQ(next_autosave_number(static_cast<std::int16_t>(65530)), 1u);
  EXPECT_EQ(next_autosave_number(-1), 1u);  // 65535
  EXPECT_EQ(autosave_file_name("IMG", 1), "IMG1.FIT");
  EXPECT_EQ(autosave_file_name("IMG", 65529), "IMG65529.FIT");
}

TEST(FitsDates, YearMonthDayAndTime) {
  std::tm t{};
  t.tm_year = 105, t.tm_mon = 0, t.tm_mday = 2, t.tm_hour = 3, t.tm_min = 4, t.tm_sec = 5;
  EXPECT_EQ(fits_date_text(t), "2005-01-02");
  EXPECT_EQ(fits_time_text(t), "03:04:05");
  t.tm_year = 123, t.tm_mon = 11, t.tm_mday = 31;
  EXPECT_EQ(fits_date_text(t), "2023-12-31");
  t.tm_year = 200;  // past 2099 the year keeps its four digits
  EXPECT_EQ(fits_date_text(t), "2100-12-31");
}

TEST_F(Fits, AutosaveWritesTheNextNumberedFileAndPersistsTheNumber) {
  describe_m42();
  t->settings.autosave_number = static_cast<std::int16_t>(65529);
  t->settings.autosave_subdir = "night1";
  t->settings.ut_offset_hours = -1;
  fill_frame(fs().CurrentFrame, 4);
  // 2024-03-09 21:05:00 UT, 15 s exposure: the middle is 21:05:07.
  const std::time_t start = 1710018300;
  const AutosaveResult r =
      autosave_fits(AutosaveTarget{fs(), t->fits, t->history, t->settings, t->paths}, start, 15000);
  ASSERT_EQ(r.result, AutosaveStatus::Saved);
  EXPECT_EQ(r.number, 1u);
  EXPECT_EQ(r.file, t->paths.autosave_dir("night1") / "IMG1.FIT");
  EXPECT_EQ(read_bytes(r.file).size(), FITS_NORMAL_MONO);
  EXPECT_EQ(t->fits.fits_date, "2024-03-09");
  EXPECT_EQ(t->fits.fits_time, "21:05:07");
  EXPECT_EQ(t->settings.autosave_number, 1);
  // The settings file holds the new number.
  Settings reread;
  FitsText fits_reread;
  ASSERT_EQ(load_settings(t->paths.settings_file(), reread, fits_reread, t.messages),
            SettingsLoad::Read);
  EXPECT_EQ(reread.autosave_number, 1);

  // An existing file of the series is passed over, not overwritten.
  write_bytes(t->paths.autosave_dir("night1") / "IMG2.FIT", {7});
  const AutosaveResult r2 =
      autosave_fits(AutosaveTarget{fs(), t->fits, t->history, t->settings, t->paths}, start, 0);
  EXPECT_EQ(r2.result, AutosaveStatus::Saved);
  EXPECT_EQ(r2.number, 3u);
  EXPECT_EQ(read_bytes(t->paths.autosave_dir("night1") / "IMG2.FIT").size(), 1u);
  EXPECT_EQ(t->settings.autosave_number, 3);
  EXPECT_EQ(t->fits.fits_time, "21:05:00");
}

TEST_F(Fits, SavesLeaveTheProcessTimeZoneAlone) {
  // The settings' UT offset names the observatory's zone; saving the
  // settings and an automatic save stamp times without touching TZ.
  const char* old = std::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TZ", "EST5", 1);
  ::tzset();
  describe_m42();
  t->settings.ut_offset_hours = -5;
  t->settings.autosave_subdir = "zone";
  // 2024-03-09 23:59:55 UT, 20 s exposure: the middle is 2024-03-10 00:00:05 UT.
  const AutosaveResult r = autosave_fits(
      AutosaveTarget{fs(), t->fits, t->history, t->settings, t->paths}, 1710028795, 20000);
  ASSERT_EQ(r.result, AutosaveStatus::Saved);
  const char* now = std::getenv("TZ");
  const std::string after = now != nullptr ? now : "";
  const std::vector<std::uint8_t> bytes = read_bytes(r.file);
  const std::string header(bytes.begin(), bytes.begin() + 2880);
  // Dates of the offset's zone: -5 is five hours ahead of UT, 3 three behind.
  const std::string ahead = local_date_text(1710028795, -5);
  const std::string behind = local_date_text(1710028795, 3);
  if (old != nullptr)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
  EXPECT_EQ(after, "EST5");
  EXPECT_NE(header.find(card("DATE-OBS= '2024-03-10'")), std::string::npos);
  EXPECT_NE(header.find(card("TIME-OBS= '00:00:05'")), std::string::npos);
  EXPECT_EQ(ahead, "2024-03-10");
  EXPECT_EQ(behind, "2024-03-09");
}

TEST_F(Fits, AutosaveFailuresKeepTheNumber) {
  t->settings.autosave_number = 7;
  t->settings.autosave_subdir = "blocked";
  std::filesystem::create_directories(t->paths.autosave_root());
  write_bytes(t->paths.autosave_root() / "blocked", {1});  // a file where the folder should be
  const AutosaveResult r =
      autosave_fits(AutosaveTarget{fs(), t->fits, t->history, t->settings, t->paths}, 0, 0);
  EXPECT_EQ(r.result, AutosaveStatus::FileNotWritten);
  EXPECT_EQ(t->settings.autosave_number, 7);
}

}  // namespace
}  // namespace tarvex
