#include "camera/exposure_range.h"

namespace tarvex {

namespace {
// The letters of the ranges, in the order of ExposureRange.
constexpr char kRangeLetters[] = {'q', 'h', 't', 's', 'm'};
}  // namespace

std::optional<ExposureRange> exposure_range_from_letter(char letter) {
  for (ExposureRange r : EXPOSURE_RANGES)
    if (kRangeLetters[static_cast<int>(r)] == letter) return r;
  return std::nullopt;
}

char exposure_range_to_letter(ExposureRange range) {
  return kRangeLetters[static_cast<int>(range)];
}

int short_exposure_ms(int value, ExposureRange range) {
  switch (range) {
    case ExposureRange::Thousandths: return value;
    case ExposureRange::Hundredths: return value * 10;
    case ExposureRange::Tenths: return value * 100;
    case ExposureRange::Seconds:
    case ExposureRange::Minutes: break;
  }
  return value * 1000;
}

}  // namespace tarvex
