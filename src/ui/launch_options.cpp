#include "ui/launch_options.h"

#include "app/camera_transport.h"
#include "platform/version.h"

namespace tarvex::ui {

namespace {

void refuse(LaunchOptions& o, const std::string& error) {
  if (o.error.empty()) o.error = error;
}

}  // namespace

LaunchOptions parse_launch_arguments(const std::vector<std::string>& args) {
  LaunchOptions o;
  bool options_end = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options_end && a == "--") {
      options_end = true;
    } else if (!options_end && (a == "--help" || a == "-h")) {
      o.help = true;
    } else if (!options_end && a == "--version") {
      o.version = true;
    } else if (!options_end && a == "--simulator") {
      o.simulator = true;
    } else if (!options_end && a == "--sky") {
      // A value that is not a scene is left in the line (it may be --help).
      if (i + 1 < args.size() && parse_sky_scene(args[i + 1], o.sky_scene))
        o.sky = args[++i];
      else
        refuse(o, "--sky needs stars, chart or real");
    } else if (!options_end && a == "--sim-mount") {
      std::string why;
      if (i + 1 >= args.size())
        refuse(o, "--sim-mount needs KEY=VALUE[,KEY=VALUE...]");
      else if (!parse_sim_mount_options(args[++i], o.sim_mount, why))
        refuse(o, why);
      o.sim_mount_given = true;
    } else if (!options_end && a == "--screenshot") {
      if (i + 1 < args.size())
        o.screenshot = args[++i];
      else
        refuse(o, "--screenshot needs a file name");
    } else if (!options_end && !a.empty() && a[0] == '-') {
      refuse(o, "unknown option " + a);
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      refuse(o, "one file at a time: " + a);
    }
  }
  if (o.sim_mount_given && !o.simulator)
    refuse(o, "--sim-mount sets up the simulated mount: add --simulator");
  return o;
}

LaunchOptions early_launch_options(const std::vector<std::string>& args) {
  const LaunchOptions read = parse_launch_arguments(args);
  LaunchOptions o;
  o.help = read.help;
  o.version = read.version;
  return o;
}

std::string launch_usage() {
  return "usage: tarvex [--simulator [--sky stars|chart|real] [--sim-mount KEY=VALUE,...]]\n"
         "              [--screenshot PNG] [FILE]\n"
         "       tarvex --help | --version\n"
         "Opens the Tarvex window; FILE (a KR File or a FITS file written by Tarvex)\n"
         "is opened as File > Open opens it.\n"
         "  --simulator       use the simulated camera and mount instead of the hardware\n"
         "  --sky chart       the simulated camera sees a colour chart, not the night sky\n"
         "  --sky real        it sees the catalogue stars where the simulated mount points\n"
         "                    (also chosen by point= and the mount's first go-to or sync)\n"
         "  --sim-mount KEY=VALUE,...\n"
         "                    set up the simulated mount: point=M31 or\n"
         "                    point=HH:MM:SS/+DD:MM:SS (J2000), focal-length=MM or\n"
         "                    scale=ARCSEC (per pixel), pointing-error=ARCMIN (default 5)\n"
         "  --screenshot PNG  save a picture of the window to PNG, print the window\n"
         "                    title, and stop\n"
         "  --help            show this text and stop\n"
         "  --version         show the version and stop\n"
         "Qt's own options (for example -platform offscreen) are accepted as well.\n";
}

std::string launch_version() {
  return std::string("tarvex ") + PROGRAM_VERSION + "\n";
}

}  // namespace tarvex::ui
