#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/steps.h"
#include "cli_fixture.h"
#include "files/raw_file.h"
#include "test_support.h"

namespace tarvex {
namespace {

using testing::read_bytes;
using testing::TempDir;

struct Cli : testing::CliFixture {};

TEST_F(Cli, ProcessTheRampSaveAndReadBack) {
  const auto raw = (dir / "~ramp").string();
  const auto flat = (dir / "~flat").string();
  const auto bmp = (dir / "ramp.bmp").string();
  ASSERT_EQ(run({"process", "ramp", "--do", "undo", "--save-raw", raw, "--save-flat", flat,
                 "--bitmap", bmp}),
            0)
      << err.str();
  EXPECT_EQ(read_bytes(raw).size(), RAW_TAGGED);
  EXPECT_EQ(read_bytes(flat).size(), RAW_TAGGED);
  // The bitmap is exactly what the display writes.
  EXPECT_EQ(read_bytes(bmp), read_bytes(dir / "data" / "tvximg.bmp"));
  EXPECT_EQ(read_bytes(bmp).size(), 437238u);
  EXPECT_NE(out.str().find("step undo: done"), std::string::npos);
  // The settings were created as at a first start.
  EXPECT_EQ(read_bytes(dir / "data" / "autosave" / "Tarvex.ini").size(), 1184u);

  ASSERT_EQ(run({"info", raw}), 0) << err.str();
  EXPECT_NE(out.str().find("length: 872330"), std::string::npos);
  EXPECT_NE(out.str().find("IsBinned: 0\nIsColour: 0\nHasBytePlanes: 0\n"), std::string::npos);
  EXPECT_NE(out.str().find("title: Tarvex - ~ramp"), std::string::npos);
  ASSERT_EQ(run({"info", "ramp"}), 0);
  EXPECT_NE(out.str().find("title: Tarvex - (Untitled)"), std::string::npos);
}

TEST_F(Cli, FailuresAndUsageErrors) {
  EXPECT_EQ(run({"process", (dir / "missing").string()}), 1);
  EXPECT_NE(err.str().find("message 11: Failed to Open KR File"), std::string::npos);
  testing::write_bytes(dir / "~short", std::vector<std::uint8_t>(100, 0));
  EXPECT_EQ(run({"info", (dir / "~short").string()}), 1);
  EXPECT_NE(err.str().find("message 12: You didn't choose a valid KR File"), std::string::npos);

  EXPECT_EQ(run({"process", "ramp", "--do", "no-such-step"}), 2);
  EXPECT_NE(err.str().find("unknown step 'no-such-step'"), std::string::npos);
  EXPECT_EQ(run({"process", "ramp", "--do", "undo:power=3"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--do", "undo:oops"}), 2);
  EXPECT_EQ(run({"process"}), 2);
  EXPECT_EQ(run({"frobnicate", "ramp"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--save-raw"}), 2);
  EXPECT_EQ(run({"info", "ramp", "--do", "undo"}), 2);
  // A save that fails ends with status 1 and its message.
  EXPECT_EQ(run({"process", "ramp", "--save-raw", (dir / "nowhere" / "~x").string()}), 1);
  EXPECT_NE(err.str().find("message 17: Failed to Save KR File"), std::string::npos);
}

TEST(CliSteps, KeyParsing) {
  std::string name, error;
  cli::StepKeys keys;
  ASSERT_TRUE(cli::parse_step("normal-stretch:black=10,white=300", name, keys, error));
  EXPECT_EQ(name, "normal-stretch");
  EXPECT_EQ(keys.at("white"), "300");
  cli::StepKeys scratch;
  EXPECT_FALSE(cli::parse_step(":a=1", name, scratch, error));
  EXPECT_FALSE(cli::parse_step("x:=1", name, scratch, error));
  EXPECT_EQ(cli::int_key(keys, "white", 0, 65535, std::nullopt, error), 300);
  EXPECT_FALSE(cli::int_key(keys, "white", 0, 255, std::nullopt, error));
  EXPECT_NE(error.find("0..255"), std::string::npos);
  EXPECT_EQ(cli::int_key(keys, "radius", 1, 6, 3L, error), 3);
  EXPECT_FALSE(cli::int_key(keys, "radius", 1, 6, std::nullopt, error));
  keys["power"] = "0.5x";
  EXPECT_FALSE(cli::double_key(keys, "power", 0, 1, std::nullopt, error));
  keys["power"] = "0.5";
  EXPECT_EQ(cli::double_key(keys, "power", 0, 1, std::nullopt, error), 0.5);
  keys["on"] = "maybe";
  EXPECT_FALSE(cli::bool_key(keys, "on", std::nullopt, error));
  EXPECT_FALSE(cli::only_keys(keys, {"black", "white", "power"}, error));
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

TEST_F(Cli, ExportsStandardFitsAndSixteenBitTiff) {
  const auto fits16 = (dir / "ramp.fits").string();
  const auto fits32 = (dir / "ramp-float.fits").string();
  const auto tiff = (dir / "ramp.tif").string();
  ASSERT_EQ(run({"process", "ramp", "--fits", "object=M42", "--export-fits", fits16,
                 "--export-fits-float", fits32, "--export-tiff16", tiff}),
            0)
      << err.str();
  EXPECT_NE(out.str().find("exported standard FITS " + fits16), std::string::npos);
  const auto f16 = read_bytes(fits16);
  const auto f32 = read_bytes(fits32);
  // A header block, then the data padded to whole blocks of 2880 bytes.
  EXPECT_EQ(f16.size(), 2880u + 303u * 2880u);
  EXPECT_EQ(f32.size(), 2880u + 606u * 2880u);
  EXPECT_EQ(std::string(f16.begin(), f16.begin() + 30), "SIMPLE  =                    T");
  EXPECT_EQ(std::string(f32.begin() + 80, f32.begin() + 110), "BITPIX  =                  -32");
  const std::string header(f16.begin(), f16.begin() + 2880);
  EXPECT_NE(header.find("OBJECT  = 'M42     '"), std::string::npos);
  // The ramp's bottom row (579 * 112 = 64848) is stored first: 64848 - 32768.
  EXPECT_EQ((f16[2880] << 8) | f16[2881], 64848 - 32768);
  EXPECT_EQ(read_bytes(tiff).size() % 2, 0u);
  EXPECT_GT(read_bytes(tiff).size(), 2u * FRAME_SAMPLES);
  // The program's own reader does not take the export: it is for others.
  EXPECT_EQ(run({"info", fits16}), 1);
  // info takes no exports; a missing file name is a usage error.
  EXPECT_EQ(run({"info", "ramp", "--export-fits", fits16}), 2);
  EXPECT_EQ(run({"process", "ramp", "--export-tiff16"}), 2);
  // An export that cannot be written fails with message 29.
  EXPECT_EQ(run({"process", "ramp", "--export-fits", (dir / "no" / "x.fits").string()}), 1);
  EXPECT_NE(err.str().find("message 29:"), std::string::npos);
}

}  // namespace
}  // namespace tarvex
