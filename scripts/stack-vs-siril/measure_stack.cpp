// Quality of a stacked FITS file: background noise (also per star flux, which
// does not depend on the program's output scale), star width and elongation,
// samples of the satellite trail of make_night.cpp above 5 sigma, and lone
// pixels above 5 sigma.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "files/fits_image.h"
#include "processing/star_registration.h"
using namespace tarvex;
int main(int argc, char** argv) {
  for (int a = 1; a < argc; ++a) {
    auto r = read_fits_image(argv[a]);
    if (!r.image) {
      std::printf("%s: %s\n", argv[a], r.error.c_str());
      continue;
    }
    const auto& im = *r.image;
    const int W = im.width, H = im.height;
    const std::size_t n = std::size_t(W) * H;
    const int p = im.planes == 3 ? 1 : 0;
    std::vector<float> g(im.data.begin() + p * n, im.data.begin() + (p + 1) * n);
    // central region, away from the edges registration leaves empty
    std::vector<float> c;
    for (int y = 100; y < H - 100; ++y)
      for (int x = 100; x < W - 100; ++x) c.push_back(g[y * W + x]);
    Background bg = estimate_background(PlaneView{c.data(), W - 200, H - 200});
    StarDetection o;
    o.max_stars = 400;
    auto stars = detect_stars(PlaneView{g.data(), W, H}, o);
    FieldShape fs = field_shape(stars);
    std::vector<bool> near(n, false);
    for (auto& s : stars)
      for (int dy = -8; dy <= 8; ++dy)
        for (int dx = -8; dx <= 8; ++dx) {
          int x = int(s.x) + dx, y = int(s.y) + dy;
          if (x >= 0 && y >= 0 && x < W && y < H) near[y * W + x] = true;
        }
    // the trail of light TRAIL_FRAME (index, default 25: the middle of 50),
    // mapped back onto the first light
    const char* env = std::getenv("TRAIL_FRAME");
    const int k = env ? std::atoi(env) : 25;
    RigidTransform t{0.0015 * k, 0.9 * k + 0.3 * std::sin(k), -0.6 * k + 0.25 * std::cos(1.7 * k)};
    RigidTransform back = t.inverse();
    int trail_hi = 0, trail_n = 0;
    for (int x = 0; x < W; ++x) {
      double sx, sy;
      back.apply(x, 100 + x * 3 / 8, sx, sy);
      int ix = int(std::lround(sx)), iy = int(std::lround(sy));
      if (ix < 100 || iy < 100 || ix >= W - 100 || iy >= H - 100 || near[iy * W + ix]) continue;
      ++trail_n;
      if (g[iy * W + ix] > bg.level + 5 * bg.sigma) ++trail_hi;
    }
    int spikes = 0;
    for (int y = 100; y < H - 100; ++y)
      for (int x = 100; x < W - 100; ++x) {
        float v = g[y * W + x];
        if (v <= bg.level + 5 * bg.sigma || near[y * W + x]) continue;
        bool lone = true;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            if ((dx || dy) && g[(y + dy) * W + x + dx] > bg.level + 2 * bg.sigma) lone = false;
        spikes += lone;
      }
    std::vector<double> fl;
    for (std::size_t k = 0; k < stars.size() && k < 20; ++k) fl.push_back(stars[k].flux);
    std::sort(fl.begin(), fl.end());
    const double flux = fl.empty() ? 1 : fl[fl.size() / 2];
    std::printf("noise per star flux (x1e6) %.3f; ", 1e6 * bg.sigma / flux);
    std::printf(
        "%s: background %.5g noise %.4g (noise/background %.5f) stars %zu fwhm %.2f px elong %.2f; "
        "trail samples above 5 sigma %d of %d; lone pixels above 5 sigma %d\n",
        argv[a], bg.level, bg.sigma, bg.sigma / bg.level, stars.size(), fs.fwhm, fs.elongation,
        trail_hi, trail_n, spikes);
  }
}
