#include "processing/star_registration.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tarvex {

namespace {

constexpr double kMadToSigma = 1.4826;
constexpr std::size_t kBackgroundSamples = 20000;
constexpr std::size_t kTriangleStars = 20;  // brightest stars used for triangles
constexpr double kSideTolerance = 1.0;      // pixels, per side of a triangle
constexpr double kInlierDistance = 1.5;     // pixels
// A detection this many times longer than wide is a piece of a satellite or
// aircraft trail crossing the window, not a star.
constexpr double kTrailSegment = 5.0;
// Four detections at least this elongated on one line (within 2 pixels of
// the line along the axis of each) are a trail.
constexpr double kElongatedSegment = 1.3;
constexpr double kOnTrailLine = 2.0;
constexpr int kTrailSegments = 4;

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  const std::size_t mid = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
  return v[mid];
}

// Least squares rotation and translation taking the points `a` onto `b`.
RigidTransform fit_rigid(const std::vector<std::array<double, 4>>& pairs) {
  double ax = 0, ay = 0, bx = 0, by = 0;
  for (const auto& p : pairs) {
    ax += p[0];
    ay += p[1];
    bx += p[2];
    by += p[3];
  }
  const double n = static_cast<double>(pairs.size());
  ax /= n;
  ay /= n;
  bx /= n;
  by /= n;
  double sc = 0, ss = 0;
  for (const auto& p : pairs) {
    const double x = p[0] - ax, y = p[1] - ay, u = p[2] - bx, v = p[3] - by;
    sc += x * u + y * v;
    ss += x * v - y * u;
  }
  RigidTransform t;
  t.angle = std::atan2(ss, sc);
  const double c = std::cos(t.angle), s = std::sin(t.angle);
  t.dx = bx - (c * ax - s * ay);
  t.dy = by - (s * ax + c * ay);
  return t;
}

struct Triangle {
  std::array<double, 3> side;  // ascending
  std::array<int, 3> vertex;   // vertex k is opposite side k
};

std::vector<Triangle> triangles(const std::vector<Star>& stars) {
  const std::size_t n = std::min(stars.size(), kTriangleStars);
  std::vector<Triangle> out;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      for (std::size_t k = j + 1; k < n; ++k) {
        const std::array<int, 3> v{static_cast<int>(i), static_cast<int>(j), static_cast<int>(k)};
        std::array<std::pair<double, int>, 3> s;
        for (int m = 0; m < 3; ++m) {
          const Star& p = stars[static_cast<std::size_t>(v[(m + 1) % 3])];
          const Star& q = stars[static_cast<std::size_t>(v[(m + 2) % 3])];
          s[static_cast<std::size_t>(m)] = {std::hypot(p.x - q.x, p.y - q.y), v[m]};
        }
        std::sort(s.begin(), s.end());
        // Near-equal sides leave the vertex order ambiguous; such triangles
        // would vote for wrong pairs.
        if (s[1].first - s[0].first < 2 * kSideTolerance ||
            s[2].first - s[1].first < 2 * kSideTolerance || s[0].first < 10)
          continue;
        out.push_back(
            {{s[0].first, s[1].first, s[2].first}, {s[0].second, s[1].second, s[2].second}});
      }
  std::sort(out.begin(), out.end(),
            [](const Triangle& a, const Triangle& b) { return a.side[2] < b.side[2]; });
  return out;
}

int count_inliers(const RigidTransform& t, const std::vector<std::array<double, 4>>& pairs,
                  std::vector<std::array<double, 4>>* keep) {
  int n = 0;
  for (const auto& p : pairs) {
    double x, y;
    t.apply(p[0], p[1], x, y);
    if (std::hypot(x - p[2], y - p[3]) <= kInlierDistance) {
      ++n;
      if (keep) keep->push_back(p);
    }
  }
  return n;
}

float cubic_weight(double t) {
  // Keys' cubic convolution, a = -0.5.
  t = std::abs(t);
  if (t < 1) return static_cast<float>((1.5 * t - 2.5) * t * t + 1);
  if (t < 2) return static_cast<float>(((-0.5 * t + 2.5) * t - 4) * t + 2);
  return 0.0F;
}

// A satellite or aircraft trail shows as a row of elongated detections on
// one line along their own axes; trailed stars are elongated alike but lie
// side by side, each on a line of its own.
void drop_trail_segments(std::vector<Star>& stars) {
  std::vector<std::size_t> elongated;
  for (std::size_t i = 0; i < stars.size(); ++i)
    if (stars[i].elongation > kElongatedSegment) elongated.push_back(i);
  std::vector<bool> trail(stars.size(), false);
  for (std::size_t i : elongated) {
    const double ux = std::cos(stars[i].axis), uy = std::sin(stars[i].axis);
    int on_line = 0;
    for (std::size_t j : elongated) {
      if (j == i) continue;
      const double dx = stars[j].x - stars[i].x, dy = stars[j].y - stars[i].y;
      if (std::abs(dx * uy - dy * ux) < kOnTrailLine) ++on_line;
    }
    trail[i] = on_line >= kTrailSegments - 1;
  }
  std::size_t k = 0;
  for (std::size_t i = 0; i < stars.size(); ++i)
    if (!trail[i]) stars[k++] = stars[i];
  stars.resize(k);
}

}  // namespace

Background estimate_background(PlaneView plane) {
  const std::size_t total = static_cast<std::size_t>(plane.width) * plane.height;
  const std::size_t step = std::max<std::size_t>(1, total / kBackgroundSamples);
  std::vector<double> v;
  for (std::size_t i = 0; i < total; i += step)
    if (std::isfinite(plane.data[i])) v.push_back(plane.data[i]);
  Background b;
  b.level = median(v);
  for (double& x : v) x = std::abs(x - b.level);
  b.sigma = kMadToSigma * median(v);
  if (b.sigma <= 0) b.sigma = 1e-3;
  return b;
}

std::vector<Star> detect_stars(PlaneView plane, const StarDetection& o) {
  const Background bg = estimate_background(plane);
  const double threshold = bg.level + o.threshold_sigma * bg.sigma;
  const int r = o.radius;
  std::vector<Star> stars;
  for (int y = r + 1; y < plane.height - r - 1; ++y)
    for (int x = r + 1; x < plane.width - r - 1; ++x) {
      const float v = plane.at(x, y);
      if (!(v > threshold)) continue;
      int above = 0;
      bool peak = true;
      for (int dy = -1; dy <= 1 && peak; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0) continue;
          const float n = plane.at(x + dx, y + dy);
          // Ties go to the first sample in reading order.
          if (n > v || (n == v && (dy < 0 || (dy == 0 && dx < 0)))) {
            peak = false;
            break;
          }
          if (n > threshold) ++above;
        }
      if (!peak || above < 2) continue;
      double s = 0, sx = 0, sy = 0;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
          const double w = plane.at(x + dx, y + dy) - bg.level;
          if (!(w > 0)) continue;
          s += w;
          sx += w * dx;
          sy += w * dy;
        }
      if (s <= 0) continue;
      const double cx = sx / s, cy = sy / s;
      double mxx = 0, myy = 0, mxy = 0;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
          const double w = plane.at(x + dx, y + dy) - bg.level;
          if (!(w > 0)) continue;
          mxx += w * (dx - cx) * (dx - cx);
          myy += w * (dy - cy) * (dy - cy);
          mxy += w * (dx - cx) * (dy - cy);
        }
      mxx /= s;
      myy /= s;
      mxy /= s;
      const double half_trace = 0.5 * (mxx + myy);
      const double root = std::sqrt(0.25 * (mxx - myy) * (mxx - myy) + mxy * mxy);
      const double major = half_trace + root, minor = std::max(half_trace - root, 1e-6);
      Star star;
      star.x = x + cx;
      star.y = y + cy;
      star.flux = s;
      star.peak = v - bg.level;
      star.fwhm = 2.3548 * std::sqrt(half_trace);
      star.elongation = std::sqrt(major / minor);
      star.axis = 0.5 * std::atan2(2 * mxy, mxx - myy);
      if (star.elongation > kTrailSegment) continue;
      stars.push_back(star);
    }
  drop_trail_segments(stars);
  std::sort(stars.begin(), stars.end(),
            [](const Star& a, const Star& b) { return a.flux > b.flux; });
  if (stars.size() > static_cast<std::size_t>(o.max_stars))
    stars.resize(static_cast<std::size_t>(o.max_stars));
  return stars;
}

FieldShape field_shape(const std::vector<Star>& stars) {
  std::vector<double> w, e;
  for (const Star& s : stars) {
    w.push_back(s.fwhm);
    e.push_back(s.elongation);
  }
  return {median(w), median(e)};
}

void RigidTransform::apply(double x, double y, double& ox, double& oy) const {
  const double c = std::cos(angle), s = std::sin(angle);
  ox = c * x - s * y + dx;
  oy = s * x + c * y + dy;
}

RigidTransform RigidTransform::inverse() const {
  RigidTransform t;
  t.angle = -angle;
  const double c = std::cos(angle), s = std::sin(angle);
  t.dx = -(c * dx + s * dy);
  t.dy = -(-s * dx + c * dy);
  return t;
}

std::optional<FieldRegistration> register_stars(const std::vector<Star>& reference,
                                                const std::vector<Star>& frame, int min_matches) {
  const std::vector<Triangle> ref = triangles(reference);
  const std::vector<Triangle> cur = triangles(frame);
  if (ref.empty() || cur.empty()) return std::nullopt;
  // Votes for star correspondences from triangles with the same sides.
  const std::size_t nf = std::min(frame.size(), kTriangleStars);
  const std::size_t nr = std::min(reference.size(), kTriangleStars);
  std::vector<int> votes(nf * nr, 0);
  std::size_t lo = 0;
  for (const Triangle& t : cur) {
    while (lo < ref.size() && ref[lo].side[2] < t.side[2] - kSideTolerance) ++lo;
    for (std::size_t k = lo; k < ref.size() && ref[k].side[2] <= t.side[2] + kSideTolerance; ++k) {
      const Triangle& u = ref[k];
      if (std::abs(u.side[0] - t.side[0]) > kSideTolerance ||
          std::abs(u.side[1] - t.side[1]) > kSideTolerance)
        continue;
      // The same turning sense: a rotation does not mirror.
      auto cross = [](const std::vector<Star>& s, const std::array<int, 3>& v) {
        const Star &a = s[static_cast<std::size_t>(v[0])], &b = s[static_cast<std::size_t>(v[1])],
                   &c = s[static_cast<std::size_t>(v[2])];
        return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
      };
      if ((cross(frame, t.vertex) > 0) != (cross(reference, u.vertex) > 0)) continue;
      for (int m = 0; m < 3; ++m)
        ++votes[static_cast<std::size_t>(t.vertex[m]) * nr + static_cast<std::size_t>(u.vertex[m])];
    }
  }
  // Candidate pairs: each frame star with the reference star it votes for most.
  std::vector<std::array<double, 4>> candidates;
  for (std::size_t i = 0; i < nf; ++i) {
    int best = 0;
    std::size_t bj = 0;
    for (std::size_t j = 0; j < nr; ++j)
      if (votes[i * nr + j] > best) {
        best = votes[i * nr + j];
        bj = j;
      }
    if (best >= 2) candidates.push_back({frame[i].x, frame[i].y, reference[bj].x, reference[bj].y});
  }
  if (candidates.size() < 2) return std::nullopt;
  // Every two candidate pairs propose a transform; keep the one most agree on.
  RigidTransform best_t;
  int best_n = 0;
  for (std::size_t a = 0; a < candidates.size(); ++a)
    for (std::size_t b = a + 1; b < candidates.size(); ++b) {
      const RigidTransform t = fit_rigid({candidates[a], candidates[b]});
      const int n = count_inliers(t, candidates, nullptr);
      if (n > best_n) {
        best_n = n;
        best_t = t;
      }
    }
  // Refit on every star of the two fields that the transform pairs up.
  RigidTransform t = best_t;
  std::vector<std::array<double, 4>> pairs;
  for (int round = 0; round < 3; ++round) {
    pairs.clear();
    for (const Star& s : frame) {
      double x, y;
      t.apply(s.x, s.y, x, y);
      const Star* nearest = nullptr;
      double d = kInlierDistance;
      for (const Star& r : reference) {
        const double e = std::hypot(r.x - x, r.y - y);
        if (e < d) {
          d = e;
          nearest = &r;
        }
      }
      if (nearest) pairs.push_back({s.x, s.y, nearest->x, nearest->y});
    }
    if (pairs.size() < 2) return std::nullopt;
    t = fit_rigid(pairs);
  }
  if (static_cast<int>(pairs.size()) < min_matches) return std::nullopt;
  FieldRegistration reg;
  reg.transform = t;
  reg.matched = static_cast<int>(pairs.size());
  double q = 0;
  for (const auto& p : pairs) {
    double x, y;
    t.apply(p[0], p[1], x, y);
    q += (x - p[2]) * (x - p[2]) + (y - p[3]) * (y - p[3]);
  }
  reg.residual = std::sqrt(q / static_cast<double>(pairs.size()));
  return reg;
}

void warp_rows(PlaneView src, const RigidTransform& frame_to_reference, Interpolation how,
               int first_row, int end_row, float* out) {
  const RigidTransform back = frame_to_reference.inverse();
  const double c = std::cos(back.angle), s = std::sin(back.angle);
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  for (int y = first_row; y < end_row; ++y) {
    float* row = out + static_cast<std::size_t>(y - first_row) * src.width;
    for (int x = 0; x < src.width; ++x) {
      const double sx = c * x - s * y + back.dx;
      const double sy = s * x + c * y + back.dy;
      const double fx = std::floor(sx), fy = std::floor(sy);
      const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
      const double tx = sx - fx, ty = sy - fy;
      if (how == Interpolation::Bilinear || ix < 1 || iy < 1 || ix + 2 >= src.width ||
          iy + 2 >= src.height) {
        if (sx < 0 || sy < 0 || sx > src.width - 1 || sy > src.height - 1) {
          row[x] = kNaN;
          continue;
        }
        const int x1 = std::min(ix + 1, src.width - 1), y1 = std::min(iy + 1, src.height - 1);
        const double top = src.at(ix, iy) * (1 - tx) + src.at(x1, iy) * tx;
        const double bottom = src.at(ix, y1) * (1 - tx) + src.at(x1, y1) * tx;
        row[x] = static_cast<float>(top * (1 - ty) + bottom * ty);
        continue;
      }
      float wx[4], wy[4];
      for (int k = 0; k < 4; ++k) {
        wx[k] = cubic_weight(tx - (k - 1));
        wy[k] = cubic_weight(ty - (k - 1));
      }
      float v = 0;
      for (int j = 0; j < 4; ++j) {
        const float* r = src.data + static_cast<std::size_t>(iy - 1 + j) * src.width + ix - 1;
        v += wy[j] * (wx[0] * r[0] + wx[1] * r[1] + wx[2] * r[2] + wx[3] * r[3]);
      }
      row[x] = v;
    }
  }
}

}  // namespace tarvex
