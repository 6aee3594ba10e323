#include "app/acquisition.h"

namespace tarvex {

int sequence_exposure_ms(int value, ExposureRange range) {
  switch (range) {
    case ExposureRange::Thousandths: return value;
    case ExposureRange::Hundredths: return value * 10;
    case ExposureRange::Tenths: return value * 100;
    case ExposureRange::Minutes: return value * 60000;
    case ExposureRange::Seconds: break;
  }
  return value * 1000;
}

int guide_exposure_ms(int value, ExposureRange range) {
  return short_exposure_ms(value, range);
}

int exposure_value_maximum(ExposureRange range) {
  switch (range) {
    case ExposureRange::Thousandths:
    case ExposureRange::Hundredths: return 1000;
    case ExposureRange::Tenths: return 100;
    case ExposureRange::Minutes: return 90;
    case ExposureRange::Seconds: break;
  }
  return 300;
}

}  // namespace tarvex
