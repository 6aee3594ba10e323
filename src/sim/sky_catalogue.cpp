#include "sim/sky_catalogue.h"

#include <cstdio>

namespace tarvex {

namespace {

struct Entry {
  int number;
  const char* kind;
  double magnitude;
  int ra_h;
  double ra_m;
  int dec_sign;
  int dec_d;
  int dec_m;
  const char* title;
};

// Messier objects, J2000.
constexpr Entry kMessier[] = {
    {1, "SN", 8.4, 5, 34.5, 1, 22, 1, "Crab Nebula"},
    {2, "GC", 6.5, 21, 33.5, -1, 0, 49, ""},
    {3, "GC", 6.2, 13, 42.2, 1, 28, 23, ""},
    {4, "GC", 5.6, 16, 23.6, -1, 26, 32, ""},
    {5, "GC", 5.6, 15, 18.6, 1, 2, 5, ""},
    {6, "OC", 4.2, 17, 40.1, -1, 32, 13, "Butterfly"},
    {7, "OC", 3.3, 17, 53.9, -1, 34, 49, "Ptolemy"},
    {8, "EN", 6.0, 18, 3.8, -1, 24, 23, "Lagoon"},
    {9, "GC", 7.7, 17, 19.2, -1, 18, 31, ""},
    {10, "GC", 6.6, 16, 57.1, -1, 4, 6, ""},
    {11, "OC", 5.8, 18, 51.1, -1, 6, 16, "Wild Duck"},
    {12, "GC", 6.7, 16, 47.2, -1, 1, 57, ""},
    {13, "GC", 5.8, 16, 41.7, 1, 36, 28, "Hercules"},
    {14, "GC", 7.6, 17, 37.6, -1, 3, 15, ""},
    {15, "GC", 6.2, 21, 30.0, 1, 12, 10, ""},
    {16, "EN", 6.0, 18, 18.8, -1, 13, 47, "Eagle"},
    {17, "EN", 6.0, 18, 20.8, -1, 16, 11, "Omega"},
    {18, "OC", 7.5, 18, 19.9, -1, 17, 8, ""},
    {19, "GC", 6.8, 17, 2.6, -1, 26, 16, ""},
    {20, "EN", 6.3, 18, 2.6, -1, 23, 2, "Trifid"},
    {21, "OC", 6.5, 18, 4.6, -1, 22, 30, ""},
    {22, "GC", 5.1, 18, 36.4, -1, 23, 54, ""},
    {23, "OC", 6.9, 17, 56.8, -1, 19, 1, ""},
    {24, "SC", 4.6, 18, 16.9, -1, 18, 29, "Star Cloud"},
    {25, "OC", 4.6, 18, 31.6, -1, 19, 15, ""},
    {26, "OC", 8.0, 18, 45.2, -1, 9, 24, ""},
    {27, "PN", 7.4, 19, 59.6, 1, 22, 43, "Dumbbell"},
    {28, "GC", 6.8, 18, 24.5, -1, 24, 52, ""},
    {29, "OC", 7.1, 20, 23.9, 1, 38, 32, ""},
    {30, "GC", 7.2, 21, 40.4, -1, 23, 11, ""},
    {31, "GX", 3.4, 0, 42.7, 1, 41, 16, "Andromeda"},
    {32, "GX", 8.1, 0, 42.7, 1, 40, 52, ""},
    {33, "GX", 5.7, 1, 33.9, 1, 30, 39, "Triangulum"},
    {34, "OC", 5.5, 2, 42.0, 1, 42, 47, ""},
    {35, "OC", 5.3, 6, 8.9, 1, 24, 20, ""},
    {36, "OC", 6.3, 5, 36.1, 1, 34, 8, ""},
    {37, "OC", 6.2, 5, 52.4, 1, 32, 33, ""},
    {38, "OC", 7.4, 5, 28.7, 1, 35, 50, ""},
    {39, "OC", 4.6, 21, 32.2, 1, 48, 26, ""},
    {40, "DS", 8.4, 12, 22.4, 1, 58, 5, "Winnecke 4"},
    {41, "OC", 4.5, 6, 46.0, -1, 20, 44, ""},
    {42, "EN", 4.0, 5, 35.4, -1, 5, 27, "Orion Nebula"},
    {43, "EN", 9.0, 5, 35.6, -1, 5, 16, "De Mairan"},
    {44, "OC", 3.7, 8, 40.1, 1, 19, 59, "Beehive"},
    {45, "OC", 1.6, 3, 47.0, 1, 24, 7, "Pleiades"},
    {46, "OC", 6.0, 7, 41.8, -1, 14, 49, ""},
    {47, "OC", 4.2, 7, 36.6, -1, 14, 30, ""},
    {48, "OC", 5.5, 8, 13.8, -1, 5, 48, ""},
    {49, "GX", 8.4, 12, 29.8, 1, 8, 0, ""},
    {50, "OC", 5.9, 7, 3.2, -1, 8, 20, ""},
    {51, "GX", 8.4, 13, 29.9, 1, 47, 12, "Whirlpool"},
    {52, "OC", 7.3, 23, 24.2, 1, 61, 35, ""},
    {53, "GC", 7.6, 13, 12.9, 1, 18, 10, ""},
    {54, "GC", 7.6, 18, 55.1, -1, 30, 29, ""},
    {55, "GC", 6.3, 19, 40.0, -1, 30, 58, ""},
    {56, "GC", 8.3, 19, 16.6, 1, 30, 11, ""},
    {57, "PN", 8.8, 18, 53.6, 1, 33, 2, "Ring Nebula"},
    {58, "GX", 9.7, 12, 37.7, 1, 11, 49, ""},
    {59, "GX", 9.6, 12, 42.0, 1, 11, 39, ""},
    {60, "GX", 8.8, 12, 43.7, 1, 11, 33, ""},
    {61, "GX", 9.7, 12, 21.9, 1, 4, 28, ""},
    {62, "GC", 6.5, 17, 1.2, -1, 30, 7, ""},
    {63, "GX", 8.6, 13, 15.8, 1, 42, 2, "Sunflower"},
    {64, "GX", 8.5, 12, 56.7, 1, 21, 41, "Black Eye"},
    {65, "GX", 9.3, 11, 18.9, 1, 13, 5, ""},
    {66, "GX", 8.9, 11, 20.2, 1, 12, 59, ""},
    {67, "OC", 6.1, 8, 50.4, 1, 11, 49, ""},
    {68, "GC", 7.8, 12, 39.5, -1, 26, 45, ""},
    {69, "GC", 7.6, 18, 31.4, -1, 32, 21, ""},
    {70, "GC", 7.9, 18, 43.2, -1, 32, 18, ""},
    {71, "GC", 8.2, 19, 53.8, 1, 18, 47, ""},
    {72, "GC", 9.3, 20, 53.5, -1, 12, 32, ""},
    {73, "AS", 9.0, 20, 58.9, -1, 12, 38, ""},
    {74, "GX", 9.4, 1, 36.7, 1, 15, 47, ""},
    {75, "GC", 8.5, 20, 6.1, -1, 21, 55, ""},
    {76, "PN", 10.1, 1, 42.4, 1, 51, 34, "Little Dumbbell"},
    {77, "GX", 8.9, 2, 42.7, -1, 0, 1, ""},
    {78, "RN", 8.3, 5, 46.7, 1, 0, 3, ""},
    {79, "GC", 7.7, 5, 24.5, -1, 24, 33, ""},
    {80, "GC", 7.3, 16, 17.0, -1, 22, 59, ""},
    {81, "GX", 6.9, 9, 55.6, 1, 69, 4, "Bode's Galaxy"},
    {82, "GX", 8.4, 9, 55.8, 1, 69, 41, "Cigar Galaxy"},
    {83, "GX", 7.5, 13, 37.0, -1, 29, 52, "Southern Pinwheel"},
    {84, "GX", 9.1, 12, 25.1, 1, 12, 53, ""},
    {85, "GX", 9.1, 12, 25.4, 1, 18, 11, ""},
    {86, "GX", 8.9, 12, 26.2, 1, 12, 57, ""},
    {87, "GX", 8.6, 12, 30.8, 1, 12, 23, "Virgo A"},
    {88, "GX", 9.6, 12, 32.0, 1, 14, 25, ""},
    {89, "GX", 9.8, 12, 35.7, 1, 12, 33, ""},
    {90, "GX", 9.5, 12, 36.8, 1, 13, 10, ""},
    {91, "GX", 10.2, 12, 35.4, 1, 14, 30, ""},
    {92, "GC", 6.4, 17, 17.1, 1, 43, 8, ""},
    {93, "OC", 6.0, 7, 44.6, -1, 23, 52, ""},
    {94, "GX", 8.2, 12, 50.9, 1, 41, 7, ""},
    {95, "GX", 9.7, 10, 44.0, 1, 11, 42, ""},
    {96, "GX", 9.2, 10, 46.8, 1, 11, 49, ""},
    {97, "PN", 9.9, 11, 14.8, 1, 55, 1, "Owl Nebula"},
    {98, "GX", 10.1, 12, 13.8, 1, 14, 54, ""},
    {99, "GX", 9.9, 12, 18.8, 1, 14, 25, ""},
    {100, "GX", 9.3, 12, 22.9, 1, 15, 49, ""},
    {101, "GX", 7.9, 14, 3.2, 1, 54, 21, "Pinwheel"},
    {102, "GX", 9.9, 15, 6.5, 1, 55, 46, "Spindle"},
    {103, "OC", 7.4, 1, 33.2, 1, 60, 42, ""},
    {104, "GX", 8.0, 12, 40.0, -1, 11, 37, "Sombrero"},
    {105, "GX", 9.3, 10, 47.8, 1, 12, 35, ""},
    {106, "GX", 8.4, 12, 19.0, 1, 47, 18, ""},
    {107, "GC", 7.9, 16, 32.5, -1, 13, 3, ""},
    {108, "GX", 10.0, 11, 11.5, 1, 55, 40, ""},
    {109, "GX", 9.8, 11, 57.6, 1, 53, 23, ""},
    {110, "GX", 8.5, 0, 40.4, 1, 41, 41, ""},
};

constexpr Entry kNgc[] = {
    {224, "GX", 3.4, 0, 42.7, 1, 41, 16, "Andromeda"},
    {253, "GX", 7.1, 0, 47.6, -1, 25, 17, "Sculptor Galaxy"},
    {869, "OC", 5.3, 2, 19.0, 1, 57, 9, "Double Cluster"},
    {884, "OC", 6.1, 2, 22.4, 1, 57, 7, "Double Cluster"},
    {891, "GX", 9.9, 2, 22.6, 1, 42, 21, ""},
    {2244, "OC", 4.8, 6, 32.4, 1, 4, 52, "Rosette"},
    {2392, "PN", 9.1, 7, 29.2, 1, 20, 55, "Eskimo"},
    {4565, "GX", 9.6, 12, 36.3, 1, 25, 59, "Needle Galaxy"},
    {6543, "PN", 8.1, 17, 58.6, 1, 66, 38, "Cat's Eye"},
    {6960, "SN", 7.0, 20, 45.7, 1, 30, 43, "Veil"},
    {7000, "EN", 4.0, 20, 59.3, 1, 44, 31, "North America"},
    {7009, "PN", 8.0, 21, 4.2, -1, 11, 22, "Saturn Nebula"},
    {7293, "PN", 7.3, 22, 29.6, -1, 20, 50, "Helix"},
    {7662, "PN", 8.3, 23, 25.9, 1, 42, 33, "Blue Snowball"},
    {7789, "OC", 6.7, 23, 57.0, 1, 56, 43, "Caroline's Rose"},
};

// The planets where the simulated sky keeps them (fixed, near the ecliptic).
struct Planet {
  int number;
  const char* name;
  double magnitude;
  double ra_hours;
  double dec_degrees;
};
constexpr Planet kPlanets[] = {
    {901, "MERCURY", -0.4, 20.9, -18.5}, {902, "VENUS", -4.1, 22.3, -11.2},
    {903, "EARTH", 0.0, 0.0, 0.0},       {904, "MARS", 0.9, 3.9, 21.0},
    {905, "JUPITER", -2.4, 2.6, 14.6},   {906, "SATURN", 0.8, 22.8, -9.9},
    {907, "URANUS", 5.7, 3.3, 18.2},     {908, "NEPTUNE", 7.8, 23.8, -2.5},
    {909, "PLUTO", 14.4, 20.2, -22.9},
};

void fill(const Entry& e, const char* prefix, SkyObject& out) {
  out.name = prefix + std::to_string(e.number);
  out.kind = e.kind;
  out.magnitude = e.magnitude;
  out.title = e.title;
  out.ra_hours = e.ra_h + e.ra_m / 60.0;
  out.dec_degrees = e.dec_sign * (e.dec_d + e.dec_m / 60.0);
  out.can_slew = true;
}

// A repeatable position for a catalogue number the table lacks.
void made_up(const char* prefix, int number, SkyObject& out) {
  std::uint32_t h = static_cast<std::uint32_t>(number) * 2654435761u;
  h ^= h >> 15;
  out.name = prefix + std::to_string(number);
  out.kind = "--";
  out.magnitude = 9.0 + (h % 50) / 10.0;
  out.title.clear();
  out.ra_hours = (h % 1440) / 60.0;
  out.dec_degrees = static_cast<double>((h >> 11) % 150) - 60.0;
  out.can_slew = true;
}

}  // namespace

bool find_sky_object(Catalogue catalogue, int number, SkyObject& out) {
  switch (catalogue) {
    case Catalogue::Messier:
      if (number < 1 || number > 110) return false;
      fill(kMessier[number - 1], "M", out);
      return true;
    case Catalogue::Ngc:
      if (number < 1 || number > 7840) return false;
      for (const Entry& e : kNgc) {
        if (e.number == number) {
          fill(e, "NGC", out);
          return true;
        }
      }
      made_up("NGC", number, out);
      return true;
    case Catalogue::Star:
      if (number < 1 || number > 9999) return false;
      for (const Planet& p : kPlanets) {
        if (p.number == number) {
          out.name = p.name;
          out.kind = "PL";
          out.magnitude = p.magnitude;
          out.title.clear();
          out.ra_hours = p.ra_hours;
          out.dec_degrees = p.dec_degrees;
          out.can_slew = number != 903;
          return true;
        }
      }
      made_up("STAR", number, out);
      return true;
  }
  return false;
}

std::string object_info_text(const SkyObject& object) {
  char text[96];
  std::snprintf(text, sizeof text, "%-7s %-2s MAG%5.1f %s", object.name.c_str(),
                object.kind.c_str(), object.magnitude, object.title.c_str());
  std::string s(text);
  s.resize(OBJECT_INFO_LENGTH, ' ');
  return s;
}

}  // namespace tarvex
