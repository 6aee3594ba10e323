#include "app/stack/live_stack_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/colour/synthesis_commands.h"
#include "app/display_pipeline.h"
#include "app/stack/stack_inputs.h"
#include "files/fits_image.h"
#include "platform/messages.h"
#include "platform/version.h"

namespace tarvex {

namespace {

constexpr int kPlanes = 3;
constexpr std::size_t kPlaneSize = FRAME_SAMPLES;

std::uint16_t to_sample(float v) {
  return !(v > 0) ? 0 : v >= 65535.0F ? 65535 : static_cast<std::uint16_t>(std::lround(v));
}

// Hot pixels the dark frame did not remove: a photosite far above its
// neighbours, which no star can be (seeing spreads a star over several
// photosites), takes the mean of its nearest photosites of the same
// colour (two columns and four rows away in this sensor's mosaic). Left in,
// colour synthesis would spread each into a small coloured blob that star
// detection takes for a star, and registration would lock onto the sensor
// instead of the sky.
void repair_hot_pixels(std::vector<float>& m) {
  const Background bg = estimate_background(PlaneView{m.data(), FRAME_WIDTH, FRAME_HEIGHT});
  const float level = static_cast<float>(bg.level);
  const float least = static_cast<float>(20 * std::max(bg.sigma, 1.0));
  const std::vector<float> in = m;
  auto at = [&](int x, int y) { return in[static_cast<std::size_t>(y) * FRAME_WIDTH + x]; };
  for (int y = 4; y < FRAME_HEIGHT - 4; ++y)
    for (int x = 2; x < FRAME_WIDTH - 2; ++x) {
      const float v = at(x, y) - level;
      if (v < least) continue;
      // The photosite above or below may share the fault (the fields of
      // a frame are read from the same sensor lines): a spike one column
      // wide and up to two rows tall is still no star.
      float high = std::max(at(x, y - 2), at(x, y + 2));
      for (int dy = -1; dy <= 1; ++dy)
        high = std::max({high, at(x - 1, y + dy), at(x + 1, y + dy)});
      if (v <= 4 * (high - level)) continue;
      m[static_cast<std::size_t>(y) * FRAME_WIDTH + x] =
          0.25F * (at(x - 2, y) + at(x + 2, y) + at(x, y - 4) + at(x, y + 4));
    }
}

}  // namespace

LiveStackRun::LiveStackRun(Tarvex& app, LiveStackOptions options)
    : app_(app), options_(std::move(options)), scratch_(std::make_unique<FrameStore>()) {
  options_.save_every = std::max(1, options_.save_every);
}

LiveStackRun::~LiveStackRun() = default;

LiveFrame LiveStackRun::add_exposure(const Frame& raw, bool binned) {
  // A frame binned otherwise than the stack's has another geometry: it
  // cannot be added.
  if (stack_ && binned != binned_) {
    ++other_binning_;
    show();
    return LiveFrame::Binned;
  }
  const auto start = std::chrono::steady_clock::now();
  const SynthesisOptions colour = synthesis_options(app_.settings);
  StackImage mosaic;
  mosaic.kind = StackKind::Mosaic;
  mosaic.width = FRAME_WIDTH;
  mosaic.height = FRAME_HEIGHT;
  mosaic.mosaic = MosaicStart{colour.pixel_offset, colour.line_offset};
  mosaic.binned = binned;
  mosaic.data.assign(raw.begin(), raw.begin() + FRAME_SAMPLES);
  repair_hot_pixels(mosaic.data);
  const StackImage im = synthesize_stack_colour(mosaic, colour, *scratch_);

  // Stars are found on the sum of the colour planes.
  std::vector<float> detect(im.data.begin(), im.data.begin() + kPlaneSize);
  for (int p = 1; p < kPlanes; ++p)
    for (std::size_t i = 0; i < kPlaneSize; ++i) detect[i] += im.data[p * kPlaneSize + i];
  const PlaneView view{detect.data(), FRAME_WIDTH, FRAME_HEIGHT};
  // A window wider than the default measures the shape of trailed stars.
  StarDetection detection;
  detection.radius = 8;
  const std::vector<Star> stars = detect_stars(view, detection);
  const FieldShape shape = field_shape(stars);
  auto done = [&](LiveFrame f) {
    last_ms_ =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // A refused exposure leaves the stack on show (the frame store held the
    // exposure meanwhile).
    if (f != LiveFrame::Added && stack_) show();
    return f;
  };
  if (stars.size() >= 3 && shape.elongation > options_.max_elongation) {
    ++trailed_;
    return done(LiveFrame::Trailed);
  }

  if (!stack_) {
    // A first exposure without enough stars to register on (a planet, a
    // test chart) makes a stack of frames added as they lie.
    aligned_ = static_cast<int>(stars.size()) >= options_.min_stars;
    binned_ = binned;
    reference_ = stars;
    stack_ = std::make_unique<LiveStack>(kPlanes * kPlaneSize, options_.kappa);
    warped_ = im.data;
  } else if (!aligned_) {
    warped_ = im.data;
  } else {
    const auto reg = register_stars(reference_, stars, options_.min_stars);
    if (reg) {
      for (int p = 0; p < kPlanes; ++p)
        warp_rows(PlaneView{im.data.data() + p * kPlaneSize, FRAME_WIDTH, FRAME_HEIGHT},
                  reg->transform, Interpolation::Bilinear, 0, FRAME_HEIGHT,
                  warped_.data() + p * kPlaneSize);
    } else if (unmoved(stars)) {
      warped_ = im.data;
    } else {
      ++unregistered_;
      return done(LiveFrame::Unregistered);
    }
  }
  // The least spread a pixel may have is the noisiest plane's background noise.
  float noise = 0;
  for (int p = 0; p < kPlanes; ++p)
    noise = std::max(
        noise, static_cast<float>(estimate_background(PlaneView{im.data.data() + p * kPlaneSize,
                                                                FRAME_WIDTH, FRAME_HEIGHT})
                                      .sigma));
  stack_->add(warped_.data(), noise);
  ++unsaved_;
  done(LiveFrame::Added);
  show();
  if (frames() % options_.save_every == 0) save();
  return LiveFrame::Added;
}

void LiveStackRun::show() {
  if (!options_.show) return;
  char title[80];
  const int refused = trailed_ + unregistered_ + other_binning_;
  std::snprintf(title, sizeof title, "Live Stack - %d frame%s", frames(), frames() == 1 ? "" : "s");
  std::string t = title;
  if (refused > 0) t += " (" + std::to_string(refused) + " refused)";
  show_stacked_image(app_, FRAME_WIDTH, FRAME_HEIGHT, kPlanes, result(), t);
}

// Matching triangles needs stars that stand apart, which a field of other
// detections (the edges of a test chart, a planet's limb) may not give. A
// frame with a quarter of its detections (three at least) within a pixel of
// the first frame's has not moved: it is added as it lies. Stars of a frame
// that did move fall there only by chance, one in thousands.
bool LiveStackRun::unmoved(const std::vector<Star>& stars) const {
  std::size_t still = 0;
  for (const Star& f : stars)
    for (const Star& r : reference_)
      if (std::hypot(f.x - r.x, f.y - r.y) < 1.0) {
        ++still;
        break;
      }
  return still >= 3 && 4 * still >= stars.size();
}

std::vector<float> LiveStackRun::result() const {
  std::vector<float> out(kPlanes * kPlaneSize, 0.0F);
  if (!stack_) return out;
  stack_->result(out.data());
  // Where every sample was rejected or fell outside a frame there is no data: black.
  for (float& v : out)
    if (std::isnan(v)) v = 0;
  return out;
}

bool LiveStackRun::save() {
  unsaved_ = 0;
  char line[120];
  std::snprintf(line, sizeof line,
                "Live stack of %d frames, running mean with rejection beyond %.2g sigma", frames(),
                static_cast<double>(options_.kappa));
  std::vector<std::string> history{line};
  if (trailed_ > 0) history.push_back("Refused: " + std::to_string(trailed_) + " trailed frames");
  if (unregistered_ > 0)
    history.push_back("Refused: " + std::to_string(unregistered_) + " frames not registered");
  if (!write_float_fits(options_.out, FRAME_WIDTH, FRAME_HEIGHT, kPlanes, result(), history,
                        std::string("Tarvex ") + PROGRAM_VERSION)) {
    // Told once per run, so that a full disk does not hold up every frame.
    if (!save_failed_)
      show_message(app_.ports.messages, Msg::CallerText,
                   "The live stack could not be saved to\n" + options_.out.string());
    save_failed_ = true;
    return false;
  }
  ++saves_;
  return true;
}

bool LiveStackRun::finish() {
  if (!stack_ || unsaved_ == 0) return !save_failed_;
  return save();
}

bool show_stacked_image(Tarvex& app, int width, int height, int planes,
                        const std::vector<float>& data, const std::string& title) {
  if (width != FRAME_WIDTH || height != FRAME_HEIGHT || (planes != 1 && planes != 3) ||
      data.size() < static_cast<std::size_t>(planes) * kPlaneSize)
    return false;
  FrameStore& fs = app.store();
  if (planes == 3) {
    Frame* target[3] = {&fs.RedPlane, &fs.GreenPlane, &fs.BluePlane};
    for (int p = 0; p < 3; ++p)
      for (std::size_t i = 0; i < kPlaneSize; ++i)
        (*target[p])[i] = to_sample(data[p * kPlaneSize + i]);
    // The grey image behind the colour planes is their mean.
    for (std::size_t i = 0; i < kPlaneSize; ++i)
      fs.CurrentFrame[i] =
          to_sample((data[i] + data[kPlaneSize + i] + data[2 * kPlaneSize + i]) / 3.0F);
  } else {
    for (std::size_t i = 0; i < kPlaneSize; ++i) fs.CurrentFrame[i] = to_sample(data[i]);
  }
  fs.IsColour = planes == 3;
  fs.IsBinned = false;
  fs.HasBytePlanes = false;
  fs.RestorePlanesOnUndo = false;
  save_undo(fs);
  app.history.clear();
  app.current_file_name = title;
  refresh_display(app);
  return true;
}

}  // namespace tarvex
