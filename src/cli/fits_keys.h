// The FITS text record on the tarvex-cli command line: --fits KEY=VALUE and
// the record as info prints it.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "files/fits_text.h"
#include "image/history.h"
#include "platform/printable_text.h"

namespace tarvex::cli {

// The keys --fits takes, in the order info prints them.
inline constexpr const char* FITS_KEYS =
    "object, observer, telescope, instrument, origin, date, time, filter, history, comment, "
    "exposure, focal-length, aperture";

// Sets one field of the record from "KEY=VALUE". False, with `error` set, for
// an unknown key, a text longer than the field keeps, or a value that is not
// a number where a number is needed.
bool set_fits_key(FitsText& fits, const std::string& key_value, std::string& error);

// The record, one "fits KEY: value" line per field, and the processing history
// lines a FITS file carried.
void print_fits_text(std::ostream& out, const FitsText& fits, const ProcessingHistory& history);

}  // namespace tarvex::cli
