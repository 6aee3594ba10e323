#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status;
  std::string out, err;
};

CliRun run_cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = cli::run(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(CameraCli, SimulatorDiagnostics) {
  const fs::path root = fs::temp_directory_path() / "tarvex-camera-cli-test";
  fs::remove_all(root);
  fs::create_directories(root);
  auto info = run_cli({"--data-root", root.string(), "--simulator", "camera-info"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("camera present: yes"), std::string::npos);

  const fs::path raw = root / "field.raw";
  auto field = run_cli({"--data-root", root.string(), "--simulator", "--virtual-time", "read-field",
                        "--exposure", "300", "--save-raw", raw.string()});
  EXPECT_EQ(field.status, 0) << field.err;
  EXPECT_TRUE(fs::exists(raw));

  auto focus = run_cli({"--data-root", root.string(), "--simulator", "--virtual-time",
                        "focus-frame", "--exposure", "50"});
  EXPECT_EQ(focus.status, 0) << focus.err;
  EXPECT_NE(focus.out.find("peak"), std::string::npos);

  EXPECT_EQ(run_cli({"--simulator", "read-field", "--exposure", "0"}).status, 2);
  EXPECT_EQ(run_cli({"--simulator", "camera-info", "--save-raw", "x"}).status, 2);
  fs::remove_all(root);
}

}  // namespace
}  // namespace tarvex
