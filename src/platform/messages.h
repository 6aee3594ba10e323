// The program's message table and show_message.
#pragma once

#include <string>
#include <string_view>

#include "platform/message_list.h"
#include "platform/ports.h"

namespace tarvex {

// The program's messages by name; each carries its number.
enum class Msg : unsigned {
#define TARVEX_MESSAGE_NAME(name, number, text) name = number,
  TARVEX_MESSAGES(TARVEX_MESSAGE_NAME)
#undef TARVEX_MESSAGE_NAME
};

constexpr unsigned message_number(Msg m) {
  return static_cast<unsigned>(m);
}

inline constexpr unsigned MESSAGE_CALLER_TEXT = message_number(Msg::CallerText);
inline constexpr std::size_t MESSAGE_CALLER_TEXT_MAX = 498;

// The text shown for `code`: the table entry, the caller's text (at most 498
// characters) for code 50, empty for codes without an entry.
std::string message_text(unsigned code, std::string_view caller_text = {});

// Shows message `m` in a modal box captioned "Tarvex" and waits for OK.
// Returns 0 after a normal close (2 only if the box reports a cancel).
int show_message(Messages& messages, Msg m, std::string_view caller_text = {});

// Shows message `m` with `reason` (what the system said, say) below its
// text, after an empty line.
int show_message_because(Messages& messages, Msg m, std::string_view reason);

}  // namespace tarvex
