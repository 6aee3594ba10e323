// A simulated night for the batch stack: N colour lights of 752 x 580 with
// drift and slow field rotation, hot pixels and one satellite trail, with
// 5 darks and 5 flats, as three-plane 16-bit standard FITS files.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "files/fits_image.h"
#include "processing/star_registration.h"
using namespace tarvex;
constexpr int W = 752, H = 580;
int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 50;
  const std::string dir = argc > 2 ? argv[2] : ".";
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> ux(-200, W + 200), uy(-200, H + 200), uf(0, 1);
  struct S {
    double x, y, f, r, g, b;
  };
  std::vector<S> sky;
  for (int i = 0; i < 400; ++i) {
    double c = uf(rng);
    sky.push_back({ux(rng), uy(rng), 2000 + 150000 * std::pow(uf(rng), 4), 0.8 + 0.4 * c, 1.0,
                   1.2 - 0.4 * c});
  }
  std::vector<int> hot;
  for (int i = 0; i < 300; ++i) hot.push_back(int(uf(rng) * W * H));
  std::vector<float> darkpat(W * H, 0);
  for (int h : hot) darkpat[h] = 3000 + 20000 * uf(rng);
  auto vignette = [&](int x, int y) {
    double dx = (x - W / 2.0) / W, dy = (y - H / 2.0) / H;
    return 1.0 - 0.6 * (dx * dx + dy * dy);
  };
  std::normal_distribution<float> noise(0, 1);
  auto write = [&](const std::string& name, const std::vector<float>& v) {
    std::string h;
    auto card = [&](std::string c) {
      c.resize(80, ' ');
      h += c;
    };
    card("SIMPLE  =                    T");
    card("BITPIX  =                   16");
    card("NAXIS   =                    3");
    card("NAXIS1  =                  752");
    card("NAXIS2  =                  580");
    card("NAXIS3  =                    3");
    card("BZERO   =                32768");
    card("BSCALE  =                    1");
    card("END");
    h.resize(2880, ' ');
    std::vector<unsigned char> b(h.begin(), h.end());
    for (int p = 0; p < 3; ++p)
      for (int y = H - 1; y >= 0; --y)
        for (int x = 0; x < W; ++x) {
          float f = v[p * W * H + y * W + x];
          int u = f <= 0 ? 0 : f >= 65535 ? 65535 : int(std::lround(f));
          unsigned s = unsigned(u - 32768) & 0xFFFF;
          b.push_back(s >> 8);
          b.push_back(s & 0xFF);
        }
    b.resize((b.size() + 2879) / 2880 * 2880, 0);
    FILE* fp = std::fopen((dir + "/" + name).c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), fp);
    std::fclose(fp);
  };
  for (int i = 0; i < n; ++i) {
    RigidTransform t{0.0015 * i, 0.9 * i + 0.3 * std::sin(i), -0.6 * i + 0.25 * std::cos(1.7 * i)};
    std::vector<float> v(3 * W * H);
    for (int p = 0; p < 3; ++p)
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) v[p * W * H + y * W + x] = 500;
    const double sig = 1.6;
    for (const auto& s : sky) {
      double x, y;
      t.apply(s.x, s.y, x, y);
      double a = s.f / (2 * M_PI * sig * sig);
      for (int py = std::max(0, int(y) - 10); py < std::min(H, int(y) + 11); ++py)
        for (int px = std::max(0, int(x) - 10); px < std::min(W, int(x) + 11); ++px) {
          double e = a * std::exp(-0.5 * ((px - x) * (px - x) + (py - y) * (py - y)) / (sig * sig));
          v[0 * W * H + py * W + px] += float(e * s.r);
          v[1 * W * H + py * W + px] += float(e * s.g);
          v[2 * W * H + py * W + px] += float(e * s.b);
        }
    }
    if (i == n / 2)
      for (int x = 0; x < W; ++x) {
        int y = 100 + x * 3 / 8;
        for (int p = 0; p < 3; ++p)
          for (int d = -1; d <= 1; ++d) v[p * W * H + (y + d) * W + x] += 4000;
      }
    for (int p = 0; p < 3; ++p)
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          float& s = v[p * W * H + y * W + x];
          s = float(s * vignette(x, y));
          s += std::sqrt(std::max(s, 1.0F)) * noise(rng) + 100 + darkpat[y * W + x] +
               10 * noise(rng);
        }
    char name[40];
    std::snprintf(name, sizeof name, "light_%03d.fit", i + 1);
    write(name, v);
  }
  for (int i = 0; i < 5; ++i) {
    std::vector<float> v(3 * W * H);
    for (int p = 0; p < 3; ++p)
      for (int k = 0; k < W * H; ++k) v[p * W * H + k] = 100 + darkpat[k] + 10 * noise(rng);
    char name[40];
    std::snprintf(name, sizeof name, "dark_%03d.fit", i + 1);
    write(name, v);
  }
  for (int i = 0; i < 5; ++i) {
    std::vector<float> v(3 * W * H);
    for (int p = 0; p < 3; ++p)
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          float s = float(20000 * vignette(x, y));
          v[p * W * H + y * W + x] = s + std::sqrt(s) * noise(rng);
        }
    char name[40];
    std::snprintf(name, sizeof name, "flat_%03d.fit", i + 1);
    write(name, v);
  }
}
