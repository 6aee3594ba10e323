#include "processing/solve_image.h"

#include <cstddef>

namespace tarvex {

SolveInput bin_mosaic_2x2(const std::uint16_t* plane, int width, int height) {
  SolveInput in;
  in.binning = 2;
  SolveImage& out = in.image;
  out.width = width / 2;
  out.height = height / 2;
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
  for (int y = 0; y < out.height; ++y) {
    const std::uint16_t* top = plane + static_cast<std::size_t>(2 * y) * width;
    const std::uint16_t* bottom = top + width;
    std::uint16_t* row = out.pixels.data() + static_cast<std::size_t>(y) * out.width;
    for (int x = 0; x < out.width; ++x) {
      const unsigned sum = 2u + top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1];
      row[x] = static_cast<std::uint16_t>(sum / 4);
    }
  }
  return in;
}

SolveInput luminance_of(const std::uint16_t* red, const std::uint16_t* green,
                        const std::uint16_t* blue, int width, int height) {
  SolveInput in;
  in.image.width = width;
  in.image.height = height;
  const std::size_t n = static_cast<std::size_t>(width) * height;
  in.image.pixels.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    // Weights in thousandths, so the result is exact and repeatable.
    const unsigned long sum = 299ul * red[i] + 587ul * green[i] + 114ul * blue[i] + 500ul;
    in.image.pixels[i] = static_cast<std::uint16_t>(sum / 1000);
  }
  return in;
}

SolveInput solve_input_of(const FrameStore& fs) {
  if (fs.IsColour)
    return luminance_of(fs.RedPlane.data(), fs.GreenPlane.data(), fs.BluePlane.data(), FRAME_WIDTH,
                        FRAME_HEIGHT);
  return bin_mosaic_2x2(fs.CurrentFrame.data(), FRAME_WIDTH, FRAME_HEIGHT);
}

}  // namespace tarvex
