// Standard FITS export: the header cards and data bytes built by hand here,
// then the files read back by two independent readers, astropy (a FITS
// library) and siril-cli (the processing program many astronomers use), each
// skipped with a note when it is not installed.
#include "files/fits_standard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace tarvex {
namespace {

using testing::read_bytes;
using testing::TempDir;

std::string card(std::string text) {
  text.resize(80, ' ');
  return text;
}

// The samples of each plane differ, and each plane has 0 and 65535 in it.
void fill_planes(FrameStore& fs) {
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    fs.CurrentFrame[i] = testing::pattern(i, 0);
    fs.RedPlane[i] = testing::pattern(i, 1);
    fs.GreenPlane[i] = testing::pattern(i, 2);
    fs.BluePlane[i] = static_cast<std::uint16_t>(i % 60000);
  }
  fs.CurrentFrame[5] = 0;
  fs.CurrentFrame[6] = 65535;
  fs.RedPlane[0] = 0;
  fs.RedPlane[1] = 65535;
}

FitsText record() {
  FitsText f;
  f.fits_object = "M42";
  f.fits_telescope = "LX200";
  f.fits_observer = "O'Brien";
  f.fits_date = "2024-03-09";
  f.fits_time = "21:05:07";
  f.fits_exposure = 30.0;
  f.fits_focal_length = 80.0;  // inches
  f.fits_comment = "Seeing poor";
  f.fits_history = "Dark subtracted";
  return f;
}

std::uint16_t be16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

class StandardFits : public ::testing::Test {
 protected:
  std::unique_ptr<FrameStore> fs = std::make_unique<FrameStore>();
  ProcessingHistory history;
  StandardFitsStamp stamp{"Tarvex 0.1", 1710018307};  // 2024-03-09 21:05:07 UT
  TempDir dir;
  void SetUp() override {
    fill_planes(*fs);
    history.add_history("Normal Stretch : max 200 ,min 10");
  }
};

TEST_F(StandardFits, MonochromeHeaderCardsAsTheStandardWantsThem) {
  const auto cards = standard_fits_cards(*fs, record(), history, StandardFitsSamples::Int16, stamp);
  const std::vector<std::string> expected = {
      card("SIMPLE  =                    T / file conforms to the FITS standard"),
      card("BITPIX  =                   16 / 16-bit integer samples"),
      card("NAXIS   =                    2 / monochrome image"),
      card("NAXIS1  =                  752 / width in pixels"),
      card("NAXIS2  =                  580 / height in pixels"),
      card("BZERO   =                32768 / samples are unsigned 16-bit"),
      card("BSCALE  =                    1"),
      card("ROWORDER= 'BOTTOM-UP' / first row stored is the bottom of the picture"),
      card("BAYERPAT= 'GMGMYCYC' / sensor colour mosaic, rows as stored"),
      card("XBAYROFF=                    0 / mosaic column offset"),
      card("YBAYROFF=                    2 / mosaic row offset"),
      card("DATE-OBS= '2024-03-09T21:05:07' / UT of the observation"),
      card("EXPTIME =                 30.0 / exposure time in seconds"),
      card("OBJECT  = 'M42     '"),
      card("TELESCOP= 'LX200   '"),
      card("OBSERVER= 'O''Brien'"),
      card("INSTRUME= 'Velquor CCD'"),
      card("FILTER  = 'None    '"),
      card("XBINNING=                    1 / binning, columns"),
      card("YBINNING=                    1 / binning, rows"),
      card("XPIXSZ  =                  8.6 / pixel width, um"),
      card("YPIXSZ  =                  8.3 / pixel height, um"),
      card("FOCALLEN=               2032.0 / focal length, mm"),
      card("SCALE   =         0.8729719488 / image scale, arcsec per pixel"),
      card("DATE    = '2024-03-09T21:05:07' / UT when written"),
      card("SWCREATE= 'Tarvex 0.1' / program that wrote the file"),
      card("COMMENT Seeing poor"),
      card("HISTORY Normal Stretch : max 200 ,min 10"),
      card("HISTORY Dark subtracted"),
      card("END"),
  };
  EXPECT_EQ(cards, expected);

  // Floating point: BITPIX -32 and no scaling cards.
  const auto f32 = standard_fits_cards(*fs, record(), history, StandardFitsSamples::Float32, {});
  EXPECT_EQ(f32[1], card("BITPIX  =                  -32 / 32-bit floating point samples"));
  for (const auto& c : f32) {
    EXPECT_NE(c.substr(0, 8), "BZERO   ");
    EXPECT_NE(c.substr(0, 8), "DATE    ");  // no time of writing given
  }
}

TEST_F(StandardFits, TextsAreQuotedCutAndLeftOutWhenEmpty) {
  FitsText f;
  f.fits_object = std::string(70, 'x');
  f.fits_observer = std::string(33, '\'') + "\xC3\xA9";  // 66 characters once doubled
  f.fits_telescope = "   ";
  f.fits_instrument.clear();
  f.fits_filter.clear();
  f.fits_date = "9 March";
  const auto cards = standard_fits_cards(*fs, f, ProcessingHistory{}, StandardFitsSamples::Int16,
                                         StandardFitsStamp{});
  std::map<std::string, std::string> by_key;
  std::vector<std::string> comments;
  for (const auto& c : cards) {
    ASSERT_EQ(c.size(), 80u);
    for (char ch : c) ASSERT_TRUE(ch >= 0x20 && ch <= 0x7E) << c;
    if (c.substr(0, 8) == "COMMENT ")
      comments.push_back(c);
    else
      by_key[c.substr(0, 8)] = c;
  }
  // 68 characters between the quotes at most: the closing quote in column 80.
  EXPECT_EQ(by_key["OBJECT  "], "OBJECT  = '" + std::string(68, 'x') + "'");
  // Each quote doubled, a multi-byte character written as "??".
  EXPECT_EQ(by_key["OBSERVER"], card("OBSERVER= '" + std::string(66, '\'') + "?" + "?'"));
  // Blank texts, and the date that is no calendar date, are left out.
  EXPECT_EQ(by_key.count("TELESCOP"), 0u);
  EXPECT_EQ(by_key.count("INSTRUME"), 0u);
  EXPECT_EQ(by_key.count("FILTER  "), 0u);
  EXPECT_EQ(by_key.count("DATE-OBS"), 0u);
  // The date as typed is kept as a comment rather than lost.
  ASSERT_EQ(comments.size(), 1u);
  EXPECT_EQ(comments[0].substr(0, 29), "COMMENT Date as entered: 9 Ma");

  EXPECT_EQ(iso_date_obs("2024-03-09", "21:05:07.25"), "2024-03-09T21:05:07.25");
  EXPECT_EQ(iso_date_obs("2024-03-09", ""), "2024-03-09");
  EXPECT_EQ(iso_date_obs("2024-03-09", "25:00:00"), "2024-03-09");
  EXPECT_EQ(iso_date_obs("2024-13-09", "21:05:07"), "");
  EXPECT_EQ(iso_date_obs("09/03/2024", "21:05:07"), "");
}

TEST_F(StandardFits, DataIsBigEndianBottomRowFirstAndPaddedToBlocks) {
  const auto mono = dir / "mono.fits";
  ASSERT_EQ(save_standard_fits(mono, *fs, record(), history, StandardFitsSamples::Int16, stamp),
            FileSave::Ok);
  const auto b = read_bytes(mono);
  // One header block (30 cards), then 872320 data bytes padded to 303 blocks.
  ASSERT_EQ(b.size(), 2880u + 303u * 2880u);
  EXPECT_EQ(b.size(), standard_fits_size(30, false, StandardFitsSamples::Int16));
  EXPECT_EQ(std::string(b.begin() + 29 * 80, b.begin() + 29 * 80 + 3), "END");
  EXPECT_EQ(b[2879], ' ');
  const std::size_t data = 2880;
  // The first sample stored is the left end of the bottom row (row 579).
  const int bottom = 579 * FRAME_WIDTH;
  EXPECT_EQ(be16(b, data), static_cast<std::uint16_t>(fs->CurrentFrame[bottom] - 32768));
  // The top row comes last: samples 5 and 6 (0 and 65535) as 0x8000 and 0x7FFF.
  const std::size_t top = data + 2u * 579u * FRAME_WIDTH;
  EXPECT_EQ(be16(b, top + 10), 0x8000);
  EXPECT_EQ(be16(b, top + 12), 0x7FFF);
  EXPECT_EQ(b.back(), 0);  // data padding is zeros

  // Floating point: IEEE big-endian; the colour planes red, green, blue.
  fs->IsColour = true;
  fs->BluePlane[bottom] = 1234;  // 0x449A4000
  const auto colour = dir / "colour.fits";
  ASSERT_EQ(save_standard_fits(colour, *fs, record(), history, StandardFitsSamples::Float32, stamp),
            FileSave::Ok);
  const auto c = read_bytes(colour);
  const std::size_t plane = 4u * FRAME_SAMPLES;
  ASSERT_EQ(c.size(), 2880u + (3 * plane + 2879) / 2880 * 2880);
  const std::vector<std::uint8_t> blue_first(c.begin() + 2880 + 2 * plane,
                                             c.begin() + 2880 + 2 * plane + 4);
  EXPECT_EQ(blue_first, (std::vector<std::uint8_t>{0x44, 0x9A, 0x40, 0x00}));
  std::uint32_t bits = (std::uint32_t(c[2880]) << 24) | (c[2881] << 16) | (c[2882] << 8) | c[2883];
  float red_first;
  std::memcpy(&red_first, &bits, 4);
  EXPECT_EQ(red_first, static_cast<float>(fs->RedPlane[bottom]));
}

TEST_F(StandardFits, AFailedWriteLeavesThePreviousFile) {
  const auto path = dir / "keep.fits";
  testing::write_bytes(path, {1, 2, 3});
  EXPECT_EQ(save_standard_fits(dir / "missing" / "x.fits", *fs, record(), history,
                               StandardFitsSamples::Int16, stamp),
            FileSave::Failed);
  // A directory in the way of the target: nothing replaces it.
  std::filesystem::create_directory(dir / "taken.fits");
  EXPECT_EQ(save_standard_fits(dir / "taken.fits", *fs, record(), history,
                               StandardFitsSamples::Int16, stamp),
            FileSave::Failed);
  EXPECT_EQ(read_bytes(path).size(), 3u);
}

// ---------------------------------------------------------------------------
// Independent readers

std::string run(const std::string& command, int* status = nullptr) {
  std::string text;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return text;
  char buf[4096];
  while (std::fgets(buf, sizeof buf, p) != nullptr) text += buf;
  const int rc = ::pclose(p);
  if (status) *status = rc;
  return text;
}

bool have(const std::string& probe) {
  return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
}

constexpr const char* kAstropyReader = R"PY(
import sys, warnings
import numpy as np
from astropy.io import fits
warnings.simplefilter("error")   # any warning fails the read
with fits.open(sys.argv[1]) as hdul:
    hdul.verify("exception")
    h = hdul[0].header
    d = hdul[0].data
    print("KIND=%s" % d.dtype.kind)
    print("SHAPE=%s" % ",".join(str(n) for n in d.shape))
    for k in ("OBJECT", "OBSERVER", "TELESCOP", "DATE-OBS", "EXPTIME", "SWCREATE"):
        print("H %s=%s" % (k, h[k]))
    print("HISTORY=%s" % "|".join(str(x) for x in h["HISTORY"]))
    planes = d if d.ndim == 3 else d[np.newaxis]
    for n, p in enumerate(planes):
        p = p[::-1]          # FITS rows run bottom up: flip back to the picture's rows
        print("P%d SUM=%d" % (n, int(p.astype(np.int64).sum())))
        for (r, c) in ((0, 0), (0, 5), (0, 6), (300, 400), (579, 751)):
            print("P%d %d,%d=%d" % (n, r, c, int(p[r, c])))
)PY";

std::map<std::string, std::string> key_values(const std::string& text) {
  std::map<std::string, std::string> v;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) v[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return v;
}

long long plane_sum(const Frame& f) {
  long long s = 0;
  for (int i = 0; i < FRAME_SAMPLES; ++i) s += f[i];
  return s;
}

TEST_F(StandardFits, AstropyReadsEveryKindWithoutAWarning) {
  if (!have("/usr/bin/python3 -c 'import astropy.io.fits'"))
    GTEST_SKIP() << "python3 cannot import astropy (Debian package python3-astropy)";
  const auto script = dir / "read.py";
  testing::write_bytes(script, std::vector<std::uint8_t>(
                                   kAstropyReader, kAstropyReader + std::strlen(kAstropyReader)));
  for (const bool colour : {false, true}) {
    for (const auto samples : {StandardFitsSamples::Int16, StandardFitsSamples::Float32}) {
      const bool int16 = samples == StandardFitsSamples::Int16;
      SCOPED_TRACE(std::string(colour ? "colour " : "mono ") + (int16 ? "int16" : "float32"));
      fs->IsColour = colour;
      const auto path = dir / "out.fits";
      ASSERT_EQ(save_standard_fits(path, *fs, record(), history, samples, stamp), FileSave::Ok);
      int status = 0;
      const std::string text =
          run("/usr/bin/python3 '" + script.string() + "' '" + path.string() + "' 2>&1", &status);
      ASSERT_EQ(status, 0) << text;
      auto v = key_values(text);
      EXPECT_EQ(v["KIND"], int16 ? "u" : "f");  // BZERO 32768 reads back as unsigned
      EXPECT_EQ(v["SHAPE"], colour ? "3,580,752" : "580,752");
      EXPECT_EQ(v["H OBJECT"], "M42");
      EXPECT_EQ(v["H OBSERVER"], "O'Brien");
      EXPECT_EQ(v["H DATE-OBS"], "2024-03-09T21:05:07");
      EXPECT_EQ(v["H EXPTIME"], "30.0");
      EXPECT_EQ(v["H SWCREATE"], "Tarvex 0.1");
      EXPECT_EQ(v["HISTORY"], "Normal Stretch : max 200 ,min 10|Dark subtracted");
      std::vector<const Frame*> planes = {&fs->CurrentFrame};
      if (colour) planes = {&fs->RedPlane, &fs->GreenPlane, &fs->BluePlane};
      for (std::size_t n = 0; n < planes.size(); ++n) {
        const Frame& f = *planes[n];
        // Built by appending: GCC 12 warns falsely (-Wrestrict) on "P" + string.
        std::string p = "P";
        p += std::to_string(n) + " ";
        EXPECT_EQ(v[p + "SUM"], std::to_string(plane_sum(f)));
        EXPECT_EQ(v[p + "0,0"], std::to_string(f[0]));
        EXPECT_EQ(v[p + "0,5"], std::to_string(f[5]));
        EXPECT_EQ(v[p + "0,6"], std::to_string(f[6]));
        EXPECT_EQ(v[p + "300,400"], std::to_string(f[300 * FRAME_WIDTH + 400]));
        EXPECT_EQ(v[p + "579,751"], std::to_string(f[FRAME_SAMPLES - 1]));
      }
    }
  }
}

constexpr const char* kChecklistReader = R"PY(
import sys, warnings
from astropy.io import fits
from astropy.coordinates import Angle
import astropy.units as u
warnings.simplefilter("error")
with fits.open(sys.argv[1]) as hdul:
    hdul.verify("exception")
    h = hdul[0].header
    for k in ("DATE-OBS", "EXPTIME", "IMAGETYP", "XBINNING", "YBINNING", "READOUTM", "XPIXSZ",
              "YPIXSZ",
              "FOCALLEN", "APTAREA", "APTDIA", "SCALE", "OBJECT", "RA", "DEC", "SITELAT",
              "SITELONG", "INSTRUME", "TELESCOP", "SWCREATE"):
        print("%s=%s" % (k, h[k]))
    # The sexagesimal cards, read as angles by astropy itself.
    print("OBJCTRA deg=%.6f" % Angle(h["OBJCTRA"], unit=u.hourangle).degree)
    print("OBJCTDEC deg=%.6f" % Angle(h["OBJCTDEC"], unit=u.deg).degree)
)PY";

TEST_F(StandardFits, AstropyReadsTheObservingChecklist) {
  if (!have("/usr/bin/python3 -c 'import astropy.io.fits'"))
    GTEST_SKIP() << "python3 cannot import astropy (Debian package python3-astropy)";
  const auto script = dir / "checklist.py";
  testing::write_bytes(script,
                       std::vector<std::uint8_t>(kChecklistReader,
                                                 kChecklistReader + std::strlen(kChecklistReader)));
  FitsText f = record();
  f.fits_focal_length = 300 / 25.4;  // 300 mm
  f.fits_aperture = 12.0;            // square inches: 7741.92 mm^2
  f.fits_instrument = "Velquor CCD";
  StandardFitsStamp full = stamp;
  full.image_type = ImageType::Light;
  full.pointing_known = true;
  full.ra_hours = 5 + 35 / 60.0 + 17.3 / 3600;  // 05 35 17.30
  full.dec_degrees = -(5 + 23 / 60.0 + 28 / 3600.0);
  full.site_known = true;
  full.site_latitude = 52.0;
  full.site_longitude_east = -1.5;
  fs->IsBinned = true;
  const auto path = dir / "checklist.fits";
  ASSERT_EQ(save_standard_fits(path, *fs, f, history, StandardFitsSamples::Int16, full),
            FileSave::Ok);
  int status = 0;
  const std::string text =
      run("/usr/bin/python3 '" + script.string() + "' '" + path.string() + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << text;
  auto v = key_values(text);
  const auto num = [&](const std::string& k) { return std::atof(v[k].c_str()); };
  EXPECT_EQ(v["DATE-OBS"], "2024-03-09T21:05:07");
  EXPECT_EQ(v["EXPTIME"], "30.0");
  EXPECT_EQ(v["IMAGETYP"], "Light");
  // A binned frame keeps the full grid: its samples lie as far apart as the
  // photosites, so the scale other programs take from these cards is right.
  EXPECT_EQ(v["XBINNING"], "1");
  EXPECT_EQ(v["YBINNING"], "1");
  EXPECT_EQ(v["READOUTM"], "Fast");
  EXPECT_NEAR(num("XPIXSZ"), 8.6, 1e-9);
  EXPECT_NEAR(num("YPIXSZ"), 8.3, 1e-9);
  EXPECT_NEAR(num("FOCALLEN"), 300.0, 1e-6);
  EXPECT_NEAR(num("APTAREA"), 7741.92, 1e-6);
  EXPECT_NEAR(num("APTDIA"), 99.28403, 1e-4);  // 2 sqrt(7741.92 / pi)
  EXPECT_NEAR(num("SCALE"), 5.91293, 1e-4);    // 206.265 x 8.6 / 300
  EXPECT_EQ(v["OBJECT"], "M42");
  EXPECT_NEAR(num("RA"), 83.822083, 1e-6);
  EXPECT_NEAR(num("DEC"), -5.391111, 1e-6);
  EXPECT_NEAR(num("OBJCTRA deg"), 83.822083, 1e-6);
  EXPECT_NEAR(num("OBJCTDEC deg"), -5.391111, 1e-6);
  EXPECT_NEAR(num("SITELAT"), 52.0, 1e-9);
  EXPECT_NEAR(num("SITELONG"), -1.5, 1e-9);  // west of Greenwich: negative
  EXPECT_EQ(v["INSTRUME"], "Velquor CCD");
  EXPECT_EQ(v["TELESCOP"], "LX200");
  EXPECT_EQ(v["SWCREATE"], "Tarvex 0.1");
}

// siril prints "Red layer: Mean: ..., Median: ..., Sigma: ..., AvgDev: ...,
// Min: ..., Max: ..." (or "B&W layer") for each plane after "stat".
struct SirilLayer {
  double mean = -1, min = -1, max = -1;
};

std::vector<SirilLayer> siril_stats(const TempDir& dir, const std::filesystem::path& file) {
  const auto script = dir / "stat.ssf";
  const std::string text = "requires 1.0.0\nload " + file.filename().string() + "\nstat\n";
  testing::write_bytes(script, std::vector<std::uint8_t>(text.begin(), text.end()));
  // A home of its own, so siril's configuration stays in the test folder;
  // bounded in time, so a stuck siril fails the test instead of hanging it.
  const std::string cmd = "cd '" + dir.path().string() + "' && HOME='" + dir.path().string() +
                          "' XDG_CONFIG_HOME='" + dir.path().string() +
                          "' timeout 120 siril-cli -d '" + dir.path().string() + "' -s '" +
                          script.string() + "' 2>&1";
  int status = 0;
  const std::string out = run(cmd, &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<SirilLayer> layers;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const auto at = line.find(" layer: Mean: ");
    if (at == std::string::npos) continue;
    SirilLayer l;
    std::sscanf(line.c_str() + at, " layer: Mean: %lf", &l.mean);
    const auto mn = line.find("Min: ");
    const auto mx = line.find("Max: ");
    if (mn != std::string::npos) l.min = std::atof(line.c_str() + mn + 5);
    if (mx != std::string::npos) l.max = std::atof(line.c_str() + mx + 5);
    layers.push_back(l);
  }
  if (layers.empty()) ADD_FAILURE() << out;
  return layers;
}

TEST_F(StandardFits, SirilOpensTheExportsWithTheirValues) {
  if (!have("command -v siril-cli"))
    GTEST_SKIP() << "siril-cli is not installed (Debian package siril)";
  for (const bool colour : {false, true}) {
    for (const auto samples : {StandardFitsSamples::Int16, StandardFitsSamples::Float32}) {
      const bool int16 = samples == StandardFitsSamples::Int16;
      SCOPED_TRACE(std::string(colour ? "colour " : "mono ") + (int16 ? "int16" : "float32"));
      fs->IsColour = colour;
      const auto path = dir / "siril.fits";
      ASSERT_EQ(save_standard_fits(path, *fs, record(), history, samples, stamp), FileSave::Ok);
      const auto layers = siril_stats(dir, path);
      std::vector<const Frame*> planes = {&fs->CurrentFrame};
      if (colour) planes = {&fs->RedPlane, &fs->GreenPlane, &fs->BluePlane};
      ASSERT_EQ(layers.size(), planes.size());
      for (std::size_t n = 0; n < planes.size(); ++n) {
        const Frame& f = *planes[n];
        // siril leaves samples of 0 (no data) out of its mean.
        int zeros = 0;
        std::uint16_t lo = 65535, hi = 0;
        for (int i = 0; i < FRAME_SAMPLES; ++i) {
          lo = std::min(lo, f[i]);
          hi = std::max(hi, f[i]);
          zeros += f[i] == 0;
        }
        const double mean = static_cast<double>(plane_sum(f)) / (FRAME_SAMPLES - zeros);
        EXPECT_NEAR(layers[n].mean, mean, 0.1) << n;
        EXPECT_EQ(layers[n].min, lo) << n;
        EXPECT_EQ(layers[n].max, hi) << n;
      }
    }
  }
}

}  // namespace
}  // namespace tarvex
