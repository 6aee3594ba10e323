#include "files/fits_header_edit.h"

#include <gtest/gtest.h>

#include <fstream>

#include "test_support.h"

namespace tarvex {
namespace {

using testing::read_bytes;
using testing::TempDir;

std::string card(const std::string& text) {
  std::string c = text;
  c.resize(80, ' ');
  return c;
}

// A hand-built standard file: `extra` cards after the five required ones,
// END, blank padding, then two blocks of data in a pattern that no header
// edit could produce by accident.
std::string hand_built_fits(int extra) {
  std::string h = card("SIMPLE  =                    T / a comment kept as written") +
                  card("BITPIX  =                   16") + card("NAXIS   =                    2") +
                  card("NAXIS1  =                   48") + card("NAXIS2  =                   60");
  for (int i = 0; i < extra; ++i) h += card("COMMENT card " + std::to_string(i) + " 'x' / y");
  h += card("END");
  h.resize((h.size() + 2879) / 2880 * 2880, ' ');
  std::string data(2 * 2880, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 3);
  return h + data;
}

void write(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

TEST(FitsHeaderEdit, CardsAddedBeforeEndEverythingElseKeptByteForByte) {
  TempDir dir;
  const std::vector<std::string> added = {card("CTYPE1  = 'RA---TAN'"),
                                          card("CRVAL1  =                 10.5")};
  // 10 cards in one block: the new ones fit in its padding. 30: the END
  // card is the 36th and last of the block, so the header grows by one.
  for (const int extra : {5, 30}) {
    SCOPED_TRACE(extra);
    const std::string before = hand_built_fits(extra);
    const std::size_t old_header = before.size() - 2 * 2880;
    write(dir / "a.fits", before);
    ASSERT_EQ(add_fits_header_cards(dir / "a.fits", added, {"CRVAL1"}).result, HeaderEdit::Done);
    const auto after_bytes = read_bytes(dir / "a.fits");
    const std::string after(after_bytes.begin(), after_bytes.end());
    const std::size_t cards_before = 5 + extra;
    const std::size_t new_header = ((cards_before + 3) * 80 + 2879) / 2880 * 2880;
    EXPECT_EQ(new_header, extra == 5 ? 2880u : 5760u);
    ASSERT_EQ(after.size(), new_header + 2 * 2880);
    // Every original card in its place, then the new ones, then END.
    EXPECT_EQ(after.substr(0, cards_before * 80), before.substr(0, cards_before * 80));
    EXPECT_EQ(after.substr(cards_before * 80, 160), added[0] + added[1]);
    EXPECT_EQ(after.substr((cards_before + 2) * 80, 80), card("END"));
    EXPECT_EQ(after.find_first_not_of(' ', (cards_before + 3) * 80), new_header);
    EXPECT_EQ(after.substr(new_header), before.substr(old_header));
    // The cards read back as a header.
    const std::vector<std::string> cards = read_fits_header_cards(dir / "a.fits");
    ASSERT_EQ(cards.size(), cards_before + 3);
    EXPECT_EQ(cards[cards_before + 1], added[1]);

    // A second solution replaces the first instead of standing beside it.
    const std::vector<std::string> newer = {card("CRVAL1  =                 11.5")};
    ASSERT_EQ(add_fits_header_cards(dir / "a.fits", newer, {"CRVAL1"}).result, HeaderEdit::Done);
    const std::vector<std::string> again = read_fits_header_cards(dir / "a.fits");
    ASSERT_EQ(again.size(), cards_before + 3);
    EXPECT_EQ(again[cards_before], added[0]);
    EXPECT_EQ(again[cards_before + 1], newer[0]);
  }
}

TEST(FitsHeaderEdit, RefusesWhatIsNotAStandardFileAndLeavesIt) {
  TempDir dir;
  std::string no_end = hand_built_fits(3);
  no_end.replace(no_end.find("END "), 3, "XYZ");
  std::string not_fits = hand_built_fits(3);
  not_fits[0] = 'X';
  for (const std::string& bytes : {no_end, not_fits, std::string(100, ' ')}) {
    write(dir / "b.fits", bytes);
    EXPECT_EQ(add_fits_header_cards(dir / "b.fits", {card("A = 1")}).result,
              HeaderEdit::NotStandard);
    const auto kept = read_bytes(dir / "b.fits");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), bytes);
  }
  EXPECT_EQ(add_fits_header_cards(dir / "missing.fits", {card("A = 1")}).result,
            HeaderEdit::Unreadable);
}

}  // namespace
}  // namespace tarvex
