#include "files/settings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

#include "platform/file_io.h"

namespace tarvex {

namespace fs = std::filesystem;

namespace {

// How a field is held in the file.
enum class Kind : std::uint8_t {
  Number,      // signed 16-bit, little-endian
  YesNo,       // 'y' or 'n'
  OneZero,     // '1' or '0'
  Background,  // the background colour's letter
  LinkLetter,  // the link type's letter
  TextCard,    // an 80-byte text card of the FITS text record
  LongText,    // four 80-byte cards holding one long text of the record
  Directions,  // the four drive direction letters
  Folder,      // the automatic-save sub-folder, 79 bytes padded with NULs
};

// What a value read from the file that the field cannot take does.
enum class OnBad : std::uint8_t {
  Take,      // nothing is checked: a flag is set by 'y' (or '1') only, a number is taken whole
  Fallback,  // a number outside its range is replaced by the fallback value
  Notice,    // the field keeps its value and the fast_par notice says so
  Rewrite,   // the load stops and the file is rewritten with the values in memory
};

// Whether a file that ends inside the field shows the no-INI warning.
enum class Short : std::uint8_t { Warn, Quiet };

struct Field {
  Kind kind;
  Short short_file;
  OnBad on_bad = OnBad::Take;
  std::int16_t lo = 0, hi = 0, fallback = 0;  // the range of a checked number
  const char* keyword = nullptr;              // the keyword of a text card
  std::int16_t Settings::*number = nullptr;
  bool Settings::*flag = nullptr;
  std::string FitsText::*text = nullptr;
};

constexpr std::size_t field_size(Kind kind) {
  switch (kind) {
    case Kind::Number: return 2;
    case Kind::YesNo:
    case Kind::OneZero:
    case Kind::Background:
    case Kind::LinkLetter: return 1;
    case Kind::TextCard: return SETTINGS_CARD_SIZE;
    case Kind::LongText: return 4 * SETTINGS_CARD_SIZE;
    case Kind::Directions: return 4;
    case Kind::Folder: return SETTINGS_SUBDIR_SIZE;
  }
  return 0;
}

constexpr Field number(std::int16_t Settings::*m, Short sh) {
  Field f{Kind::Number, sh};
  f.number = m;
  return f;
}

constexpr Field number_in(std::int16_t Settings::*m, Short sh, std::int16_t lo, std::int16_t hi,
                          OnBad on_bad, std::int16_t fallback = 0) {
  Field f = number(m, sh);
  f.on_bad = on_bad;
  f.lo = lo;
  f.hi = hi;
  f.fallback = fallback;
  return f;
}

constexpr Field yes_no(bool Settings::*m, Short sh, OnBad on_bad = OnBad::Take) {
  Field f{Kind::YesNo, sh, on_bad};
  f.flag = m;
  return f;
}

constexpr Field one_zero(bool Settings::*m, Short sh, OnBad on_bad = OnBad::Take) {
  Field f{Kind::OneZero, sh, on_bad};
  f.flag = m;
  return f;
}

// The letters the file holds for a choice, in the order of its enumerators;
// any other byte makes the file be rewritten.
constexpr const char* kBackgroundLetters = "rlg";  // Red, LightGray, Gray
constexpr const char* kLinkLetters = "nlb";        // None, Lx200, ControlBox

// The choice a letter stands for, as its enumerator's index, or -1.
int letter_index(const char* letters, char c) {
  const char* at = c == '\0' ? nullptr : std::strchr(letters, c);
  return at == nullptr ? -1 : static_cast<int>(at - letters);
}

template <typename Choice>
std::uint8_t choice_letter(const char* letters, Choice choice) {
  return static_cast<std::uint8_t>(letters[static_cast<int>(choice)]);
}

// Drive directions in the file: the letters n, s, e, w in that order, a pair
// counting as swapped when it starts with 's' (north/south) or 'w'
// (east/west), as the program defaults dialog shows it.
void write_directions(const DriveDirections& d, std::uint8_t* out) {
  out[0] = d.north_south_swapped ? 's' : 'n';
  out[1] = d.north_south_swapped ? 'n' : 's';
  out[2] = d.east_west_swapped ? 'w' : 'e';
  out[3] = d.east_west_swapped ? 'e' : 'w';
}

constexpr Field text_card(const char* keyword8, std::string FitsText::*m) {
  Field f{Kind::TextCard, Short::Warn};
  f.keyword = keyword8;
  f.text = m;
  return f;
}

constexpr Field long_text(const char* keyword8, std::string FitsText::*m) {
  Field f = text_card(keyword8, m);
  f.kind = Kind::LongText;
  return f;
}

constexpr Short W = Short::Warn;
constexpr Short Q = Short::Quiet;
using S = Settings;
using F = FitsText;

// The fields in the order of the file, numbered as the file's fields are
// (the five text cards are fields 26 to 30, the history and comment texts
// fields 31 to 34 and 35 to 38). Reading and writing both follow this table.
constexpr Field kFields[] = {
    number(&S::autosave_number, W),                                 // 1
    number(&S::ut_offset_hours, W),                                 // 2
    yes_no(&S::light_pollution, W),                                 // 3
    yes_no(&S::line_offset, Q),                                     // 4
    yes_no(&S::pixel_offset, W),                                    // 5
    yes_no(&S::fast_par, W, OnBad::Notice),                         // 6
    number(&S::reserved_choice_a, W),                               // 7
    number(&S::guide_mask_radius, W),                               // 8
    yes_no(&S::anti_alias, Q),                                      // 9
    yes_no(&S::weak_stretch, W),                                    // 10
    yes_no(&S::strong_stretch, W),                                  // 11
    yes_no(&S::ir_filter, W),                                       // 12
    number_in(&S::saturation_factor, W, 1, 9, OnBad::Fallback, 3),  // 13
    number(&S::reserved_choice_b, W),                               // 14
    Field{Kind::Background, W, OnBad::Rewrite},                     // 15
    one_zero(&S::focus_delay, Q),                                   // 16
    yes_no(&S::user_stretch, W),                                    // 17
    number_in(&S::user_stretch_value, W, 1, 36, OnBad::Rewrite),    // 18
    yes_no(&S::high_pass_low_power, W, OnBad::Rewrite),             // 19
    yes_no(&S::unsharp_mask, W, OnBad::Rewrite),                    // 20
    number_in(&S::unsharp_diameter, W, 1, 6, OnBad::Rewrite),       // 21
    number_in(&S::unsharp_power, W, 1, 6, OnBad::Rewrite),          // 22
    yes_no(&S::remove_background, Q, OnBad::Rewrite),               // 23
    yes_no(&S::disable_interrupts, Q, OnBad::Rewrite),              // 24
    yes_no(&S::fast_par2, Q),                                       // 25
    text_card("OBJECT  ", &F::fits_object),                         // 26
    text_card("TELESCOP", &F::fits_telescope),                      // 27
    text_card("INSTRUME", &F::fits_instrument),                     // 28
    text_card("OBSERVER", &F::fits_observer),                       // 29
    text_card("ORIGIN  ", &F::fits_origin),                         // 30
    long_text("HISTORY ", &F::fits_history),                        // 31-34
    long_text("COMMENT ", &F::fits_comment),                        // 35-38
    yes_no(&S::colour_option, W),                                   // 39
    number_in(&S::com_port, Q, 1, 5, OnBad::Fallback, 5),           // 40
    number(&S::guide_training_time, Q),                             // 41
    number(&S::ra_pixels_per_sec, Q),                               // 42
    number(&S::dec_pixels_per_sec, Q),                              // 43
    number_in(&S::ra_backlash, Q, 0, 20, OnBad::Rewrite),           // 44
    number_in(&S::dec_backlash, Q, 0, 20, OnBad::Rewrite),          // 45
    one_zero(&S::ignore_drift, Q, OnBad::Rewrite),                  // 46
    Field{Kind::LinkLetter, Q, OnBad::Rewrite},                     // 47
    number(&S::ra_hysteresis, Q),                                   // 48
    number(&S::dec_hysteresis, Q),                                  // 49
    Field{Kind::Directions, Q, OnBad::Rewrite},                     // 50
    yes_no(&S::beep_after_exposure, Q),                             // 51
    yes_no(&S::direction_change_delay, Q),                          // 52
    yes_no(&S::controlbox_present, Q),                              // 53
    Field{Kind::Folder, Q},                                         // 54
    yes_no(&S::dedicated_com_port, Q),                              // 55
    yes_no(&S::interlace_smoothing, Q),                             // 56
    yes_no(&S::colour_smoothing, Q),                                // 57
    yes_no(&S::binned_import_default, Q),                           // 58
    yes_no(&S::usb_debug_info, Q),                                  // 59
};

constexpr std::size_t table_size() {
  std::size_t n = 0;
  for (const Field& f : kFields) n += field_size(f.kind);
  return n;
}
static_assert(table_size() == SETTINGS_FILE_SIZE, "the field table must fill the settings file");

void write_field(const Field& field, const Settings& s, const FitsText& f, std::uint8_t* out) {
  switch (field.kind) {
    case Kind::Number: {
      const auto u = static_cast<std::uint16_t>(s.*field.number);
      out[0] = static_cast<std::uint8_t>(u & 0xFF);
      out[1] = static_cast<std::uint8_t>(u >> 8);
      break;
    }
    case Kind::YesNo: out[0] = s.*field.flag ? 'y' : 'n'; break;
    case Kind::OneZero: out[0] = s.*field.flag ? '1' : '0'; break;
    case Kind::Background: out[0] = choice_letter(kBackgroundLetters, s.background_colour); break;
    case Kind::LinkLetter:
      // The file knows the serial links only; the INDI choice is kept in the
      // small settings file, and a record holding it writes "none" here.
      out[0] =
          s.telescope_type == LinkType::Indi ? 'n' : choice_letter(kLinkLetters, s.telescope_type);
      break;
    case Kind::TextCard: {
      const auto card = make_text_card(field.keyword, f.*field.text);
      std::memcpy(out, card.data(), card.size());
      break;
    }
    case Kind::LongText: {
      const auto cards = make_long_text_cards(field.keyword, f.*field.text);
      for (std::size_t k = 0; k < cards.size(); ++k)
        std::memcpy(out + k * SETTINGS_CARD_SIZE, cards[k].data(), SETTINGS_CARD_SIZE);
      break;
    }
    case Kind::Directions: write_directions(s.drive_directions, out); break;
    case Kind::Folder:
      std::memset(out, 0, SETTINGS_SUBDIR_SIZE);
      std::memcpy(out, s.autosave_subdir.data(),
                  std::min(s.autosave_subdir.size(), SETTINGS_SUBDIR_SIZE));
      break;
  }
}

bool is_yn(std::uint8_t b) {
  return b == 'y' || b == 'n';
}

// Takes one field from its bytes. False when the value is one the field
// cannot take and the file must be rewritten.
bool read_field(const Field& field, const std::uint8_t* in, Settings& s, FitsText& f,
                Messages& messages) {
  switch (field.kind) {
    case Kind::Number: {
      const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(in[0] | (in[1] << 8)));
      const bool in_range = field.on_bad == OnBad::Take || (v >= field.lo && v <= field.hi);
      if (in_range) {
        s.*field.number = v;
      } else if (field.on_bad == OnBad::Fallback) {
        s.*field.number = field.fallback;
      } else {
        return false;
      }
      return true;
    }
    case Kind::YesNo:
    case Kind::OneZero: {
      const bool yes_no_field = field.kind == Kind::YesNo;
      const std::uint8_t yes = yes_no_field ? 'y' : '1';
      const bool valid = yes_no_field ? is_yn(in[0]) : (in[0] == '1' || in[0] == '0');
      if (valid || field.on_bad == OnBad::Take) {
        s.*field.flag = in[0] == yes;
      } else if (field.on_bad == OnBad::Notice) {
        messages.box(FAST_PAR_CAPTION, FAST_PAR_FAILURE, BoxIcon::None);
      } else {
        return false;
      }
      return true;
    }
    case Kind::Background: {
      const int i = letter_index(kBackgroundLetters, static_cast<char>(in[0]));
      if (i < 0) return false;
      s.background_colour = static_cast<BackgroundColour>(i);
      return true;
    }
    case Kind::LinkLetter: {
      const std::optional<LinkType> type = link_type_from_letter(static_cast<char>(in[0]));
      if (!type) return false;
      s.telescope_type = *type;
      return true;
    }
    case Kind::TextCard: f.*field.text = card_text(reinterpret_cast<const char*>(in)); return true;
    case Kind::LongText:
      f.*field.text = long_text_from_cards(reinterpret_cast<const char*>(in));
      return true;
    case Kind::Directions: {
      auto east_west = [](std::uint8_t c) { return c == 'e' || c == 'w'; };
      if (!east_west(in[2]) && !east_west(in[3])) return false;
      s.drive_directions.north_south_swapped = in[0] == 's';
      s.drive_directions.east_west_swapped = in[2] == 'w';
      return true;
    }
    case Kind::Folder: {
      std::string name;
      for (std::size_t i = 0; i < SETTINGS_SUBDIR_SIZE && in[i] != '\0' && in[i] != '"'; ++i)
        name.push_back(static_cast<char>(in[i]));
      s.autosave_subdir = name;
      return true;
    }
  }
  return true;
}

}  // namespace

std::optional<LinkType> link_type_from_letter(char letter) {
  const int i = letter_index(kLinkLetters, letter);
  if (i < 0) return std::nullopt;
  return static_cast<LinkType>(i);
}

std::array<std::uint8_t, SETTINGS_FILE_SIZE> settings_bytes(const Settings& s, const FitsText& f) {
  std::array<std::uint8_t, SETTINGS_FILE_SIZE> out{};
  std::size_t pos = 0;
  for (const Field& field : kFields) {
    write_field(field, s, f, out.data() + pos);
    pos += field_size(field.kind);
  }
  return out;
}

FileSave save_settings(const fs::path& file, const Settings& settings, const FitsText& fits) {
  if (!make_folder(file.parent_path())) return FileSave::Failed;
  const auto bytes = settings_bytes(settings, fits);
  AtomicFile out;
  if (!out.open(file) || !out.write(bytes.data(), bytes.size()) || !out.commit(true))
    return FileSave::Failed;
  return FileSave::Ok;
}

SettingsLoad load_settings(const fs::path& file, Settings& s, FitsText& f, Messages& messages) {
  std::error_code ec;
  const fs::path folder = file.parent_path();
  if (!fs::is_directory(folder, ec)) {
    // First start: make the folder and a complete file of the current values.
    make_folder(folder);
    return save_settings(file, s, f) == FileSave::Ok ? SettingsLoad::Created
                                                     : SettingsLoad::NotSaved;
  }

  InputFile in;
  if (!in.open(file)) {
    messages.box("", NO_INI_WARNING, BoxIcon::None);
    return SettingsLoad::Incomplete;
  }
  const auto length =
      static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), SETTINGS_FILE_SIZE));
  std::vector<std::uint8_t> data(length);
  if (length > 0 && !in.read(data.data(), length)) data.clear();
  in.close();

  // Each field is taken as it is read, so a file that ends early keeps the
  // fields before its end.
  std::size_t pos = 0;
  for (const Field& field : kFields) {
    const std::size_t n = field_size(field.kind);
    if (data.size() - pos < n) {
      if (field.short_file == Short::Warn) messages.box("", NO_INI_WARNING, BoxIcon::None);
      return SettingsLoad::Incomplete;
    }
    if (!read_field(field, data.data() + pos, s, f, messages)) {
      // A value the field cannot take: the whole file is written again from
      // the values in memory (the fields before it as read).
      return save_settings(file, s, f) == FileSave::Ok ? SettingsLoad::Rewritten
                                                       : SettingsLoad::NotSaved;
    }
    pos += n;
  }
  return SettingsLoad::Read;
}

SettingsLoad load_settings_at_start(const fs::path& file, Settings& s, FitsText& f,
                                    Messages& messages) {
  std::error_code ec;
  if (fs::symlink_status(file, ec).type() == fs::file_type::not_found)
    return save_settings(file, s, f) == FileSave::Ok ? SettingsLoad::Created
                                                     : SettingsLoad::NotSaved;
  return load_settings(file, s, f, messages);
}

}  // namespace tarvex
