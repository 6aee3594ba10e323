#include "app/mount_pointing.h"

#include "app/export_commands.h"
#include "app/mounts.h"
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

StandardFitsStamp exposure_start_stamp(Tarvex& app, ImageType type, double unix_time) {
  StandardFitsStamp stamp;
  stamp.image_type = type;
  stamp.object = app.goto_target_name;
  // A dark frame points nowhere: the mount is left alone during it.
  if (type == ImageType::Dark) return stamp;
  if (!app.telescope.link_open || !app.telescope.port_open) return stamp;
  Mount& mount = current_mount(app);
  if (stamp_mount_pointing(mount, unix_time, stamp) != ScopeResult::Done) return stamp;
  double latitude = 0, longitude_east = 0;
  if (mount.read_site(latitude, longitude_east) == ScopeResult::Done) {
    stamp.site_known = true;
    stamp.site_latitude = latitude;
    stamp.site_longitude_east = longitude_east;
  }
  return stamp;
}

StandardFitsStamp standard_fits_stamp(const Tarvex& app) {
  StandardFitsStamp stamp = app.observing;
  stamp.software = program_name_and_version();
  stamp.written = app.ports.clock.wall_time();
  return stamp;
}

}  // namespace tarvex
