#include "files/fits_standard.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/file_io.h"
#include "platform/printable_text.h"

namespace tarvex {

namespace {

constexpr std::size_t kCard = 80;
constexpr std::size_t kStringMax = 68;       // characters between the quotes of one card
constexpr std::size_t kCommentaryText = 72;  // text of a COMMENT or HISTORY card
constexpr int kPlanes = 3;

// Millimetres per inch and square millimetres per square inch: the record
// keeps the focal length in inches and the aperture in square inches, the
// usual FITS keywords want millimetres.
constexpr double kMmPerInch = 25.4;
constexpr double kMm2PerInch2 = kMmPerInch * kMmPerInch;
constexpr double kPi = 3.14159265358979323846;

std::string to_card(std::string text) {
  text.resize(kCard, ' ');
  return text;
}

// KEYWORD = value / comment. Numbers and logicals end in column 30; strings
// start in column 11.
std::string value_card(std::string_view keyword, std::string_view value, bool right_justify,
                       std::string_view comment = {}) {
  std::string c(keyword);
  c.resize(8, ' ');
  c += "= ";
  if (right_justify && value.size() < 20) c.append(20 - value.size(), ' ');
  c += value;
  if (!comment.empty() && c.size() + 3 < kCard) {
    c += " / ";
    for (char ch : comment) c += printable_or_question(ch);
  }
  return to_card(std::move(c));
}

std::string int_card(std::string_view keyword, long long value, std::string_view comment = {}) {
  return value_card(keyword, std::to_string(value), true, comment);
}

// A real number in the C locale, whatever locale the desktop uses, with a
// decimal point in the mantissa ("30.0", "8.6", "1.5E-05").
std::string real_text(double v) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 10);
  std::string t(buf, r.ptr);
  for (char& c : t)
    if (c == 'e') c = 'E';
  const auto e = t.find('E');
  const std::string mantissa = t.substr(0, e);
  if (mantissa.find('.') == std::string::npos)
    t.insert(e == std::string::npos ? t.size() : e, ".0");
  return t;
}

void add_real(std::vector<std::string>& cards, std::string_view keyword, double v,
              std::string_view comment) {
  if (std::isfinite(v)) cards.push_back(value_card(keyword, real_text(v), true, comment));
}

void add_string(std::vector<std::string>& cards, std::string_view keyword, std::string_view text,
                std::string_view comment = {}) {
  if (text.find_first_not_of(' ') == std::string_view::npos) return;  // nothing to say
  cards.push_back(value_card(keyword, fits_string_value(text), false, comment));
}

// COMMENT or HISTORY cards holding the text in pieces of 72 characters.
void add_commentary(std::vector<std::string>& cards, std::string_view keyword,
                    std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  for (std::size_t at = 0; at < text.size(); at += kCommentaryText) {
    std::string c(keyword);
    c.resize(8, ' ');
    for (char ch : text.substr(at, kCommentaryText)) c += printable_or_question(ch);
    cards.push_back(to_card(std::move(c)));
  }
}

bool digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

int number(std::string_view s) {
  int v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

bool iso_date(std::string_view d) {
  if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
  if (!digits(d.substr(0, 4)) || !digits(d.substr(5, 2)) || !digits(d.substr(8, 2))) return false;
  const int month = number(d.substr(5, 2));
  const int day = number(d.substr(8, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// "hh:mm:ss" with an optional fraction of a second ("21:05:07.25").
bool iso_time(std::string_view t) {
  if (t.size() < 8 || t[2] != ':' || t[5] != ':') return false;
  if (!digits(t.substr(0, 2)) || !digits(t.substr(3, 2)) || !digits(t.substr(6, 2))) return false;
  if (t.size() > 8 && (t[8] != '.' || !digits(t.substr(9)))) return false;
  return number(t.substr(0, 2)) < 24 && number(t.substr(3, 2)) < 60 && number(t.substr(6, 2)) < 61;
}

std::string trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

std::string utc_text(std::time_t t) {
  std::tm ut{};
  if (::gmtime_r(&t, &ut) == nullptr) return {};
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", ut.tm_year + 1900, ut.tm_mon + 1,
                ut.tm_mday, ut.tm_hour, ut.tm_min, ut.tm_sec);
  return buf;
}

std::size_t padded(std::size_t bytes) {
  return (bytes + FITS_BLOCK - 1) / FITS_BLOCK * FITS_BLOCK;
}

std::size_t sample_bytes(StandardFitsSamples s) {
  return s == StandardFitsSamples::Int16 ? 2 : 4;
}

// One row of samples, big-endian, in the chosen encoding.
void encode_row(const std::uint16_t* row, StandardFitsSamples s, std::uint8_t* out) {
  if (s == StandardFitsSamples::Int16) {
    for (int x = 0; x < FRAME_WIDTH; ++x) {
      const auto v = static_cast<std::uint16_t>(row[x] - 32768u);
      out[2 * x] = static_cast<std::uint8_t>(v >> 8);
      out[2 * x + 1] = static_cast<std::uint8_t>(v);
    }
    return;
  }
  for (int x = 0; x < FRAME_WIDTH; ++x) {
    const float f = static_cast<float>(row[x]);
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    for (int k = 0; k < 4; ++k) out[4 * x + k] = static_cast<std::uint8_t>(bits >> (24 - 8 * k));
  }
}

}  // namespace

std::string fits_string_value(std::string_view text) {
  std::string inner;
  for (char c : text) {
    const char ch = printable_or_question(c);
    const std::size_t need = ch == '\'' ? 2 : 1;
    if (inner.size() + need > kStringMax) break;
    inner += ch;
    if (ch == '\'') inner += '\'';
  }
  if (inner.size() < 8) inner.resize(8, ' ');
  return "'" + inner + "'";
}

std::string iso_date_obs(std::string_view date, std::string_view time) {
  const std::string d = trimmed(date);
  const std::string t = trimmed(time);
  if (!iso_date(d)) return {};
  return iso_time(t) ? d + "T" + t : d;
}

std::vector<std::string> standard_fits_cards(const FrameStore& fs, const FitsText& f,
                                             const ProcessingHistory& history,
                                             StandardFitsSamples samples,
                                             const StandardFitsStamp& stamp, MosaicOffsets mosaic) {
  const bool colour = fs.IsColour;
  const bool int16 = samples == StandardFitsSamples::Int16;
  std::vector<std::string> c;
  c.push_back(value_card("SIMPLE", "T", true, "file conforms to the FITS standard"));
  c.push_back(int_card("BITPIX", int16 ? 16 : -32,
                       int16 ? "16-bit integer samples" : "32-bit floating point samples"));
  c.push_back(int_card("NAXIS", colour ? 3 : 2, colour ? "colour image" : "monochrome image"));
  c.push_back(int_card("NAXIS1", FRAME_WIDTH, "width in pixels"));
  c.push_back(int_card("NAXIS2", FRAME_HEIGHT, "height in pixels"));
  if (colour) c.push_back(int_card("NAXIS3", kPlanes, "planes: red, green, blue"));
  if (int16) {
    c.push_back(int_card("BZERO", 32768, "samples are unsigned 16-bit"));
    c.push_back(int_card("BSCALE", 1));
  }
  c.push_back(value_card("ROWORDER", fits_string_value("BOTTOM-UP"), false,
                         "first row stored is the bottom of the picture"));
  // A raw frame still carries the sensor's mosaic: say which, so that a
  // stacking program knows to calibrate it as a mosaic. A binned frame's odd
  // rows hold no photosites of their own, so it gets no pattern.
  if (!colour && fs.IsBinned == 0) {
    c.push_back(value_card("BAYERPAT", fits_string_value(BAYERPAT), false,
                           "sensor colour mosaic, rows as stored"));
    c.push_back(int_card("XBAYROFF", bayer_x_offset(mosaic.pixel_offset), "mosaic column offset"));
    c.push_back(int_card("YBAYROFF", bayer_y_offset(mosaic.line_offset), "mosaic row offset"));
  }
  const std::string date_obs = iso_date_obs(f.fits_date, f.fits_time);
  if (!date_obs.empty())
    c.push_back(
        value_card("DATE-OBS", fits_string_value(date_obs), false, "UT of the observation"));
  add_real(c, "EXPTIME", f.fits_exposure, "exposure time in seconds");
  add_string(c, "OBJECT", stamp.object.empty() ? f.fits_object : stamp.object);
  add_string(c, "TELESCOP", f.fits_telescope);
  add_string(c, "OBSERVER", f.fits_observer);
  add_string(c, "INSTRUME", f.fits_instrument);
  add_string(c, "ORIGIN", f.fits_origin);
  add_string(c, "FILTER", f.fits_filter);
  if (stamp.image_type != ImageType::Unknown) {
    const char* type = stamp.image_type == ImageType::Dark   ? "Dark"
                       : stamp.image_type == ImageType::Flat ? "Flat"
                                                             : "Light";
    add_string(c, "IMAGETYP", type, "kind of frame");
  }
  // The samples as they lie in the file: a binned (fast) frame keeps the
  // full 752 x 580 grid, one camera line on every second row and the rows
  // between filled from their neighbours, so its samples are as far apart
  // as the photosites and other programs take the image scale from these
  // cards. How it was read is said apart.
  c.push_back(int_card("XBINNING", 1, "binning, columns"));
  c.push_back(int_card("YBINNING", 1, "binning, rows"));
  if (fs.IsBinned)
    add_string(c, "READOUTM", "Fast", "one camera line per two rows, rows between filled");
  const double pixel_um = f.fits_pixel_width * 1000;
  if (f.fits_pixel_width > 0) add_real(c, "XPIXSZ", pixel_um, "pixel width, um");
  if (f.fits_pixel_height > 0)
    add_real(c, "YPIXSZ", f.fits_pixel_height * 1000, "pixel height, um");
  const double focal_mm = f.fits_focal_length * kMmPerInch;
  if (f.fits_focal_length > 0) add_real(c, "FOCALLEN", focal_mm, "focal length, mm");
  if (f.fits_aperture > 0) {
    const double area = f.fits_aperture * kMm2PerInch2;
    add_real(c, "APTAREA", area, "aperture area, mm^2");
    add_real(c, "APTDIA", 2 * std::sqrt(area / kPi), "aperture diameter, mm");
  }
  if (f.fits_focal_length > 0 && f.fits_pixel_width > 0)
    add_real(c, "SCALE", 206.265 * pixel_um / focal_mm, "image scale, arcsec per pixel");
  if (stamp.pointing_known) {
    add_string(c, "OBJCTRA", fits_ra_text(stamp.ra_hours), "pointing, J2000");
    add_string(c, "OBJCTDEC", fits_dec_text(stamp.dec_degrees), "pointing, J2000");
    add_real(c, "RA", stamp.ra_hours * 15.0, "pointing, J2000, degrees");
    add_real(c, "DEC", stamp.dec_degrees, "pointing, J2000, degrees");
  }
  if (stamp.site_known) {
    add_real(c, "SITELAT", stamp.site_latitude, "site latitude, degrees north");
    add_real(c, "SITELONG", stamp.site_longitude_east, "site longitude, degrees east");
  }
  if (stamp.written != 0) {
    const std::string written = utc_text(stamp.written);
    if (!written.empty())
      c.push_back(value_card("DATE", fits_string_value(written), false, "UT when written"));
  }
  add_string(c, "SWCREATE", stamp.software, "program that wrote the file");
  if (date_obs.empty() && !trimmed(f.fits_date).empty())
    add_commentary(c, "COMMENT", "Date as entered: " + trimmed(f.fits_date) + " " + f.fits_time);
  add_commentary(c, "COMMENT", f.fits_comment);
  for (int i = 0; i < HISTORY_LINES; ++i) add_commentary(c, "HISTORY", history.line(i));
  add_commentary(c, "HISTORY", f.fits_history);
  c.push_back(to_card("END"));
  return c;
}

std::string fits_ra_text(double hours) {
  hours = std::fmod(hours, 24.0);
  if (hours < 0) hours += 24.0;
  long hundredths = std::lround(hours * 360000.0) % (24L * 360000);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld %02ld %02ld.%02ld", hundredths / 360000,
                hundredths / 6000 % 60, hundredths / 100 % 60, hundredths % 100);
  return text;
}

std::string fits_dec_text(double degrees) {
  degrees = std::clamp(degrees, -90.0, 90.0);
  const long tenths = std::lround(std::fabs(degrees) * 36000.0);
  char text[32];
  std::snprintf(text, sizeof text, "%c%02ld %02ld %02ld.%ld", degrees < 0 ? '-' : '+',
                tenths / 36000, tenths / 600 % 60, tenths / 10 % 60, tenths % 10);
  return text;
}

std::uint64_t standard_fits_size(std::size_t header_cards, bool colour,
                                 StandardFitsSamples samples) {
  const std::size_t data =
      static_cast<std::size_t>(FRAME_SAMPLES) * (colour ? kPlanes : 1) * sample_bytes(samples);
  return padded(header_cards * kCard) + padded(data);
}

FileSave save_standard_fits(const std::filesystem::path& path, const FrameStore& fs,
                            const FitsText& fits, const ProcessingHistory& history,
                            StandardFitsSamples samples, const StandardFitsStamp& stamp,
                            MosaicOffsets mosaic) {
  const std::vector<std::string> cards =
      standard_fits_cards(fs, fits, history, samples, stamp, mosaic);
  std::string header;
  for (const auto& card : cards) header += card;
  header.resize(padded(header.size()), ' ');

  AtomicFile out;
  if (!out.open(path) || !out.write(header.data(), header.size())) return FileSave::Failed;
  std::vector<const Frame*> planes;
  if (fs.IsColour)
    planes = {&fs.RedPlane, &fs.GreenPlane, &fs.BluePlane};
  else
    planes = {&fs.CurrentFrame};
  const std::size_t row_bytes = FRAME_WIDTH * sample_bytes(samples);
  std::vector<std::uint8_t> rows(row_bytes * BLOCK_ROWS);
  std::size_t data = 0;
  for (const Frame* plane : planes) {
    // Bottom row first, ten rows to a write.
    for (int top = FRAME_HEIGHT - 1; top >= 0; top -= BLOCK_ROWS) {
      for (int k = 0; k < BLOCK_ROWS; ++k)
        encode_row(plane->data() + (top - k) * FRAME_WIDTH, samples, rows.data() + k * row_bytes);
      if (!out.write(rows.data(), rows.size())) return FileSave::Failed;
      data += rows.size();
    }
  }
  const std::vector<std::uint8_t> zeros(padded(data) - data, 0);
  if (!zeros.empty() && !out.write(zeros.data(), zeros.size())) return FileSave::Failed;
  return saved_if(out.commit(true));
}

}  // namespace tarvex
