// Fuzz target: the LX200 coordinate texts, as the mount side of the link
// (the simulated mount) reads them from the program or from any LX200
// client. Input: a byte choosing right ascension or declination and the
// precision, then the text. A text that parses gives a value in range, and
// the value's own text parses back to it within the text's precision.
#include <cmath>
#include <string_view>

#include "fuzz_support.h"
#include "scope/lx200.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 64) return 0;
  const bool dec = (data[0] & 1) != 0;
  const bool high_precision = (data[0] & 2) != 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  double value = 0.0, back = 0.0;
  if (!dec) {
    if (!parse_lx200_ra(text, value)) return 0;
    fuzz::check(value >= 0.0 && value < 24.0, "a right ascension outside 0..24 hours");
    const std::string again = format_lx200_ra(value, high_precision);
    fuzz::check(parse_lx200_ra(again, back), "the program's own right ascension text refused");
    double diff = std::fabs(back - value);
    diff = std::min(diff, 24.0 - diff);  // 23:59:59.9 may round to 00:00:00
    fuzz::check(diff <= (high_precision ? 1.0 / 3600 : 0.1 / 60) + 1e-9,
                "a right ascension changed by more than its text's precision");
  } else {
    if (!parse_lx200_dec(text, value)) return 0;
    fuzz::check(value >= -90.0 && value <= 90.0, "a declination outside -90..90 degrees");
    const std::string again = format_lx200_dec(value, high_precision);
    fuzz::check(parse_lx200_dec(again, back), "the program's own declination text refused");
    fuzz::check(std::fabs(back - value) <= (high_precision ? 1.0 / 3600 : 1.0 / 60) + 1e-9,
                "a declination changed by more than its text's precision");
  }
  return 0;
}
