// tarvex-cli's one clock: --now fixes the wall time every command of the run
// reads, and the camera subcommands refuse what they cannot do.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/cli.h"
#include "test_support.h"

namespace tarvex {
namespace {

struct CliRun {
  int status;
  std::string out, err;
};

CliRun run_cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = cli::run(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(CliClock, NowFixesTheWallTimeOfTheFitsStamp) {
  testing::TempDir dir;
  const std::string root = (dir / "data").string();
  // With the settings' UT offset of 0 the local time given is UT.
  const CliRun r = run_cli({"--data-root", root, "--now", "2024-07-05 21:07:09", "process", "ramp",
                            "--do", "quick-save"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto bytes = testing::read_bytes(dir / "data" / "autosave" / "IMG1.FIT");
  ASSERT_GE(bytes.size(), 2880u);
  const std::string header(bytes.begin(), bytes.begin() + 2880);
  EXPECT_NE(header.find("DATE-OBS= '2024-07-05'"), std::string::npos);
  EXPECT_NE(header.find("TIME-OBS= '21:07:09'"), std::string::npos);
}

TEST(CliClock, CameraCommandsRefuseATiffTheyWouldNotWrite) {
  testing::TempDir dir;
  const std::string tiff = (dir / "field.tif").string();
  const CliRun r = run_cli(
      {"--data-root", (dir / "data").string(), "--simulator", "read-field", "--save-tiff", tiff});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("read-field does not take that option"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(tiff));
}

}  // namespace
}  // namespace tarvex
