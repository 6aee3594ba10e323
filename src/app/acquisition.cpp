#include "app/acquisition.h"

namespace tarvex {

bool is_exposure_range(char range) {
  for (char r : EXPOSURE_RANGES)
    if (r == range) return true;
  return false;
}

int sequence_exposure_ms(int value, char range) {
  switch (range) {
    case 'q': return value;
    case 'h': return value * 10;
    case 't': return value * 100;
    case 'm': return value * 60000;
    default: return value * 1000;
  }
}

int guide_exposure_ms(int value, char range) {
  switch (range) {
    case 'q': return value;
    case 'h': return value * 10;
    case 't': return value * 100;
    default: return value * 1000;
  }
}

int exposure_value_maximum(char range) {
  switch (range) {
    case 'q':
    case 'h': return 1000;
    case 't': return 100;
    case 'm': return 90;
    default: return 300;
  }
}

}  // namespace tarvex
