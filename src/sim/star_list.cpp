#include "sim/star_list.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>

namespace tarvex {

namespace {

constexpr char kMagic[8] = {'T', 'V', 'X', 'S', 'T', 'A', 'R', '1'};
constexpr double kStep = 1.0 / 4096.0;  // a position's step within its cell
constexpr double kRadian = 3.14159265358979323846 / 180.0;

std::uint32_t read32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t read16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

bool StarList::load(const std::string& path, std::string& error) {
  zones_.clear();
  cell_start_.clear();
  words_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  // One read of the whole file: a few megabytes.
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  in.seekg(0, std::ios::beg);
  std::vector<unsigned char> bytes(length > 0 ? static_cast<std::size_t>(length) : 0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
    bytes.clear();
  const auto bad = [&](const char* why) {
    zones_.clear();
    cell_start_.clear();
    words_.clear();
    error = path + ": " + why;
    return false;
  };
  if (bytes.size() < 16 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    return bad("not a star list");
  const std::uint32_t zone_count = read32(&bytes[8]);
  const std::uint32_t star_count = read32(&bytes[12]);
  if (zone_count == 0 || zone_count > 100000) return bad("not a star list");
  std::size_t at = 16;
  if (bytes.size() < at + 2ull * zone_count) return bad("cut short");
  std::uint64_t cell_count = 0;
  zones_.resize(zone_count);
  for (std::uint32_t z = 0; z < zone_count; ++z) {
    const std::uint16_t cells = read16(&bytes[at + 2 * z]);
    if (cells == 0) return bad("a zone without cells");
    zones_[z] = {static_cast<std::uint32_t>(cell_count), cells};
    cell_count += cells;
  }
  at += 2ull * zone_count;
  if (bytes.size() < at + 2 * cell_count) return bad("cut short");
  cell_start_.resize(cell_count + 1);
  std::uint64_t stars = 0;
  for (std::uint64_t c = 0; c < cell_count; ++c) {
    cell_start_[c] = static_cast<std::uint32_t>(std::min<std::uint64_t>(stars, UINT32_MAX));
    stars += read16(&bytes[at + 2 * c]);
  }
  cell_start_[cell_count] = static_cast<std::uint32_t>(std::min<std::uint64_t>(stars, UINT32_MAX));
  at += 2 * cell_count;
  if (stars != star_count || bytes.size() != at + 4ull * star_count)
    return bad("its star counts do not match its length");
  words_.resize(star_count);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(words_.data(), &bytes[at], 4ull * star_count);
  } else {
    for (std::uint32_t i = 0; i < star_count; ++i) words_[i] = read32(&bytes[at + 4ull * i]);
  }
  zone_height_ = 180.0 / zone_count;
  return true;
}

ListedStar StarList::decode(std::size_t zone, std::uint32_t cell, std::uint32_t word) const {
  const double cell_width = 360.0 / zones_[zone].cells;
  ListedStar s;
  s.ra_degrees = (cell + ((word & 0xFFF) + 0.5) * kStep) * cell_width;
  s.dec_degrees = -90.0 + (zone + (((word >> 12) & 0xFFF) + 0.5) * kStep) * zone_height_;
  s.magnitude = (word >> 24) / 16.0 - 2.0;
  return s;
}

void StarList::select(double ra, double dec, double radius, std::vector<ListedStar>& out) const {
  out.clear();
  if (zones_.empty()) return;
  const double cos_radius = std::cos(radius * kRadian);
  const double ca = std::cos(ra * kRadian), sa = std::sin(ra * kRadian);
  const double cd = std::cos(dec * kRadian), sd = std::sin(dec * kRadian);
  const int last_zone = static_cast<int>(zones_.size()) - 1;
  const int z0 =
      std::clamp(static_cast<int>(std::floor((dec - radius + 90.0) / zone_height_)), 0, last_zone);
  const int z1 =
      std::clamp(static_cast<int>(std::floor((dec + radius + 90.0) / zone_height_)), 0, last_zone);
  for (int z = z0; z <= z1; ++z) {
    const Zone& zone = zones_[z];
    const double cell_width = 360.0 / zone.cells;
    // The widest the circle reaches in right ascension within this zone.
    const double edge =
        std::max(std::fabs(-90.0 + z * zone_height_), std::fabs(-90.0 + (z + 1) * zone_height_));
    const double cos_edge = std::cos(std::min(edge, 90.0) * kRadian);
    long first = 0, last = static_cast<long>(zone.cells) - 1;
    if (cos_edge > 1e-9 && radius / cos_edge < 180.0 && edge + radius < 90.0) {
      const double half = radius / cos_edge;
      first = static_cast<long>(std::floor((ra - half) / cell_width));
      last = static_cast<long>(std::floor((ra + half) / cell_width));
      if (last - first + 1 >= static_cast<long>(zone.cells))
        first = 0, last = static_cast<long>(zone.cells) - 1;
    }
    for (long k = first; k <= last; ++k) {
      const long n = static_cast<long>(zone.cells);
      const std::uint32_t cell = static_cast<std::uint32_t>(((k % n) + n) % n);
      const std::uint32_t c = zone.first_cell + cell;
      for (std::uint32_t i = cell_start_[c]; i < cell_start_[c + 1]; ++i) {
        const ListedStar s = decode(static_cast<std::size_t>(z), cell, words_[i]);
        const double a = s.ra_degrees * kRadian, d = s.dec_degrees * kRadian;
        const double cos_distance =
            sd * std::sin(d) + cd * std::cos(d) * (ca * std::cos(a) + sa * std::sin(a));
        if (cos_distance >= cos_radius) out.push_back(s);
      }
    }
  }
}

}  // namespace tarvex
