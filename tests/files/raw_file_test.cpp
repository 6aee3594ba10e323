#include "files/raw_file.h"

#include <gtest/gtest.h>

#include <random>

#include "app/display_pipeline.h"
#include "app/file_commands.h"
#include "app/processing/calibration_commands.h"
#include "files/fits.h"
#include "files/settings.h"
#include "files/tiff.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::append_text;
using testing::append_u16le;
using testing::fill_frame;
using testing::pattern;
using testing::read_bytes;
using testing::TempDir;
using testing::TestContext;
using testing::write_bytes;

std::vector<std::uint8_t> frame_bytes(int salt) {
  std::vector<std::uint8_t> v;
  v.reserve(FRAME_BYTES);
  for (int i = 0; i < FRAME_SAMPLES; ++i) append_u16le(v, pattern(i, salt));
  return v;
}

struct RawFile : ::testing::Test {
  TestContext t;
  FrameStore& fs() { return t->store(); }
  LoadTarget target() {
    return LoadTarget{fs(), t->fits, t->history, t->current_file_name,
                      t->settings.binned_import_default};
  }
};

TEST_F(RawFile, SavedMonochromeAndBinnedFilesAreTagAndFrame) {
  fill_frame(fs().CurrentFrame, 1);
  const auto path = t.dir / "~mono";
  ASSERT_EQ(save_raw(path, fs()), RawSave::Ok);
  std::vector<std::uint8_t> expected;
  append_text(expected, "NORMAL    ");
  const auto frame = frame_bytes(1);
  expected.insert(expected.end(), frame.begin(), frame.end());
  EXPECT_EQ(read_bytes(path), expected);
  EXPECT_EQ(expected.size(), RAW_TAGGED);

  fs().IsBinned = true;
  ASSERT_EQ(save_raw(path, fs()), RawSave::Ok);
  const auto binned = read_bytes(path);
  EXPECT_EQ(std::string(binned.begin(), binned.begin() + 10), "BINNED    ");
  EXPECT_TRUE(std::equal(binned.begin() + 10, binned.end(), frame.begin()));
  EXPECT_TRUE(t.messages.shown.empty());
}

TEST_F(RawFile, SavedColourFileCarriesPlanesInRedGreenBlueOrder) {
  fill_frame(fs().CurrentFrame, 1);
  fill_frame(fs().RedPlane, 2);
  fill_frame(fs().GreenPlane, 3);
  fill_frame(fs().BluePlane, 4);
  fs().IsColour = true;
  const auto path = t.dir / "~colour";
  ASSERT_EQ(save_raw(path, fs()), RawSave::Ok);
  std::vector<std::uint8_t> expected;
  append_text(expected, "NORMAL    ");
  for (int salt : {1, 2, 3, 4}) {
    const auto f = frame_bytes(salt);
    expected.insert(expected.end(), f.begin(), f.end());
  }
  EXPECT_EQ(expected.size(), RAW_COLOUR_16BIT);
  EXPECT_EQ(read_bytes(path), expected);

  // Round trip through Open.
  init_frame_store(fs());
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsColour, 1);
  EXPECT_EQ(fs().HasBytePlanes, 0);
  EXPECT_EQ(fs().BluePlane[436159], pattern(436159, 4));
  EXPECT_EQ(fs().CurrentFrame[1234], pattern(1234, 1));
  EXPECT_EQ(t->current_file_name, "~colour");
}

TEST_F(RawFile, FlatFieldAveragesNeighboursOnlyForMonochrome) {
  for (int i = 0; i < FRAME_SAMPLES; ++i)
    fs().CurrentFrame[i] = static_cast<std::uint16_t>(i % 1000);
  fs().CurrentFrame[751] = 65535;  // last of row 0 pairs with first of row 1
  fs().CurrentFrame[752] = 65535;
  fs().CurrentFrame[436159] = 4001;
  const auto path = t.dir / "~flat";
  ASSERT_EQ(save_flat_field(path, fs()), FileSave::Ok);
  const auto bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), RAW_TAGGED);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 10), "FLATFL    ");
  auto sample = [&](int i) { return bytes[10 + 2 * i] | (bytes[11 + 2 * i] << 8); };
  EXPECT_EQ(sample(0), (0 + 1) >> 1);
  EXPECT_EQ(sample(10), (10 + 11) >> 1);
  EXPECT_EQ(sample(750), (750 + 65535) >> 1);
  EXPECT_EQ(sample(751), 65535);
  EXPECT_EQ(sample(436159), 4001);  // no neighbour: kept

  fs().IsColour = true;
  ASSERT_EQ(save_flat_field(path, fs()), FileSave::Ok);
  const auto colour = read_bytes(path);
  ASSERT_EQ(colour.size(), RAW_TAGGED);  // planes never go into a flat field
  EXPECT_EQ(colour[10 + 2 * 10], 10);
  EXPECT_EQ(colour[10 + 2 * 750] | (colour[11 + 2 * 750] << 8), 750);

  // A flat field reads back as a normal image.
  fs().IsColour = false;
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsBinned, 0);
}

TEST_F(RawFile, UntaggedFileFollowsImportDefaultTaggedFileFollowsTag) {
  const auto untagged = t.dir / "~old";
  write_bytes(untagged, frame_bytes(5));
  t->settings.binned_import_default = false;
  ASSERT_EQ(load_raw(untagged, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsBinned, 0);
  EXPECT_EQ(fs().CurrentFrame[99], pattern(99, 5));
  t->settings.binned_import_default = true;
  ASSERT_EQ(load_raw(untagged, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsBinned, 1);

  std::vector<std::uint8_t> tagged;
  append_text(tagged, "BINNED    ");
  const auto f = frame_bytes(6);
  tagged.insert(tagged.end(), f.begin(), f.end());
  const auto path = t.dir / "~binned";
  write_bytes(path, tagged);
  t->settings.binned_import_default = false;
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsBinned, 1);
  // Only the first byte of the tag counts.
  tagged[0] = 'X';
  write_bytes(path, tagged);
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsBinned, 0);
}

TEST_F(RawFile, OldEightBitColourFileIsWidened) {
  std::vector<std::uint8_t> bytes;
  append_text(bytes, "NORMAL    ");
  const auto f = frame_bytes(7);
  bytes.insert(bytes.end(), f.begin(), f.end());
  for (int plane = 0; plane < 3; ++plane)
    for (int i = 0; i < FRAME_SAMPLES; ++i) bytes.push_back(static_cast<std::uint8_t>(i + plane));
  ASSERT_EQ(bytes.size(), RAW_COLOUR_8BIT);
  const auto path = t.dir / "~old8";
  write_bytes(path, bytes);
  ASSERT_EQ(load_raw(path, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsColour, 1);
  EXPECT_EQ(fs().HasBytePlanes, 1);
  EXPECT_EQ(fs().RedBytes[255], 255);
  EXPECT_EQ(fs().RedPlane[255], 32640);
  EXPECT_EQ(fs().GreenPlane[0], 128);
  EXPECT_EQ(fs().BluePlane[1], 3 * 128);
}

TEST_F(RawFile, RefusedLoadsLeaveTheImageAndItsStateAlone) {
  fill_frame(fs().CurrentFrame, 9);
  fs().IsColour = true;
  fs().IsBinned = true;
  t->current_file_name = "~before";
  t->history.add_history("Normal Stretch");
  t->fits.fits_object = "M42";

  auto expect_intact = [&](const char* what) {
    EXPECT_EQ(fs().CurrentFrame[1000], pattern(1000, 9)) << what;
    EXPECT_EQ(fs().IsColour, 1) << what;
    EXPECT_EQ(fs().IsBinned, 1) << what;
    EXPECT_EQ(t->current_file_name, "~before") << what;
    EXPECT_EQ(t->history.line(0), "Normal Stretch") << what;
    EXPECT_EQ(t->fits.fits_object, "M42") << what;
  };

  // File > Open reports each refusal with its message and returns the code.
  EXPECT_EQ(open_image(*t, t.dir / "missing").message(), Msg::KrFileOpenFailed);
  expect_intact("missing file");
  for (std::uint64_t len : {RAW_TAGGED - 1, RAW_TAGGED + 1, RAW_FRAME_ONLY - 1, std::uint64_t{0},
                            RAW_COLOUR_16BIT + 1, FITS_NORMAL_MONO - 1}) {
    const auto path = t.dir / "~odd";
    write_bytes(path, std::vector<std::uint8_t>(len, 'B'));
    EXPECT_EQ(open_image(*t, path).message(), Msg::NotAValidKrFile) << len;
    expect_intact("odd length");
  }
  // The FITS reader refuses this garbage: message 13 or 14, image intact.
  const auto fits = t.dir / "IMG1.FIT";
  write_bytes(fits, std::vector<std::uint8_t>(FITS_NORMAL_MONO, 'Z'));
  const std::optional<Msg> r = open_image(*t, fits).message();
  EXPECT_TRUE(r == Msg::FitsLoadFailed || r == Msg::FitsNotOurs);
  expect_intact("garbage FITS");
  EXPECT_EQ(load_raw(t.dir.path(), target()), RawLoad::Unreadable);  // a folder
  expect_intact("folder");
  EXPECT_EQ(t.messages.codes().front(), 11u);
}

TEST_F(RawFile, ColourMergeAcceptsOnlyColourFiles) {
  const auto mono = t.dir / "~mono";
  write_bytes(mono, std::vector<std::uint8_t>(RAW_TAGGED, 0));
  fs().IsColour = 1;
  fs().MergeMode = 1;
  EXPECT_EQ(open_image(*t, mono).message(), Msg::NotAValidKrFile);
  EXPECT_EQ(load_second_frame(*t, mono, SecondPurpose::Other).message(), Msg::NotAKrFile);
  EXPECT_EQ(t.messages.codes(), (std::vector<unsigned>{12, 16}));
  EXPECT_EQ(load_raw(mono, target()), RawLoad::UnknownLength);
  EXPECT_EQ(load_second(mono, SecondPurpose::Other, fs()), SecondLoad::NotASecondFrame);
  // A monochrome merge keeps IsColour clear; outside a merge loads clear it.
  fs().MergeMode = false;
  EXPECT_EQ(load_raw(mono, target()), RawLoad::Ok);
  EXPECT_EQ(fs().IsColour, 0);
}

TEST_F(RawFile, SecondFrameLengthsAndDarkFrameBinnedChecks) {
  std::vector<std::uint8_t> binned;
  append_text(binned, "BINNED    ");
  const auto f = frame_bytes(3);
  binned.insert(binned.end(), f.begin(), f.end());
  const auto dark = t.dir / "~dark";
  write_bytes(dark, binned);

  fs().IsBinned = false;
  EXPECT_EQ(load_second(dark, SecondPurpose::SubtractDark, fs()), SecondLoad::DarkBinnedImageNot);
  EXPECT_EQ(load_second_frame(*t, dark, SecondPurpose::SubtractDark).message(), Msg::DarkBinned);
  EXPECT_EQ(t.messages.codes().back(), 56u);
  EXPECT_NE(fs().SecondFrame[5], pattern(5, 3));
  // No binned check for a flat field.
  EXPECT_EQ(load_second(dark, SecondPurpose::FlatField, fs()), SecondLoad::Ok);
  EXPECT_EQ(fs().SecondFrame[5], pattern(5, 3));

  const auto normal = t.dir / "~darkn";
  write_bytes(normal, f);  // untagged reads as normal
  fs().IsBinned = true;
  EXPECT_EQ(load_second(normal, SecondPurpose::SubtractDark, fs()), SecondLoad::ImageBinnedDarkNot);
  EXPECT_EQ(load_second_frame(*t, normal, SecondPurpose::SubtractDark).message(),
            Msg::DarkNotBinned);
  EXPECT_EQ(t.messages.codes().back(), 55u);
  EXPECT_EQ(load_second(dark, SecondPurpose::SubtractDark, fs()), SecondLoad::Ok);

  // Colour planes in a file are not read into the second frame; a 16-bit
  // colour file is not a second frame at all.
  write_bytes(normal, std::vector<std::uint8_t>(RAW_COLOUR_16BIT, 1));
  EXPECT_EQ(load_second_frame(*t, normal, SecondPurpose::Other).message(), Msg::NotAKrFile);
  EXPECT_EQ(t.messages.codes().back(), 16u);
  write_bytes(normal, std::vector<std::uint8_t>(RAW_TAGGED + 1, 1));
  EXPECT_EQ(load_second(normal, SecondPurpose::Other, fs()), SecondLoad::NotASecondFrame);
  EXPECT_EQ(load_second(t.dir / "none", SecondPurpose::Other, fs()), SecondLoad::Unreadable);
  EXPECT_EQ(load_second_frame(*t, t.dir / "none", SecondPurpose::Other).message(),
            Msg::SecondFrameUnreadable);
  EXPECT_EQ(t.messages.codes().back(), 15u);
}

TEST_F(RawFile, FailedSaveLeavesThePreviousFile) {
  EXPECT_EQ(save_raw(t.dir / "no-such-folder" / "~x", fs()), RawSave::NotCreated);
  EXPECT_EQ(save_image(*t, t.dir / "no-such-folder" / "~x").message(), Msg::KrFileSaveFailed);
  EXPECT_EQ(t.messages.codes().back(), 17u);
  // The target is a folder: the new file cannot replace it; nothing is left
  // behind beside it.
  const auto target_dir = t.dir / "~taken";
  std::filesystem::create_directory(target_dir);
  EXPECT_NE(save_raw(target_dir, fs()), RawSave::Ok);
  EXPECT_TRUE(std::filesystem::is_directory(target_dir));
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(t.dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);  // only the folder itself
  EXPECT_EQ(save_flat_image(*t, t.dir / "no-such-folder" / "~f").message(),
            Msg::FitsCannotCreateFile);
  EXPECT_EQ(t.messages.codes().back(), 29u);
}

TEST_F(RawFile, SavedFilesAreReadableByOthersAndReplacedFilesKeepTheirMode) {
  testing::UmaskScope mask(022);
  const auto raw = t.dir / "~m42";
  const auto fits = t.dir / "m42.fit";
  const auto tiff = t.dir / "m42.tif";
  const auto flat = t.dir / "~flat";
  ASSERT_EQ(save_raw(raw, fs()), RawSave::Ok);
  ASSERT_EQ(save_fits(fits, false, fs(), t->fits, t->history), FileSave::Ok);
  ASSERT_EQ(save_tiff(tiff, fs()), FileSave::Ok);
  ASSERT_EQ(save_flat_field(flat, fs()), FileSave::Ok);
  ASSERT_EQ(save_settings(t->paths.settings_file(), t->settings, t->fits), FileSave::Ok);
  for (const auto& p : {raw, fits, tiff, flat, t->paths.settings_file()})
    EXPECT_EQ(testing::file_mode(p), 0644u) << p;

  // An astronomer who made a file private keeps it private when it is saved
  // again.
  std::filesystem::permissions(
      raw, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_EQ(save_raw(raw, fs()), RawSave::Ok);
  EXPECT_EQ(testing::file_mode(raw), 0600u);
}

// What a refused file must leave as it was: the image and its planes, the
// image-state flags, the current file name and the window title.
struct ImageSeen {
  Frame frame, red, green, blue;
  int is_colour, is_binned, has_byte_planes;
  std::string file_name, title;
  ImageSeen(const FrameStore& fs, const TestContext& t)
      : frame(fs.CurrentFrame),
        red(fs.RedPlane),
        green(fs.GreenPlane),
        blue(fs.BluePlane),
        is_colour(fs.IsColour),
        is_binned(fs.IsBinned),
        has_byte_planes(fs.HasBytePlanes),
        file_name(t.app->current_file_name),
        title(t.display.title) {}
  bool operator==(const ImageSeen&) const = default;
};

TEST_F(RawFile, RandomAndTruncatedFilesNeverCrash) {
  // A colour image on screen, so planes and flags have something to lose.
  fill_frame(fs().CurrentFrame, 1);
  fill_frame(fs().RedPlane, 2);
  fill_frame(fs().GreenPlane, 3);
  fill_frame(fs().BluePlane, 4);
  fs().IsColour = true;
  fs().IsBinned = true;
  t->current_file_name = "~before";
  refresh_display(*t);
  ASSERT_EQ(t.display.title, "Tarvex - ~before");

  // Files of every length the program knows and of none, with random bytes,
  // and the program's own files cut short.
  std::vector<std::vector<std::uint8_t>> files;
  std::mt19937 rng(42);
  for (std::uint64_t len : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{9}, std::uint64_t{10},
                            std::uint64_t{11}, RAW_FRAME_ONLY, RAW_TAGGED, RAW_COLOUR_8BIT,
                            RAW_COLOUR_16BIT, FITS_BINNED_MONO, FITS_NORMAL_MONO, FITS_COLOUR_8BIT,
                            FITS_COLOUR_16BIT, std::uint64_t{5760}, std::uint64_t{2880}}) {
    std::vector<std::uint8_t> bytes(len);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    files.push_back(std::move(bytes));
  }
  const auto own = t.dir / "~own";
  ASSERT_EQ(save_raw(own, fs()), RawSave::Ok);
  const auto own_raw = read_bytes(own);
  ASSERT_EQ(save_fits(own, true, fs(), t->fits, t->history), FileSave::Ok);
  const auto own_fits = read_bytes(own);
  for (const auto* whole : {&own_raw, &own_fits})
    for (std::size_t cut : {std::size_t{10}, std::size_t{5760}, RAW_TAGGED - 1, whole->size() - 1})
      files.emplace_back(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(cut));

  const auto path = t.dir / "~random";
  for (std::size_t k = 0; k < files.size(); ++k) {
    write_bytes(path, files[k]);
    // Random bytes of a KR File's length are a valid image; anything else
    // is refused.
    const FileLayout layout = layout_for_length(files[k].size());
    const bool raw = layout != FileLayout::Unknown && !is_fits_layout(layout);
    // File > Open, then the same file as a dark frame and as a flat field.
    for (int use = 0; use < 3; ++use) {
      const ImageSeen before(fs(), t);
      const Reported result = use == 0   ? open_image(*t, path)
                              : use == 1 ? subtract_dark_command(*t, path)
                                         : flat_field_command(*t, path);
      const std::string what =
          "file " + std::to_string(k) + " (" + std::to_string(files[k].size()) + " bytes)";
      if (!raw) {
        EXPECT_FALSE(result.ok()) << what << ", use " << use;
      }
      if (!result.ok()) {
        EXPECT_TRUE(ImageSeen(fs(), t) == before) << what << ", use " << use;
      }
    }
  }
}

TEST(RawFileLayouts, LengthsAndNames) {
  EXPECT_EQ(layout_for_length(872330), FileLayout::RawTagged);
  EXPECT_EQ(layout_for_length(2186560), FileLayout::FitsColour8);
  EXPECT_EQ(layout_for_length(872331), FileLayout::Unknown);
  EXPECT_EQ(display_file_name("/home/obs/IMG12.FIT"), "IMG12.FIT");  // as on the disk
}

}  // namespace
}  // namespace tarvex
