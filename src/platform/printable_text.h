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

}  // namespace tarvex
