#include "files/fits_cards.h"

#include <algorithm>
#include <cstring>

namespace tarvex {

std::size_t card_text_length(std::string_view text) {
  return text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\''));
}

std::string cut_card_text(std::string_view text, std::size_t room) {
  std::size_t used = 0, n = 0;
  for (; n < text.size(); ++n) {
    const std::size_t w = text[n] == '\'' ? 2 : 1;
    if (used + w > room) break;
    used += w;
  }
  return std::string(text.substr(0, n));
}

namespace {

// Writes `text` (already cut to fit) from column 11 with its quotes doubled;
// returns the column after it.
std::size_t put_card_text(char* card, std::string_view text) {
  std::size_t at = 11;
  for (char c : text) {
    card[at++] = c;
    if (c == '\'') card[at++] = '\'';
  }
  return at;
}

std::array<char, TEXT_CARD_SIZE> blank_card(const char* keyword8) {
  std::array<char, TEXT_CARD_SIZE> card;
  card.fill(' ');
  std::memcpy(card.data(), keyword8, 8);
  card[8] = '=';
  card[9] = ' ';
  card[10] = '\'';
  return card;
}

constexpr std::size_t kLastPieceRoom = LONG_TEXT_MAX - 3 * CARD_PIECE_SIZE;  // 51

}  // namespace

std::array<char, TEXT_CARD_SIZE> make_text_card(const char* keyword8, std::string_view text) {
  auto card = blank_card(keyword8);
  const std::size_t end = put_card_text(card.data(), cut_card_text(text, CARD_TEXT_MAX));
  card[end] = '\'';
  return card;
}

std::array<std::array<char, TEXT_CARD_SIZE>, 4> make_long_text_cards(const char* keyword8,
                                                                     std::string_view text) {
  std::array<std::array<char, TEXT_CARD_SIZE>, 4> cards;
  for (std::size_t k = 0; k < 4; ++k) {
    auto& card = cards[k];
    card = blank_card(keyword8);
    const std::string piece = cut_card_text(text, k == 3 ? kLastPieceRoom : CARD_PIECE_SIZE);
    text.remove_prefix(piece.size());
    const std::size_t end = put_card_text(card.data(), piece);
    // The piece is padded with blanks up to the quote in the last column. A
    // piece cut short because a doubled quote did not fit ends at its own
    // quote instead, so no blank is read into the middle of the text.
    const bool cut_short = !text.empty() && card_text_length(piece) < CARD_PIECE_SIZE && k < 3;
    card[cut_short ? end : TEXT_CARD_SIZE - 1] = '\'';
  }
  return cards;
}

std::string card_text(const char* card, std::size_t card_size) {
  std::string text;
  for (std::size_t i = 11; i < card_size; ++i) {
    if (card[i] == '\'') {
      if (i + 1 >= card_size || card[i + 1] != '\'') break;
      ++i;
    }
    text.push_back(card[i]);
  }
  return text;
}

std::string long_text_from_cards(const char* cards) {
  std::string text;
  for (std::size_t k = 0; k < 4; ++k) {
    std::string piece = card_text(cards + k * TEXT_CARD_SIZE);
    if (k == 3) piece = cut_card_text(piece, kLastPieceRoom);
    text += piece;
  }
  return text;
}

}  // namespace tarvex
