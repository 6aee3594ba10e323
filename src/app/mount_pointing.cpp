#include "app/mount_pointing.h"

#include "scope/precession.h"

namespace tarvex {

ScopeResult stamp_mount_pointing(Mount& mount, double unix_time, StandardFitsStamp& stamp) {
  if (!mount.capabilities().read_position) return ScopeResult::Unsupported;
  MountPosition p;
  const ScopeResult read = mount.read_position(p);
  if (read != ScopeResult::Done) return read;
  const SkyPosition j2000 =
      precess_to_j2000({p.ra_hours, p.dec_degrees}, julian_date_of_unix(unix_time));
  stamp.pointing_known = true;
  stamp.ra_hours = j2000.ra_hours;
  stamp.dec_degrees = j2000.dec_degrees;
  return ScopeResult::Done;
}

}  // namespace tarvex
