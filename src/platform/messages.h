// The program's message table and show_message.
#pragma once

#include <string>
#include <string_view>

#include "platform/ports.h"

namespace tarvex {

inline constexpr unsigned MESSAGE_CALLER_TEXT = 50;  // code whose text the caller formats
inline constexpr std::size_t MESSAGE_CALLER_TEXT_MAX = 498;

// The text shown for `code`: the table entry, the caller's text (at most 498
// characters) for code 50, empty for codes without an entry.
std::string message_text(unsigned code, std::string_view caller_text = {});

// Shows message `code` in a modal box captioned "Tarvex" and waits for OK.
// Returns 0 after a normal close (2 only if the box reports a cancel).
int show_message(Messages& messages, unsigned code, std::string_view caller_text = {});

// Shows message `code` with `reason` (what the system said, say) below its
// text, after an empty line.
int show_message_because(Messages& messages, unsigned code, std::string_view reason);

// The messages of a file that could not be written, besides 6 ("check disk
// space"), which is for a full disk only.
inline constexpr unsigned MESSAGE_FOLDER_READ_ONLY = 60;
inline constexpr unsigned MESSAGE_SERIES_FULL = 61;
inline constexpr unsigned MESSAGE_FOLDER_IN_THE_WAY = 62;
inline constexpr unsigned MESSAGE_FILE_NOT_CREATED = 63;

}  // namespace tarvex
