#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/cli.h"
#include "test_support.h"

namespace tarvex {
namespace {

std::vector<char> read_all(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

int run_cli(std::vector<std::string> args, std::string* err_text = nullptr) {
  std::ostringstream out, err;
  const int rc = cli::run(args, out, err);
  if (err_text) *err_text = err.str();
  return rc;
}

TEST(CliViewSteps, LabelWithFixedClockIsRepeatableAndMirrorKeepsIt) {
  testing::TempDir dir;
  const std::string root = (dir.path() / "data").string();
  auto run = [&](const std::string& out) {
    return run_cli({"--data-root", root, "--now", "2024-03-05 21:07:09", "process", "ramp", "--do",
                    "label:text=M42,auto-date=1", "--do", "mirror", "--save-tiff",
                    (dir.path() / out).string(), "--save-raw",
                    (dir.path() / ("~" + out)).string()});
  };
  ASSERT_EQ(run("a.tif"), 0);
  ASSERT_EQ(run("b.tif"), 0);
  const auto a = read_all(dir.path() / "a.tif");
  ASSERT_EQ(a.size(), 246u + 436160u);
  EXPECT_EQ(a, read_all(dir.path() / "b.tif"));
  // The label mark survives the mirror: the first six samples are 17 (TIFF shows 17 >> 8 = 0),
  // and the raw file keeps them exactly, after its 10-byte tag.
  const auto raw = read_all(dir.path() / "~a.tif");
  ASSERT_GE(raw.size(), 22u);
  EXPECT_EQ(static_cast<unsigned char>(raw[10]), 17);
  EXPECT_EQ(static_cast<unsigned char>(raw[11]), 0);
  // (64 - 3 - 24) / 2 = 18 blank cells: nothing lit before column 144 in rows 1..9.
  for (int row = 1; row < 10; ++row)
    for (int col = 0; col < 144; ++col)
      ASSERT_EQ(a[static_cast<std::size_t>(246 + row * 752 + col)], 0) << row << "," << col;
}

TEST(CliViewSteps, UsageErrors) {
  testing::TempDir dir;
  const std::string root = (dir.path() / "data").string();
  std::string err;
  EXPECT_EQ(run_cli({"--data-root", root, "--now", "yesterday", "process", "ramp"}, &err), 2);
  EXPECT_NE(err.find("--now"), std::string::npos);
  EXPECT_EQ(run_cli({"--data-root", root, "process", "ramp", "--do",
                     "label:text=" + std::string(31, 'x')},
                    &err),
            2);
  EXPECT_EQ(run_cli({"--data-root", root, "process", "ramp", "--do", "label:colour=red"}, &err), 2);
  EXPECT_EQ(run_cli({"--data-root", root, "process", "ramp", "--do", "mirror:x=1"}, &err), 2);
}

}  // namespace
}  // namespace tarvex
