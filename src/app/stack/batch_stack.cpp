#include "app/stack/batch_stack.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

#include "files/fits_image.h"
#include "files/tiff16.h"
#include "platform/version.h"

namespace tarvex {

namespace {

std::string name_of(const std::filesystem::path& p) {
  return p.filename().string();
}

// A private folder for the frames between registration and combination,
// removed with everything in it when the run ends.
class WorkFolder {
 public:
  explicit WorkFolder(const std::filesystem::path& parent) {
    const auto base = parent.empty() ? std::filesystem::temp_directory_path() : parent;
    std::string pattern = (base / "tarvex-stack-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~WorkFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  bool ok() const { return !path_.empty(); }
  std::filesystem::path file(std::size_t i) const {
    return path_ / ("frame-" + std::to_string(i) + ".f32");
  }

 private:
  std::filesystem::path path_;
};

bool write_floats(const std::filesystem::path& p, const std::vector<float>& v) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(v.data()),
            static_cast<std::streamsize>(v.size() * sizeof(float)));
  return static_cast<bool>(out.flush());
}

bool read_floats(const std::filesystem::path& p, std::vector<float>& v) {
  std::ifstream in(p, std::ios::binary);
  in.read(reinterpret_cast<char*>(v.data()),
          static_cast<std::streamsize>(v.size() * sizeof(float)));
  return static_cast<bool>(in);
}

// The plane stars are found on: the frame itself, or the sum of the colour planes.
std::vector<float> detection_plane(const StackImage& im) {
  const std::size_t n = im.plane_size();
  std::vector<float> d(im.data.begin(), im.data.begin() + static_cast<std::ptrdiff_t>(n));
  for (int p = 1; p < im.planes; ++p)
    for (std::size_t i = 0; i < n; ++i) d[i] += im.data[p * n + i];
  return d;
}

std::string masters_line(const char* what, std::size_t n) {
  return std::string("Master ") + what + ": " +
         (n >= MASTER_CLIP_FROM ? "sigma-clipped mean" : "median") + " of " + std::to_string(n) +
         " file" + (n == 1 ? "" : "s");
}

struct Loaded {
  std::optional<StackImage> image;
  std::string error;
};

struct FrameInfo {
  std::filesystem::path path;
  std::vector<Star> stars;
  FieldShape shape;
  std::optional<RigidTransform> transform;
};

}  // namespace

StackOutcome run_batch_stack(const StackRequest& rq, FrameStore& scratch,
                             const StackProgress& progress) {
  StackOutcome out;
  const int total = static_cast<int>(rq.darks.size() + rq.flats.size() + 3 * rq.lights.size() + 1);
  int done = 0;
  auto step = [&](const std::string& what) { return !progress || progress(done++, total, what); };
  auto fail = [&](std::string why) {
    out.error = std::move(why);
    return out;
  };
  if (rq.lights.empty()) return fail("no light frames given");
  const MosaicStart phases{rq.colour.pixel_offset, rq.colour.line_offset};

  // Which kind the lights are decides how the darks and flats must be.
  int width = 0, height = 0;
  {
    const StackImageRead first = read_stack_image(rq.lights.front(), phases, scratch);
    if (!first.image) return fail(name_of(rq.lights.front()) + " " + first.error);
    out.kind = first.image->kind;
    width = first.image->width;
    height = first.image->height;
  }
  auto load = [&](const std::filesystem::path& p, const char* role) -> Loaded {
    StackImageRead r = read_stack_image(p, phases, scratch);
    if (!r.image) return {std::nullopt, name_of(p) + " " + r.error};
    if (r.image->kind != out.kind)
      return {std::nullopt, std::string(role) + " " + name_of(p) + " is " +
                                stack_kind_name(r.image->kind) + ", the lights are " +
                                stack_kind_name(out.kind)};
    if (r.image->width != width || r.image->height != height)
      return {std::nullopt, std::string(role) + " " + name_of(p) + " is " +
                                std::to_string(r.image->width) + " x " +
                                std::to_string(r.image->height) + ", the lights are " +
                                std::to_string(width) + " x " + std::to_string(height)};
    return {std::move(r.image), {}};
  };
  // Mixed lights are refused before any work is done.
  for (const auto& p : rq.lights) {
    if (progress && !progress(done, total, "checking " + name_of(p))) return fail("cancelled");
    const Loaded l = load(p, "light");
    if (!l.image) return fail(l.error);
  }

  auto master_of = [&](const std::vector<std::filesystem::path>& files, const char* role,
                       std::optional<StackImage>& master) -> bool {
    if (files.empty()) return true;
    std::vector<StackImage> frames;
    for (const auto& p : files) {
      if (!step(std::string("reading ") + role + " " + name_of(p))) {
        out.error = "cancelled";
        return false;
      }
      Loaded l = load(p, role);
      if (!l.image) {
        out.error = l.error;
        return false;
      }
      frames.push_back(std::move(*l.image));
    }
    master = build_master(frames);
    return true;
  };
  std::optional<StackImage> dark, flat;
  if (!master_of(rq.darks, "dark", dark) || !master_of(rq.flats, "flat", flat)) return out;

  WorkFolder work(rq.temp_parent);
  if (!work.ok()) return fail("no temporary folder could be made");

  // Calibrate (and synthesize colour), find the stars, and keep the result on disk.
  const int planes = out.kind == StackKind::Monochrome ? 1 : 3;
  const std::size_t plane_size = static_cast<std::size_t>(width) * height;
  std::vector<FrameInfo> frames;
  for (std::size_t i = 0; i < rq.lights.size(); ++i) {
    const auto& p = rq.lights[i];
    if (!step("calibrating " + name_of(p))) return fail("cancelled");
    Loaded l = load(p, "light");
    if (!l.image) return fail(l.error);
    StackImage im = std::move(*l.image);
    calibrate_image(im, dark ? &*dark : nullptr, flat ? &*flat : nullptr);
    if (im.kind == StackKind::Mosaic) im = synthesize_stack_colour(im, rq.colour, scratch);
    FrameInfo info;
    info.path = p;
    const std::vector<float> d = detection_plane(im);
    info.stars = detect_stars(PlaneView{d.data(), width, height});
    info.shape = field_shape(info.stars);
    if (!write_floats(work.file(i), im.data)) return fail("the temporary folder is full");
    frames.push_back(std::move(info));
  }

  // Leave out trailed frames, blurred frames and frames that cannot be registered.
  std::vector<double> widths;
  for (const auto& f : frames)
    if (!f.stars.empty()) widths.push_back(f.shape.fwhm);
  double median_width = 0;
  if (!widths.empty()) {
    std::nth_element(widths.begin(),
                     widths.begin() + static_cast<std::ptrdiff_t>(widths.size() / 2), widths.end());
    median_width = widths[widths.size() / 2];
  }
  std::vector<bool> keep(frames.size(), true);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const FrameInfo& f = frames[i];
    std::string why;
    if (static_cast<int>(f.stars.size()) >= 3 && f.shape.elongation > rq.max_elongation) {
      char b[80];
      std::snprintf(b, sizeof b, "trailed stars (elongation %.2f)", f.shape.elongation);
      why = b;
    } else if (static_cast<int>(f.stars.size()) >= 3 && median_width > 0 &&
               f.shape.fwhm > rq.max_width_ratio * median_width) {
      char b[80];
      std::snprintf(b, sizeof b, "stars too wide (%.1f px against %.1f px)", f.shape.fwhm,
                    median_width);
      why = b;
    } else if (rq.align && static_cast<int>(f.stars.size()) < rq.min_stars) {
      why = "too few stars to register (" + std::to_string(f.stars.size()) + ")";
    }
    if (!why.empty()) {
      keep[i] = false;
      out.left_out.push_back({name_of(f.path), why});
    }
  }
  std::size_t reference = 0;
  while (reference < frames.size() && !keep[reference]) ++reference;
  if (reference == frames.size()) return fail("every light was left out");
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (!keep[i]) continue;
    if (!rq.align || i == reference) {
      frames[i].transform = RigidTransform{};
      continue;
    }
    const auto reg = register_stars(frames[reference].stars, frames[i].stars, rq.min_stars);
    if (!reg) {
      keep[i] = false;
      out.left_out.push_back({name_of(frames[i].path), "its stars do not match the first light's"});
      continue;
    }
    frames[i].transform = reg->transform;
    out.registered.push_back(
        {name_of(frames[i].path), reg->transform, reg->matched, reg->residual});
  }

  // Resample each frame onto the reference and keep it on disk.
  std::vector<std::size_t> stacked;
  {
    std::vector<float> src(plane_size * static_cast<std::size_t>(planes));
    std::vector<float> dst(src.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
      if (!keep[i]) continue;
      if (!step("registering " + name_of(frames[i].path))) return fail("cancelled");
      if (!read_floats(work.file(i), src)) return fail("a temporary file could not be read back");
      const RigidTransform& t = *frames[i].transform;
      const bool identity = t.angle == 0 && t.dx == 0 && t.dy == 0;
      if (identity) {
        dst = src;
      } else {
        for (int p = 0; p < planes; ++p)
          warp_rows(PlaneView{src.data() + p * plane_size, width, height}, t, rq.interpolation, 0,
                    height, dst.data() + p * plane_size);
      }
      if (!write_floats(work.file(i), dst)) return fail("the temporary folder is full");
      stacked.push_back(i);
    }
  }

  // Combine in bands of rows, so that memory grows with the frame, not with the count.
  const std::size_t n = stacked.size();
  const std::size_t row_bytes = static_cast<std::size_t>(width) * sizeof(float) * n;
  const int band = static_cast<int>(std::clamp<std::size_t>(
      rq.band_bytes / std::max<std::size_t>(row_bytes, 1), 1, static_cast<std::size_t>(height)));
  out.band_rows = band;
  std::vector<float> result(plane_size * static_cast<std::size_t>(planes));
  std::vector<float> bandbuf(static_cast<std::size_t>(band) * width * n);
  std::vector<std::ifstream> files;
  for (std::size_t k : stacked) files.emplace_back(work.file(k), std::ios::binary);
  for (int p = 0; p < planes; ++p)
    for (int y0 = 0; y0 < height; y0 += band) {
      if (progress && !progress(done, total, "combining")) return fail("cancelled");
      const int rows = std::min(band, height - y0);
      const std::size_t count = static_cast<std::size_t>(rows) * width;
      for (std::size_t f = 0; f < n; ++f) {
        const std::size_t offset = (p * plane_size + static_cast<std::size_t>(y0) * width);
        files[f].seekg(static_cast<std::streamoff>(offset * sizeof(float)));
        files[f].read(reinterpret_cast<char*>(bandbuf.data() + f * count),
                      static_cast<std::streamsize>(count * sizeof(float)));
        if (!files[f]) return fail("a temporary file could not be read back");
      }
      float* dest = result.data() + p * plane_size + static_cast<std::size_t>(y0) * width;
      combine_band(bandbuf.data(), n, count, rq.combine, dest);
      for (std::size_t i = 0; i < count; ++i)
        if (std::isnan(dest[i])) dest[i] = 0;
    }
  done += static_cast<int>(rq.lights.size());

  // What went in, and what was left out.
  auto& h = out.history;
  char line[120];
  std::snprintf(line, sizeof line, "Stack of %zu of %zu %s lights: %s, kappa %.2g low %.2g high", n,
                rq.lights.size(), stack_kind_name(out.kind), combine_method_name(rq.combine.method),
                static_cast<double>(rq.combine.kappa_low),
                static_cast<double>(rq.combine.kappa_high));
  h.push_back(line);
  h.push_back(rq.align ? "Registered on stars onto " + name_of(frames[reference].path)
                       : std::string("Not registered"));
  for (const auto& p : rq.lights) h.push_back("Light: " + name_of(p));
  if (!rq.darks.empty()) h.push_back(masters_line("dark", rq.darks.size()));
  for (const auto& p : rq.darks) h.push_back("Dark: " + name_of(p));
  if (!rq.flats.empty()) h.push_back(masters_line("flat", rq.flats.size()));
  for (const auto& p : rq.flats) h.push_back("Flat: " + name_of(p));
  for (const auto& l : out.left_out) h.push_back("Left out: " + l.file + ": " + l.reason);

  if (!write_float_fits(rq.out, width, height, planes, result, h,
                        std::string("Tarvex ") + PROGRAM_VERSION))
    return fail(rq.out.string() + " could not be written");
  out.stacked = static_cast<int>(n);
  out.written = true;

  if (rq.tiff16) {
    if (width != FRAME_WIDTH || height != FRAME_HEIGHT) {
      out.error = "the 16-bit TIFF holds only the camera's frame size";
      return out;
    }
    auto to16 = [](float v) -> std::uint16_t {
      return !(v > 0) ? 0 : v >= 65535.0F ? 65535 : static_cast<std::uint16_t>(std::lround(v));
    };
    std::vector<Frame*> target =
        planes == 3
            ? std::vector<Frame*>{&scratch.RedPlane, &scratch.GreenPlane, &scratch.BluePlane}
            : std::vector<Frame*>{&scratch.CurrentFrame};
    for (int p = 0; p < planes; ++p)
      for (std::size_t i = 0; i < plane_size; ++i)
        (*target[p])[i] = to16(result[p * plane_size + i]);
    scratch.IsColour = planes == 3;
    if (save_tiff16(*rq.tiff16, scratch) != FileSave::Ok)
      out.error = rq.tiff16->string() + " could not be written";
  }
  return out;
}

}  // namespace tarvex
