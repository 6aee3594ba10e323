// FITS on the command line: the quick-save step, --fits KEY=VALUE and the
// FITS text record that info prints.
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <utility>
#include <vector>

#include "app/fits_commands.h"
#include "app/fits_details_model.h"
#include "cli/fits_keys.h"
#include "cli/steps.h"
#include "files/fits.h"

namespace tarvex::cli {

namespace {

struct TextKey {
  const char* key;
  std::string FitsText::*field;
  std::size_t max;
};

const std::vector<TextKey>& text_keys() {
  static const std::vector<TextKey> keys = {
      {"object", &FitsText::fits_object, FITS_TEXT_MAX},
      {"observer", &FitsText::fits_observer, FITS_TEXT_MAX},
      {"telescope", &FitsText::fits_telescope, FITS_TEXT_MAX},
      {"instrument", &FitsText::fits_instrument, FITS_TEXT_MAX},
      {"origin", &FitsText::fits_origin, FITS_TEXT_MAX},
      {"date", &FitsText::fits_date, FITS_DATE_MAX},
      {"time", &FitsText::fits_time, FITS_TIME_MAX},
      {"filter", &FitsText::fits_filter, FITS_TEXT_MAX},
      {"history", &FitsText::fits_history, FITS_LONG_TEXT_MAX},
      {"comment", &FitsText::fits_comment, FITS_LONG_TEXT_MAX},
  };
  return keys;
}

struct NumberKey {
  const char* key;
  double FitsText::*field;
};

const std::vector<NumberKey>& number_keys() {
  static const std::vector<NumberKey> keys = {
      {"exposure", &FitsText::fits_exposure},
      {"focal-length", &FitsText::fits_focal_length},
      {"aperture", &FitsText::fits_aperture},
  };
  return keys;
}

StepResult quick_save_step(Tarvex& app, const StepKeys& keys) {
  StepResult r;
  if (!only_keys(keys, {"start", "exposure-ms"}, r.error)) return {STEP_USAGE, r.error, {}};
  // Without a start, the exposure starts at the wall time of the clock (the
  // time fixed with --now, for repeatable output).
  const auto start = int_key(keys, "start", 0, 253402300799L,
                             static_cast<long>(app.ports.clock.wall_time()), r.error);
  if (!start) return {STEP_USAGE, r.error, {}};
  const auto exposure = int_key(keys, "exposure-ms", 0, 86400000L, 0L, r.error);
  if (!exposure) return {STEP_USAGE, r.error, {}};
  if (checking_steps()) return StepResult{};
  std::filesystem::path written;
  if (!quick_save_fits_command(app, static_cast<std::time_t>(*start),
                               static_cast<std::uint32_t>(*exposure), &written)
           .ok()) {
    return {STEP_FAILED, {}, {}};
  }
  return {STEP_OK, {}, "saved FITS " + written.string()};
}

}  // namespace

bool set_fits_key(FitsText& fits, const std::string& key_value, std::string& error) {
  const auto eq = key_value.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "--fits needs KEY=VALUE, not '" + key_value + "'";
    return false;
  }
  const std::string key = key_value.substr(0, eq);
  const std::string value = key_value.substr(eq + 1);
  for (const auto& k : text_keys()) {
    if (key != k.key) continue;
    // A quote takes two characters of the card, where it is written doubled.
    if (card_text_length(value) > k.max) {
      error = "--fits " + key + " takes at most " + std::to_string(k.max) +
              " characters (a quote counts as two)";
      return false;
    }
    fits.*k.field = value;
    return true;
  }
  for (const auto& k : number_keys()) {
    if (key != k.key) continue;
    const auto v = parse_real_number(value);
    if (!v) {
      error = "--fits " + key + " needs a decimal number, not '" + value + "'";
      return false;
    }
    if (!fits_number_writable(*v)) {
      error = "--fits " + key + " is too large for a FITS card: " + value;
      return false;
    }
    fits.*k.field = *v;
    return true;
  }
  error = "unknown --fits key '" + key + "' (keys: " + FITS_KEYS + ")";
  return false;
}

void print_fits_text(std::ostream& out, const FitsText& fits, const ProcessingHistory& history) {
  // The texts come from the file: they are printed with every control
  // character escaped, so a header can neither forge an output line nor
  // send escape sequences to the terminal.
  for (const auto& k : text_keys()) {
    // The long texts come back from a file with the blank padding of their
    // cards; it is not printed.
    const std::string& text = fits.*k.field;
    out << "fits " << k.key << ": "
        << printable_text(text.substr(0, text.find_last_not_of(' ') + 1)) << "\n";
  }
  for (const auto& k : number_keys())
    out << "fits " << k.key << ": " << fits_number_text(fits.*k.field) << "\n";
  out << "fits pixel-width: " << fits_number_text(fits.fits_pixel_width) << "\n";
  out << "fits pixel-height: " << fits_number_text(fits.fits_pixel_height) << "\n";
  out << "fits unsigned: " << (fits.fits_unsigned ? "y" : "n") << "\n";
  for (int i = 0; i < HISTORY_LINES; ++i)
    if (!history.line(i).empty())
      out << "history " << i + 1 << ": " << printable_text(history.line(i)) << "\n";
}

void register_fits_steps(StepRegistry& registry) {
  registry.add(
      "quick-save",
      "File > Quick Save as FITS: the next numbered file in the autosave folder; "
      "start=SECONDS since 1970 (default now or --now), exposure-ms=N (default 0) give the UT "
      "of the middle of the exposure",
      quick_save_step);
}

}  // namespace tarvex::cli
