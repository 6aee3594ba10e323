#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "cli_fixture.h"
#include "files/fits.h"
#include "test_support.h"

namespace tarvex {
namespace {

using testing::read_bytes;
using testing::TempDir;

struct CliFits : testing::CliFixture {};

TEST_F(CliFits, SavesReadsBackAndQuickSavesFitsFiles) {
  const std::string fit = (dir / "ramp.fit").string();
  ASSERT_EQ(run({"process", "ramp", "--fits", "object=M42", "--fits", "exposure=30", "--fits",
                 "history=dark subtracted", "--fits-unsigned", "--save-fits", fit}),
            0)
      << err.str();
  const auto bytes = read_bytes(fit);
  ASSERT_EQ(bytes.size(), FITS_NORMAL_MONO);
  EXPECT_EQ(std::string(bytes.begin() + 35 * 80, bytes.begin() + 35 * 80 + 29),
            "BZERO   =   +0.0000000000E+00");
  // Row 1 of the ramp is 112 in every sample, unsigned big-endian.
  EXPECT_EQ(bytes[5760 + 2 * 752], 0);
  EXPECT_EQ(bytes[5760 + 2 * 752 + 1], 112);

  // INPUT may be a FITS file; info prints its text record.
  ASSERT_EQ(run({"info", fit}), 0) << err.str();
  const std::string info = out.str();
  EXPECT_NE(info.find("layout: FITS, normal monochrome (878080 bytes)"), std::string::npos);
  EXPECT_NE(info.find("fits object: M42\n"), std::string::npos);
  EXPECT_NE(info.find("fits exposure: 30.000000\n"), std::string::npos);
  EXPECT_NE(info.find("fits history: dark subtracted\n"), std::string::npos);
  EXPECT_NE(info.find("fits unsigned: y\n"), std::string::npos);

  // quick-save numbers the series in the data root's autosave folder.
  ASSERT_EQ(run({"process", fit, "--do", "quick-save:start=1710018300,exposure-ms=15000", "--do",
                 "quick-save"}),
            0)
      << err.str();
  const auto first = dir / "data" / "autosave" / "IMG1.FIT";
  EXPECT_NE(out.str().find("saved FITS " + first.string() + "\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir / "data" / "autosave" / "IMG2.FIT"));
  ASSERT_EQ(run({"info", first.string()}), 0);
  EXPECT_NE(out.str().find("fits time: 21:05:07\n"), std::string::npos);
  EXPECT_NE(out.str().find("fits object: M42\n"), std::string::npos);
}

TEST_F(CliFits, RefusesBadFitsOptions) {
  EXPECT_EQ(run({"process", "ramp", "--fits", "colour=red"}), 2);
  EXPECT_NE(err.str().find("unknown --fits key 'colour'"), std::string::npos);
  EXPECT_EQ(run({"process", "ramp", "--fits", "aperture=wide"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--fits", "date=2024-03-09T21"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--fits", "object"}), 2);
  EXPECT_EQ(run({"info", "ramp", "--fits-unsigned"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--do", "quick-save:exposure-ms=-1"}), 2);
  // A foreign FITS-sized file is refused with message 14 and exit status 1.
  const auto foreign = dir / "foreign.fit";
  testing::write_bytes(foreign, std::vector<std::uint8_t>(FITS_BINNED_MONO, 'X'));
  EXPECT_EQ(run({"info", foreign.string()}), 1);
}

}  // namespace
}  // namespace tarvex
