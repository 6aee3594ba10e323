// The simulated mount's built-in catalogue: the Messier objects, a few NGC
// objects and the planets (star-catalogue numbers 901 to 909), with J2000
// positions. Numbers the table lacks still select an object, as on a mount
// that carries the whole catalogue: a made-up position derived from the
// number.
#pragma once

#include <string>

#include "scope/lx200.h"

namespace tarvex {

struct SkyObject {
  std::string name;  // "M31", "NGC7000", "SATURN"
  std::string kind;  // "GX", "GC", "OC", "PN", "EN", ...
  double magnitude = 0;
  std::string title;  // common name, may be empty
  double ra_hours = 0;
  double dec_degrees = 0;
  bool can_slew = true;  // false for the Earth (903)
};

// False for numbers no catalogue entry can have (Messier outside 1..110,
// NGC outside 1..7840, star numbers outside 1..9999).
bool find_sky_object(Catalogue catalogue, int number, SkyObject& out);

// The object's line as the mount shows it, exactly 33 characters, padded
// with spaces.
std::string object_info_text(const SkyObject& object);

}  // namespace tarvex
