// Fuzz target: the FITS reader, and the writer on everything it accepts.
// Input: a byte choosing one of the four FITS lengths, a byte of flags, then
// patches laid over a header this program wrote: each patch is a card index,
// a column, a length and that many bytes written into the card from that
// column (a whole card, or just a value: the fuzzer works on the texts and
// numbers instead of spending its time on the 72 cards' alignment). Every
// accepted file is saved and read back:
// the copy must be accepted, carry the same pixels, and save to the very
// same bytes again.
#include <array>
#include <memory>

#include "files/fits.h"
#include "files/raw_file.h"
#include "fuzz_support.h"

using namespace tarvex;

namespace {

constexpr std::uint64_t kFitsLengths[] = {FITS_BINNED_MONO, FITS_NORMAL_MONO, FITS_COLOUR_8BIT,
                                          FITS_COLOUR_16BIT};

std::unique_ptr<FrameStore> new_store() {
  auto f = std::make_unique<FrameStore>();
  init_frame_store(*f);
  return f;
}

struct Loaded {
  FitsText fits;
  ProcessingHistory history;
  std::string name;
};

// The texts of the header the patches are laid over.
const FitsText& base_text() {
  static const FitsText text = [] {
    FitsText t;
    t.fits_object = "M42";
    t.fits_telescope = "LX200 10in";
    t.fits_observer = "A. Observer";
    t.fits_date = "2024-03-09";
    t.fits_time = "21:05:07";
    t.fits_history = "dark subtracted";
    t.fits_exposure = 30.0;
    t.fits_focal_length = 100.0;
    return t;
  }();
  return text;
}

const ProcessingHistory& base_history() {
  static const ProcessingHistory history = [] {
    ProcessingHistory h;
    h.add_history("Normal Stretch : max 200 ,min 10");
    return h;
  }();
  return history;
}

RawLoad load(const std::filesystem::path& path, FrameStore& fs, Loaded& l) {
  return load_raw(path, LoadTarget{fs, l.fits, l.history, l.name, false});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const auto first = new_store();
  static const auto second = new_store();
  const std::size_t length = static_cast<std::size_t>(kFitsLengths[data[0] % 4]);
  const std::uint8_t flags = data[1];
  const bool colour = length == FITS_COLOUR_8BIT || length == FITS_COLOUR_16BIT;
  // The image data: the same for every input of a layout (the header is what
  // the fuzzer explores), made once.
  static std::array<fuzz::Bytes, 4> images;
  fuzz::Bytes& image = images[data[0] % 4];
  if (image.empty()) {
    const std::uint8_t pattern[] = {0x12, 0x34, 0x80, 0x00, 0xFF, 0xFE, 0x00, 0x01};
    image = fuzz::repeat_to(pattern, sizeof pattern, length);
  }
  fuzz::Bytes file = image;
  const auto header = fits_header(colour, length == FITS_BINNED_MONO, base_text(), base_history());
  std::memcpy(file.data(), header.data(), header.size());
  for (std::size_t at = 2; at + 3 <= size;) {
    const std::size_t card = data[at] % FITS_HEADER_CARDS;
    const std::size_t column = data[at + 1] % FITS_CARD_SIZE;
    const std::size_t n = std::min<std::size_t>(data[at + 2], size - at - 3);
    at += 3;
    const std::size_t room = std::min(n, FITS_CARD_SIZE - column);
    std::memcpy(file.data() + card * FITS_CARD_SIZE + column, data + at, room);
    at += n;
  }
  const auto path = fuzz::work_file("input.fit");
  fuzz::write_file(path, file);

  first->MergeMode = false;
  first->IsColour = flags & 1;
  Loaded a;
  a.fits.fits_unsigned = (flags & 2) != 0;
  if (load(path, *first, a) != RawLoad::Ok) return 0;

  // Saved as this program saves the image it has, and read back.
  const auto copy = fuzz::work_file("copy.fit");
  fuzz::check(save_fits(copy, first->IsColour, *first, a.fits, a.history) == FileSave::Ok,
              "an accepted file could not be saved");
  Loaded b;
  second->MergeMode = false;
  fuzz::check(load(copy, *second, b) == RawLoad::Ok, "the reader refused a file its writer wrote");
  fuzz::check(fuzz::same_bytes(second->CurrentFrame, first->CurrentFrame),
              "the frame changed in a save and reload");
  fuzz::check(second->IsColour == first->IsColour && second->IsBinned == first->IsBinned,
              "the image flags changed in a save and reload");
  if (first->IsColour) {
    fuzz::check(fuzz::same_bytes(second->RedPlane, first->RedPlane) &&
                    fuzz::same_bytes(second->GreenPlane, first->GreenPlane) &&
                    fuzz::same_bytes(second->BluePlane, first->BluePlane),
                "a colour plane changed in a save and reload");
  }
  const auto again = fuzz::work_file("again.fit");
  fuzz::check(save_fits(again, second->IsColour, *second, b.fits, b.history) == FileSave::Ok,
              "a reloaded file could not be saved");
  fuzz::check(fuzz::read_file(again) == fuzz::read_file(copy),
              "a second save and reload gave other bytes");
  return 0;
}
