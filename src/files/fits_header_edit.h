// Adding cards to the header of a standard FITS file in place: every card
// already there stays as it is, word for word, the new ones go before END,
// the header grows by a block only when its padding has no room left, and
// the data after the header is copied byte for byte. The file is replaced
// in one step, so a failure leaves it as it was.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvex {

enum class HeaderEdit {
  Done,
  Unreadable,   // missing, not a regular file, or cannot be read
  NotStandard,  // no SIMPLE card first, or no END within the file
  NotWritten,   // the new file could not be written (error says why)
};

struct HeaderEditResult {
  HeaderEdit result = HeaderEdit::Done;
  int error = 0;  // the system's error number of a file not written
};

// Adds `cards` (80 characters each, shorter ones padded with blanks) before
// the END card. Cards whose keyword is in `replacing` are taken out first, so
// that writing a newer solution does not leave the older one beside it.
HeaderEditResult add_fits_header_cards(const std::filesystem::path& path,
                                       const std::vector<std::string>& cards,
                                       const std::vector<std::string>& replacing = {});

// The cards of the primary header of a FITS file, END last; empty when the
// file cannot be read or has no END within its first 64 blocks.
std::vector<std::string> read_fits_header_cards(const std::filesystem::path& path);

}  // namespace tarvex
