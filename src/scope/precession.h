// Precession between the J2000 equinox, in which catalogues, solutions and
// the standard FITS headers give positions, and the mean equinox of the
// date of observation ("JNow"), in which LX200 mounts keep and answer their
// coordinates. The IAU 1976 precession (Lieske's angles zeta, z and theta),
// rigorous rotation; no nutation or aberration, as the mounts use none.
// Pure functions.
#pragma once

namespace tarvex {

struct SkyPosition {
  double ra_hours = 0;     // 0..24
  double dec_degrees = 0;  // -90..90
};

// The Julian date of a time in seconds since 1970 (UTC).
double julian_date_of_unix(double unix_seconds);

// A J2000 position as of the mean equinox of `julian_date`, and back.
SkyPosition precess_from_j2000(const SkyPosition& j2000, double julian_date);
SkyPosition precess_to_j2000(const SkyPosition& of_date, double julian_date);

}  // namespace tarvex
