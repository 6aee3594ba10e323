#include <gtest/gtest.h>

#include <random>

#include "app/processing/merge_commands.h"
#include "files/raw_file.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::TestContext;

void fill_random(Frame& f, std::uint32_t seed, int lo = 0, int hi = 65535) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(lo, hi);
  for (auto& v : f) v = static_cast<std::uint16_t>(d(rng));
}

// A quick pseudo-random fill for the many frames of the comparison test.
void fill_quick(Frame& f, std::uint32_t seed) {
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& v : f) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<std::uint16_t>(x);
  }
}

bool same_frame(const Frame& a, const Frame& b) {
  return std::equal(a.begin(), a.begin() + FRAME_SAMPLES, b.begin());
}

// The combination written out as described: every base pixel, partner test
// per pixel.
void reference_merge(FrameStore& fs, int dx, int dy, int e, bool average, bool colour) {
  for (int i = e; i < 580; ++i)
    for (int j = 0; j < 752; ++j) {
      const int pi = i + dy, pj = j + dx;
      if (!(e < pi && pi < 580 && 0 < pj && pj < 752)) continue;
      const int g = fs.CurrentFrame[pi * 752 + pj];
      const int h = fs.SecondFrame[i * 752 + j];
      fs.SecondFrame[i * 752 + j] =
          static_cast<std::uint16_t>(average ? (g + h) / 2 : (g + h > 65534 ? 65535 : g + h));
      if (colour) {
        Frame* work[] = {&fs.RedWork, &fs.GreenWork, &fs.BlueWork};
        const Frame* plane[] = {&fs.RedPlane, &fs.GreenPlane, &fs.BluePlane};
        for (int c = 0; c < 3; ++c)
          (*work[c])[i * 752 + j] = static_cast<std::uint16_t>(
              ((*work[c])[i * 752 + j] + (*plane[c])[pi * 752 + pj]) / 2);
      }
    }
}

TEST(CombineMerge, MatchesThePlainLoopForEveryOffsetKind) {
  auto fs = std::make_unique<FrameStore>();
  auto ref = std::make_unique<FrameStore>();
  const int offsets[][2] = {{0, 0}, {100, 0}, {-37, 12}, {5, -300}, {751, 0}, {-800, 3}, {3, 579}};
  int seed = 10;
  for (const auto& o : offsets)
    for (int e : {0, 10})
      for (bool average : {false, true})
        for (bool colour : {false, true}) {
          for (Frame* f : {&fs->CurrentFrame, &fs->SecondFrame, &fs->RedPlane, &fs->GreenPlane,
                           &fs->BluePlane, &fs->RedWork, &fs->GreenWork, &fs->BlueWork})
            fill_quick(*f, static_cast<std::uint32_t>(++seed));
          *ref = *fs;
          combine_merge(*fs, o[0], o[1], e, average, colour);
          reference_merge(*ref, o[0], o[1], e, average, colour);
          ASSERT_TRUE(same_frame(fs->SecondFrame, ref->SecondFrame)) << o[0] << "," << o[1];
          ASSERT_TRUE(same_frame(fs->RedWork, ref->RedWork));
          ASSERT_TRUE(same_frame(fs->GreenWork, ref->GreenWork));
          ASSERT_TRUE(same_frame(fs->BlueWork, ref->BlueWork));
        }
}

TEST(CombineMerge, FrameWithItselfDoublesOrStaysAndEdgesKeepTheBase) {
  auto fs = std::make_unique<FrameStore>();
  fill_random(fs->CurrentFrame, 1);
  fs->SecondFrame = fs->CurrentFrame;
  const auto base = std::make_unique<Frame>(fs->SecondFrame);
  combine_merge(*fs, 0, 0, 0, false, false);
  for (int i = 0; i < 580; ++i)
    for (int j = 0; j < 752; ++j) {
      const int h = (*base)[static_cast<std::size_t>(i * 752 + j)];
      const int want = (i == 0 || j == 0) ? h : std::min(2 * h, 65535);
      ASSERT_EQ(fs->SecondFrame[static_cast<std::size_t>(i * 752 + j)], want) << i << "," << j;
    }
  fs->SecondFrame = *base;
  combine_merge(*fs, 0, 0, 0, true, false);
  EXPECT_TRUE(same_frame(fs->SecondFrame, *base));

  // dx = 100: the rightmost 100 columns have no partner.
  fs->CurrentFrame.fill(1);
  fs->SecondFrame = *base;
  combine_merge(*fs, 100, 0, 0, false, false);
  for (int i = 1; i < 580; ++i) {
    EXPECT_EQ(fs->SecondFrame[static_cast<std::size_t>(i * 752 + 651)],
              std::min((*base)[static_cast<std::size_t>(i * 752 + 651)] + 1, 65535));
    for (int j = 652; j < 752; ++j)
      ASSERT_EQ(fs->SecondFrame[static_cast<std::size_t>(i * 752 + j)],
                (*base)[static_cast<std::size_t>(i * 752 + j)]);
  }
}

struct MergeFlowTest : ::testing::Test {
  void SetUp() override { std::filesystem::create_directories(app.dir / "data"); }
  FrameStore& fs() { return app->store(); }
  std::filesystem::path write_raw(const std::string& name, const Frame& frame, bool colour) {
    auto tmp = std::make_unique<FrameStore>();
    tmp->CurrentFrame = frame;
    tmp->IsColour = colour;
    tmp->RedPlane.fill(1000);
    tmp->GreenPlane.fill(2000);
    tmp->BluePlane.fill(3000);
    const auto path = app.dir / name;
    EXPECT_EQ(save_raw(path, *tmp), RawSave::Ok);
    return path;
  }
  TestContext app;
};

TEST_F(MergeFlowTest, RefusalsAndTheDialogStates) {
  app->display.fit_to_window = true;
  EXPECT_EQ(start_merge(*app), MergeStart::NeedsStandardGeometry);
  app->display.fit_to_window = false;
  EXPECT_EQ(start_merge(*app), MergeStart::Started);
  EXPECT_EQ(start_merge(*app), MergeStart::AlreadyMerging);
  EXPECT_EQ(app.messages.codes(), (std::vector<unsigned>{30, 31}));

  MergeDialogModel dialog(*app);
  EXPECT_TRUE(dialog.is_open());
  EXPECT_EQ(dialog.checked_radio(), MergeDialogModel::ID_ORIGINAL);
  EXPECT_EQ(mark_merge_position(*app, 120, 130), MergeMark::Stored);
  EXPECT_EQ(mark_merge_position(*app, 752, 10), MergeMark::Ignored);  // outside the frame: ignored
  EXPECT_EQ(dialog.field(MergeDialogModel::ID_BASE_X), 120);
  EXPECT_EQ(dialog.field_text(MergeDialogModel::ID_BASE_Y), "130");
  EXPECT_EQ(dialog.field(MergeDialogModel::ID_MERGE_X), 0);

  // Merge before the second image is opened does nothing.
  EXPECT_FALSE(dialog.command(MergeDialogModel::ID_MERGE));
  EXPECT_TRUE(dialog.is_open());

  dialog.command(MergeDialogModel::ID_HELP);
  EXPECT_EQ(app.messages.shown.back().caption, "MORVALE - Control Merging");
  EXPECT_EQ(app.messages.shown.back().text, MERGE_HELP_TEXT);

  dialog.command(MergeDialogModel::ID_AVERAGE);
  dialog.command(MergeDialogModel::ID_CENTRE);
  EXPECT_TRUE(dialog.average_checked());
  EXPECT_TRUE(dialog.centre_checked());
  EXPECT_TRUE(dialog.command(MergeDialogModel::ID_CANCEL));
  EXPECT_FALSE(dialog.is_open());
  EXPECT_FALSE(dialog.average_checked());
  EXPECT_TRUE(dialog.centre_checked());  // kept for the next merge

  // A new merge clears the positions and the average flag.
  dialog.command(MergeDialogModel::ID_AVERAGE);
  EXPECT_EQ(start_merge(*app), MergeStart::Started);
  EXPECT_EQ(dialog.field(MergeDialogModel::ID_BASE_X), 0);
  EXPECT_FALSE(dialog.average_checked());
}

TEST_F(MergeFlowTest, AddsTheOpenedImageAtTheMarkedOffset) {
  fill_random(fs().CurrentFrame, 3, 0, 30000);
  const auto base = std::make_unique<Frame>(fs().CurrentFrame);
  auto partner = std::make_unique<Frame>();
  fill_random(*partner, 4, 0, 30000);
  const auto path = write_raw("partner~", *partner, false);

  ASSERT_EQ(start_merge(*app), MergeStart::Started);
  mark_merge_position(*app, 100, 200);
  // A file that cannot be read leaves the merge at the base image.
  EXPECT_FALSE(open_merge_partner(*app, app.dir / "missing~").ok());
  EXPECT_TRUE(app->merge.marking_base);
  ASSERT_TRUE(open_merge_partner(*app, path).ok());
  EXPECT_FALSE(app->merge.marking_base);
  EXPECT_TRUE(same_frame(fs().SecondFrame, *base));
  EXPECT_TRUE(same_frame(fs().CurrentFrame, *partner));
  // Opening again replaces only the merge image; the base stays.
  ASSERT_TRUE(open_merge_partner(*app, path).ok());
  EXPECT_TRUE(same_frame(fs().SecondFrame, *base));

  mark_merge_position(*app, 110, 195);
  MergeDialogModel dialog(*app);
  EXPECT_EQ(dialog.checked_radio(), MergeDialogModel::ID_MERGE_IMAGE);
  const int reloads = app.display.reloads;
  EXPECT_TRUE(dialog.command(MergeDialogModel::ID_MERGE));
  EXPECT_FALSE(dialog.is_open());
  EXPECT_GT(app.display.reloads, reloads);

  auto expected = std::make_unique<FrameStore>();
  expected->SecondFrame = *base;
  expected->CurrentFrame = *partner;
  reference_merge(*expected, 10, -5, 0, false, false);
  EXPECT_TRUE(same_frame(fs().CurrentFrame, expected->SecondFrame));
  EXPECT_EQ(fs().IsColour, 0);
}

TEST_F(MergeFlowTest, ColourMergeAveragesTheBasePlanesWithThePartnerPlanes) {
  fs().CurrentFrame.fill(100);
  fs().IsColour = true;
  fs().RedPlane.fill(3000);
  fs().GreenPlane.fill(4000);
  fs().BluePlane.fill(5000);
  fs().RedWork.fill(9);  // stale work planes must not leak into the result
  auto partner = std::make_unique<Frame>();
  partner->fill(200);
  const auto path = write_raw("colour~", *partner, true);

  ASSERT_EQ(start_merge(*app), MergeStart::Started);
  ASSERT_TRUE(open_merge_partner(*app, path).ok());
  EXPECT_EQ(fs().RedSaved[0], 3000);  // the base planes were saved
  MergeDialogModel dialog(*app);
  dialog.command(MergeDialogModel::ID_AVERAGE);
  ASSERT_TRUE(dialog.command(MergeDialogModel::ID_MERGE));
  EXPECT_EQ(fs().IsColour, 1);
  const std::size_t inner = 300 * 752 + 300;
  EXPECT_EQ(fs().CurrentFrame[inner], 150);
  EXPECT_EQ(fs().RedPlane[inner], 2000);
  EXPECT_EQ(fs().GreenPlane[inner], 3000);
  EXPECT_EQ(fs().BluePlane[inner], 4000);
  EXPECT_EQ(fs().RedPlane[0], 3000);  // row 0 has no partner: the base plane
}

TEST_F(MergeFlowTest, CentreOnStarMovesTheMarkOrRefusesIt) {
  fs().CurrentFrame.fill(1000);
  for (int i = -2; i <= 2; ++i)
    for (int j = -2; j <= 2; ++j)
      fs().CurrentFrame[static_cast<std::size_t>((300 + i) * 752 + 400 + j)] =
          static_cast<std::uint16_t>(20000 - 2000 * (i * i + j * j));
  ASSERT_EQ(start_merge(*app), MergeStart::Started);
  app->merge.centre_on_star = true;
  EXPECT_EQ(mark_merge_position(*app, 403, 297), MergeMark::Stored);
  EXPECT_EQ(app->merge.base_x, 400);
  EXPECT_EQ(app->merge.base_y, 300);
  // Nothing there: the star location message, then 33, and no mark.
  EXPECT_EQ(mark_merge_position(*app, 100, 100), MergeMark::NoStar);
  EXPECT_EQ(app.messages.codes(), (std::vector<unsigned>{34, 33}));
  EXPECT_EQ(app->merge.base_x, 400);
}

}  // namespace
}  // namespace tarvex
