// Fuzz target: the dark frame and flat field loader (and a merge partner),
// through load_second. Input: a length selector, a byte choosing the purpose
// and the image's flags, then the bytes the file repeats. A refused file must
// leave SecondFrame untouched.
#include <memory>

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
  const auto path = fuzz::work_file("second.kr");
  fuzz::write_file(path, fuzz::repeat_to(data + 2, size - 2, length));

  const SecondPurpose purpose = (flags % 3) == 0   ? SecondPurpose::SubtractDark
                                : (flags % 3) == 1 ? SecondPurpose::FlatField
                                                   : SecondPurpose::Other;
  fs->IsBinned = (flags >> 2) & 1;
  fs->IsColour = (flags >> 3) & 1;
  fs->MergeMode = (flags >> 4) & 1;
  *before = fs->SecondFrame;
  const SecondLoad r = load_second(path, purpose, *fs);
  if (r != SecondLoad::Ok)
    fuzz::check(fuzz::same_bytes(fs->SecondFrame, *before),
                "a refused file changed the second frame");
  return 0;
}
