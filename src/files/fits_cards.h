// FITS text cards: a keyword and a quoted text in an 80-byte card, as FITS
// headers hold them and as the settings file keeps the FITS text record.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::size_t TEXT_CARD_SIZE = 80;
inline constexpr std::size_t CARD_TEXT_MAX = 67;                        // single text cards
inline constexpr std::size_t CARD_PIECE_SIZE = 68;                      // HISTORY/COMMENT pieces
inline constexpr std::size_t LONG_TEXT_MAX = 3 * CARD_PIECE_SIZE + 51;  // 255 on reading

// Text cards: keyword and text in an 80-byte blank-filled card. A quote in
// a text is written as two quotes, as FITS writes it, and a doubled quote
// takes two characters of the card's room for text.
std::array<char, TEXT_CARD_SIZE> make_text_card(const char* keyword8, std::string_view text);
// The four HISTORY or COMMENT cards holding a long text in pieces of 68
// characters of card room (the fourth 51), a doubled quote never split.
std::array<std::array<char, TEXT_CARD_SIZE>, 4> make_long_text_cards(const char* keyword8,
                                                                     std::string_view text);
// The text of a card: everything after column 11 up to the first quote that
// is not doubled; a doubled quote gives one quote.
std::string card_text(const char* card, std::size_t card_size = TEXT_CARD_SIZE);
// The four pieces joined, the fourth cut to 51 characters of card room.
std::string long_text_from_cards(const char* cards /* 4 * 80 bytes */);

// The room a text takes in a card: its length, each quote counting two.
std::size_t card_text_length(std::string_view text);
// The longest start of `text` that takes at most `room` characters in a card.
std::string cut_card_text(std::string_view text, std::size_t room);

}  // namespace tarvex
