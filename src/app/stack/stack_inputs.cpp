#include "app/stack/stack_inputs.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "files/fits_image.h"
#include "files/fits_standard.h"
#include "files/raw_file.h"
#include "image/history.h"
#include "processing/stack_combine.h"

namespace tarvex {

namespace {

constexpr float kFlatFloor = 0.05F;

StackImageRead refused(std::string why) {
  return {std::nullopt, std::move(why)};
}

StackImage from_frames(const std::vector<const Frame*>& frames, StackKind kind) {
  StackImage im;
  im.kind = kind;
  im.width = FRAME_WIDTH;
  im.height = FRAME_HEIGHT;
  im.planes = static_cast<int>(frames.size());
  im.data.resize(im.plane_size() * frames.size());
  for (std::size_t p = 0; p < frames.size(); ++p)
    std::copy_n(frames[p]->begin(), FRAME_SAMPLES,
                im.data.begin() + static_cast<std::ptrdiff_t>(p * im.plane_size()));
  return im;
}

}  // namespace

const char* stack_kind_name(StackKind kind) {
  switch (kind) {
    case StackKind::Mosaic: return "raw mosaic";
    case StackKind::Monochrome: return "monochrome";
    case StackKind::Colour: return "colour";
  }
  return "?";
}

StackImageRead read_stack_image(const std::filesystem::path& path, MosaicStart own_phases,
                                FrameStore& scratch) {
  std::error_code ec;
  const auto length = std::filesystem::file_size(path, ec);
  if (ec) return refused("cannot be read");
  if (layout_for_length(length) != FileLayout::Unknown) {
    FitsText fits;
    ProcessingHistory history;
    std::string name;
    const RawLoad r = load_raw(path, LoadTarget{scratch, fits, history, name, false});
    if (r == RawLoad::Ok) {
      StackImage im =
          scratch.IsColour
              ? from_frames({&scratch.RedPlane, &scratch.GreenPlane, &scratch.BluePlane},
                            StackKind::Colour)
              : from_frames({&scratch.CurrentFrame}, StackKind::Mosaic);
      im.mosaic = own_phases;
      im.binned = scratch.IsBinned;
      return {std::move(im), {}};
    }
    // A standard FITS file may happen to have one of the own layouts' lengths.
    if (r != RawLoad::FitsForeign) return refused("cannot be read");
  }
  FitsImageRead f = read_fits_image(path);
  if (!f.image) return refused(f.error);
  FitsImage& fi = *f.image;
  StackImage im;
  im.width = fi.width;
  im.height = fi.height;
  im.planes = fi.planes;
  im.data = std::move(fi.data);
  if (fi.bayer_pattern) {
    const int x = ((fi.bayer_x_offset % BAYER_COLUMNS) + BAYER_COLUMNS) % BAYER_COLUMNS;
    const int y = ((fi.bayer_y_offset % BAYER_ROWS) + BAYER_ROWS) % BAYER_ROWS;
    if (*fi.bayer_pattern != BAYERPAT || y % 2 != 0 || fi.planes != 1)
      return refused("has a colour mosaic (BAYERPAT '" + *fi.bayer_pattern +
                     "') other than this camera's");
    if (fi.width != FRAME_WIDTH || fi.height != FRAME_HEIGHT)
      return refused("is a mosaic of another size than this camera's frame");
    im.kind = StackKind::Mosaic;
    im.mosaic = {x == 1, y == 2};
    return {std::move(im), {}};
  }
  im.kind = fi.planes == 3 ? StackKind::Colour : StackKind::Monochrome;
  return {std::move(im), {}};
}

StackImage build_master(const std::vector<StackImage>& frames) {
  StackImage master = frames.front();
  const std::size_t n = frames.size();
  const std::size_t count = master.data.size();
  CombineParameters p;
  p.method = n >= MASTER_CLIP_FROM ? CombineMethod::Sigma : CombineMethod::Median;
  std::vector<float> values(n);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t f = 0; f < n; ++f) values[f] = frames[f].data[i];
    master.data[i] = combine_pixel(values, p);
  }
  return master;
}

void calibrate_image(StackImage& light, const StackImage* dark, const StackImage* flat) {
  if (dark)
    for (std::size_t i = 0; i < light.data.size(); ++i) light.data[i] -= dark->data[i];
  if (!flat) return;
  double sum = 0;
  std::size_t n = 0;
  for (float v : flat->data)
    if (std::isfinite(v)) {
      sum += v;
      ++n;
    }
  const double mean = n ? sum / static_cast<double>(n) : 0.0;
  if (!(mean > 0)) return;
  const auto scale = static_cast<float>(1.0 / mean);
  for (std::size_t i = 0; i < light.data.size(); ++i) {
    const float f = flat->data[i] * scale;
    if (f > kFlatFloor) light.data[i] /= f;
  }
}

StackImage synthesize_stack_colour(const StackImage& mosaic, const SynthesisOptions& o,
                                   FrameStore& fs) {
  for (std::size_t i = 0; i < FRAME_SAMPLES; ++i) {
    const float v = mosaic.data[i];
    fs.CurrentFrame[i] = !(v > 0)        ? 0
                         : v >= 65535.0F ? 65535
                                         : static_cast<std::uint16_t>(std::lround(v));
  }
  fs.IsColour = false;
  fs.IsBinned = mosaic.binned;
  synthesize_mosaic(fs, colour_divisors(o.daylight, o.ir_filter), mosaic.mosaic);
  repair_and_finish(fs, false, o.smoothing);
  fs.IsColour = true;
  if (o.light_pollution) equalise_backgrounds(fs);
  StackImage im = from_frames({&fs.RedPlane, &fs.GreenPlane, &fs.BluePlane}, StackKind::Colour);
  return im;
}

}  // namespace tarvex
