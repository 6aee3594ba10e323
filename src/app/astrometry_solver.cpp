#include "app/astrometry_solver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <system_error>

#include "files/fits_image.h"
#include "platform/subprocess.h"
#include "processing/plate_wcs.h"

namespace tarvex {

namespace {

constexpr double kArcminPerRadian = 180.0 * 60.0 / 3.14159265358979323846;
// Fewer stars than this cannot make the quads a match needs.
constexpr long kMinStars = 8;

// The cards of every header of a FITS file, in order, up to `max_bytes`
// read; each header ends with its END card.
std::vector<std::string> header_cards(const std::filesystem::path& path, std::size_t max_bytes) {
  std::vector<std::string> cards;
  std::ifstream in(path, std::ios::binary);
  std::string block(2880, '\0');
  std::size_t read = 0;
  while (read < max_bytes && in.read(block.data(), static_cast<std::streamsize>(block.size()))) {
    read += block.size();
    for (std::size_t at = 0; at < block.size(); at += 80) cards.push_back(block.substr(at, 80));
  }
  return cards;
}

std::optional<double> number_in(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<double> card_number(const std::vector<std::string>& cards, std::string_view key,
                                  std::size_t from = 0) {
  for (std::size_t i = from; i < cards.size(); ++i) {
    if (const auto v = fits_card_value(cards[i], key)) return number_in(*v);
    if (cards[i].compare(0, 3, "END") == 0 &&
        cards[i].find_first_not_of(' ', 3) == std::string::npos)
      break;
  }
  return std::nullopt;
}

// The Tycho-2 series' quad sizes by its number (index-tycho2-07 .. -19),
// for an index whose header does not say.
std::optional<std::pair<double, double>> tycho2_series_range(const std::string& name) {
  static const std::regex series("tycho2-([0-9]{2})");
  std::smatch m;
  if (!std::regex_search(name, m, series)) return std::nullopt;
  static constexpr double kLow[] = {22, 30, 42, 60, 85, 120, 170, 240, 340, 480, 680, 1000, 1400};
  const int n = std::stoi(m[1]);
  if (n < 7 || n > 19) return std::nullopt;
  const double high = n == 19 ? 2000 : kLow[n - 6];
  return std::make_pair(kLow[n - 7], high);
}

std::optional<SolverIndex> read_index(const std::filesystem::path& file) {
  SolverIndex index;
  index.file = file;
  const std::vector<std::string> cards = header_cards(file, 4 * 2880);
  const auto low = card_number(cards, "SCALE_L");
  const auto high = card_number(cards, "SCALE_U");
  if (low && high && *low > 0 && *high >= *low) {
    index.quad_low_arcmin = *low * kArcminPerRadian;
    index.quad_high_arcmin = *high * kArcminPerRadian;
    return index;
  }
  if (const auto range = tycho2_series_range(file.filename().string())) {
    index.quad_low_arcmin = range->first;
    index.quad_high_arcmin = range->second;
    return index;
  }
  return std::nullopt;
}

bool is_index_file(const std::filesystem::path& p) {
  const std::string name = p.filename().string();
  return name.rfind("index-", 0) == 0 && name.find(".fits") != std::string::npos;
}

std::string size_text(double arcmin) {
  char text[32];
  if (arcmin >= 120)
    std::snprintf(text, sizeof text, "%.0f\xC2\xB0", arcmin / 60);
  else
    std::snprintf(text, sizeof text, "%.0f\xE2\x80\xB2", arcmin);
  return text;
}

void write_be16(std::string& out, std::uint16_t v) {
  // Unsigned samples are stored offset by 32768 as signed values.
  const std::uint16_t s = static_cast<std::uint16_t>(v ^ 0x8000u);
  out.push_back(static_cast<char>(s >> 8));
  out.push_back(static_cast<char>(s & 0xFF));
}

// The picture with its rows resampled (linearly) so that a pixel is as tall
// as it is wide: `aspect` is the pixel's height over its width.
SolveImage square_pixels(const SolveImage& image, double aspect) {
  SolveImage out;
  out.width = image.width;
  out.height = std::max(1, static_cast<int>(std::lround(image.height * aspect)));
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
  for (int r = 0; r < out.height; ++r) {
    const double y = std::clamp((r + 0.5) / aspect - 0.5, 0.0, image.height - 1.0);
    const int y0 = std::min(static_cast<int>(y), image.height - 1);
    const int y1 = std::min(y0 + 1, image.height - 1);
    const double f = y - y0;
    const std::uint16_t* a = &image.pixels[static_cast<std::size_t>(y0) * image.width];
    const std::uint16_t* b = &image.pixels[static_cast<std::size_t>(y1) * image.width];
    std::uint16_t* o = &out.pixels[static_cast<std::size_t>(r) * out.width];
    for (int x = 0; x < image.width; ++x)
      o[x] = static_cast<std::uint16_t>(std::lround(a[x] + f * (b[x] - a[x])));
  }
  return out;
}

// The picture as a plain FITS image, rows in the SolveImage's order, so the
// solver's pixel (x, y) is the SolveImage's.
bool write_field(const std::filesystem::path& path, const SolveImage& image) {
  std::string header;
  auto card = [&](const std::string& text) {
    std::string c = text;
    c.resize(80, ' ');
    header += c;
  };
  char text[96];
  card("SIMPLE  =                    T");
  card("BITPIX  =                   16");
  card("NAXIS   =                    2");
  std::snprintf(text, sizeof text, "NAXIS1  = %20d", image.width);
  card(text);
  std::snprintf(text, sizeof text, "NAXIS2  = %20d", image.height);
  card(text);
  card("BZERO   =                32768");
  card("BSCALE  =                    1");
  card("END");
  header.resize((header.size() + 2879) / 2880 * 2880, ' ');
  std::string data;
  data.reserve(image.pixels.size() * 2 + 2880);
  for (std::uint16_t v : image.pixels) write_be16(data, v);
  data.resize((data.size() + 2879) / 2880 * 2880, '\0');
  std::ofstream out(path, std::ios::binary);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out.flush());
}

std::optional<WcsSolution> read_wcs(const std::filesystem::path& path) {
  const std::vector<std::string> cards = header_cards(path, 8 * 2880);
  WcsSolution w;
  struct Field {
    const char* key;
    double* value;
  } fields[] = {{"CRVAL1", &w.crval1}, {"CRVAL2", &w.crval2}, {"CRPIX1", &w.crpix1},
                {"CRPIX2", &w.crpix2}, {"CD1_1", &w.cd1_1},   {"CD1_2", &w.cd1_2},
                {"CD2_1", &w.cd2_1},   {"CD2_2", &w.cd2_2}};
  for (const Field& f : fields) {
    const auto v = card_number(cards, f.key);
    if (!v) return std::nullopt;
    *f.value = *v;
  }
  if (w.cd1_1 * w.cd2_2 - w.cd1_2 * w.cd2_1 == 0) return std::nullopt;
  return w;
}

// The number of stars solve-field found: the rows of its star list.
long stars_found(const std::filesystem::path& axy) {
  const std::vector<std::string> cards = header_cards(axy, 16 * 2880);
  for (std::size_t i = 0; i < cards.size(); ++i) {
    if (cards[i].compare(0, 8, "XTENSION") == 0) {
      const auto rows = card_number(cards, "NAXIS2", i);
      return rows ? static_cast<long>(*rows) : -1;
    }
  }
  return -1;
}

class AstrometrySolver final : public PlateSolver {
 public:
  AstrometrySolver(std::string program, std::filesystem::path config)
      : program_(std::move(program)), config_(std::move(config)) {}

  SolveOutcome solve(const SolveImage& image, const SolveRequest& request,
                     const std::atomic<bool>* cancel) override;

 private:
  SolveOutcome attempt(const std::filesystem::path& folder, const SolveImage& image,
                       const SolveRequest& request, bool with_hint,
                       const std::atomic<bool>* cancel);

  std::string program_;
  std::filesystem::path config_;
};

SolveOutcome failed(SolveFailure failure, std::string reason) {
  SolveOutcome o;
  o.failure = failure;
  o.reason = std::move(reason);
  return o;
}

std::string number_text(double v, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

SolveOutcome AstrometrySolver::solve(const SolveImage& image, const SolveRequest& request,
                                     const std::atomic<bool>* cancel) {
  if (find_program(program_).empty())
    return failed(SolveFailure::SolverMissing,
                  std::string("astrometry.net is not installed (no solve-field): install ") +
                      SOLVER_PACKAGES);
  if (image.width < 16 || image.height < 16 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
    return failed(SolveFailure::TooFewStars, "too few stars: the image is too small");
  if (!(request.focal_length_mm > 0) || !(request.pixel_width_um > 0) ||
      !(request.pixel_height_um > 0))
    return failed(SolveFailure::NoIndexForScale,
                  "the image scale is unknown: give the focal length");
  const std::vector<SolverIndex> indexes = installed_solver_indexes(config_);
  if (indexes.empty())
    return failed(SolveFailure::NoIndexForScale,
                  "no astrometry.net index is installed: install astrometry-data-tycho2-08 and "
                  "astrometry-data-tycho2-09");
  const double width_arcmin =
      image.width * arcsec_per_pixel(request.pixel_width_um, request.focal_length_mm) / 60;
  const double height_arcmin =
      image.height * arcsec_per_pixel(request.pixel_height_um, request.focal_length_mm) / 60;
  const std::string refusal = index_coverage_refusal(indexes, width_arcmin, height_arcmin);
  if (!refusal.empty()) return failed(SolveFailure::NoIndexForScale, refusal);

  // The solver takes square pixels only: the sensor's are 8.6 x 8.3 um, and
  // on some fields that 3.5% stretch leaves no quad matching its catalogue.
  // The rows are resampled to square pixels for it, and the solution mapped
  // back onto the picture's own rows.
  const double aspect = request.pixel_height_um / request.pixel_width_um;
  const bool resample = std::fabs(aspect - 1.0) > 0.002;
  const SolveImage& field = resample ? square_pixels(image, aspect) : image;
  SolveRequest square = request;
  square.pixel_height_um = request.pixel_width_um;

  TemporaryFolder folder("tarvex-solve");
  if (!folder.ok() || !write_field(folder.path() / "field.fits", field))
    return failed(SolveFailure::NotSolved, "no room for the solver's scratch files");
  SolveOutcome outcome = attempt(folder.path(), field, square, square.hint.has_value(), cancel);
  if (!outcome.solution && request.hint &&
      (outcome.failure == SolveFailure::NotSolved || outcome.failure == SolveFailure::TimedOut)) {
    // Nothing near the hint: the mount may be further off than thought.
    outcome = attempt(folder.path(), field, square, false, cancel);
    if (!outcome.solution && outcome.failure == SolveFailure::NotSolved)
      outcome.reason = "no match near the hint nor elsewhere on the sky";
  }
  if (outcome.solution && resample) {
    // Resampled row r (from 1) covers the picture's row (r - 0.5) / aspect
    // + 0.5, so the reference pixel moves and the second column of the CD
    // matrix scales by the aspect.
    WcsSolution w = outcome.solution->wcs;
    w.crpix2 = (w.crpix2 - 0.5) / aspect + 0.5;
    w.cd1_2 *= aspect;
    w.cd2_2 *= aspect;
    outcome.solution = solution_of(w, image.width, image.height);
  }
  return outcome;
}

SolveOutcome AstrometrySolver::attempt(const std::filesystem::path& folder, const SolveImage& image,
                                       const SolveRequest& request, bool with_hint,
                                       const std::atomic<bool>* cancel) {
  std::error_code ec;
  for (const char* name : {"field.wcs", "field.solved", "field.axy"})
    std::filesystem::remove(folder / name, ec);
  const ScaleBounds scale = scale_bounds(request);
  const int limit = std::max(1, request.time_limit_s);
  std::vector<std::string> args = {
      "--overwrite", "--no-plots", "--dir", folder.string(), "--temp-dir", folder.string(),
      // Only the solution is wanted: no new image, lists or plots.
      "--new-fits", "none", "--index-xyls", "none", "--rdls", "none", "--corr", "none", "--match",
      "none", "--no-verify", "--crpix-center",
      // A linear refinement over every matched star, no distortion terms:
      // the cards written are a plain tangent projection.
      "--tweak-order", "1",
      // The picture is clean: the line removal and uniformising passes only
      // cost time.
      "--no-remove-lines", "--uniformize", "0", "--scale-units", "arcsecperpix", "--scale-low",
      number_text(scale.low, 4), "--scale-high", number_text(scale.high, 4), "--cpulimit",
      std::to_string(limit)};
  if (with_hint && request.hint) {
    args.insert(args.end(), {"--ra", number_text(request.hint->ra_hours * 15.0, 6), "--dec",
                             number_text(request.hint->dec_degrees, 6), "--radius",
                             number_text(std::max(0.1, request.radius_degrees), 3)});
  }
  args.push_back((folder / "field.fits").string());
  // solve-field's own work before and after the search is not counted in
  // its limit; the bound leaves room for it on a busy machine.
  const auto wall = std::chrono::seconds(2 * limit + 60);
  const RunOutcome run = run_program(program_, args, folder, wall, cancel);
  switch (run.result) {
    case RunResult::NotFound:
      return failed(SolveFailure::SolverMissing,
                    std::string("astrometry.net is not installed (no solve-field): install ") +
                        SOLVER_PACKAGES);
    case RunResult::Cancelled: return failed(SolveFailure::Cancelled, "cancelled");
    case RunResult::TimedOut:
      return failed(SolveFailure::TimedOut, "time-out: solve-field did not finish within " +
                                                std::to_string(wall.count()) + " s");
    case RunResult::StartFailed:
      return failed(SolveFailure::NotSolved, "solve-field could not be started");
    case RunResult::Signalled:
      return failed(SolveFailure::NotSolved, "solve-field was ended by a signal");
    case RunResult::Exited: break;
  }
  if (std::filesystem::exists(folder / "field.solved", ec)) {
    if (const auto wcs = read_wcs(folder / "field.wcs")) {
      SolveOutcome o;
      o.solution = solution_of(*wcs, image.width, image.height);
      return o;
    }
  }
  const long stars = stars_found(folder / "field.axy");
  if (stars >= 0 && stars < kMinStars)
    return failed(SolveFailure::TooFewStars, "too few stars: " + std::to_string(stars) +
                                                 " found, at least " + std::to_string(kMinStars) +
                                                 " needed");
  if (run.exit_status != 0 && stars < 0)
    return failed(SolveFailure::NotSolved,
                  "solve-field failed (exit status " + std::to_string(run.exit_status) + ")");
  // The engine says when it stopped at its processor-time limit.
  static const std::regex time_limit("[Tt]ime limit");
  if (std::regex_search(run.output, time_limit))
    return failed(SolveFailure::TimedOut,
                  "time-out: no match within " + std::to_string(limit) + " s of searching");
  return failed(SolveFailure::NotSolved, "no match found");
}

}  // namespace

std::vector<SolverIndex> installed_solver_indexes(const std::filesystem::path& config) {
  std::vector<std::filesystem::path> folders;
  std::vector<std::filesystem::path> files;
  std::ifstream in(config);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word, value;
    words >> word >> value;
    if (word == "add_path" && !value.empty()) folders.emplace_back(value);
    if (word == "index" && !value.empty()) files.emplace_back(value);
  }
  if (folders.empty() && files.empty()) folders.emplace_back("/usr/share/astrometry");
  std::error_code ec;
  for (const auto& folder : folders) {
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
      if (is_index_file(it->path())) files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  std::vector<SolverIndex> indexes;
  for (const auto& f : files) {
    if (const auto index = read_index(f)) indexes.push_back(*index);
  }
  return indexes;
}

std::string index_coverage_refusal(const std::vector<SolverIndex>& indexes, double width_arcmin,
                                   double height_arcmin) {
  const double diagonal = std::hypot(width_arcmin, height_arcmin);
  const double shorter = std::min(width_arcmin, height_arcmin);
  double low = 0, high = 0;
  for (const SolverIndex& i : indexes) {
    if (i.quad_low_arcmin <= diagonal && i.quad_high_arcmin >= 0.1 * shorter) return {};
    low = low == 0 ? i.quad_low_arcmin : std::min(low, i.quad_low_arcmin);
    high = std::max(high, i.quad_high_arcmin);
  }
  // The fields those quads serve: a diagonal at least as long as the
  // smallest quad, a shorter side at most ten times the largest.
  return "no index for this field size: the field is " + size_text(width_arcmin) + " x " +
         size_text(height_arcmin) + " (diagonal " + size_text(diagonal) +
         "); the installed indexes serve fields with a diagonal from " + size_text(low) +
         " and sides up to " + size_text(10 * high) +
         " (the astrometry-data-tycho2-07 .. -19 packages cover other sizes)";
}

std::unique_ptr<PlateSolver> make_astrometry_solver(const std::string& program,
                                                    const std::filesystem::path& config) {
  return std::make_unique<AstrometrySolver>(program, config);
}

const char* solve_failure_text(SolveFailure failure) {
  switch (failure) {
    case SolveFailure::None: return "solved";
    case SolveFailure::SolverMissing: return "astrometry.net is not installed";
    case SolveFailure::NoIndexForScale: return "no index for this field size";
    case SolveFailure::TooFewStars: return "too few stars";
    case SolveFailure::TimedOut: return "time-out";
    case SolveFailure::Cancelled: return "cancelled";
    case SolveFailure::NotSolved: return "no match found";
  }
  return "not solved";
}

}  // namespace tarvex
