// The whole-sky star list the simulated camera shows as the real sky: J2000
// positions and V_T magnitudes of the Tycho-2 stars in Debian's packaged
// astrometry.net index, packed by scripts/pack-star-list.py into
// declination zones cut into cells of right ascension, so the stars of a
// field are found by reading only the cells around it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

struct ListedStar {
  double ra_degrees = 0;  // J2000
  double dec_degrees = 0;
  double magnitude = 0;
};

class StarList {
 public:
  // Reads the packed list; false with `error` saying why (missing, not a
  // star list, cut short). The list holds nothing after a failure.
  bool load(const std::string& path, std::string& error);
  std::size_t size() const { return words_.size(); }

  // Replaces `out` with every star within `radius_degrees` of the position.
  void select(double ra_degrees, double dec_degrees, double radius_degrees,
              std::vector<ListedStar>& out) const;

 private:
  struct Zone {
    std::uint32_t first_cell = 0;  // index into cell_start_
    std::uint32_t cells = 0;
  };
  ListedStar decode(std::size_t zone, std::uint32_t cell, std::uint32_t word) const;

  double zone_height_ = 0;
  std::vector<Zone> zones_;
  std::vector<std::uint32_t> cell_start_;  // first star of each cell, and one past the last
  std::vector<std::uint32_t> words_;
};

}  // namespace tarvex
