// A tarvex-cli run in a private data folder, its output and error streams
// kept for the test to read.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "test_support.h"

namespace tarvex::testing {

struct CliFixture : ::testing::Test {
  TempDir dir;
  std::ostringstream out, err;
  int run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    args.insert(args.begin(), {"--data-root", (dir / "data").string()});
    return cli::run(args, out, err);
  }
};

}  // namespace tarvex::testing
