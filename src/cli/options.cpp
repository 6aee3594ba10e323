#include "cli/options.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/camera_transport.h"
#include "app/indi_mount.h"
#include "app/solve_file.h"
#include "app/telescope.h"
#include "cli/guide_commands.h"
#include "cli/stack_command.h"
#include "cli/steps.h"
#include "cli/subcommands.h"

namespace tarvex::cli {

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  tarvex-cli [--data-root DIR] process INPUT [--do STEP]... [--save-raw OUT]\n"
    "             [--save-flat OUT] [--save-tiff OUT] [--bitmap OUT] [--save-fits OUT]\n"
    "             [--fits-unsigned] [--fits KEY=VALUE]...\n"
    "             [--export-fits OUT] [--export-fits-float OUT] [--export-tiff16 OUT]\n"
    "             [--now \"YYYY-MM-DD HH:MM:SS\"]\n"
    "  tarvex-cli [--data-root DIR] info INPUT\n"
    "  tarvex-cli steps\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] camera-info\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] read-field [--exposure MS]\n"
    "             [--save-raw OUT]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] focus-frame [--exposure MS]\n"
    "             [--save-raw OUT]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] capture [--range q|h|t|s|m]\n"
    "             [--indi HOST:PORT --device NAME]\n"
    "             [--value N] [--mode fast|progressive|interlaced] [--count N] [--average]\n"
    "             [--alt-slew] [--continuous] [--delay MIN] [--countdown] [--dark FILE]\n"
    "             [--auto-dark] [--colour] [--autosave] [--beep] [--star X,Y]\n"
    "             [--self-guide [--half-time] [--guide-range q|h|t|s] [--guide-value N]\n"
    "             [--dither PX]]\n"
    "             [--live-stack OUT [--save-every N]] [--frames N]\n"
    "             [--save-raw OUT] [--save-fits OUT] [--save-tiff OUT]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] focus [--frames N]\n"
    "             [--range q|h|t|s] [--value N] [--centre X,Y]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] train [--star X,Y]\n"
    "             [--guide-range q|h|t|s] [--guide-value N] [--indi HOST:PORT --device NAME]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] guide [--minutes M]\n"
    "             [--star X,Y] [--guide-range q|h|t|s] [--guide-value N]\n"
    "             [--fits focal-length=INCHES] [--unguided]\n"
    "             [--indi HOST:PORT --device NAME]\n"
    "  tarvex-cli guide --benchmark [--scenario NAME] [--minutes M]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] scope [--port N]\n"
    "             [--link l|b|n | --indi HOST:PORT --device NAME] goto-messier N | goto-ngc N | "
    "goto-planet NAME |\n"
    "             goto HH:MM [-]DD:MM | move n|s|e|w MS [--rate guide|centre|find|slew] |\n"
    "             pulse n|s|e|w MS | focus in|out MS [--fast] | info | reset-box |\n"
    "             solve-sync [--range R --value N] |\n"
    "             centre (goto-messier N | goto-ngc N | goto HH:MM[:SS] [-]DD:MM[:SS])\n"
    "             [--tolerance ARCSEC] [--tries N] [--range R --value N]\n"
    "  tarvex-cli --simulator mount-sim [--silent | --garbage] [--reply-delay MS] [--for MS]\n"
    "  tarvex-cli [--data-root DIR] stack --out OUT [--dark FILE]... [--flat FILE]...\n"
    "             [--method mean|median|sigma|winsor] [--kappa K] [--align stars|none]\n"
    "             [--export-tiff16 OUT] LIGHT...\n"
    "  tarvex-cli solve FILE [--focal-length MM] [--ra HH:MM:SS --dec [-]DD:MM:SS]\n"
    "             [--radius DEG]\n"
    "INPUT is a KR File or FITS file, or 'ramp' for the start-up ramp.\n"
    "STEP is name or name:key=value,key=value (see 'tarvex-cli steps').\n"
    "--fits sets the FITS text record after INPUT is read; KEY is one of\n"
    "  object, observer, telescope, instrument, origin, date, time, filter,\n"
    "  history, comment, exposure, focal-length, aperture.\n"
    "--export-fits and --export-fits-float write a standard FITS file (16-bit\n"
    "  integers, or 32-bit floating point) that any FITS reader opens;\n"
    "  --export-tiff16 a 16-bit grey or 48-bit colour TIFF file.\n"
    "--simulator uses the simulated camera instead of the one on USB; --virtual-time\n"
    "  runs its clock virtually, so a long sequence finishes in seconds; --sky chart\n"
    "  shows it a colour chart instead of the night sky (--sky stars), --sky real the\n"
    "  catalogue stars where the simulated mount points (also chosen by point= and by\n"
    "  the mount's first go-to or sync, unless --sky is given);\n"
    "--sim-mount KEY=VALUE[,KEY=VALUE...] (with --simulator, before or after the\n"
    "  command) sets up the simulated mount for the run: point=M31 (a Messier or\n"
    "  NGC name) or point=HH:MM:SS/+DD:MM:SS (J2000) points it there at the start,\n"
    "  focal-length=MM or scale=ARCSEC (per pixel along x) sets the image scale\n"
    "  (one of the two), pointing-error=ARCMIN how far the sky seen lies from where\n"
    "  the mount believes it points (default 5); preset=realistic adds periodic\n"
    "  error, seeing, drift and backlash (preset=linear, the default, drifts\n"
    "  steadily), and pe=ARCSEC, pe-phase=DEG, seeing=ARCSEC (FWHM),\n"
    "  drift=ARCSEC (a minute, in Dec), backlash=ARCSEC, stiction=ARCSEC,\n"
    "  clouds=SECONDS and seed=N set each disturbance in either preset;\n"
    "--exposure is in milliseconds (default 100).\n"
    "capture takes an exposure or a sequence as the camera dialog's settings of the\n"
    "  same names say (for this run only): --range and --value give the exposure\n"
    "  (thousandths, hundredths, tenths, seconds or minutes; default 1 s), --count\n"
    "  up to 20 exposures registered on a star and summed (--star X,Y: the star,\n"
    "  found near there; --average: averaged; --alt-slew: registered on\n"
    "  brightness profiles instead), --continuous repeats with\n"
    "  --delay minutes between, --countdown waits ten seconds first, --auto-dark\n"
    "  subtracts the dark frame (--dark FILE, default dark.def in the data folder),\n"
    "  --colour converts to colour, --autosave saves each result as the next FITS\n"
    "  file of the series, --beep beeps after each exposure. Ctrl-C stops the run.\n"
    "  --self-guide guides the exposures on the star (--star X,Y, else the brightest\n"
    "  one found) with guide frames of --guide-range/--guide-value (default 1 s) and\n"
    "  prints a guiding line per exposure; --half-time reads the first field at half\n"
    "  time; --dither PX (with --autosave) moves the guide star by a random offset\n"
    "  of up to PX pixels between exposures and starts the next one once guiding\n"
    "  has settled (guide.dither-axes and guide.settle-* in the settings).\n"
    "  --continuous takes single exposures: it does not go with --count;\n"
    "  --frames N ends it after N exposures. --live-stack OUT (with --continuous)\n"
    "  registers each exposure on its stars onto the first and adds it to a stack\n"
    "  with outlier rejection, saved to OUT (FITS, 32-bit floating point) every\n"
    "  --save-every frames (default 10) and when the run ends; trailed frames are\n"
    "  refused and counted.\n"
    "focus runs the focus mode on the 128 x 128 focus window (centred near --centre,\n"
    "  else where the camera dialog keeps it) for --frames frames (default 10) and\n"
    "  prints one line per frame: its peak and the star's full width at half maximum.\n"
    "train measures the mount's guide rates and backlash and saves them; guide holds\n"
    "  the star (--star X,Y, else the brightest one found) for M minutes (default 1),\n"
    "  a line per correction and the RMS of both axes at the end (also in arcseconds\n"
    "  when the focal length is given); guide frames of --guide-range/--guide-value\n"
    "  (default 1 s). Ctrl-C ends guiding after the current frame. --unguided sends\n"
    "  no corrections and prints the star's measured position in every frame.\n"
    "  guide --benchmark scores the guide algorithms (classic, reference,\n"
    "  predictive) on its own simulated camera and mount for M minutes (default 30)\n"
    "  in each scenario (seeing, pe, drift-backlash, cloud; --scenario picks one).\n"
    "scope drives the mount over the Com Port: --simulator talks to the simulated\n"
    "  mount on a pseudo-terminal instead, --virtual-time runs it on a virtual clock\n"
    "  (waits take no time); --port and --link override the settings for this run\n"
    "  only. --indi and --device drive the mount NAME that the INDI server at\n"
    "  HOST:PORT serves instead, for this run only (scope, capture, train, guide).\n"
    "  Messier 1..110, NGC 1..7815; planets mercury, venus, mars, jupiter,\n"
    "  saturn, uranus, neptune, pluto; R.A. 00:00..23:59, Dec -89:59..+89:59; MS in\n"
    "  milliseconds.\n"
    "solve finds where FILE points with astrometry.net's solve-field (astrometry.net\n"
    "  and its astrometry-data-tycho2-08 and -09 index packages): the focal length\n"
    "  and the hint (J2000) from the options, else from the file's header; the hint\n"
    "  is searched within --radius degrees (default 5), then the whole sky. It prints\n"
    "  one line, 'solved RA ... (J2000)' or 'not solved: REASON' (exit 1), and adds\n"
    "  the world coordinate cards to a standard FITS file's header, or writes a\n"
    "  standard copy NAME-wcs.fits beside a file of the program's own layout.\n"
    "  Ctrl-C stops the solve.\n"
    "  solve-sync takes an exposure (--range/--value, default 1 s), solves it and\n"
    "  syncs the mount to it; centre goes to the target (goto: J2000), then takes,\n"
    "  solves and syncs exposures and goes to the target again until the solved\n"
    "  centre is within --tolerance (default 30 arcseconds) or --tries (default 3)\n"
    "  have failed: a line per try, then 'centred within ...' (exit 0) or\n"
    "  'not centred: REASON' (exit 1).\n"
    "mount-sim serves the simulated mount on a pseudo-terminal for other programs:\n"
    "  it prints the path of its pseudo-terminal and serves it until interrupted.\n";

bool parse_number(const std::string& text, long lo, long hi, long& value) {
  // Plain decimal digits, with a '-' where the range takes one.
  const auto v = text.empty() || text[0] == '+' ? std::nullopt : parse_whole_number(text);
  if (!v || *v < lo || *v > hi) return false;
  value = *v;
  return true;
}

// "HH:MM" with two numbers; `allow_sign` takes a leading '+' or '-'.
bool parse_pair(std::string text, bool allow_sign, bool& negative, long& a, long& b) {
  negative = false;
  if (allow_sign && !text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  return parse_number(text.substr(0, colon), 0, 99, a) &&
         parse_number(text.substr(colon + 1), 0, 99, b);
}

// "HH:MM[:SS[.s]]" or "[+-]DD:MM[:SS[.s]]" as a number of hours or degrees.
bool parse_sexagesimal(std::string text, bool allow_sign, double max_units, double& value) {
  bool negative = false;
  if (allow_sign && !text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  std::vector<std::string> parts;
  for (std::size_t start = 0;;) {
    const std::size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 3) return false;
  long units = 0, minutes = 0;
  if (!parse_number(parts[0], 0, 99, units) || !parse_number(parts[1], 0, 59, minutes))
    return false;
  double seconds = 0;
  if (parts.size() == 3) {
    const std::string& sec = parts[2];
    if (sec.empty() || sec.size() > 6 || !std::isdigit(static_cast<unsigned char>(sec[0])) ||
        sec.find_first_not_of("0123456789.") != std::string::npos ||
        sec.find('.') != sec.rfind('.'))
      return false;
    seconds = std::stod(sec);
    if (seconds >= 60) return false;
  }
  const double v = units + minutes / 60.0 + seconds / 3600.0;
  if (v > max_units) return false;
  value = negative ? -v : v;
  return true;
}

bool parse_direction(const std::string& text, Direction& d) {
  return text.size() == 1 && direction_of_letter(text[0], d);
}

bool parse_rate(const std::string& r, MoveRate& rate) {
  static constexpr struct {
    const char* word;
    MoveRate rate;
  } kRates[] = {{"guide", MoveRate::Guide},
                {"centre", MoveRate::Centre},
                {"center", MoveRate::Centre},
                {"find", MoveRate::Find},
                {"slew", MoveRate::Slew}};
  for (const auto& k : kRates) {
    if (r == k.word) {
      rate = k.rate;
      return true;
    }
  }
  return false;
}

// stack --out OUT [--dark FILE]... [--flat FILE]... [--method M] [--kappa K]
// [--align stars|none] [--export-tiff16 OUT] LIGHT..., in any order; the
// data folder may also be given among them.
std::optional<int> parse_stack(const std::vector<std::string>& args, std::size_t from, Options& o,
                               std::ostream& err) {
  StackRequest& r = o.stack;
  auto refuse = [&](const std::string& what) { return usage_error(err, what); };
  bool out_given = false, method_given = false, kappa_given = false, align_given = false;
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto once = [&](bool& given) {
      const bool again = given;
      given = true;
      return !again;
    };
    if (a == "--out" || a == "--dark" || a == "--flat" || a == "--method" || a == "--kappa" ||
        a == "--align" || a == "--export-tiff16" || a == "--data-root") {
      const auto v = value();
      if (!v || v->empty()) return refuse(a + " needs a value");
      if (a == "--out") {
        if (!once(out_given)) return refuse("--out may be given only once");
        r.out = *v;
      } else if (a == "--dark") {
        r.darks.emplace_back(*v);
      } else if (a == "--flat") {
        r.flats.emplace_back(*v);
      } else if (a == "--method") {
        if (!once(method_given)) return refuse("--method may be given only once");
        const auto m = combine_method_named(*v);
        if (!m) return refuse("--method is mean, median, sigma or winsor, not " + *v);
        r.combine.method = *m;
      } else if (a == "--kappa") {
        if (!once(kappa_given)) return refuse("--kappa may be given only once");
        double k = 0;
        const auto res = std::from_chars(v->data(), v->data() + v->size(), k);
        if (res.ec != std::errc() || res.ptr != v->data() + v->size() || !(k > 0) || k > 100)
          return refuse("--kappa needs a number above 0, not " + *v);
        r.combine.kappa_low = r.combine.kappa_high = static_cast<float>(k);
      } else if (a == "--align") {
        if (!once(align_given)) return refuse("--align may be given only once");
        if (*v != "stars" && *v != "none") return refuse("--align is stars or none, not " + *v);
        r.align = *v == "stars";
      } else if (a == "--export-tiff16") {
        if (r.tiff16) return refuse("--export-tiff16 may be given only once");
        r.tiff16 = *v;
      } else {
        if (o.data_root) return refuse("--data-root may be given only once");
        o.data_root = *v;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return refuse("unknown stack option " + a);
    } else {
      r.lights.emplace_back(a);
    }
  }
  if (!out_given) return refuse("stack needs --out OUT");
  if (r.lights.empty()) return refuse("stack needs at least one LIGHT file");
  return std::nullopt;
}

// solve FILE [--focal-length MM] [--ra HH:MM:SS --dec [-]DD:MM:SS]
// [--radius DEG], in any order; the data folder may also be given.
std::optional<int> parse_solve(const std::vector<std::string>& args, std::size_t from, Options& o,
                               std::ostream& out, std::ostream& err) {
  SolveOptions& s = o.solve;
  std::optional<double> ra, dec;
  auto positive = [](const std::string& text, double most) -> std::optional<double> {
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !(v > 0) || v > most)
      return std::nullopt;
    return v;
  };
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      out << kUsage;
      return 0;
    }
    if (a == "--focal-length" || a == "--ra" || a == "--dec" || a == "--radius" ||
        a == "--data-root") {
      if (i + 1 >= args.size()) return usage_error(err, a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--focal-length") {
        if (s.focal_length_mm) return usage_error(err, a + " may be given only once");
        s.focal_length_mm = positive(v, 100000);
        if (!s.focal_length_mm)
          return usage_error(err, "--focal-length needs millimetres above 0, not " + v);
      } else if (a == "--ra") {
        if (ra) return usage_error(err, a + " may be given only once");
        ra = parse_ra_hours(v);
        if (!ra) return usage_error(err, "--ra needs HH:MM:SS from 00:00:00 to 23:59:59, not " + v);
      } else if (a == "--dec") {
        if (dec) return usage_error(err, a + " may be given only once");
        dec = parse_dec_degrees(v);
        if (!dec)
          return usage_error(err, "--dec needs [-]DD:MM:SS from -90:00:00 to +90:00:00, not " + v);
      } else if (a == "--radius") {
        if (s.radius_degrees) return usage_error(err, a + " may be given only once");
        s.radius_degrees = positive(v, 180);
        if (!s.radius_degrees)
          return usage_error(err, "--radius needs degrees above 0 up to 180, not " + v);
      } else {
        if (o.data_root) return usage_error(err, "--data-root may be given only once");
        o.data_root = v;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return usage_error(err, "solve does not take " + a);
    } else if (o.input.empty()) {
      o.input = a;
    } else {
      return usage_error(err, "unexpected argument " + a);
    }
  }
  if (o.input.empty()) return usage_error(err, "solve needs a FILE");
  if (ra.has_value() != dec.has_value()) return usage_error(err, "--ra and --dec go together");
  if (ra) s.hint = SkyPosition{*ra, *dec};
  if (s.radius_degrees && !s.hint) return usage_error(err, "--radius goes with --ra and --dec");
  return std::nullopt;
}
enum class OptionRead { NotCapture, Read, Bad };
OptionRead read_capture_option(const std::string& flag,
                               const std::function<std::optional<std::string>()>& next_value,
                               CaptureOptions& c, std::string& error);

// The words of one scope subcommand (its options taken out).
std::optional<int> read_scope_words(const std::vector<std::string>& words, ScopeOptions& c,
                                    std::ostream& err) {
  auto count = [&](std::size_t n) { return words.size() == n; };
  if (c.name == "goto-messier" || c.name == "goto-ngc") {
    const bool messier = c.name == "goto-messier";
    if (!count(1) || !parse_number(words[0], -99999, 99999, c.number) ||
        !(messier ? messier_in_range(static_cast<int>(c.number))
                  : ngc_in_range(static_cast<int>(c.number))))
      return usage_error(err, messier ? "goto-messier needs a Messier number 1..110"
                                      : "goto-ngc needs an NGC number 1..7815");
  } else if (c.name == "goto-planet") {
    if (!count(1) || planet_number(words[0]) == 0)
      return usage_error(err,
                         "goto-planet needs mercury, venus, mars, jupiter, saturn, uranus, "
                         "neptune or pluto");
    c.number = planet_number(words[0]);
  } else if (c.name == "goto") {
    bool ra_negative = false;
    long h = 0, m = 0, d = 0, dm = 0;
    if (!count(2) || !parse_pair(words[0], false, ra_negative, h, m) ||
        !parse_pair(words[1], true, c.target.dec_negative, d, dm))
      return usage_error(err, "goto needs HH:MM [-]DD:MM");
    c.target.ra_hours = static_cast<int>(h);
    c.target.ra_minutes = static_cast<int>(m);
    c.target.dec_degrees = static_cast<int>(d);
    c.target.dec_minutes = static_cast<int>(dm);
    if (!coordinates_in_range(c.target))
      return usage_error(err,
                         "coordinates out of range: R.A. 00:00 to 23:59, Dec -89:59 to +89:59");
  } else if (c.name == "move" || c.name == "pulse") {
    if (!count(2) || !parse_direction(words[0], c.direction) ||
        !parse_number(words[1], 0, 600000, c.number))
      return usage_error(err, c.name + " needs n, s, e or w and milliseconds 0..600000");
    c.word = words[0];
  } else if (c.name == "focus") {
    if (!count(2) || (words[0] != "in" && words[0] != "out") ||
        !parse_number(words[1], 0, 600000, c.number))
      return usage_error(err, "focus needs in or out and milliseconds 0..600000");
    c.inward = words[0] == "in";
  } else if (c.name == "centre") {
    const std::string how = words.empty() ? std::string() : words[0];
    c.centre_goto = how;
    if (how == "goto-messier" || how == "goto-ngc") {
      ScopeOptions inner;
      inner.name = how;
      if (const auto refused = read_scope_words({words.begin() + 1, words.end()}, inner, err))
        return refused;
      c.number = inner.number;
    } else if (how == "goto") {
      SkyPosition& p = c.centre_position;
      if (!count(3) || !parse_sexagesimal(words[1], false, 24, p.ra_hours) || p.ra_hours >= 24 ||
          !parse_sexagesimal(words[2], true, 90, p.dec_degrees))
        return usage_error(err, "centre goto needs HH:MM[:SS] [-]DD:MM[:SS] (J2000)");
    } else {
      return usage_error(err,
                         "centre needs goto-messier N, goto-ngc N or goto HH:MM[:SS] "
                         "[-]DD:MM[:SS]");
    }
  } else if (c.name == "solve-sync" || c.name == "info" || c.name == "reset-box") {
    if (!count(0)) return usage_error(err, c.name + " takes no arguments");
  } else {
    return usage_error(err, "unknown scope subcommand " + c.name);
  }
  return std::nullopt;
}

// --indi HOST:PORT or --device NAME at args[i], its value read too.
std::optional<int> read_indi_option(const std::vector<std::string>& args, std::size_t& i,
                                    Options& o, std::ostream& err) {
  const std::string flag = args[i];
  if (i + 1 >= args.size() || args[i + 1].empty())
    return usage_error(err, flag == "--indi" ? "--indi needs HOST:PORT" : "--device needs a name");
  const std::string& v = args[++i];
  if (!o.indi) o.indi = IndiMountChoice{"", ""};
  if (flag == "--indi") {
    std::string host;
    int port = 0;
    if (!o.indi->server.empty()) return usage_error(err, "--indi may be given only once");
    if (!parse_indi_server(v, host, port))
      return usage_error(err, "--indi needs HOST:PORT (port 1..65535), not " + v);
    o.indi->server = v;
  } else {
    if (!o.indi->device.empty()) return usage_error(err, "--device may be given only once");
    o.indi->device = v;
  }
  return std::nullopt;
}

// scope [--port N] [--link l|b|n] SUBCOMMAND WORDS [--rate R] [--fast]
std::optional<int> parse_scope(const std::vector<std::string>& args, std::size_t i, ScopeOptions& c,
                               Options& o, std::ostream& out, std::ostream& err) {
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    long v = 0;
    if (args[i] == "--indi" || args[i] == "--device") {
      if (const auto bad = read_indi_option(args, i, o, err)) return bad;
    } else if (args[i] == "--port") {
      if (i + 1 >= args.size() || !parse_number(args[++i], 1, 5, v))
        return usage_error(err, "--port needs a Com Port number 1..5");
      c.port = static_cast<int>(v);
    } else if (args[i] == "--link") {
      const auto link = i + 1 < args.size() && args[i + 1].size() == 1
                            ? link_type_from_letter(args[i + 1][0])
                            : std::nullopt;
      if (!link) return usage_error(err, "--link needs l (LX200), b (control box) or n (none)");
      c.link = link;
      ++i;
    } else if (args[i] == "--help") {
      out << kUsage;
      return 0;
    } else {
      return usage_error(err, "scope does not take " + args[i]);
    }
  }
  if (i >= args.size()) return usage_error(err, "scope needs a subcommand");
  c.name = args[i++];
  std::vector<std::string> words;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--rate" && c.name == "move") {
      if (i + 1 >= args.size()) return usage_error(err, "--rate needs guide, centre, find or slew");
      MoveRate rate = MoveRate::Guide;
      if (!parse_rate(args[++i], rate))
        return usage_error(err, "--rate needs guide, centre, find or slew, not " + args[i]);
      c.rate = rate;
    } else if (a == "--fast" && c.name == "focus") {
      c.fast = true;
    } else if (a == "--tolerance" && c.name == "centre") {
      long v = 0;
      if (i + 1 >= args.size() || !parse_number(args[++i], 1, 3600, v))
        return usage_error(err, "--tolerance needs arcseconds 1..3600");
      c.tolerance_arcsec = static_cast<double>(v);
    } else if (a == "--tries" && c.name == "centre") {
      long v = 0;
      if (i + 1 >= args.size() || !parse_number(args[++i], 1, 20, v))
        return usage_error(err, "--tries needs a number 1..20");
      c.tries = static_cast<int>(v);
    } else if ((a == "--range" || a == "--value") &&
               (c.name == "centre" || c.name == "solve-sync")) {
      std::string why;
      const OptionRead r = read_capture_option(
          a,
          [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
          },
          c.exposure, why);
      if (r == OptionRead::Bad) return usage_error(err, why);
    } else if (a.rfind("--", 0) == 0) {
      return usage_error(err, c.name + " does not take " + a);
    } else {
      // A leading '-' here is the sign of a declination, not an option.
      words.push_back(a);
    }
  }
  return read_scope_words(words, c, err);
}

// mount-sim [--silent | --garbage] [--reply-delay MS] [--for MS]
std::optional<int> parse_mount_sim(const std::vector<std::string>& args, std::size_t i,
                                   MountSimOptions& m, std::ostream& out, std::ostream& err) {
  for (; i < args.size(); ++i) {
    if (args[i] == "--silent") {
      m.behaviour = MountBehaviour::Silent;
    } else if (args[i] == "--garbage") {
      m.behaviour = MountBehaviour::Garbage;
    } else if (args[i] == "--reply-delay" && i + 1 < args.size()) {
      if (!parse_number(args[++i], 0, 60000, m.reply_delay_ms))
        return usage_error(err, "--reply-delay needs milliseconds 0..60000");
    } else if (args[i] == "--for" && i + 1 < args.size()) {
      if (!parse_number(args[++i], 1, 86400000, m.run_for_ms))
        return usage_error(err, "--for needs milliseconds");
    } else if (args[i] == "--help") {
      out << kUsage;
      return 0;
    } else {
      return usage_error(err, "mount-sim does not take " + args[i]);
    }
  }
  return std::nullopt;
}

std::optional<int> whole_number(const std::string& text) {
  const auto v = parse_whole_number(text);
  if (!v || *v < -1000000 || *v > 1000000) return std::nullopt;
  return static_cast<int>(*v);
}

// Reads one capture option `flag`, taking its value from `next_value` (empty
// when the command line has none left). Bad sets `error`.
OptionRead read_capture_option(const std::string& flag,
                               const std::function<std::optional<std::string>()>& next_value,
                               CaptureOptions& c, std::string& error) {
  auto flag_only = [&](bool& field) {
    field = true;
    c.given.push_back(flag);
    return OptionRead::Read;
  };
  if (flag == "--average") return flag_only(c.average);
  if (flag == "--alt-slew") return flag_only(c.alternative_slew);
  if (flag == "--continuous") return flag_only(c.continuous);
  if (flag == "--countdown") return flag_only(c.countdown);
  if (flag == "--auto-dark") return flag_only(c.auto_dark);
  if (flag == "--colour") return flag_only(c.colour);
  if (flag == "--autosave") return flag_only(c.autosave);
  if (flag == "--beep") return flag_only(c.beep);
  if (flag == "--self-guide") return flag_only(c.self_guide);
  if (flag == "--half-time") return flag_only(c.half_time);
  if (flag == "--benchmark") return flag_only(c.benchmark);
  if (flag == "--unguided") return flag_only(c.unguided);
  const bool takes_value = flag == "--range" || flag == "--value" || flag == "--mode" ||
                           flag == "--count" || flag == "--delay" || flag == "--dark" ||
                           flag == "--star" || flag == "--guide-range" || flag == "--guide-value" ||
                           flag == "--minutes" || flag == "--frames" || flag == "--centre" ||
                           flag == "--live-stack" || flag == "--save-every" ||
                           flag == "--scenario" || flag == "--dither";
  if (!takes_value) return OptionRead::NotCapture;
  c.given.push_back(flag);
  const std::optional<std::string> v = next_value();
  if (!v) {
    error = flag + " needs a value";
    return OptionRead::Bad;
  }
  if (flag == "--range") {
    const auto range = v->size() == 1 ? exposure_range_from_letter((*v)[0]) : std::nullopt;
    if (!range) {
      error = "--range takes q, h, t, s or m, not " + *v;
      return OptionRead::Bad;
    }
    c.range = range;
  } else if (flag == "--mode") {
    if (*v == "fast") {
      c.mode = ExposureMode::Fast;
    } else if (*v == "progressive") {
      c.mode = ExposureMode::Progressive;
    } else if (*v == "interlaced") {
      c.mode = ExposureMode::Interlaced;
    } else {
      error = "--mode takes fast, progressive or interlaced, not " + *v;
      return OptionRead::Bad;
    }
  } else if (flag == "--star" || flag == "--centre") {
    const auto comma = v->find(',');
    const auto x = comma == std::string::npos ? std::nullopt : whole_number(v->substr(0, comma));
    const auto y = comma == std::string::npos ? std::nullopt : whole_number(v->substr(comma + 1));
    if (!x || !y || *x < 0 || *x >= FRAME_WIDTH || *y < 0 || *y >= FRAME_HEIGHT) {
      error = flag + " takes X,Y inside the frame (0..751, 0..579), not " + *v;
      return OptionRead::Bad;
    }
    (flag == "--star" ? c.star : c.centre) = std::make_pair(*x, *y);
  } else if (flag == "--guide-range") {
    const auto range = v->size() == 1 ? exposure_range_from_letter((*v)[0]) : std::nullopt;
    if (!range || range == ExposureRange::Minutes) {
      error = "--guide-range takes q, h, t or s, not " + *v;
      return OptionRead::Bad;
    }
    c.guide_range = range;
  } else if (flag == "--guide-value" || flag == "--minutes" || flag == "--frames" ||
             flag == "--save-every") {
    const std::optional<int> n = whole_number(*v);
    if (!n || *n < 1 || *n > 999) {
      error = flag + " takes a whole number from 1 to 999, not " + *v;
      return OptionRead::Bad;
    }
    (flag == "--minutes"      ? c.minutes
     : flag == "--frames"     ? c.frames
     : flag == "--save-every" ? c.save_every
                              : c.guide_value) = *n;
  } else if (flag == "--live-stack") {
    if (v->empty()) {
      error = "--live-stack needs a file name";
      return OptionRead::Bad;
    }
    c.live_stack = *v;
  } else if (flag == "--scenario") {
    c.scenario = *v;
  } else if (flag == "--dither") {
    char* end = nullptr;
    const double px = std::strtod(v->c_str(), &end);
    if (v->empty() || end != v->c_str() + v->size() || !(px >= 0.1 && px <= 20)) {
      error = "--dither takes pixels from 0.1 to 20, not " + *v;
      return OptionRead::Bad;
    }
    c.dither = px;
  } else if (flag == "--dark") {
    if (v->empty()) {
      error = "--dark needs a file name";
      return OptionRead::Bad;
    }
    c.dark = *v;
  } else {
    const std::optional<int> n = whole_number(*v);
    if (flag == "--value") {
      if (!n || *n < 1) {
        error = "--value takes a whole number of range units from 1, not " + *v;
        return OptionRead::Bad;
      }
      c.value = *n;
    } else if (flag == "--count") {
      if (!n || *n < 1 || *n > MAX_EXPOSURE_COUNT) {
        error = "--count takes 1 to 20 exposures, not " + *v;
        return OptionRead::Bad;
      }
      c.count = *n;
    } else {
      if (!n || *n < 0 || *n > MAX_DELAY_MINUTES) {
        error = "--delay takes 0 to 20 minutes, not " + *v;
        return OptionRead::Bad;
      }
      c.delay_minutes = *n;
    }
  }
  return OptionRead::Read;
}

// Parses "YYYY-MM-DD HH:MM:SS" as a local calendar time.
std::optional<std::tm> parse_time(const std::string& text) {
  std::tm t{};
  int y, mo, d, h, mi, s;
  char tail;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
    return std::nullopt;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 ||
      s > 60 || y < 1 || y > 9999) {
    return std::nullopt;
  }
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  return t;
}

// Reads the arguments into `o`: the options anywhere around the subcommand
// and its INPUT; the words after scope and mount-sim are theirs. Returns an
// exit status when the run ends here (a refusal, or --help).
std::optional<int> parse_words(const std::vector<std::string>& args, Options& o, std::ostream& out,
                               std::ostream& err) {
  std::size_t i = 0;
  auto need_value = [&](std::string& value) {
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
  };
  // An option that names one file or value may be given once: a second one
  // would silently replace the first.
  auto given_twice = [&](const std::string& option, bool already) {
    return already ? std::optional<int>(usage_error(err, option + " may be given only once"))
                   : std::nullopt;
  };
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string v;
    if (!a.empty() && a[0] == '-') o.given.push_back(a);
    if (a == "--data-root") {
      if (const auto twice = given_twice(a, o.data_root.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--data-root needs a folder");
      o.data_root = v;
    } else if (a == "--do") {
      if (!need_value(v)) return usage_error(err, "--do needs a step");
      o.steps.push_back(v);
    } else if (a == "--save-raw") {
      if (const auto twice = given_twice(a, o.save_raw.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--save-raw needs a file name");
      o.save_raw = v;
    } else if (a == "--save-flat") {
      if (const auto twice = given_twice(a, o.save_flat.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--save-flat needs a file name");
      o.save_flat = v;
    } else if (a == "--save-tiff") {
      if (const auto twice = given_twice(a, o.save_tiff.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--save-tiff needs a file name");
      o.save_tiff = v;
    } else if (a == "--now") {
      if (const auto twice = given_twice(a, o.now.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--now needs a time");
      o.now = parse_time(v);
      if (!o.now) return usage_error(err, "--now needs \"YYYY-MM-DD HH:MM:SS\", not '" + v + "'");
    } else if (a == "--bitmap") {
      if (const auto twice = given_twice(a, o.bitmap.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--bitmap needs a file name");
      o.bitmap = v;
    } else if (a == "--simulator") {
      o.simulator = true;
    } else if (a == "--sky") {
      if (!need_value(v) || !parse_sky_scene(v, o.sky))
        return usage_error(err, "--sky needs stars, chart or real");
      o.sky_given = true;
    } else if (a == "--sim-mount") {
      if (!need_value(v)) return usage_error(err, "--sim-mount needs KEY=VALUE[,KEY=VALUE...]");
      std::string why;
      if (!parse_sim_mount_options(v, o.sim_mount, why)) return usage_error(err, why);
      o.sim_mount_given = true;
    } else if (a == "--virtual-time") {
      o.virtual_time = true;
    } else if (a == "--exposure") {
      if (const auto twice = given_twice(a, o.exposure_ms.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--exposure needs milliseconds");
      const auto ms = parse_whole_number(v);
      if (!ms || *ms < 1 || *ms > 65535)
        return usage_error(err, "--exposure needs milliseconds from 1 to 65535, not " + v);
      o.exposure_ms = *ms;
    } else if (a == "--save-fits") {
      if (const auto twice = given_twice(a, o.save_fits.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--save-fits needs a file name");
      o.save_fits = v;
    } else if (a == "--export-fits") {
      if (!need_value(v)) return usage_error(err, "--export-fits needs a file name");
      o.export_fits = v;
    } else if (a == "--export-fits-float") {
      if (!need_value(v)) return usage_error(err, "--export-fits-float needs a file name");
      o.export_fits_float = v;
    } else if (a == "--export-tiff16") {
      if (!need_value(v)) return usage_error(err, "--export-tiff16 needs a file name");
      o.export_tiff16 = v;
    } else if (a == "--indi" || a == "--device") {
      if (const auto bad = read_indi_option(args, i, o, err)) return bad;
    } else if (a == "--fits-unsigned") {
      o.fits_unsigned = true;
    } else if (a == "--fits") {
      if (!need_value(v)) return usage_error(err, "--fits needs KEY=VALUE");
      o.fits_keys.push_back(v);
    } else if (const OptionRead r = read_capture_option(
                   a,
                   [&]() -> std::optional<std::string> {
                     if (i + 1 >= args.size()) return std::nullopt;
                     return args[++i];
                   },
                   o.capture, v);
               r != OptionRead::NotCapture) {
      if (r == OptionRead::Bad) return usage_error(err, v);
    } else if (a == "--help" || a == "-h") {
      out << kUsage;
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      return usage_error(err, "unknown option " + a);
    } else if (o.command.empty()) {
      o.command = a;
      if (a == "scope") return parse_scope(args, i + 1, o.scope, o, out, err);
      if (a == "mount-sim") return parse_mount_sim(args, i + 1, o.mount_sim, out, err);
      if (a == "stack") return parse_stack(args, i + 1, o, err);
      if (a == "solve") {
        if (const auto status = parse_solve(args, i + 1, o, out, err)) return status;
        break;
      }
    } else if (o.input.empty()) {
      o.input = a;
    } else {
      return usage_error(err, "unexpected argument " + a);
    }
  }
  return std::nullopt;
}

// The subcommands. Those that check --exposure themselves say so; every
// other one (and a missing or unknown command) refuses it first. Capture
// options go to the exposure and guiding commands only; scope and mount-sim
// take no option before their name but the data folder and the simulator's.
struct SubcommandEntry {
  const char* name;
  Subcommand run;
  bool checks_exposure;
  bool takes_capture_options;
  bool drives_mount_only;
};

constexpr SubcommandEntry kSubcommands[] = {
    {"process", process_command, false, false, false},
    {"info", info_command, false, false, false},
    {"steps", steps_command, true, false, false},  // lists the steps whatever else was given
    {"camera-info", camera_info_command, true, false, false},
    {"read-field", read_field_command, true, false, false},
    {"focus-frame", focus_frame_command, true, false, false},
    {"capture", capture_command, true, true, false},
    {"train", train_command, false, true, false},
    {"guide", guide_command, false, true, false},
    {"focus", focus_command, false, true, false},
    {"scope", scope_command, false, false, true},
    {"mount-sim", mount_sim_command, false, false, true},
    {"stack", stack_command, false, false, true},
    {"solve", solve_command, false, false, true},
};

const SubcommandEntry* find_subcommand(const std::string& name) {
  for (const auto& s : kSubcommands)
    if (name == s.name) return &s;
  return nullptr;
}

// What the words were read into, checked against the subcommand.
std::optional<int> check_options(const Options& o, std::ostream& err) {
  const SubcommandEntry* s = find_subcommand(o.command);
  if (o.indi) {
    if (o.indi->server.empty() || o.indi->device.empty())
      return usage_error(err, "--indi HOST:PORT and --device NAME go together");
    if (o.command != "scope" && o.command != "capture" && o.command != "train" &&
        o.command != "guide")
      return usage_error(err, "--indi belongs to scope, capture, train and guide");
    if (o.scope.link) return usage_error(err, "--link and --indi each name the mount: give one");
  }
  if (s != nullptr && s->drives_mount_only) {
    for (const std::string& flag : o.given) {
      if (flag != "--data-root" && flag != "--simulator" && flag != "--virtual-time" &&
          !(flag == "--sim-mount" && o.command != "stack") &&
          !(o.command == "scope" && (flag == "--indi" || flag == "--device")))
        return usage_error(err, o.command + " does not take " + flag);
    }
    if (o.sim_mount_given && !o.simulator)
      return usage_error(err, "--sim-mount sets up the simulated mount: add --simulator");
    if (o.command == "mount-sim" && o.virtual_time)
      return usage_error(err, "mount-sim serves other programs in real time");
    return std::nullopt;
  }
  if (o.exposure_ms && !(s && s->checks_exposure))
    return usage_error(err, "--exposure belongs to read-field and focus-frame");
  if (!o.capture.given.empty() && !(s && s->takes_capture_options))
    return usage_error(err, o.capture.given.front() + " belongs to capture");
  if (o.sky_given && !o.simulator)
    return usage_error(err, "--sky chooses what the simulated camera sees: add --simulator");
  if (o.virtual_time && !o.simulator)
    return usage_error(err, "--virtual-time runs the simulated camera's clock: add --simulator");
  if (o.sim_mount_given && !o.simulator)
    return usage_error(err, "--sim-mount sets up the simulated mount: add --simulator");
  if (s == nullptr)
    return usage_error(err,
                       o.command.empty() ? "no command given" : "unknown command " + o.command);
  // The focus window is read in the guide frame's ranges.
  if (o.command == "focus" && o.capture.range == ExposureRange::Minutes)
    return usage_error(err, "focus takes the ranges q, h, t or s");
  return std::nullopt;
}

}  // namespace

int usage_error(std::ostream& err, const std::string& what) {
  err << "tarvex-cli: " << what << "\nsee tarvex-cli --help\n";
  return 2;
}

std::optional<int> parse_command_line(const std::vector<std::string>& args, Options& o,
                                      std::ostream& out, std::ostream& err) {
  if (const auto status = parse_words(args, o, out, err)) return status;
  return check_options(o, err);
}

Subcommand subcommand_of(const Options& o) {
  const SubcommandEntry* s = find_subcommand(o.command);
  return s != nullptr ? s->run : nullptr;
}

void apply_capture_options(const CaptureOptions& o, AcquisitionSettings& a) {
  if (o.range) {
    a.range = *o.range;
    a.value = default_exposure_value(*o.range);
  }
  if (o.value) a.value = *o.value;
  if (o.mode) a.mode = *o.mode;
  if (o.count) a.count = *o.count;
  if (o.delay_minutes) a.delay_minutes = *o.delay_minutes;
  a.average = o.average;
  a.alternative_slew = o.alternative_slew;
  a.continuous = o.continuous;
  a.delay_before = o.countdown;
  a.auto_dark = o.auto_dark;
  a.auto_colour = o.colour;
  a.auto_save = o.autosave;
  if (o.beep) a.beep_after_exposure = true;
  if (o.guide_range) a.guide_range = *o.guide_range;
  if (o.guide_value) a.guide_value = *o.guide_value;
  if (o.self_guide) a.self_guide_next = true;
  if (o.half_time) a.half_time_download = true;
  if (o.dither) {
    a.dither = true;
    a.dither_pixels = *o.dither;
  }
  // A continuous run with --frames ends after that many single exposures.
  if (o.continuous && o.frames) a.count = *o.frames;
}

std::optional<LinkType> guiding_link_override(const Options& o, LinkType settings_link) {
  if (o.indi) return std::nullopt;
  if (o.simulator && settings_link == LinkType::None) return LinkType::Lx200;
  return std::nullopt;
}

}  // namespace tarvex::cli
