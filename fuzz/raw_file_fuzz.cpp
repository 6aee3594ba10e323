// Fuzz target: File > Open of a KR File or FITS file of any length, through
// load_raw. Input: a length selector, a byte of image flags, then the bytes
// the file repeats. A refused file must leave the image state untouched.
#include <memory>

#include "files/fits.h"
#include "files/raw_file.h"
#include "fuzz_support.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const auto fs = [] {
    auto f = std::make_unique<FrameStore>();
    init_frame_store(*f);
    return f;
  }();
  static const auto before = std::make_unique<Frame>();
  const std::uint8_t flags = data[1];
  const std::size_t length = fuzz::chosen_length(data[0], size - 2);
  const auto path = fuzz::work_file("input.kr");
  fuzz::write_file(path, fuzz::repeat_to(data + 2, size - 2, length));

  fs->IsColour = flags & 1;
  fs->MergeMode = (flags >> 1) & 1;
  fs->IsBinned = (flags >> 2) & 1;
  fs->HasBytePlanes = (flags >> 3) & 1;
  FitsText fits;
  fits.fits_object = "kept";
  ProcessingHistory history;
  history.add_history("kept");
  std::string name = "kept.kr";
  *before = fs->CurrentFrame;
  const int colour = fs->IsColour, binned = fs->IsBinned, planes = fs->HasBytePlanes;

  const RawLoad r = load_raw(path, LoadTarget{*fs, fits, history, name, (flags & 16) != 0});
  if (r != RawLoad::Ok) {
    fuzz::check(fuzz::same_bytes(fs->CurrentFrame, *before), "a refused file changed the image");
    fuzz::check(fs->IsColour == colour && fs->IsBinned == binned && fs->HasBytePlanes == planes,
                "a refused file changed the image flags");
    fuzz::check(fits.fits_object == "kept" && history.line(0) == "kept" && name == "kept.kr",
                "a refused file changed the texts, the history or the name");
  }
  return 0;
}
