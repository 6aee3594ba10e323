// Where the telescope points, for the header of a standard FITS file: the
// mount's own coordinates (of date) read through the mount port and
// precessed to J2000, as catalogues and other programs count them.
#pragma once

#include "app/tarvex.h"
#include "files/fits_standard.h"
#include "scope/mount.h"

namespace tarvex {

// Reads the mount's position at `unix_time` (the start of the exposure) and
// fills the stamp's J2000 pointing. Nothing is asked of a mount that cannot
// report its position; the stamp is left as it was unless the read is Done.
ScopeResult stamp_mount_pointing(Mount& mount, double unix_time, StandardFitsStamp& stamp);

// The observing cards of an exposure starting at `unix_time`: its kind, the
// last go-to's target as its object and,
// while the telescope link is open, where the mount points (J2000) and the
// site it keeps. A mount that cannot tell leaves those cards out; nothing is
// opened for it.
StandardFitsStamp exposure_start_stamp(Tarvex& app, ImageType type, double unix_time);

// The whole stamp of a standard FITS file of the image on show: the
// observing cards of its exposure, the program's name and the time of writing.
StandardFitsStamp standard_fits_stamp(const Tarvex& app);

}  // namespace tarvex
