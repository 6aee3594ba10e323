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

// Shows message `code` in a modal box captioned "Tarvex" and waits for OK.
// Returns 0 after a normal close (2 only if the box reports a cancel).
int show_message(Messages& messages, unsigned code, std::string_view caller_text = {});
inline int show_message(Messages& messages, Msg m, std::string_view caller_text = {}) {
  return show_message(messages, message_number(m), caller_text);
}

// Shows message `code` with `reason` (what the system said, say) below its
// text, after an empty line.
int show_message_because(Messages& messages, unsigned code, std::string_view reason);

// The messages of a file that could not be written, besides 6 ("check disk
// space"), which is for a full disk only.
inline constexpr unsigned MESSAGE_FOLDER_READ_ONLY = message_number(Msg::FolderReadOnly);
inline constexpr unsigned MESSAGE_SERIES_FULL = message_number(Msg::SeriesFull);
inline constexpr unsigned MESSAGE_FOLDER_IN_THE_WAY = message_number(Msg::FolderInTheWay);
inline constexpr unsigned MESSAGE_FILE_NOT_CREATED = message_number(Msg::FileNotCreated);

}  // namespace tarvex
