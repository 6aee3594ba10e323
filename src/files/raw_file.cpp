#include "files/raw_file.h"

#include <array>
#include <cstring>
#include <vector>

#include "files/fits.h"
#include "platform/file_io.h"

namespace tarvex {

namespace {

constexpr char kTagNormal[] = "NORMAL    ";
constexpr char kTagBinned[] = "BINNED    ";
constexpr char kTagFlat[] = "FLATFL    ";
constexpr std::size_t kBlockBytes = 2 * BLOCK_SAMPLES;  // 15040

// Samples are little-endian in the file, as they lie in memory on x86 and
// ARM; the loops below still spell the byte order out so the layout does not
// depend on the machine.
void encode_block(const std::uint16_t* samples, std::uint8_t* out, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(samples[i] & 0xFF);
    out[2 * i + 1] = static_cast<std::uint8_t>(samples[i] >> 8);
  }
}

void decode_block(const std::uint8_t* in, std::uint16_t* samples, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    samples[i] = static_cast<std::uint16_t>(in[2 * i] | (in[2 * i + 1] << 8));
  }
}

bool write_frame(AtomicFile& out, const std::uint16_t* frame) {
  std::array<std::uint8_t, kBlockBytes> block;
  for (int b = 0; b < FRAME_BLOCKS; ++b) {
    encode_block(frame + b * BLOCK_SAMPLES, block.data(), BLOCK_SAMPLES);
    if (!out.write(block.data(), block.size())) return false;
  }
  return true;
}

bool read_frame(InputFile& in, std::uint16_t* frame) {
  std::array<std::uint8_t, kBlockBytes> block;
  for (int b = 0; b < FRAME_BLOCKS; ++b) {
    if (!in.read(block.data(), block.size())) return false;
    decode_block(block.data(), frame + b * BLOCK_SAMPLES, BLOCK_SAMPLES);
  }
  return true;
}

// The small image state a refused load must leave as it was.
struct ImageStateSnapshot {
  int is_colour, is_binned, has_byte_planes;
  FitsText fits;
  ProcessingHistory history;
  std::string file_name;

  explicit ImageStateSnapshot(const LoadTarget& t)
      : is_colour(t.fs.IsColour),
        is_binned(t.fs.IsBinned),
        has_byte_planes(t.fs.HasBytePlanes),
        fits(t.fits),
        history(t.history),
        file_name(t.current_file_name) {}

  void restore(LoadTarget& t) const {
    t.fs.IsColour = is_colour;
    t.fs.IsBinned = is_binned;
    t.fs.HasBytePlanes = has_byte_planes;
    t.fits = fits;
    t.history = history;
    t.current_file_name = file_name;
  }
};

}  // namespace

FileLayout layout_for_length(std::uint64_t length) {
  switch (length) {
    case RAW_FRAME_ONLY: return FileLayout::RawFrameOnly;
    case RAW_TAGGED: return FileLayout::RawTagged;
    case RAW_COLOUR_8BIT: return FileLayout::RawColour8;
    case RAW_COLOUR_16BIT: return FileLayout::RawColour16;
    case FITS_BINNED_MONO: return FileLayout::FitsBinnedMono;
    case FITS_NORMAL_MONO: return FileLayout::FitsNormalMono;
    case FITS_COLOUR_8BIT: return FileLayout::FitsColour8;
    case FITS_COLOUR_16BIT: return FileLayout::FitsColour16;
    default: return FileLayout::Unknown;
  }
}

bool is_fits_layout(FileLayout layout) {
  return layout == FileLayout::FitsBinnedMono || layout == FileLayout::FitsNormalMono ||
         layout == FileLayout::FitsColour8 || layout == FileLayout::FitsColour16;
}

const char* layout_name(FileLayout layout) {
  switch (layout) {
    case FileLayout::RawFrameOnly: return "KR File, frame only, no tag (872320 bytes)";
    case FileLayout::RawTagged: return "KR File, tag and frame (872330 bytes)";
    case FileLayout::RawColour8:
      return "KR File, tag, frame and 8-bit colour planes (2180810 bytes)";
    case FileLayout::RawColour16:
      return "KR File, tag, frame and 16-bit colour planes (3489290 bytes)";
    case FileLayout::FitsBinnedMono: return "FITS, binned monochrome (878400 bytes)";
    case FileLayout::FitsNormalMono: return "FITS, normal monochrome (878080 bytes)";
    case FileLayout::FitsColour8: return "FITS, colour with 8-bit planes (2186560 bytes)";
    case FileLayout::FitsColour16: return "FITS, colour with 16-bit planes (3495040 bytes)";
    case FileLayout::Unknown: break;
  }
  return "unknown";
}

std::string display_file_name(const std::filesystem::path& path) {
  // The name exactly as on the disk: names differ by case on Linux, so a
  // name in lower case could be another file than the one written.
  return path.filename().string();
}

RawSave save_raw(const std::filesystem::path& path, const FrameStore& fs) {
  AtomicFile out;
  if (!out.open(path)) return RawSave::NotCreated;
  const char* tag = fs.IsBinned ? kTagBinned : kTagNormal;
  if (!out.write(tag, RAW_TAG_SIZE) || !write_frame(out, fs.CurrentFrame.data())) {
    out.discard();
    return RawSave::FrameNotWritten;
  }
  if (fs.IsColour) {
    for (const Frame* plane : {&fs.RedPlane, &fs.GreenPlane, &fs.BluePlane}) {
      if (!write_frame(out, plane->data())) {
        out.discard();
        return RawSave::PlanesNotWritten;
      }
    }
  }
  if (!out.commit(true)) return fs.IsColour ? RawSave::PlanesNotWritten : RawSave::FrameNotWritten;
  return RawSave::Ok;
}

FileSave save_flat_field(const std::filesystem::path& path, const FrameStore& fs) {
  AtomicFile out;
  if (!out.open(path)) return FileSave::Failed;
  if (!out.write(kTagFlat, RAW_TAG_SIZE)) return FileSave::Failed;
  const std::uint16_t* s = fs.CurrentFrame.data();
  std::array<std::uint16_t, BLOCK_SAMPLES> smoothed;
  std::array<std::uint8_t, kBlockBytes> block;
  for (int b = 0; b < FRAME_BLOCKS; ++b) {
    const int base = b * BLOCK_SAMPLES;
    const std::uint16_t* samples = s + base;
    if (!fs.IsColour) {
      // The mean of each sample and its right-hand neighbour smooths out the
      // colour mosaic. The last sample of a row pairs with the first of the
      // next row; the very last sample of the frame, which has no neighbour,
      // is kept as it is.
      for (int i = 0; i < BLOCK_SAMPLES; ++i) {
        const int k = base + i;
        const unsigned right = (k + 1 < FRAME_SAMPLES) ? s[k + 1] : s[k];
        smoothed[i] = static_cast<std::uint16_t>((s[k] + right) >> 1);
      }
      samples = smoothed.data();
    }
    encode_block(samples, block.data(), BLOCK_SAMPLES);
    if (!out.write(block.data(), block.size())) return FileSave::Failed;
  }
  return saved_if(out.commit(true));
}

RawLoad load_raw(const std::filesystem::path& path, LoadTarget t) {
  FrameStore& fs = t.fs;
  InputFile in;
  if (!in.open(path)) return RawLoad::Unreadable;
  const FileLayout layout = layout_for_length(in.size());
  if (layout == FileLayout::Unknown) return RawLoad::UnknownLength;
  if (fs.IsColour && fs.MergeMode && layout != FileLayout::RawColour8 &&
      layout != FileLayout::RawColour16 && layout != FileLayout::FitsColour8 &&
      layout != FileLayout::FitsColour16) {
    // While merging into a colour image only colour files are accepted, the
    // program's own 16-bit colour FITS files among them.
    return RawLoad::UnknownLength;
  }

  const ImageStateSnapshot before(t);
  t.current_file_name = display_file_name(path);
  if (!fs.MergeMode) fs.IsColour = false;
  reset_fits_text_for_load(t.fits);
  t.history.clear();
  fs.HasBytePlanes = false;

  if (is_fits_layout(layout)) {
    fs.IsBinned = layout == FileLayout::FitsBinnedMono;
    fs.IsColour = (layout == FileLayout::FitsColour8 || layout == FileLayout::FitsColour16);
    fs.HasBytePlanes = layout == FileLayout::FitsColour8;
    in.close();
    switch (load_fits(path, layout == FileLayout::FitsColour8, fs, t.fits, t.history)) {
      case FitsLoad::Ok: return RawLoad::Ok;
      case FitsLoad::Foreign: before.restore(t); return RawLoad::FitsForeign;
      case FitsLoad::Unreadable: break;
    }
    before.restore(t);
    return RawLoad::FitsUnreadable;
  }

  // The whole file is read before any buffer changes, so a file that shrank
  // or could not be read after its length was checked leaves the image as it
  // was.
  std::vector<std::uint8_t> data(static_cast<std::size_t>(in.size()));
  if (!in.read(data.data(), data.size())) {
    before.restore(t);
    return RawLoad::Unreadable;
  }
  const std::uint8_t* p = data.data();
  if (layout == FileLayout::RawFrameOnly) {
    fs.IsBinned = t.binned_import_default;
  } else {
    fs.IsBinned = p[0] == 'B';
    p += RAW_TAG_SIZE;
  }
  decode_block(p, fs.CurrentFrame.data(), FRAME_SAMPLES);
  p += FRAME_BYTES;
  if (layout == FileLayout::RawColour8) {
    std::memcpy(fs.RedBytes.data(), p, FRAME_SAMPLES);
    std::memcpy(fs.GreenBytes.data(), p + FRAME_SAMPLES, FRAME_SAMPLES);
    std::memcpy(fs.BlueBytes.data(), p + 2 * FRAME_SAMPLES, FRAME_SAMPLES);
    fs.HasBytePlanes = true;
    fs.IsColour = true;
    widen_byte_planes(fs);
  } else if (layout == FileLayout::RawColour16) {
    decode_block(p, fs.RedPlane.data(), FRAME_SAMPLES);
    decode_block(p + FRAME_BYTES, fs.GreenPlane.data(), FRAME_SAMPLES);
    decode_block(p + 2 * FRAME_BYTES, fs.BluePlane.data(), FRAME_SAMPLES);
    fs.IsColour = true;
    fs.HasBytePlanes = false;
  }
  return RawLoad::Ok;
}

SecondLoad load_second(const std::filesystem::path& path, SecondPurpose purpose, FrameStore& fs) {
  return load_second(path, purpose,
                     SecondTarget{fs.SecondFrame, fs.IsBinned, fs.IsColour && fs.MergeMode});
}

SecondLoad load_second(const std::filesystem::path& path, SecondPurpose purpose,
                       const SecondTarget& target) {
  InputFile in;
  if (!in.open(path)) return SecondLoad::Unreadable;
  const FileLayout layout = layout_for_length(in.size());
  bool accepted = false;
  if (target.colour_merge) {
    accepted = layout == FileLayout::RawColour8 || layout == FileLayout::FitsColour8;
  } else {
    accepted = layout == FileLayout::RawTagged || layout == FileLayout::RawFrameOnly ||
               layout == FileLayout::FitsBinnedMono || layout == FileLayout::FitsNormalMono ||
               layout == FileLayout::FitsColour8 || layout == FileLayout::RawColour8;
  }
  if (!accepted) return SecondLoad::NotASecondFrame;

  if (is_fits_layout(layout)) {
    in.close();
    return load_fits_second(path, purpose, target);
  }

  char tag0 = 'N';
  if (layout != FileLayout::RawFrameOnly) {
    char tag[RAW_TAG_SIZE];
    if (!in.read(tag, RAW_TAG_SIZE)) return SecondLoad::Unreadable;
    tag0 = tag[0];
  }
  if (purpose == SecondPurpose::SubtractDark) {
    if (target.image_binned && tag0 != 'B') return SecondLoad::ImageBinnedDarkNot;
    if (!target.image_binned && tag0 == 'B') return SecondLoad::DarkBinnedImageNot;
  }
  if (!read_frame(in, target.frame.data())) return SecondLoad::Unreadable;
  return SecondLoad::Ok;
}

}  // namespace tarvex
