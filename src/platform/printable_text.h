// Text from outside the program (a file's header, a mount's answer) as a
// terminal or a window may show it.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// Printable ASCII as it is, a backslash doubled, every other byte (control
// characters, escape sequences, bytes of other encodings or of none) as
// \xNN: such a text can neither forge an output line nor steer the
// terminal.
std::string printable_text(std::string_view text);

// True for printable ASCII, space to tilde.
inline bool is_printable_ascii(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x20 && u < 0x7F;
}

// For places that hold printable ASCII only (FITS headers): a byte that is
// not printable ASCII becomes '?', one byte for one.
inline char printable_or_question(char c) {
  return is_printable_ascii(c) ? c : '?';
}
std::string printable_or_questions(std::string_view text);

}  // namespace tarvex
