#include "files/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/basic_ports.h"
#include "test_support.h"

namespace tarvex {
namespace {

using testing::append_text;
using testing::append_u16le;
using testing::read_bytes;
using testing::TempDir;
using testing::write_bytes;

std::string card(const std::string& start) {
  std::string c = start;
  c.resize(80, ' ');
  return c;
}

// The defaults, field by field, as the file holds them.
std::vector<std::uint8_t> default_file() {
  std::vector<std::uint8_t> v;
  append_u16le(v, 0);      // 1 autosave_number
  append_u16le(v, 0);      // 2 ut_offset_hours
  append_text(v, "nynn");  // 3..6
  append_u16le(v, 0);      // 7
  append_u16le(v, 8);      // 8 guide_mask_radius
  append_text(v, "ynnn");  // 9..12
  append_u16le(v, 3);      // 13 saturation_factor
  append_u16le(v, 1);      // 14
  append_text(v, "l1n");   // 15..17
  append_u16le(v, 4);      // 18 user_stretch_value
  append_text(v, "nn");    // 19, 20
  append_u16le(v, 3);      // 21
  append_u16le(v, 1);      // 22
  append_text(v, "nyn");   // 23..25
  append_text(v, card("OBJECT  = ''"));
  append_text(v, card("TELESCOP= ''"));
  append_text(v, card("INSTRUME= 'Velquor CCD'"));
  append_text(v, card("OBSERVER= ''"));
  append_text(v, card("ORIGIN  = ''"));
  for (const char* key : {"HISTORY = '", "COMMENT = '"}) {
    for (int k = 0; k < 4; ++k) {
      std::string c = card(key);
      c[79] = '\'';
      append_text(v, c);
    }
  }
  append_text(v, "y");                                             // 39 colour_option
  for (unsigned x : {1u, 1u, 6u, 6u, 0u, 0u}) append_u16le(v, x);  // 40..45
  append_text(v, "0n");                                            // 46, 47
  append_u16le(v, 0);                                              // 48
  append_u16le(v, 0);                                              // 49
  append_text(v, "nsew");                                          // 50
  append_text(v, "nyy");                                           // 51..53
  v.insert(v.end(), 79, 0);                                        // 54 autosave_subdir
  append_text(v, "yyynn");                                         // 55..59
  return v;
}

constexpr std::size_t kField18Offset = 2 + 2 + 4 + 4 + 4 + 4 + 3;  // 23
constexpr std::size_t kField40Offset = 1074 + 1;
constexpr std::size_t kField51Offset = 1097;

struct SettingsFile : ::testing::Test {
  TempDir dir;
  RecordingMessages messages;
  Settings s;
  FitsText f;
  std::filesystem::path file() const { return dir / "autosave" / "Tarvex.ini"; }
  void make_folder() { std::filesystem::create_directories(dir / "autosave"); }
};

TEST_F(SettingsFile, FirstStartCreatesFolderAndDefaultFile) {
  EXPECT_EQ(load_settings(file(), s, f, messages), SettingsLoad::Created);
  EXPECT_TRUE(messages.shown.empty());
  const auto bytes = read_bytes(file());
  EXPECT_EQ(bytes.size(), SETTINGS_FILE_SIZE);
  EXPECT_EQ(bytes, default_file());
  // And it loads back cleanly.
  Settings again;
  again.guide_mask_radius = 13;
  EXPECT_EQ(load_settings(file(), again, f, messages), SettingsLoad::Read);
  EXPECT_EQ(again.guide_mask_radius, 8);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFile, EveryFieldRoundTrips) {
  s.autosave_number = 1234;
  s.ut_offset_hours = -5;
  s.fast_par = true;
  s.reserved_choice_a = 3;
  s.saturation_factor = 9;
  s.background_colour = BackgroundColour::Red;
  s.focus_delay = false;
  s.user_stretch_value = 36;
  s.unsharp_diameter = 6;
  s.unsharp_power = 2;
  s.com_port = 4;
  s.ra_backlash = 20;
  s.ignore_drift = true;
  s.telescope_type = LinkType::ControlBox;
  s.ra_hysteresis = -7;
  s.drive_directions = DriveDirections{true, true};
  s.autosave_subdir = "Orion";
  s.usb_debug_info = true;
  f.fits_object = "M42";
  f.fits_instrument = "Tarvex KR9C";
  f.fits_history = std::string(100, 'h');
  f.fits_comment = "Seeing 2 arcsec";
  ASSERT_EQ(save_settings(file(), s, f), FileSave::Ok);
  Settings r;
  FitsText rf;
  ASSERT_EQ(load_settings(file(), r, rf, messages), SettingsLoad::Read);
  EXPECT_EQ(settings_bytes(r, rf), settings_bytes(s, f));
  EXPECT_EQ(r.autosave_number, 1234);
  EXPECT_EQ(r.telescope_type, LinkType::ControlBox);
  EXPECT_EQ(r.autosave_subdir, "Orion");
  EXPECT_EQ(rf.fits_object, "M42");
  EXPECT_EQ(r.ut_offset_hours, -5);
}

// Each letter of the lettered fields reads as its name and is written back
// as the same byte.
TEST_F(SettingsFile, LetteredFieldsReadAsNamesAndWriteTheirOwnBytes) {
  make_folder();
  constexpr std::size_t kBackground = 2 + 2 + 4 + 4 + 4 + 4, kLink = 1074 + 1 + 13;
  constexpr std::size_t kDirections = kField51Offset - 4;
  struct Case {
    std::size_t offset;
    const char* letters;
    BackgroundColour colour = BackgroundColour::LightGray;
    LinkType link = LinkType::None;
    DriveDirections directions{};
  };
  constexpr auto kGray = BackgroundColour::LightGray;  // the default the other cases keep
  const Case cases[] = {{kBackground, "r", BackgroundColour::Red},
                        {kBackground, "g", BackgroundColour::Gray},
                        {kLink, "l", kGray, LinkType::Lx200},
                        {kLink, "b", kGray, LinkType::ControlBox},
                        {kDirections, "snew", kGray, {}, {true, false}},
                        {kDirections, "nswe", kGray, {}, {false, true}},
                        {kDirections, "snwe", kGray, {}, {true, true}}};
  for (const Case& c : cases) {
    auto bytes = default_file();
    std::copy(c.letters, c.letters + std::strlen(c.letters), bytes.begin() + c.offset);
    write_bytes(file(), bytes);
    Settings r;
    ASSERT_EQ(load_settings(file(), r, f, messages), SettingsLoad::Read) << c.letters;
    EXPECT_EQ(r.background_colour, c.colour) << c.letters;
    EXPECT_EQ(r.telescope_type, c.link) << c.letters;
    EXPECT_EQ(r.drive_directions, c.directions) << c.letters;
    ASSERT_EQ(save_settings(file(), r, f), FileSave::Ok);
    EXPECT_EQ(read_bytes(file()), bytes) << c.letters;
  }
  EXPECT_EQ(link_type_from_letter('n'), LinkType::None);
  EXPECT_EQ(link_type_from_letter('x'), std::nullopt);
}

TEST_F(SettingsFile, LongTextsGoInFourPieces) {
  f.fits_history = std::string(68, 'a') + std::string(32, 'b');
  const auto bytes = settings_bytes(s, f);
  const std::size_t history = 1074 - 8 * 80;  // first HISTORY card
  const std::string first(bytes.begin() + history, bytes.begin() + history + 80);
  EXPECT_EQ(first, "HISTORY = '" + std::string(68, 'a') + "'");
  const std::string second(bytes.begin() + history + 80, bytes.begin() + history + 160);
  EXPECT_EQ(second, "HISTORY = '" + std::string(32, 'b') + std::string(36, ' ') + "'");
  const std::string third(bytes.begin() + history + 160, bytes.begin() + history + 240);
  EXPECT_EQ(third, "HISTORY = '" + std::string(68, ' ') + "'");
  // Read back: the text plus the blank padding (the fourth piece cut to 51).
  EXPECT_EQ(long_text_from_cards(reinterpret_cast<const char*>(bytes.data() + history)),
            std::string(68, 'a') + std::string(32, 'b') + std::string(36 + 68 + 51, ' '));
}

TEST_F(SettingsFile, BadValueRewritesFromThatFieldOn) {
  make_folder();
  auto bytes = default_file();
  bytes[0] = 7;               // autosave_number 7, read before the bad field
  bytes[kField18Offset] = 0;  // user_stretch_value 0
  bytes[kField18Offset + 1] = 0;
  bytes[kField51Offset] = 'y';  // a later field that must fall back to its default
  write_bytes(file(), bytes);
  s.beep_after_exposure = false;
  EXPECT_EQ(load_settings(file(), s, f, messages), SettingsLoad::Rewritten);
  EXPECT_TRUE(messages.shown.empty());
  auto expected = default_file();
  expected[0] = 7;
  EXPECT_EQ(read_bytes(file()), expected);
  EXPECT_EQ(s.user_stretch_value, 4);
  EXPECT_FALSE(s.beep_after_exposure);
}

TEST_F(SettingsFile, RangeRulesOnReading) {
  make_folder();
  auto bytes = default_file();
  bytes[kField40Offset] = 9;             // com_port 9 reads as 5
  bytes[2 + 2 + 4 + 4 + 4 + 4 - 4] = 0;  // saturation_factor 0 reads as 3
  bytes[7] = 'x';                        // fast_par: neither y nor n
  write_bytes(file(), bytes);
  s.fast_par = true;
  EXPECT_EQ(load_settings(file(), s, f, messages), SettingsLoad::Read);
  EXPECT_EQ(s.com_port, 5);
  EXPECT_EQ(s.saturation_factor, 3);
  EXPECT_TRUE(s.fast_par);  // kept
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "MORVALE");
  EXPECT_EQ(messages.shown[0].text, "Failed to read fast_par value");

  // Every rewrite rule: the bad value is not taken and the file is rewritten.
  struct Case {
    std::size_t offset;
    std::uint8_t value;
  };
  const Case cases[] = {{2 + 2 + 4 + 4 + 4 + 4, 'x'},  // background colour
                        {kField18Offset + 2, 'q'},     // high pass: not y/n
                        {1074 + 1 + 12, '2'},          // ignore drift: not 1/0
                        {1074 + 1 + 13, 'z'},          // telescope type
                        {1074 + 1 + 12 - 4, 21}};      // RA backlash 21
  for (const auto& c : cases) {
    auto b = default_file();
    b[c.offset] = c.value;
    write_bytes(file(), b);
    Settings fresh;
    EXPECT_EQ(load_settings(file(), fresh, f, messages), SettingsLoad::Rewritten) << c.offset;
    EXPECT_EQ(read_bytes(file()), default_file()) << c.offset;
  }
  // East/west pair with neither letter e or w.
  auto b = default_file();
  b[kField51Offset - 2] = 'x';
  b[kField51Offset - 1] = 'y';
  write_bytes(file(), b);
  Settings fresh;
  EXPECT_EQ(load_settings(file(), fresh, f, messages), SettingsLoad::Rewritten);
  EXPECT_EQ(read_bytes(file()), default_file());
}

TEST_F(SettingsFile, ShortFilesAndMissingFile) {
  make_folder();
  EXPECT_EQ(load_settings(file(), s, f, messages), SettingsLoad::Incomplete);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "");
  EXPECT_EQ(messages.shown[0].text, "Warning!\nNo INI file found, please set defaults...");

  // Ends after field 50: fields 1..50 are taken, result 2, no box.
  messages.shown.clear();
  auto bytes = default_file();
  bytes[kField51Offset - 4] = 's';
  bytes[kField51Offset - 3] = 'n';
  bytes.resize(kField51Offset);
  write_bytes(file(), bytes);
  EXPECT_EQ(load_settings(file(), s, f, messages), SettingsLoad::Incomplete);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(s.drive_directions.north_south_swapped);

  // Ends inside field 2: the warning box comes first.
  write_bytes(file(), {5, 0, 1});
  s.autosave_number = 0;
  EXPECT_EQ(load_settings(file(), s, f, messages), SettingsLoad::Incomplete);
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(s.autosave_number, 5);
  // Ends inside field 4 (line offset): no box.
  messages.shown.clear();
  write_bytes(file(), {5, 0, 1, 0, 'y'});
  EXPECT_EQ(load_settings(file(), s, f, messages), SettingsLoad::Incomplete);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFile, AtStartAMissingFileIsWrittenSilentlyADamagedOneWarns) {
  // The folder is there (automatic saving made it), the file is not.
  make_folder();
  EXPECT_EQ(load_settings_at_start(file(), s, f, messages), SettingsLoad::Created);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(read_bytes(file()), default_file());
  write_bytes(file(), {5, 0, 1});
  EXPECT_EQ(load_settings_at_start(file(), s, f, messages), SettingsLoad::Incomplete);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(SettingsFile, SaveFailureIsReportedAndCreationToo) {
  // The settings "folder" is a file: nothing can be created inside it.
  write_bytes(dir / "autosave", {1});
  EXPECT_EQ(save_settings(file(), s, f), FileSave::Failed);
  EXPECT_EQ(load_settings(file(), s, f, messages), SettingsLoad::NotSaved);
}

TEST(SettingsCards, CardTextStopsAtTheQuote) {
  const auto c = make_text_card("OBJECT  ", "NGC 7000");
  EXPECT_EQ(std::string(c.begin(), c.end()), card("OBJECT  = 'NGC 7000'"));
  EXPECT_EQ(card_text(c.data()), "NGC 7000");
  const auto longest = make_text_card("OBSERVER", std::string(90, 'o'));
  EXPECT_EQ(card_text(longest.data()), std::string(67, 'o'));
  EXPECT_EQ(longest[78], '\'');
}

TEST(SettingsCards, AQuoteIsWrittenDoubledAndReadBackAsOne) {
  const auto c = make_text_card("OBJECT  ", "a'b");
  EXPECT_EQ(std::string(c.begin(), c.end()), card("OBJECT  = 'a''b'"));
  EXPECT_EQ(card_text(c.data()), "a'b");
  // A doubled quote takes two places of the 67: 66 letters and a quote do
  // not fit, so the quote is left off rather than split.
  const std::string text = std::string(66, 'x') + "'";
  EXPECT_EQ(card_text_length(text), 68u);
  EXPECT_EQ(card_text(make_text_card("OBJECT  ", text).data()), std::string(66, 'x'));
  EXPECT_EQ(card_text(make_text_card("OBJECT  ", "''''").data()), "''''");

  // Long texts: a piece never splits a doubled quote, and one cut short
  // ends at its own quote, so no blank enters the middle of the text.
  const std::string history = std::string(67, 'h') + "'" + std::string(10, 'i');
  const auto cards = make_long_text_cards("HISTORY ", history);
  EXPECT_EQ(std::string(cards[0].begin(), cards[0].end()),
            "HISTORY = '" + std::string(67, 'h') + "' ");
  EXPECT_EQ(std::string(cards[1].begin(), cards[1].begin() + 24), "HISTORY = '''iiiiiiiiii ");
  std::string joined;
  for (const auto& k : cards) joined.append(k.begin(), k.end());
  const std::string back = long_text_from_cards(joined.data());
  EXPECT_EQ(back.substr(0, history.size()), history);
  EXPECT_EQ(back.find_first_not_of(' ', history.size()), std::string::npos);
}

}  // namespace
}  // namespace tarvex
