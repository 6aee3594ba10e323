#include <gtest/gtest.h>

#include <sstream>

#include "cli/options.h"
#include "cli_fixture.h"
#include "files/fits_image.h"
#include "image/frame_store.h"

namespace tarvex::testing {
namespace {

using StackCli = CliFixture;

std::string flat_file(const TempDir& dir, const std::string& name, float value) {
  const auto p = dir / name;
  std::vector<float> v(FRAME_SAMPLES, value);
  v[1000] = 60000;  // the same hot pixel in every light: the dark removes it
  EXPECT_TRUE(write_float_fits(p, FRAME_WIDTH, FRAME_HEIGHT, 1, v, {}, ""));
  return p.string();
}

TEST_F(StackCli, OptionsInAnyOrderAndTheThreeExitStatuses) {
  const std::string a = flat_file(dir, "a.fits", 110), b = flat_file(dir, "b.fits", 120),
                    c = flat_file(dir, "c.fits", 130), d1 = flat_file(dir, "d1.fits", 10),
                    d2 = flat_file(dir, "d2.fits", 10);
  const std::string out_fits = (dir / "out.fits").string(), tiff = (dir / "out.tif").string();
  ASSERT_EQ(run({"stack", a, "--dark", d1, "--method", "median", b, "--align", "none", "--dark", d2,
                 "--export-tiff16", tiff, "--out", out_fits, c}),
            0)
      << err.str();
  EXPECT_EQ(out.str(), "stacked 3 of 3 monochrome lights into " + out_fits + "\n");
  const auto r = read_fits_image(out_fits);
  ASSERT_TRUE(r.image);
  EXPECT_EQ(r.image->data[0], 110.0F);   // median of 100, 110, 120
  EXPECT_EQ(r.image->data[1000], 0.0F);  // the hot pixel is in the darks too
  EXPECT_TRUE(std::filesystem::exists(tiff));

  // Bad arguments: 2, with the reason and where to read the usage.
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"stack", a},
           {"stack", "--out", out_fits},
           {"stack", "--out", out_fits, "--method", "average", a},
           {"stack", "--out", out_fits, "--kappa", "-1", a},
           {"stack", "--out", out_fits, "--align", "sideways", a},
           {"stack", "--out", out_fits, "--dark", a, "--bogus", a},
           {"stack", "--out", out_fits, a, "--flat"}}) {
    EXPECT_EQ(run(bad), 2) << bad.back();
    EXPECT_NE(err.str().find("see tarvex-cli --help"), std::string::npos);
  }
  // No stack could be made: 1, naming the file.
  EXPECT_EQ(run({"stack", "--out", out_fits, a, (dir / "nope.fits").string()}), 1);
  EXPECT_NE(err.str().find("no stack written: nope.fits cannot be read"), std::string::npos)
      << err.str();

  cli::Options o;
  std::ostringstream quiet;
  ASSERT_EQ(cli::parse_command_line({"stack", "--kappa", "2.5", "--out", "x", "l1", "l2"}, o, quiet,
                                    quiet),
            std::nullopt);
  EXPECT_EQ(o.stack.combine.kappa_low, 2.5F);
  EXPECT_EQ(o.stack.combine.method, CombineMethod::Sigma);
  EXPECT_EQ(o.stack.lights.size(), 2u);
}

}  // namespace
}  // namespace tarvex::testing
