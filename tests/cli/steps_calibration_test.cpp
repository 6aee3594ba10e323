#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "cli_fixture.h"
#include "files/raw_file.h"
#include "platform/basic_ports.h"
#include "test_support.h"

namespace tarvex {
namespace {

using testing::TempDir;

struct CalibrationSteps : testing::CliFixture {
  std::string write_frame(const std::string& name, const Frame& frame) {
    auto fs = std::make_unique<FrameStore>();
    fs->CurrentFrame = frame;
    EXPECT_EQ(save_raw(dir / name, *fs), RawSave::Ok);
    return (dir / name).string();
  }
  // Reads back the frame of a KR File written by --save-raw.
  std::vector<std::uint8_t> frame_bytes(const std::string& path) {
    auto bytes = testing::read_bytes(path);
    return std::vector<std::uint8_t>(bytes.begin() + RAW_TAG_SIZE, bytes.end());
  }
};

TEST_F(CalibrationSteps, DarkFlatMergeAndLocateStar) {
  auto frame = std::make_unique<Frame>();
  frame->fill(1000);
  for (int i = -2; i <= 2; ++i)
    for (int j = -2; j <= 2; ++j)
      (*frame)[static_cast<std::size_t>((300 + i) * 752 + 400 + j)] =
          static_cast<std::uint16_t>(20000 - 2000 * (i * i + j * j));
  const auto image = write_frame("~star", *frame);
  auto dark = std::make_unique<Frame>();
  dark->fill(400);
  const auto dark_file = write_frame("~dark", *dark);

  ::testing::internal::CaptureStdout();
  ASSERT_EQ(run({"process", image, "--do", "locate-star:x=403,y=297"}), 0) << err.str();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "star at x 400.0 y 300.0\n");

  const auto saved = (dir / "~out").string();
  ASSERT_EQ(run({"process", image, "--do", "subtract-dark:file=" + dark_file, "--do",
                 "merge:file=" + image + ",base-x=10,base-y=10,merge-x=10,merge-y=10", "--save-raw",
                 saved}),
            0)
      << err.str();
  const auto bytes = frame_bytes(saved);
  auto sample = [&](int x, int y) {
    const std::size_t at = 2 * static_cast<std::size_t>(y * 752 + x);
    return bytes[at] | (bytes[at + 1] << 8);
  };
  EXPECT_EQ(sample(100, 100), 600 + 1000);  // dark-subtracted base plus the opened image
  EXPECT_EQ(sample(0, 100), 600);           // column 0 has no partner

  EXPECT_EQ(run({"process", image, "--do", "flat-field:file=" + (dir / "none").string()}), 1);
  EXPECT_EQ(run({"process", image, "--do", "merge:file=x,base-x=800"}), 2);
  EXPECT_EQ(run({"process", image, "--do", "locate-star:x=3,y=3"}), 1);
  EXPECT_NE(err.str().find("message 35: Find centre failed - outside image area"),
            std::string::npos);
}

}  // namespace
}  // namespace tarvex
