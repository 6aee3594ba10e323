// The files a stack is built from: what each holds (a raw mosaic of this
// sensor, a monochrome image or three colour planes), read as floating-point
// planes, and the master dark and flat built from several files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "colour/synthesis.h"
#include "image/frame_store.h"

namespace tarvex {

enum class StackKind { Mosaic, Monochrome, Colour };
const char* stack_kind_name(StackKind kind);

struct StackImage {
  StackKind kind = StackKind::Monochrome;
  int width = 0;
  int height = 0;
  int planes = 1;           // 3 for colour, else 1 (a mosaic is one plane)
  std::vector<float> data;  // plane after plane, rows top first
  MosaicStart mosaic;       // the mosaic's phases (mosaics only)
  bool binned = false;      // a binned raw frame of the program's own layout
  std::size_t plane_size() const { return static_cast<std::size_t>(width) * height; }
};

struct StackImageRead {
  std::optional<StackImage> image;
  std::string error;  // the reason, without the file name
};

// Reads a light, dark or flat. The program's own layouts and KR Files are
// mosaics unless they hold colour planes, and take their phases from
// `own_phases` (the camera's settings); a standard FITS file is a mosaic
// when it carries this sensor's BAYERPAT (any other is refused), else
// monochrome when two-dimensional and colour with three planes. `scratch`
// is overwritten.
StackImageRead read_stack_image(const std::filesystem::path& path, MosaicStart own_phases,
                                FrameStore& scratch);

// A master frame from several of one kind and size: the median of each
// sample, or from five files up the mean within three sigma of it.
inline constexpr std::size_t MASTER_CLIP_FROM = 5;
StackImage build_master(const std::vector<StackImage>& frames);

// Calibrates in place: subtracts the dark, then divides by the flat scaled
// to a mean of 1. A flat sample below 5% of the mean is taken as no
// information (the sample is left undivided) rather than blowing it up.
void calibrate_image(StackImage& light, const StackImage* dark, const StackImage* flat);

// A calibrated mosaic through colour synthesis with the user's options but
// without stretch, sharpening and anti-alias: three planes (red, green,
// blue). `scratch` is overwritten.
StackImage synthesize_stack_colour(const StackImage& mosaic, const SynthesisOptions& options,
                                   FrameStore& scratch);

}  // namespace tarvex
