#include "files/fits.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

#include "files/fits_cards.h"
#include "platform/file_io.h"
#include "platform/ports.h"
#include "platform/printable_text.h"

namespace tarvex {

namespace {

constexpr std::size_t kFrameBlockBytes = 2 * BLOCK_SAMPLES;  // 15040

// Card positions (0-based) of the header layout.
constexpr int kCardObject = 5;
constexpr int kCardTelescope = 6;
constexpr int kCardInstrument = 7;
constexpr int kCardObserver = 8;
constexpr int kCardOrigin = 9;
constexpr int kCardDate = 10;
constexpr int kCardTime = 11;
constexpr int kCardHistoryLines = 12;  // 15 cards
constexpr int kCardHistoryText = 27;   // 4 cards
constexpr int kCardCommentText = 31;   // 4 cards
constexpr int kCardBzero = 35;
constexpr int kCardPixelWidth = 37;
constexpr int kCardPixelHeight = 38;
constexpr int kCardExposure = 40;
constexpr int kCardFocalLength = 41;
constexpr int kCardAperture = 42;
constexpr int kCardFilter = 43;
constexpr int kCardFileType = 44;
constexpr int kCardEnd = 45;

constexpr const char* kUnsignedBzero = "BZERO   =   +0.0000000000E+00";
constexpr std::size_t kBzeroCompare = 29;

// The keyword every card of the layout starts with, in order, up to END.
constexpr const char* kKeywords[kCardEnd + 1] = {
    "SIMPLE",   "BITPIX",   "NAXIS",    "NAXIS1",   "NAXIS2",   "OBJECT",   "TELESCOP", "INSTRUME",
    "OBSERVER", "ORIGIN",   "DATE-OBS", "TIME-OBS", "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",
    "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",
    "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",  "HISTORY",  "COMMENT",
    "COMMENT",  "COMMENT",  "COMMENT",  "BZERO",    "BSCALE",   "PIXWIDTH", "PIXHEIGH", "SATURATE",
    "EXPTIME",  "FOCALLEN", "APERTURE", "FILTER",   "FILETYPE", "END"};

using Header = std::array<char, FITS_HEADER_SIZE>;

char* card_at(Header& h, int index) {
  return h.data() + index * FITS_CARD_SIZE;
}
const char* card_at(const Header& h, int index) {
  return h.data() + index * FITS_CARD_SIZE;
}

void put_card(Header& h, int index, std::string_view text) {
  char* card = card_at(h, index);
  std::memset(card, ' ', FITS_CARD_SIZE);
  std::memcpy(card, text.data(), std::min(text.size(), FITS_CARD_SIZE));
}

void put_card(Header& h, int index, const std::array<char, SETTINGS_CARD_SIZE>& card) {
  std::memcpy(card_at(h, index), card.data(), FITS_CARD_SIZE);
}

// FITS headers hold printable ASCII only; anything else in a text (a control
// character, a byte of a multi-byte character) is written as '?', so every
// FITS reader can take the file.
std::string printable(std::string_view text) {
  return printable_or_questions(text);
}

// Reads the number of a card's value field. False when there is none, or
// when it is not a finite double.
bool parse_card_number(std::string_view v, double& value) {
  const auto first = v.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  v.remove_prefix(first);
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  double parsed = 0.0;
  const auto r = std::from_chars(v.data(), v.data() + v.size(), parsed);
  if (r.ec != std::errc() || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

// A number in the card's "%11.10E" form, in the C locale (the numbers are
// written the same whatever locale the desktop uses).
std::string number_digits(double v) {
  char buf[48];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 10);
  std::string digits(buf, r.ptr);
  for (char& c : digits)
    if (c == 'e') c = 'E';
  if (digits.size() < 11) digits.insert(0, 11 - digits.size(), ' ');
  return digits;
}

// The value of a numeric card: "    %11.10E". Values the card cannot carry
// (not finite, or so close to the largest double that ten digits round past
// it) are written as 0; the places a number is entered refuse them first.
std::string number_text(double v) {
  if (!fits_number_writable(v)) v = 0.0;
  return "    " + number_digits(v);
}

// Reads the number after the '=' of a numeric card. False when there is
// none, or when it is one this program could not write back.
bool card_number(const char* card, double& value) {
  double parsed = 0.0;
  if (!parse_card_number(std::string_view(card + 9, FITS_CARD_SIZE - 9), parsed) ||
      !fits_number_writable(parsed))
    return false;
  value = parsed;
  return true;
}

// A text read from a card, cut to the room its field has (a quote counting
// two, as it does when the text is written again).
std::string cut(const std::string& text, std::size_t room) {
  return cut_card_text(text, room);
}

// Everything a header gives, read into a copy so nothing of the image state
// changes before the whole file is known to be good.
struct ParsedHeader {
  FitsText fits;
  std::array<std::string, HISTORY_LINES> history;
  unsigned offset = FITS_SIGNED_OFFSET;
  bool binned = false;
};

bool keyword_is(const char* card, const char* keyword) {
  const std::size_t n = std::strlen(keyword);
  if (std::memcmp(card, keyword, n) != 0) return false;
  for (std::size_t i = n; i < 8; ++i)
    if (card[i] != ' ') return false;
  return true;
}

// Checks the header against this program's layout and reads it. `fits` holds
// the values the fields keep when the header does not replace them.
FitsLoad parse_header(const Header& h, const FitsText& fits, ParsedHeader& out) {
  const char* c2 = card_at(h, 1);
  const char* c3 = card_at(h, 2);
  const char* c4 = card_at(h, 3);
  const char* c5 = card_at(h, 4);
  if (c2[28] != '1' || c2[29] != '6') return FitsLoad::Foreign;
  if (c3[29] != '2' && c3[29] != '6') return FitsLoad::Foreign;
  if (std::memcmp(c4 + 27, "752", 3) != 0 || std::memcmp(c5 + 27, "580", 3) != 0)
    return FitsLoad::Foreign;
  // The further cards are taken by position: a file whose cards stand
  // elsewhere (another program's FITS file of the same size) is refused
  // rather than read into the wrong fields.
  for (int i = 0; i <= kCardEnd; ++i)
    if (!keyword_is(card_at(h, i), kKeywords[i])) return FitsLoad::Foreign;

  out.fits = fits;
  FitsText& f = out.fits;
  f.fits_object = cut(card_text(card_at(h, kCardObject), FITS_CARD_SIZE), FITS_TEXT_MAX);
  f.fits_telescope = cut(card_text(card_at(h, kCardTelescope), FITS_CARD_SIZE), FITS_TEXT_MAX);
  f.fits_instrument = cut(card_text(card_at(h, kCardInstrument), FITS_CARD_SIZE), FITS_TEXT_MAX);
  f.fits_observer = cut(card_text(card_at(h, kCardObserver), FITS_CARD_SIZE), FITS_TEXT_MAX);
  f.fits_origin = cut(card_text(card_at(h, kCardOrigin), FITS_CARD_SIZE), FITS_TEXT_MAX);
  f.fits_date = cut(card_text(card_at(h, kCardDate), FITS_CARD_SIZE), FITS_DATE_MAX);
  f.fits_time = cut(card_text(card_at(h, kCardTime), FITS_CARD_SIZE), FITS_TIME_MAX);
  for (int i = 0; i < HISTORY_LINES; ++i)
    out.history[static_cast<std::size_t>(i)] =
        cut(card_text(card_at(h, kCardHistoryLines + i), FITS_CARD_SIZE), HISTORY_LINE_MAX);
  f.fits_history = cut(long_text_from_cards(card_at(h, kCardHistoryText)), FITS_LONG_TEXT_MAX);
  f.fits_comment = cut(long_text_from_cards(card_at(h, kCardCommentText)), FITS_LONG_TEXT_MAX);

  f.fits_unsigned = std::memcmp(card_at(h, kCardBzero), kUnsignedBzero, kBzeroCompare) == 0;
  out.offset = f.fits_unsigned ? 0 : FITS_SIGNED_OFFSET;

  if (!card_number(card_at(h, kCardPixelWidth), f.fits_pixel_width) ||
      !card_number(card_at(h, kCardPixelHeight), f.fits_pixel_height) ||
      !card_number(card_at(h, kCardExposure), f.fits_exposure) ||
      !card_number(card_at(h, kCardFocalLength), f.fits_focal_length) ||
      !card_number(card_at(h, kCardAperture), f.fits_aperture)) {
    return FitsLoad::Foreign;
  }
  f.fits_filter = cut(card_text(card_at(h, kCardFilter), FITS_CARD_SIZE), FITS_TEXT_MAX);
  out.binned = card_at(h, kCardFileType)[11] == 'B';
  return FitsLoad::Ok;
}

void encode_block(const std::uint16_t* samples, std::uint8_t* out, std::size_t n, unsigned offset) {
  for (std::size_t i = 0; i < n; ++i) {
    const auto v = static_cast<std::uint16_t>(samples[i] - offset);
    out[2 * i] = static_cast<std::uint8_t>(v >> 8);
    out[2 * i + 1] = static_cast<std::uint8_t>(v & 0xFF);
  }
}

void decode_frame(const std::uint8_t* in, std::uint16_t* samples, unsigned offset) {
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    const unsigned b = (static_cast<unsigned>(in[2 * i]) << 8) | in[2 * i + 1];
    samples[i] = static_cast<std::uint16_t>(b + offset);
  }
}

bool write_frame(AtomicFile& out, const std::uint16_t* frame, unsigned offset) {
  std::array<std::uint8_t, kFrameBlockBytes> block;
  for (int b = 0; b < FRAME_BLOCKS; ++b) {
    encode_block(frame + b * BLOCK_SAMPLES, block.data(), BLOCK_SAMPLES, offset);
    if (!out.write(block.data(), block.size())) return false;
  }
  return true;
}

// Opens a FITS file, checks that its length is still one of the FITS lengths
// and reads the header.
FitsLoad open_and_parse(const std::filesystem::path& path, InputFile& in, FileLayout& layout,
                        const FitsText& fits, ParsedHeader& parsed) {
  if (!in.open(path)) return FitsLoad::Unreadable;
  layout = layout_for_length(in.size());
  if (!is_fits_layout(layout)) return FitsLoad::Unreadable;  // changed since its length was checked
  Header h;
  if (!in.read(h.data(), h.size())) return FitsLoad::Unreadable;
  return parse_header(h, fits, parsed);
}

}  // namespace

bool fits_number_writable(double value) {
  if (!std::isfinite(value)) return false;
  double back = 0.0;
  return parse_card_number(number_digits(value), back);
}

std::array<char, FITS_HEADER_SIZE> fits_header(bool colour, bool binned, const FitsText& f,
                                               const ProcessingHistory& history) {
  Header h;
  h.fill(' ');
  put_card(h, 0, colour ? "SIMPLE  =                    F /" : "SIMPLE  =                    T /");
  put_card(h, 1, "BITPIX  =                   16 /");
  put_card(h, 2, colour ? "NAXIS   =                    6 /" : "NAXIS   =                    2 /");
  put_card(h, 3, "NAXIS1  =                  752 /");
  put_card(h, 4, "NAXIS2  =                  580 /");
  put_card(h, kCardObject, make_text_card("OBJECT  ", printable(f.fits_object)));
  put_card(h, kCardTelescope, make_text_card("TELESCOP", printable(f.fits_telescope)));
  put_card(h, kCardInstrument, make_text_card("INSTRUME", printable(f.fits_instrument)));
  put_card(h, kCardObserver, make_text_card("OBSERVER", printable(f.fits_observer)));
  put_card(h, kCardOrigin, make_text_card("ORIGIN  ", printable(f.fits_origin)));
  put_card(h, kCardDate, make_text_card("DATE-OBS", printable(f.fits_date)));
  put_card(h, kCardTime, make_text_card("TIME-OBS", printable(f.fits_time)));
  for (int i = 0; i < HISTORY_LINES; ++i)
    put_card(h, kCardHistoryLines + i, make_text_card("HISTORY ", printable(history.line(i))));
  const auto hist = make_long_text_cards("HISTORY ", printable(f.fits_history));
  const auto comm = make_long_text_cards("COMMENT ", printable(f.fits_comment));
  for (int k = 0; k < 4; ++k) {
    put_card(h, kCardHistoryText + k, hist[static_cast<std::size_t>(k)]);
    put_card(h, kCardCommentText + k, comm[static_cast<std::size_t>(k)]);
  }
  put_card(h, kCardBzero, f.fits_unsigned ? kUnsignedBzero : "BZERO   =   +3.2768000000E+04");
  put_card(h, kCardBzero + 1, "BSCALE  =   +1.0000000000E+00");
  put_card(h, kCardPixelWidth, "PIXWIDTH=" + number_text(f.fits_pixel_width));
  put_card(h, kCardPixelHeight, "PIXHEIGH=" + number_text(f.fits_pixel_height));
  put_card(h, kCardExposure - 1,
           f.fits_unsigned ? "SATURATE=                65535" : "SATURATE=                32768");
  put_card(h, kCardExposure, "EXPTIME =" + number_text(f.fits_exposure));
  put_card(h, kCardFocalLength, "FOCALLEN=" + number_text(f.fits_focal_length));
  put_card(h, kCardAperture, "APERTURE=" + number_text(f.fits_aperture));
  put_card(h, kCardFilter, make_text_card("FILTER  ", printable(f.fits_filter)));
  put_card(h, kCardFileType, make_text_card("FILETYPE", binned ? "BINNED" : "NORMAL"));
  put_card(h, kCardEnd, "END");
  return h;
}

namespace {

// Writes the header and the data of a FITS file into `out`, opened already.
bool write_fits(AtomicFile& out, bool colour, const FrameStore& fs, const FitsText& fits,
                const ProcessingHistory& history) {
  const Header h = fits_header(colour, fs.IsBinned, fits, history);
  const unsigned offset = fits.fits_unsigned ? 0 : FITS_SIGNED_OFFSET;
  if (!out.write(h.data(), h.size())) return false;
  if (!write_frame(out, fs.CurrentFrame.data(), offset)) return false;
  if (colour) {
    for (const Frame* plane : {&fs.RedPlane, &fs.GreenPlane, &fs.BluePlane})
      if (!write_frame(out, plane->data(), offset)) return false;
  } else if (fs.IsBinned) {
    const std::array<char, FITS_BINNED_TRAILER> blanks = [] {
      std::array<char, FITS_BINNED_TRAILER> b;
      b.fill(' ');
      return b;
    }();
    if (!out.write(blanks.data(), blanks.size())) return false;
  }
  return true;
}

}  // namespace

FileSave save_fits(const std::filesystem::path& path, bool colour, const FrameStore& fs,
                   const FitsText& fits, const ProcessingHistory& history) {
  AtomicFile out;
  if (!out.open(path) || !write_fits(out, colour, fs, fits, history)) return FileSave::Failed;
  return saved_if(out.commit(true));
}

FitsLoad load_fits(const std::filesystem::path& path, bool byte_planes, FrameStore& fs,
                   FitsText& fits, ProcessingHistory& history) {
  InputFile in;
  FileLayout layout = FileLayout::Unknown;
  ParsedHeader parsed;
  if (const FitsLoad r = open_and_parse(path, in, layout, fits, parsed); r != FitsLoad::Ok)
    return r;
  // The caller chose the reader by the length it saw; the file must still
  // have the layout it was chosen for.
  if (byte_planes != (layout == FileLayout::FitsColour8)) return FitsLoad::Unreadable;

  // The data is read whole before any buffer changes, so a file that ends
  // early leaves the image as it was.
  std::vector<std::uint8_t> data(static_cast<std::size_t>(in.size() - FITS_HEADER_SIZE));
  if (!in.read(data.data(), data.size())) return FitsLoad::Unreadable;
  in.close();

  const unsigned offset = parsed.offset;
  const std::uint8_t* p = data.data();
  decode_frame(p, fs.CurrentFrame.data(), offset);
  p += FRAME_BYTES;
  fs.IsBinned = (layout == FileLayout::FitsBinnedMono || parsed.binned);
  fs.IsColour = false;
  fs.HasBytePlanes = false;
  if (layout == FileLayout::FitsColour8) {
    std::memcpy(fs.RedBytes.data(), p, FRAME_SAMPLES);
    std::memcpy(fs.GreenBytes.data(), p + FRAME_SAMPLES, FRAME_SAMPLES);
    std::memcpy(fs.BlueBytes.data(), p + 2 * FRAME_SAMPLES, FRAME_SAMPLES);
    widen_byte_planes(fs);
    fs.IsColour = true;
    fs.HasBytePlanes = true;
  } else if (layout == FileLayout::FitsColour16) {
    decode_frame(p, fs.RedPlane.data(), offset);
    decode_frame(p + FRAME_BYTES, fs.GreenPlane.data(), offset);
    decode_frame(p + 2 * FRAME_BYTES, fs.BluePlane.data(), offset);
    fs.IsColour = true;
  }
  fits = parsed.fits;
  for (int i = 0; i < HISTORY_LINES; ++i)
    history.set_line(i, parsed.history[static_cast<std::size_t>(i)]);
  return FitsLoad::Ok;
}

SecondLoad load_fits_second(const std::filesystem::path& path, SecondPurpose purpose,
                            FrameStore& fs) {
  return load_fits_second(path, purpose, SecondTarget{fs.SecondFrame, fs.IsBinned});
}

SecondLoad load_fits_second(const std::filesystem::path& path, SecondPurpose purpose,
                            const SecondTarget& target) {
  InputFile in;
  FileLayout layout = FileLayout::Unknown;
  ParsedHeader parsed;
  const FitsText unused;
  switch (open_and_parse(path, in, layout, unused, parsed)) {
    case FitsLoad::Ok: break;
    case FitsLoad::Unreadable: return SecondLoad::FitsUnreadable;
    case FitsLoad::Foreign: return SecondLoad::FitsForeign;
  }
  if (purpose == SecondPurpose::SubtractDark) {
    const bool dark_binned = layout == FileLayout::FitsBinnedMono || parsed.binned;
    if (dark_binned && !target.image_binned) return SecondLoad::DarkBinnedImageNot;
    if (!dark_binned && target.image_binned) return SecondLoad::ImageBinnedDarkNot;
  }
  std::vector<std::uint8_t> data(FRAME_BYTES);
  if (!in.read(data.data(), data.size())) return SecondLoad::FitsUnreadable;
  decode_frame(data.data(), target.frame.data(), parsed.offset);
  return SecondLoad::Ok;
}

unsigned next_autosave_number(std::int16_t last) {
  const unsigned next = static_cast<std::uint16_t>(last) + 1u;
  return next >= AUTOSAVE_NUMBER_WRAP ? 1u : next;
}

std::string autosave_file_name(const std::string& prefix, unsigned number) {
  return prefix + std::to_string(number) + ".FIT";
}

std::string fits_date_text(const std::tm& t) {
  // The year in four digits: 2000 to 2009 as "200" and one digit, later
  // years as "20" and two; years past 2099 keep all their digits.
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
  return buf;
}

std::string fits_time_text(const std::tm& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

void stamp_mid_exposure_ut(FitsText& fits, std::time_t start, std::uint32_t exposure_ms) {
  // The system clock counts seconds since the epoch in UT, so the middle of
  // the exposure converts to UT directly, whatever the settings' offset.
  const std::time_t middle = start + static_cast<std::time_t>(exposure_ms / 2000u);
  std::tm ut{};
  if (::gmtime_r(&middle, &ut) == nullptr) return;
  fits.fits_date = fits_date_text(ut);
  fits.fits_time = fits_time_text(ut);
}

std::string local_date_text(std::time_t now, int ut_offset_hours) {
  return fits_date_text(calendar_in_zone(now, ut_offset_hours));
}

std::filesystem::path next_autosave_file(const Settings& settings, const Paths& paths,
                                         const std::string& prefix, unsigned* number_out) {
  const std::filesystem::path folder = paths.autosave_dir(settings.autosave_subdir);
  unsigned number = next_autosave_number(settings.autosave_number);
  std::filesystem::path file = folder / autosave_file_name(prefix, number);
  std::error_code ec;
  for (unsigned tries = 1; std::filesystem::exists(file, ec) && tries < AUTOSAVE_NUMBER_WRAP;
       ++tries) {
    number = next_autosave_number(static_cast<std::int16_t>(number));
    file = folder / autosave_file_name(prefix, number);
  }
  if (number_out != nullptr) *number_out = number;
  if (std::filesystem::exists(file, ec)) return {};  // every number of the series is taken
  return file;
}

AutosaveResult autosave_fits(AutosaveTarget t, std::time_t start, std::uint32_t exposure_ms,
                             const std::string& prefix) {
  AutosaveResult r;
  const std::filesystem::path folder = t.paths.autosave_dir(t.settings.autosave_subdir);
  r.number = next_autosave_number(t.settings.autosave_number);
  r.file = folder / autosave_file_name(prefix, r.number);
  errno = 0;
  if (!make_folder(folder)) {
    r.result = AutosaveStatus::FileNotWritten;
    r.error = errno != 0 ? errno : ENOTDIR;
    return r;
  }
  unsigned number = 0;
  std::filesystem::path file = next_autosave_file(t.settings, t.paths, prefix, &number);
  if (file.empty()) {
    r.number = number;
    r.result = AutosaveStatus::SeriesFull;
    return r;
  }

  stamp_mid_exposure_ut(t.fits, start, exposure_ms);
  // The file is written once under its temporary name; it then takes the
  // first free number from the one chosen on, in one step with the check,
  // so another program saving into the same folder at the same moment can
  // never replace it, nor it the other's file. A failed write keeps the
  // number, so the next save tries the same name.
  AtomicFile out;
  bool named = out.open(file) && write_fits(out, t.fs.IsColour, t.fs, t.fits, t.history);
  for (unsigned tries = 1; named; ++tries) {
    r.number = number;
    r.file = file;
    if (out.commit_new(file, true)) break;
    if (out.error() != EEXIST) {
      named = false;
    } else if (tries >= AUTOSAVE_NUMBER_WRAP - 1) {
      r.result = AutosaveStatus::SeriesFull;  // taken meanwhile, every one
      return r;
    } else {
      number = next_autosave_number(static_cast<std::int16_t>(number));
      file = folder / autosave_file_name(prefix, number);
    }
  }
  if (!named) {
    r.result = AutosaveStatus::FileNotWritten;
    r.error = out.error();
    return r;
  }
  t.settings.autosave_number = static_cast<std::int16_t>(number);
  if (save_settings(t.paths.settings_file(), t.settings, t.fits) != FileSave::Ok)
    r.result = AutosaveStatus::SettingsNotSaved;
  return r;
}

}  // namespace tarvex
