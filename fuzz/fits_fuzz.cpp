// Fuzz target: the FITS reader, and the writer on everything it accepts.
// Input: a byte choosing one of the four FITS lengths, a byte of flags, the
// 5760-byte header (blank-padded when shorter) and the bytes the image data
// repeats. Every accepted file is saved and read back: the copy must be
// accepted, carry the same pixels, and save to the very same bytes again.
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
  data += 2;
  size -= 2;
  fuzz::Bytes file(length, ' ');
  const std::size_t header = std::min(size, FITS_HEADER_SIZE);
  std::memcpy(file.data(), data, header);
  const fuzz::Bytes rest = fuzz::repeat_to(data + header, size - header, length - FITS_HEADER_SIZE);
  std::memcpy(file.data() + FITS_HEADER_SIZE, rest.data(), rest.size());
  const auto path = fuzz::work_file("input.fit");
  fuzz::write_file(path, file);

  first->MergeMode = 0;
  first->IsColour = flags & 1;
  Loaded a;
  a.fits.fits_unsigned = (flags & 2) != 0;
  if (load(path, *first, a) != RawLoad::Ok) return 0;

  // Saved as this program saves the image it has, and read back.
  const auto copy = fuzz::work_file("copy.fit");
  fuzz::check(save_fits(copy, first->IsColour != 0, *first, a.fits, a.history) == FileSave::Ok,
              "an accepted file could not be saved");
  Loaded b;
  second->MergeMode = 0;
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
  fuzz::check(save_fits(again, second->IsColour != 0, *second, b.fits, b.history) == FileSave::Ok,
              "a reloaded file could not be saved");
  fuzz::check(fuzz::read_file(again) == fuzz::read_file(copy),
              "a second save and reload gave other bytes");
  return 0;
}
