// Where the telescope points, for the header of a standard FITS file: the
// mount's own coordinates (of date) read through the mount port and
// precessed to J2000, as catalogues and other programs count them.
#pragma once

#include "files/fits_standard.h"
#include "scope/mount.h"

namespace tarvex {

// Reads the mount's position at `unix_time` (the start of the exposure) and
// fills the stamp's J2000 pointing. Nothing is asked of a mount that cannot
// report its position; the stamp is left as it was unless the read is Done.
ScopeResult stamp_mount_pointing(Mount& mount, double unix_time, StandardFitsStamp& stamp);

}  // namespace tarvex
