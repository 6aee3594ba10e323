// Writes the seed inputs of every fuzz target into <folder>/<target>/: files
// the program writes (KR Files, flat fields, FITS files of each layout, the
// settings file), put into each target's input form, and a few scripted
// camera reads and LX200 coordinates.
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "files/fits.h"
#include "files/raw_file.h"
#include "files/settings.h"
#include "fuzz_support.h"

using namespace tarvex;
namespace fs = std::filesystem;

namespace {

fs::path g_root;
int g_count = 0;

void seed(const char* target, const std::string& name, const fuzz::Bytes& bytes) {
  const fs::path folder = g_root / target;
  fs::create_directories(folder);
  fuzz::write_file(folder / name, bytes);
  ++g_count;
}

// A file as the raw and second-frame targets take it: its length selector,
// flags, and its first bytes (which the target repeats to the length).
fuzz::Bytes as_length_input(const fuzz::Bytes& file, std::uint8_t flags, std::size_t keep) {
  fuzz::Bytes in{fuzz::selector_for(file.size()), flags};
  in.insert(in.end(), file.begin(), file.begin() + static_cast<long>(std::min(keep, file.size())));
  return in;
}

// A FITS file as the FITS target takes it: its layout, flags, and one patch
// for each card that differs from the header the target starts from.
fuzz::Bytes as_fits_input(const fuzz::Bytes& file, const std::array<char, FITS_HEADER_SIZE>& base) {
  const std::uint64_t lengths[] = {FITS_BINNED_MONO, FITS_NORMAL_MONO, FITS_COLOUR_8BIT,
                                   FITS_COLOUR_16BIT};
  std::uint8_t layout = 0;
  for (std::uint8_t i = 0; i < 4; ++i)
    if (lengths[i] == file.size()) layout = i;
  fuzz::Bytes in{layout, 0};
  for (std::size_t card = 0; card < static_cast<std::size_t>(FITS_HEADER_CARDS); ++card) {
    const auto* c = file.data() + card * FITS_CARD_SIZE;
    if (std::memcmp(c, base.data() + card * FITS_CARD_SIZE, FITS_CARD_SIZE) == 0) continue;
    in.insert(in.end(), {static_cast<std::uint8_t>(card), 0, FITS_CARD_SIZE});
    in.insert(in.end(), c, c + FITS_CARD_SIZE);
  }
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
    return 2;
  }
  g_root = argv[1];
  auto store = std::make_unique<FrameStore>();
  init_frame_store(*store);
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    store->CurrentFrame[i] = static_cast<std::uint16_t>(i * 37);
    store->RedPlane[i] = static_cast<std::uint16_t>(i * 11);
    store->GreenPlane[i] = static_cast<std::uint16_t>(i * 13);
    store->BluePlane[i] = static_cast<std::uint16_t>(i * 17);
  }
  const fs::path tmp = fuzz::work_file("seed");

  // KR Files and flat fields.
  for (int colour = 0; colour < 2; ++colour) {
    for (int binned = 0; binned < 2; ++binned) {
      store->IsColour = colour;
      store->IsBinned = binned;
      if (save_raw(tmp, *store) != RawSave::Ok) return 1;
      const fuzz::Bytes file = fuzz::read_file(tmp);
      const std::string name = "raw-" + std::to_string(colour) + std::to_string(binned);
      seed("raw_file", name, as_length_input(file, 0, 4096));
      seed("second_frame", name + "-dark", as_length_input(file, 0, 4096));
      seed("second_frame", name + "-flat", as_length_input(file, 1, 4096));
    }
  }
  store->IsColour = false;
  if (save_flat_field(tmp, *store) != FileSave::Ok) return 1;
  seed("second_frame", "flat-field", as_length_input(fuzz::read_file(tmp), 1, 4096));

  // FITS files of each layout, with texts in every card.
  FitsText text;
  text.fits_object = "M42 in Orion's sword";
  text.fits_telescope = "LX200 10in";
  text.fits_observer = "A. Observer";
  text.fits_origin = "Garden";
  text.fits_date = "2024-03-09";
  text.fits_time = "21:05:07";
  text.fits_history = std::string(100, 'h') + "'" + std::string(100, 'i');
  text.fits_comment = "dark subtracted";
  text.fits_exposure = 30.5;
  text.fits_focal_length = 1.7976931348e308;
  ProcessingHistory history;
  history.add_history("Normal Stretch : max 200 ,min 10");
  // The header the FITS target lays its patches over (as in fits_fuzz.cpp).
  FitsText base_text;
  base_text.fits_object = "M42";
  base_text.fits_telescope = "LX200 10in";
  base_text.fits_observer = "A. Observer";
  base_text.fits_date = "2024-03-09";
  base_text.fits_time = "21:05:07";
  base_text.fits_history = "dark subtracted";
  base_text.fits_exposure = 30.0;
  base_text.fits_focal_length = 100.0;
  ProcessingHistory base_history = history;
  for (int colour = 0; colour < 2; ++colour) {
    for (int binned = 0; binned < 2; ++binned) {
      for (int unsigned_format = 0; unsigned_format < 2; ++unsigned_format) {
        store->IsBinned = binned;
        text.fits_unsigned = unsigned_format != 0;
        if (save_fits(tmp, colour != 0, *store, text, history) != FileSave::Ok) return 1;
        const fuzz::Bytes file = fuzz::read_file(tmp);
        const std::string name = "fits-" + std::to_string(colour) + std::to_string(binned) +
                                 std::to_string(unsigned_format);
        const auto base =
            fits_header(colour != 0, file.size() == FITS_BINNED_MONO, base_text, base_history);
        seed("fits", name, as_fits_input(file, base));
        seed("raw_file", name, as_length_input(file, 0, FITS_HEADER_SIZE + 1024));
        seed("second_frame", name, as_length_input(file, 0, FITS_HEADER_SIZE + 1024));
      }
    }
  }

  // Patches of a single value: the exposure and the object.
  const std::string exposure = "    3.0000000000E+01" + std::string(30, ' ');
  fuzz::Bytes exposure_patch{1, 0, 40, 10, static_cast<std::uint8_t>(exposure.size())};
  exposure_patch.insert(exposure_patch.end(), exposure.begin(), exposure.end());
  seed("fits", "exposure-value", exposure_patch);
  seed("fits", "object-value", fuzz::Bytes{3, 0, 5, 11, 6, 'a', '\'', '\'', 'b', '\'', ' '});

  // The settings file: the defaults, every field changed, and cut short.
  Settings s;
  FitsText f;
  const auto defaults = settings_bytes(s, f);
  seed("settings", "defaults", fuzz::Bytes(defaults.begin(), defaults.end()));
  seed("settings", "short", fuzz::Bytes(defaults.begin(), defaults.begin() + 600));
  s.autosave_number = 1234;
  s.ut_offset_hours = -5;
  s.telescope_type = LinkType::Lx200;
  s.autosave_subdir = "orion";
  s.user_stretch_value = 36;
  f.fits_object = "it's";
  f.fits_comment = std::string(254, 'c');
  const auto changed = settings_bytes(s, f);
  seed("settings", "changed", fuzz::Bytes(changed.begin(), changed.end()));

  // Camera reads: a field of each parity, a window, short and failed reads.
  seed("readout", "field-even", fuzz::Bytes{1, 0xE8, 0x03, 0, 1, 2, 3, 4, 5, 6, 7});
  seed("readout", "field-odd-short", fuzz::Bytes{3, 0xE8, 0x03, 8, 128, 9, 9, 9});
  seed("readout", "window", fuzz::Bytes{0, 100, 0, 200, 0, 50, 0, 0, 14, 0, 0x10, 0x20});
  seed("readout", "failed", fuzz::Bytes{1, 0, 0, 7, 0, 0, 0, 0, 0});

  // LX200 coordinates in each form the mount reads.
  const std::pair<std::uint8_t, std::string> coordinates[] = {{0, "05:35:17"},
                                                              {0, "05:35.2"},
                                                              {0, "23:59"},
                                                              {1, "-05*23:28"},
                                                              {1, "+89*15'51"},
                                                              {3, "-00*30"},
                                                              {1,
                                                               "45\xDF"
                                                               "30"},
                                                              {1, "12:34:56"}};
  int n = 0;
  for (const auto& [form, coordinate] : coordinates) {
    fuzz::Bytes in{form};
    in.insert(in.end(), coordinate.begin(), coordinate.end());
    seed("lx200", "coordinates-" + std::to_string(n++), in);
  }

  std::error_code ec;
  fs::remove_all(fuzz::work_folder(), ec);
  std::printf("%d seeds written to %s\n", g_count, g_root.c_str());
  return 0;
}
