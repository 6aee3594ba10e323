// Our monochrome FITS files read by an independent FITS reader (astropy from
// the Debian archive): pixel values and header values must come back as
// written. Our files are not padded to a multiple of 2880 bytes (a normal
// monochrome file is 320 bytes short of it), so astropy's warning about a
// possibly truncated file is expected and accepted; no other warning is.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "files/fits.h"
#include "test_support.h"

namespace tarvex {
namespace {

using testing::TempDir;

// The first Python that can import astropy, or empty.
std::string python_with_astropy() {
  for (const char* py : {"/usr/bin/python3", "python3"}) {
    const std::string cmd = std::string(py) + " -c 'import astropy.io.fits' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == 0) return py;
  }
  return {};
}

constexpr const char* kReader = R"PY(
import sys, warnings
from astropy.io import fits
with warnings.catch_warnings(record=True) as caught:
    warnings.simplefilter("always")
    with fits.open(sys.argv[1]) as hdul:
        h = hdul[0].header
        d = hdul[0].data.astype('int64') & 0xFFFF
        for k in ("BITPIX", "NAXIS", "NAXIS1", "NAXIS2", "OBJECT", "TELESCOP", "INSTRUME",
                  "OBSERVER", "ORIGIN", "DATE-OBS", "TIME-OBS", "BZERO", "BSCALE", "PIXWIDTH",
                  "PIXHEIGH", "SATURATE", "EXPTIME", "FOCALLEN", "APERTURE", "FILTER",
                  "FILETYPE"):
            print("H %s=%r" % (k, h[k]))
        print("HISTORY=%s" % "|".join(str(x) for x in h["HISTORY"]))
        print("SHAPE=%d,%d" % d.shape)
        print("SUM=%d" % int(d.sum()))
        for (r, c) in ((0, 0), (0, 1), (1, 0), (300, 400), (579, 751)):
            print("P%d,%d=%d" % (r, c, int(d[r, c])))
for w in caught:
    print("WARN=" + str(w.message).replace("\n", " "))
)PY";

struct AstropyResult {
  std::map<std::string, std::string> values;
  std::vector<std::string> warnings;
  bool ran = false;
};

AstropyResult read_with_astropy(const std::string& python, const TempDir& dir,
                                const std::filesystem::path& file) {
  AstropyResult r;
  const auto script = dir / "reader.py";
  testing::write_bytes(script, std::vector<std::uint8_t>(kReader, kReader + std::strlen(kReader)));
  const std::string cmd = python + " '" + script.string() + "' '" + file.string() + "' 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  std::string text;
  char buf[4096];
  while (std::fgets(buf, sizeof buf, p) != nullptr) text += buf;
  r.ran = ::pclose(p) == 0;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    if (key == "WARN") {
      r.warnings.push_back(line.substr(eq + 1));
    } else {
      r.values[key] = line.substr(eq + 1);
    }
  }
  if (!r.ran) ADD_FAILURE() << text;
  return r;
}

std::uint16_t sample(int i) {
  return static_cast<std::uint16_t>(i * 37 + (i >> 7));
}

TEST(FitsIndependentReader, AstropyReadsOurMonochromeFiles) {
  const std::string python = python_with_astropy();
  if (python.empty()) {
    GTEST_SKIP() << "python3 cannot import astropy (Debian package python3-astropy); the "
                    "independent FITS reader check did not run";
  }
  TempDir dir;
  auto fs = std::make_unique<FrameStore>();
  long long sum = 0;
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    fs->CurrentFrame[i] = sample(i);
    sum += sample(i);
  }
  fs->CurrentFrame[0] = 0;
  fs->CurrentFrame[1] = 65535;
  sum += 0 - sample(0) + 65535 - sample(1);
  ProcessingHistory history;
  history.add_history("Normal Stretch : max 200 ,min 10");

  for (const bool unsigned_format : {false, true}) {
    SCOPED_TRACE(unsigned_format ? "unsigned, binned" : "signed, normal");
    FitsText f;
    f.fits_object = "M42";
    f.fits_telescope = "LX200";
    f.fits_observer = "A. Observer";
    f.fits_origin = "Garden";
    f.fits_date = "2024-03-09";
    f.fits_time = "21:05:07";
    f.fits_filter = "IR block";
    f.fits_exposure = 30.0;
    f.fits_focal_length = 100.0;
    f.fits_aperture = 78.5;
    f.fits_history = "Dark subtracted";
    f.fits_unsigned = unsigned_format;
    fs->IsBinned = unsigned_format;
    const auto path = dir / (unsigned_format ? "binned.fit" : "normal.fit");
    ASSERT_EQ(save_fits(path, false, *fs, f, history), FileSave::Ok);

    const AstropyResult r = read_with_astropy(python, dir, path);
    ASSERT_TRUE(r.ran);
    auto v = [&](const std::string& k) {
      auto it = r.values.find(k);
      return it == r.values.end() ? std::string("<missing>") : it->second;
    };
    EXPECT_EQ(v("H BITPIX"), "16");
    EXPECT_EQ(v("H NAXIS"), "2");
    EXPECT_EQ(v("H NAXIS1"), "752");
    EXPECT_EQ(v("H NAXIS2"), "580");
    EXPECT_EQ(v("H OBJECT"), "'M42'");
    EXPECT_EQ(v("H TELESCOP"), "'LX200'");
    EXPECT_EQ(v("H INSTRUME"), "'Velquor CCD'");
    EXPECT_EQ(v("H OBSERVER"), "'A. Observer'");
    EXPECT_EQ(v("H ORIGIN"), "'Garden'");
    EXPECT_EQ(v("H DATE-OBS"), "'2024-03-09'");
    EXPECT_EQ(v("H TIME-OBS"), "'21:05:07'");
    EXPECT_EQ(v("H BZERO"), unsigned_format ? "0.0" : "32768.0");
    EXPECT_EQ(v("H BSCALE"), "1.0");
    EXPECT_EQ(v("H PIXWIDTH"), "0.0086");
    EXPECT_EQ(v("H PIXHEIGH"), "0.0083");
    EXPECT_EQ(v("H SATURATE"), unsigned_format ? "65535" : "32768");
    EXPECT_EQ(v("H EXPTIME"), "30.0");
    EXPECT_EQ(v("H FOCALLEN"), "100.0");
    EXPECT_EQ(v("H APERTURE"), "78.5");
    EXPECT_EQ(v("H FILTER"), "'IR block'");
    EXPECT_EQ(v("H FILETYPE"), unsigned_format ? "'BINNED'" : "'NORMAL'");
    EXPECT_NE(v("HISTORY").find("Normal Stretch : max 200 ,min 10"), std::string::npos);
    EXPECT_NE(v("HISTORY").find("Dark subtracted"), std::string::npos);
    // Pixels as written (the unsigned form is read by astropy as signed
    // 16-bit, so both are compared as 16-bit patterns).
    EXPECT_EQ(v("SHAPE"), "580,752");
    EXPECT_EQ(v("SUM"), std::to_string(sum));
    EXPECT_EQ(v("P0,0"), "0");
    EXPECT_EQ(v("P0,1"), "65535");
    EXPECT_EQ(v("P1,0"), std::to_string(sample(752)));
    EXPECT_EQ(v("P300,400"), std::to_string(sample(300 * 752 + 400)));
    EXPECT_EQ(v("P579,751"), std::to_string(sample(FRAME_SAMPLES - 1)));
    for (const auto& w : r.warnings)
      EXPECT_NE(w.find("File may have been truncated"), std::string::npos) << w;
    // The binned file's 320 trailing blanks happen to fill its last block.
    if (unsigned_format)
      EXPECT_TRUE(r.warnings.empty());
    else
      EXPECT_FALSE(r.warnings.empty());
  }
}

}  // namespace
}  // namespace tarvex
