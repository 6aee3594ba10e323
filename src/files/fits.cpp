#include "files/fits.h"

namespace tarvex {

// The FITS reader is not built yet: every FITS file is reported as unreadable
// (message 13) and nothing is changed.
int load_fits(const std::filesystem::path&, bool, FrameStore&, FitsText&, ProcessingHistory&) {
  return 1;
}

int load_fits_second(const std::filesystem::path&, SecondPurpose, FrameStore&) { return 1; }

}  // namespace tarvex
