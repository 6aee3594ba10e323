#include "app/solve_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "files/fits_header_edit.h"
#include "files/fits_image.h"
#include "files/fits_standard.h"
#include "files/raw_file.h"
#include "image/history.h"
#include "processing/plate_wcs.h"
#include "processing/solve_image.h"

namespace tarvex {

namespace {

constexpr double kMmPerInch = 25.4;

std::optional<double> number_of(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  while (end != nullptr && *end == ' ') ++end;
  if (end == text.c_str() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<std::string> header_value(const std::vector<std::string>& cards,
                                        std::string_view key) {
  for (const std::string& c : cards)
    if (auto v = fits_card_value(c, key)) return v;
  return std::nullopt;
}

std::optional<double> header_number(const std::vector<std::string>& cards, std::string_view key) {
  const auto v = header_value(cards, key);
  return v ? number_of(*v) : std::nullopt;
}

// Three numbers separated by ':' or blanks; the first may carry a sign.
std::optional<double> sexagesimal(std::string text, bool& negative) {
  while (!text.empty() && text.front() == ' ') text.erase(0, 1);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  std::replace(text.begin(), text.end(), ':', ' ');
  double parts[3] = {0, 0, 0};
  std::size_t at = 0;
  int n = 0;
  for (; n < 3; ++n) {
    while (at < text.size() && text[at] == ' ') ++at;
    if (at >= text.size()) break;
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string piece = text.substr(at, end - at);
    if (piece.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
    const auto v = number_of(piece);
    if (!v || *v < 0 || (n < 2 && piece.find('.') != std::string::npos)) return std::nullopt;
    parts[n] = *v;
    at = end;
  }
  while (at < text.size() && text[at] == ' ') ++at;
  if (n < 2 || at < text.size() || parts[1] >= 60 || parts[2] >= 60) return std::nullopt;
  return parts[0] + parts[1] / 60 + parts[2] / 3600;
}

// The pointing a standard header records, J2000: OBJCTRA/OBJCTDEC, else
// RA/DEC in degrees.
std::optional<SkyPosition> header_pointing(const std::vector<std::string>& cards) {
  const auto ra_text = header_value(cards, "OBJCTRA");
  const auto dec_text = header_value(cards, "OBJCTDEC");
  if (ra_text && dec_text) {
    const auto ra = parse_ra_hours(*ra_text);
    const auto dec = parse_dec_degrees(*dec_text);
    if (ra && dec) return SkyPosition{*ra, *dec};
  }
  const auto ra = header_number(cards, "RA");
  const auto dec = header_number(cards, "DEC");
  if (ra && dec && *ra >= 0 && *ra < 360 && std::fabs(*dec) <= 90)
    return SkyPosition{*ra / 15, *dec};
  return std::nullopt;
}

std::vector<std::uint16_t> to_samples(const float* data, std::size_t n) {
  std::vector<std::uint16_t> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    const float v = data[i];
    out[i] = static_cast<std::uint16_t>(v <= 0 ? 0 : v >= 65535 ? 65535 : std::lround(v));
  }
  return out;
}

// What the solve needs of a file, whichever layout it has.
struct ReadImage {
  SolveInput input;
  int file_height = 0;
  bool bottom_up = true;
  bool own_layout = false;
  double pixel_width_um = 0, pixel_height_um = 0;  // the file's pixels
  std::optional<double> focal_length_mm;
  std::optional<SkyPosition> pointing;
  FitsText fits;
  ProcessingHistory history;
};

bool read_image(const std::filesystem::path& path, FrameStore& scratch, ReadImage& r,
                std::string& error) {
  std::error_code ec;
  const auto length = std::filesystem::file_size(path, ec);
  if (ec) {
    error = "cannot be read";
    return false;
  }
  if (layout_for_length(length) != FileLayout::Unknown) {
    std::string name;
    const RawLoad load = load_raw(path, LoadTarget{scratch, r.fits, r.history, name, false});
    if (load == RawLoad::Ok) {
      r.own_layout = true;
      r.input = solve_input_of(scratch);
      r.file_height = FRAME_HEIGHT;
      r.bottom_up = false;
      r.pixel_width_um = r.fits.fits_pixel_width > 0 ? r.fits.fits_pixel_width * 1000 : 8.6;
      r.pixel_height_um = r.fits.fits_pixel_height > 0 ? r.fits.fits_pixel_height * 1000 : 8.3;
      // The own layout records the focal length in inches.
      if (r.fits.fits_focal_length > 0) r.focal_length_mm = r.fits.fits_focal_length * kMmPerInch;
      return true;
    }
    // A standard file may happen to have one of the own layouts' lengths.
    if (load != RawLoad::FitsForeign) {
      error = "cannot be read";
      return false;
    }
  }
  FitsImageRead f = read_fits_image(path);
  if (!f.image) {
    error = f.error;
    return false;
  }
  const FitsImage& im = *f.image;
  const std::vector<std::string> cards = read_fits_header_cards(path);
  const std::size_t plane = static_cast<std::size_t>(im.width) * im.height;
  if (im.planes == 3) {
    const auto red = to_samples(im.data.data(), plane);
    const auto green = to_samples(im.data.data() + plane, plane);
    const auto blue = to_samples(im.data.data() + 2 * plane, plane);
    r.input = luminance_of(red.data(), green.data(), blue.data(), im.width, im.height);
  }
  const double binning = header_number(cards, "XBINNING").value_or(1);
  r.pixel_width_um = header_number(cards, "XPIXSZ").value_or(8.6 * binning);
  r.pixel_height_um =
      header_number(cards, "YPIXSZ")
          .value_or(header_number(cards, "XPIXSZ") ? r.pixel_width_um : 8.3 * binning);
  // The program's binned frames keep the full frame's 752 x 580 samples, a
  // line of the camera on every second row, and are binned 2 x 2 again to
  // solve. They say so with READOUTM 'Fast'; the program's earlier copies
  // gave binning 2 and the doubled pixel size instead.
  const bool full_grid = im.planes == 1 && im.width == FRAME_WIDTH && im.height == FRAME_HEIGHT;
  const bool earlier_binned = full_grid && binning == 2;
  const bool binned_frame =
      earlier_binned ||
      (full_grid && header_value(cards, "READOUTM").value_or("").rfind("Fast", 0) == 0);
  if (im.planes != 3) {
    const auto grey = to_samples(im.data.data(), plane);
    if (im.bayer_pattern || binned_frame) {
      r.input = bin_mosaic_2x2(grey.data(), im.width, im.height);
      if (earlier_binned) {
        r.pixel_width_um /= 2;
        r.pixel_height_um /= 2;
      }
    } else {
      r.input.image.width = im.width;
      r.input.image.height = im.height;
      r.input.image.pixels = grey;
    }
  }
  r.file_height = im.height;
  r.bottom_up = im.rows_bottom_up;
  if (const auto focal = header_number(cards, "FOCALLEN"); focal && *focal > 0)
    r.focal_length_mm = focal;
  r.pointing = header_pointing(cards);
  return true;
}

}  // namespace

std::filesystem::path wcs_copy_path(const std::filesystem::path& file) {
  std::filesystem::path copy = file;
  copy.replace_filename(file.stem().string() + "-wcs.fits");
  return copy;
}

std::optional<double> parse_ra_hours(const std::string& text) {
  bool negative = false;
  const auto v = sexagesimal(text, negative);
  if (!v || negative || *v >= 24) return std::nullopt;
  return v;
}

std::optional<double> parse_dec_degrees(const std::string& text) {
  bool negative = false;
  const auto v = sexagesimal(text, negative);
  if (!v || *v > 90) return std::nullopt;
  return negative ? -*v : *v;
}

SolveFileResult solve_file(const SolveFileRequest& request, PlateSolver& solver,
                           FrameStore& scratch, const std::atomic<bool>* cancel) {
  SolveFileResult result;
  ReadImage image;
  if (!read_image(request.file, scratch, image, result.error)) {
    result.status = SolveFileStatus::Unreadable;
    return result;
  }
  SolveRequest solve;
  solve.focal_length_mm = request.focal_length_mm.value_or(image.focal_length_mm.value_or(0));
  if (!(solve.focal_length_mm > 0)) {
    result.status = SolveFileStatus::NoFocalLength;
    return result;
  }
  const int binning = image.input.binning;
  solve.pixel_width_um = image.pixel_width_um * binning;
  solve.pixel_height_um = image.pixel_height_um * binning;
  solve.hint = request.hint ? request.hint : image.pointing;
  if (request.radius_degrees) solve.radius_degrees = *request.radius_degrees;
  solve.time_limit_s = request.time_limit_s;

  result.outcome = solver.solve(image.input.image, solve, cancel);
  if (!result.outcome.solution) {
    result.status = SolveFileStatus::NotSolved;
    return result;
  }
  const PlateSolution& s = *result.outcome.solution;
  result.arcsec_per_pixel = s.arcsec_per_pixel / binning;

  // The cards in the pixels of the file that receives them.
  const std::vector<std::string> cards =
      wcs_cards(wcs_for_image(s.wcs, binning, image.file_height, true));
  if (image.own_layout) {
    // The copy stores its rows bottom first, as the standard export does.
    result.wcs_file = wcs_copy_path(request.file);
    result.wrote_copy = true;
    const StandardFitsStamp stamp{request.software, 0};
    if (save_standard_fits(result.wcs_file, scratch, image.fits, image.history,
                           StandardFitsSamples::Int16, stamp) != FileSave::Ok) {
      result.status = SolveFileStatus::WcsNotWritten;
      result.error = "the standard copy could not be written";
      return result;
    }
  } else {
    result.wcs_file = request.file;
    if (!image.bottom_up) {
      // A file that stores its top row first: rows counted as stored.
      const auto top_down = wcs_cards(wcs_for_image(s.wcs, binning, image.file_height, false));
      const HeaderEditResult e = add_fits_header_cards(request.file, top_down, wcs_keywords());
      if (e.result != HeaderEdit::Done) {
        result.status = SolveFileStatus::WcsNotWritten;
        result.error = e.error != 0 ? std::strerror(e.error) : "the header could not be changed";
      }
      return result;
    }
  }
  const HeaderEditResult e = add_fits_header_cards(result.wcs_file, cards, wcs_keywords());
  if (e.result != HeaderEdit::Done) {
    result.status = SolveFileStatus::WcsNotWritten;
    result.error = e.error != 0 ? std::strerror(e.error) : "the header could not be changed";
  }
  return result;
}

}  // namespace tarvex
