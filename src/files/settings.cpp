#include "files/settings.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

#include "platform/file_io.h"

namespace tarvex {

namespace fs = std::filesystem;

namespace {

constexpr const char* kObjectKey = "OBJECT  ";
constexpr const char* kTelescopeKey = "TELESCOP";
constexpr const char* kInstrumentKey = "INSTRUME";
constexpr const char* kObserverKey = "OBSERVER";
constexpr const char* kOriginKey = "ORIGIN  ";
constexpr const char* kHistoryKey = "HISTORY ";
constexpr const char* kCommentKey = "COMMENT ";

class Writer {
 public:
  explicit Writer(std::array<std::uint8_t, SETTINGS_FILE_SIZE>& out) : out_(out) {}
  void i16(std::int16_t v) {
    auto u = static_cast<std::uint16_t>(v);
    byte(static_cast<std::uint8_t>(u & 0xFF));
    byte(static_cast<std::uint8_t>(u >> 8));
  }
  void yn(bool v) { byte(v ? 'y' : 'n'); }
  void one_zero(bool v) { byte(v ? '1' : '0'); }
  void letter(char c) { byte(static_cast<std::uint8_t>(c)); }
  void bytes(const char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) byte(static_cast<std::uint8_t>(p[i]));
  }
  std::size_t position() const { return pos_; }

 private:
  void byte(std::uint8_t b) { out_[pos_++] = b; }
  std::array<std::uint8_t, SETTINGS_FILE_SIZE>& out_;
  std::size_t pos_ = 0;
};

// Reads the fields in order from the bytes that were in the file.
class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& in) : in_(in) {}
  bool have(std::size_t n) const { return pos_ + n <= in_.size(); }
  std::int16_t i16() {
    auto v = static_cast<std::uint16_t>(in_[pos_] | (in_[pos_ + 1] << 8));
    pos_ += 2;
    return static_cast<std::int16_t>(v);
  }
  std::uint8_t byte() { return in_[pos_++]; }
  const char* take(std::size_t n) {
    const char* p = reinterpret_cast<const char*>(in_.data() + pos_);
    pos_ += n;
    return p;
  }

 private:
  const std::vector<std::uint8_t>& in_;
  std::size_t pos_ = 0;
};

bool is_yn(std::uint8_t b) {
  return b == 'y' || b == 'n';
}

}  // namespace

std::array<char, SETTINGS_CARD_SIZE> make_text_card(const char* keyword8, std::string_view text) {
  std::array<char, SETTINGS_CARD_SIZE> card;
  card.fill(' ');
  std::memcpy(card.data(), keyword8, 8);
  card[8] = '=';
  card[9] = ' ';
  card[10] = '\'';
  text = text.substr(0, CARD_TEXT_MAX);
  std::memcpy(card.data() + 11, text.data(), text.size());
  card[11 + text.size()] = '\'';
  return card;
}

std::array<std::array<char, SETTINGS_CARD_SIZE>, 4> make_long_text_cards(const char* keyword8,
                                                                         std::string_view text) {
  std::array<std::array<char, SETTINGS_CARD_SIZE>, 4> cards;
  for (std::size_t k = 0; k < 4; ++k) {
    auto& card = cards[k];
    card.fill(' ');
    std::memcpy(card.data(), keyword8, 8);
    card[8] = '=';
    card[9] = ' ';
    card[10] = '\'';
    const std::size_t start = k * CARD_PIECE_SIZE;
    if (start < text.size()) {
      auto piece = text.substr(start, CARD_PIECE_SIZE);
      std::memcpy(card.data() + 11, piece.data(), piece.size());
    }
    card[79] = '\'';
  }
  return cards;
}

std::string card_text(const char* card, std::size_t card_size) {
  std::string text;
  for (std::size_t i = 11; i < card_size && card[i] != '\''; ++i) text.push_back(card[i]);
  return text;
}

std::string long_text_from_cards(const char* cards) {
  std::string text;
  for (std::size_t k = 0; k < 4; ++k) {
    std::string piece = card_text(cards + k * SETTINGS_CARD_SIZE);
    if (k == 3 && piece.size() > 51) piece.resize(51);
    text += piece;
  }
  return text;
}

std::array<std::uint8_t, SETTINGS_FILE_SIZE> settings_bytes(const Settings& s, const FitsText& f) {
  std::array<std::uint8_t, SETTINGS_FILE_SIZE> out{};
  Writer w(out);
  w.i16(s.autosave_number);
  w.i16(s.ut_offset_hours);
  w.yn(s.light_pollution);
  w.yn(s.line_offset);
  w.yn(s.pixel_offset);
  w.yn(s.fast_par);
  w.i16(s.reserved_choice_a);
  w.i16(s.guide_mask_radius);
  w.yn(s.anti_alias);
  w.yn(s.weak_stretch);
  w.yn(s.strong_stretch);
  w.yn(s.ir_filter);
  w.i16(s.saturation_factor);
  w.i16(s.reserved_choice_b);
  w.letter(s.background_colour);
  w.one_zero(s.focus_delay);
  w.yn(s.user_stretch);
  w.i16(s.user_stretch_value);
  w.yn(s.high_pass_low_power);
  w.yn(s.unsharp_mask);
  w.i16(s.unsharp_diameter);
  w.i16(s.unsharp_power);
  w.yn(s.remove_background);
  w.yn(s.disable_interrupts);
  w.yn(s.fast_par2);
  w.bytes(make_text_card(kObjectKey, f.fits_object).data(), SETTINGS_CARD_SIZE);
  w.bytes(make_text_card(kTelescopeKey, f.fits_telescope).data(), SETTINGS_CARD_SIZE);
  w.bytes(make_text_card(kInstrumentKey, f.fits_instrument).data(), SETTINGS_CARD_SIZE);
  w.bytes(make_text_card(kObserverKey, f.fits_observer).data(), SETTINGS_CARD_SIZE);
  w.bytes(make_text_card(kOriginKey, f.fits_origin).data(), SETTINGS_CARD_SIZE);
  for (const auto& card : make_long_text_cards(kHistoryKey, f.fits_history))
    w.bytes(card.data(), SETTINGS_CARD_SIZE);
  for (const auto& card : make_long_text_cards(kCommentKey, f.fits_comment))
    w.bytes(card.data(), SETTINGS_CARD_SIZE);
  w.yn(s.colour_option);
  w.i16(s.com_port);
  w.i16(s.guide_training_time);
  w.i16(s.ra_pixels_per_sec);
  w.i16(s.dec_pixels_per_sec);
  w.i16(s.ra_backlash);
  w.i16(s.dec_backlash);
  w.one_zero(s.ignore_drift);
  w.letter(s.telescope_type);
  w.i16(s.ra_hysteresis);
  w.i16(s.dec_hysteresis);
  w.bytes(s.drive_directions.data(), 4);
  w.yn(s.beep_after_exposure);
  w.yn(s.direction_change_delay);
  w.yn(s.controlbox_present);
  char subdir[SETTINGS_SUBDIR_SIZE] = {};
  std::memcpy(subdir, s.autosave_subdir.data(),
              std::min(s.autosave_subdir.size(), SETTINGS_SUBDIR_SIZE));
  w.bytes(subdir, SETTINGS_SUBDIR_SIZE);
  w.yn(s.dedicated_com_port);
  w.yn(s.interlace_smoothing);
  w.yn(s.colour_smoothing);
  w.yn(s.binned_import_default);
  w.yn(s.usb_debug_info);
  return out;
}

void apply_ut_offset(std::int16_t ut_offset_hours) {
  std::string tz = "GMT" + std::to_string(ut_offset_hours);
  ::setenv("TZ", tz.c_str(), 1);
  ::tzset();
}

int save_settings(const fs::path& file, const Settings& settings, const FitsText& fits) {
  if (!make_folder(file.parent_path())) return 3;
  const auto bytes = settings_bytes(settings, fits);
  AtomicFile out;
  if (!out.open(file)) return 3;
  if (!out.write(bytes.data(), bytes.size())) return 3;
  if (!out.commit(true)) return 3;
  apply_ut_offset(settings.ut_offset_hours);
  return 0;
}

int load_settings(const fs::path& file, Settings& s, FitsText& f, Messages& messages) {
  std::error_code ec;
  const fs::path folder = file.parent_path();
  if (!fs::is_directory(folder, ec)) {
    // First start: make the folder and a complete file of the current values.
    make_folder(folder);
    return save_settings(file, s, f);
  }

  InputFile in;
  if (!in.open(file)) {
    messages.box("", NO_INI_WARNING, BoxIcon::None);
    return 2;
  }
  const auto length =
      static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), SETTINGS_FILE_SIZE));
  std::vector<std::uint8_t> data(length);
  if (length > 0 && !in.read(data.data(), length)) data.clear();
  in.close();

  Reader r(data);
  // A short read ends the load with result 2; for some fields the warning box
  // is shown first.
  auto short_read = [&](bool warn) {
    if (warn) messages.box("", NO_INI_WARNING, BoxIcon::None);
    return 2;
  };
  // A bad value ends the load by rewriting the file with the values in memory.
  auto rewrite = [&]() { return save_settings(file, s, f); };

#define TVX_NEED(n, warn) \
  if (!r.have(n)) return short_read(warn)

  TVX_NEED(2, true);
  s.autosave_number = r.i16();
  TVX_NEED(2, true);
  s.ut_offset_hours = r.i16();
  TVX_NEED(1, true);
  s.light_pollution = r.byte() == 'y';
  TVX_NEED(1, false);
  s.line_offset = r.byte() == 'y';
  TVX_NEED(1, true);
  s.pixel_offset = r.byte() == 'y';
  TVX_NEED(1, true);
  {
    const std::uint8_t b = r.byte();
    if (is_yn(b)) {
      s.fast_par = b == 'y';
    } else {
      messages.box(FAST_PAR_CAPTION, FAST_PAR_FAILURE, BoxIcon::None);
    }
  }
  TVX_NEED(2, true);
  s.reserved_choice_a = r.i16();
  TVX_NEED(2, true);
  s.guide_mask_radius = r.i16();
  TVX_NEED(1, false);
  s.anti_alias = r.byte() == 'y';
  TVX_NEED(1, true);
  s.weak_stretch = r.byte() == 'y';
  TVX_NEED(1, true);
  s.strong_stretch = r.byte() == 'y';
  TVX_NEED(1, true);
  s.ir_filter = r.byte() == 'y';
  TVX_NEED(2, true);
  {
    // Out of range factors (the file holds 0, a negative value or more than
    // 9) fall back to 3.
    const std::int16_t v = r.i16();
    s.saturation_factor = (v < 1 || v > 9) ? 3 : v;
  }
  TVX_NEED(2, true);
  s.reserved_choice_b = r.i16();
  TVX_NEED(1, true);
  {
    const std::uint8_t b = r.byte();
    if (b != 'r' && b != 'l' && b != 'g') return rewrite();
    s.background_colour = static_cast<char>(b);
  }
  TVX_NEED(1, false);
  s.focus_delay = r.byte() == '1';
  TVX_NEED(1, true);
  s.user_stretch = r.byte() == 'y';
  TVX_NEED(2, true);
  {
    const std::int16_t v = r.i16();
    if (v < 1 || v > 36) return rewrite();
    s.user_stretch_value = v;
  }
  TVX_NEED(1, true);
  {
    const std::uint8_t b = r.byte();
    if (!is_yn(b)) return rewrite();
    s.high_pass_low_power = b == 'y';
  }
  TVX_NEED(1, true);
  {
    const std::uint8_t b = r.byte();
    if (!is_yn(b)) return rewrite();
    s.unsharp_mask = b == 'y';
  }
  TVX_NEED(2, true);
  {
    const std::int16_t v = r.i16();
    if (v < 1 || v > 6) return rewrite();
    s.unsharp_diameter = v;
  }
  TVX_NEED(2, true);
  {
    const std::int16_t v = r.i16();
    if (v < 1 || v > 6) return rewrite();
    s.unsharp_power = v;
  }
  TVX_NEED(1, false);
  {
    const std::uint8_t b = r.byte();
    if (!is_yn(b)) return rewrite();
    s.remove_background = b == 'y';
  }
  TVX_NEED(1, false);
  {
    const std::uint8_t b = r.byte();
    if (!is_yn(b)) return rewrite();
    s.disable_interrupts = b == 'y';
  }
  TVX_NEED(1, false);
  s.fast_par2 = r.byte() == 'y';

  TVX_NEED(SETTINGS_CARD_SIZE, true);
  f.fits_object = card_text(r.take(SETTINGS_CARD_SIZE));
  TVX_NEED(SETTINGS_CARD_SIZE, true);
  f.fits_telescope = card_text(r.take(SETTINGS_CARD_SIZE));
  TVX_NEED(SETTINGS_CARD_SIZE, true);
  f.fits_instrument = card_text(r.take(SETTINGS_CARD_SIZE));
  TVX_NEED(SETTINGS_CARD_SIZE, true);
  f.fits_observer = card_text(r.take(SETTINGS_CARD_SIZE));
  TVX_NEED(SETTINGS_CARD_SIZE, true);
  f.fits_origin = card_text(r.take(SETTINGS_CARD_SIZE));
  // The history and comment texts come in four cards each; a short read part
  // way through keeps the text as it was.
  TVX_NEED(4 * SETTINGS_CARD_SIZE, true);
  f.fits_history = long_text_from_cards(r.take(4 * SETTINGS_CARD_SIZE));
  TVX_NEED(4 * SETTINGS_CARD_SIZE, true);
  f.fits_comment = long_text_from_cards(r.take(4 * SETTINGS_CARD_SIZE));
  TVX_NEED(1, true);
  s.colour_option = r.byte() == 'y';

  TVX_NEED(2, false);
  {
    const std::int16_t v = r.i16();
    s.com_port = (v >= 1 && v <= 5) ? v : 5;
  }
  TVX_NEED(2, false);
  s.guide_training_time = r.i16();
  TVX_NEED(2, false);
  s.ra_pixels_per_sec = r.i16();
  TVX_NEED(2, false);
  s.dec_pixels_per_sec = r.i16();
  TVX_NEED(2, false);
  {
    const std::int16_t v = r.i16();
    if (v < 0 || v > 20) return rewrite();
    s.ra_backlash = v;
  }
  TVX_NEED(2, false);
  {
    const std::int16_t v = r.i16();
    if (v < 0 || v > 20) return rewrite();
    s.dec_backlash = v;
  }
  TVX_NEED(1, false);
  {
    const std::uint8_t b = r.byte();
    if (b != '1' && b != '0') return rewrite();
    s.ignore_drift = b == '1';
  }
  TVX_NEED(1, false);
  {
    const std::uint8_t b = r.byte();
    if (b != 'n' && b != 'l' && b != 'b') return rewrite();
    s.telescope_type = static_cast<char>(b);
  }
  TVX_NEED(2, false);
  s.ra_hysteresis = r.i16();
  TVX_NEED(2, false);
  s.dec_hysteresis = r.i16();
  TVX_NEED(4, false);
  {
    const char* d = r.take(4);
    auto east_west = [](char c) { return c == 'e' || c == 'w'; };
    if (!east_west(d[2]) && !east_west(d[3])) return rewrite();
    std::memcpy(s.drive_directions.data(), d, 4);
  }
  TVX_NEED(1, false);
  s.beep_after_exposure = r.byte() == 'y';
  TVX_NEED(1, false);
  s.direction_change_delay = r.byte() == 'y';
  TVX_NEED(1, false);
  s.controlbox_present = r.byte() == 'y';
  TVX_NEED(SETTINGS_SUBDIR_SIZE, false);
  {
    const char* p = r.take(SETTINGS_SUBDIR_SIZE);
    std::string name;
    for (std::size_t i = 0; i < SETTINGS_SUBDIR_SIZE && p[i] != '\0' && p[i] != '"'; ++i)
      name.push_back(p[i]);
    s.autosave_subdir = name;
  }
  TVX_NEED(1, false);
  s.dedicated_com_port = r.byte() == 'y';
  TVX_NEED(1, false);
  s.interlace_smoothing = r.byte() == 'y';
  TVX_NEED(1, false);
  s.colour_smoothing = r.byte() == 'y';
  TVX_NEED(1, false);
  s.binned_import_default = r.byte() == 'y';
  TVX_NEED(1, false);
  s.usb_debug_info = r.byte() == 'y';
#undef TVX_NEED

  apply_ut_offset(s.ut_offset_hours);
  return 0;
}

}  // namespace tarvex
