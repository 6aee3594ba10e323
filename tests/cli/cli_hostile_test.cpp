// tarvex-cli against hostile inputs and careless command lines: FIFOs where
// files belong, header texts that try to reach the terminal, numbers a FITS
// card cannot carry, values that are not plain decimal numbers, options
// given twice, a bad value in the last step, a data folder that cannot be
// written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "app/display_pipeline.h"
#include "cli/steps.h"
#include "cli_fixture.h"
#include "files/fits.h"
#include "files/settings.h"
#include "test_context.h"
#include "test_support.h"

namespace tarvex {
namespace {

using testing::read_bytes;
using testing::write_bytes;

struct CliHostile : testing::CliFixture {};

TEST_F(CliHostile, AFifoIsRefusedAtOnceWhereverAFileIsRead) {
  const auto fifo = dir / "f";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Each of these blocked for ever when the FIFO was opened for reading.
  EXPECT_EQ(run({"info", fifo.string()}), 1);
  EXPECT_NE(err.str().find("message 11:"), std::string::npos) << err.str();
  EXPECT_EQ(run({"process", "ramp", "--do", "subtract-dark:file=" + fifo.string()}), 1);
  EXPECT_NE(err.str().find("message 15:"), std::string::npos) << err.str();

  // A FIFO as the settings file: the program starts with its defaults.
  std::filesystem::create_directories(dir / "data" / "autosave");
  std::filesystem::remove(dir / "data" / "autosave" / "Tarvex.ini");
  ASSERT_EQ(::mkfifo((dir / "data" / "autosave" / "Tarvex.ini").c_str(), 0600), 0);
  EXPECT_EQ(run({"info", "ramp"}), 0) << err.str();
}

TEST_F(CliHostile, InfoEscapesControlCharactersOfHeaderTexts) {
  const auto fit = dir / "x.fit";
  ASSERT_EQ(run({"process", "ramp", "--fits", "object=M42", "--save-fits", fit.string()}), 0);
  auto bytes = read_bytes(fit);
  // OBJECT = 'M42<newline>fits forged: 1<ESC>[2J\'
  const std::string text = "M42\nfits forged: 1\x1b[2J\\";
  std::memcpy(bytes.data() + 5 * 80 + 11, text.data(), text.size());
  bytes[5 * 80 + 11 + text.size()] = '\'';
  write_bytes(fit, bytes);
  ASSERT_EQ(run({"info", fit.string()}), 0) << err.str();
  const std::string info = out.str();
  EXPECT_NE(info.find("fits object: M42\\x0afits forged: 1\\x1b[2J\\\\\n"), std::string::npos)
      << info;
  EXPECT_EQ(info.find("\nfits forged"), std::string::npos);
  EXPECT_EQ(info.find('\x1b'), std::string::npos);
}

TEST_F(CliHostile, QuotesAndLargestNumbersSurviveASaveAndARead) {
  const auto fit = dir / "q.fit";
  // Ten digits of this number round past the largest double: refused where
  // it is entered, rather than written into a file the reader refuses.
  EXPECT_EQ(run({"process", "ramp", "--fits", "exposure=1.7976931348623157e308", "--save-fits",
                 fit.string()}),
            2);
  EXPECT_FALSE(std::filesystem::exists(fit));
  ASSERT_EQ(run({"process", "ramp", "--fits", "exposure=1.7976931348e308", "--fits", "object=a'b",
                 "--save-fits", fit.string()}),
            0)
      << err.str();
  ASSERT_EQ(run({"info", fit.string()}), 0) << err.str();
  EXPECT_NE(out.str().find("fits object: a'b\n"), std::string::npos) << out.str();
  // A quote counts two of the 67 characters an object text has.
  EXPECT_EQ(run({"process", "ramp", "--fits", "object=" + std::string(66, 'o') + "'"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--fits", "object=" + std::string(65, 'o') + "'"}), 0);
}

TEST_F(CliHostile, OnlyPlainDecimalNumbersAreTaken) {
  for (const char* bad : {"0x10", " 16", "16 ", "1e3x", "inf", "nan", "", "+", ".", "1e", "--1"})
    EXPECT_EQ(run({"process", "ramp", "--fits", std::string("exposure=") + bad}), 2) << bad;
  for (const char* good : {"16", "-2.5", "+3", ".5", "5.", "2.5e-3", "1E+2"})
    EXPECT_EQ(run({"process", "ramp", "--fits", std::string("exposure=") + good}), 0) << good;
  EXPECT_EQ(run({"process", "ramp", "--do", "normal-stretch:black=0x10"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--do", "normal-stretch:black= 10"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--do", "normal-stretch:black=10 "}), 2);
  EXPECT_EQ(run({"process", "ramp", "--do", "power-stretch:gamma=0x1p0"}), 2);
  EXPECT_EQ(run({"process", "ramp", "--do", "power-stretch:gamma=1.5e0"}), 0) << err.str();
  EXPECT_EQ(run({"read-field", "--simulator", "--exposure", " 100"}), 2);

  EXPECT_EQ(cli::parse_whole_number("-12"), -12);
  EXPECT_EQ(cli::parse_whole_number("99999999999999999999"), std::nullopt);
  EXPECT_EQ(cli::parse_real_number("1e400"), std::nullopt);
}

TEST_F(CliHostile, AnOptionNamingOneFileIsRefusedTwice) {
  const auto a = dir / "a.kr", b = dir / "b.kr";
  EXPECT_EQ(run({"process", "ramp", "--save-raw", a.string(), "--save-raw", b.string()}), 2);
  EXPECT_NE(err.str().find("--save-raw may be given only once"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_FALSE(std::filesystem::exists(b));
  EXPECT_EQ(run({"process", "ramp", "--save-fits", "x", "--save-fits", "y"}), 2);
}

TEST_F(CliHostile, EveryStepIsCheckedBeforeTheFirstRuns) {
  EXPECT_EQ(run({"process", "ramp", "--do", "quick-save", "--do", "normal-stretch:black=300"}), 2);
  EXPECT_NE(err.str().find("step 'normal-stretch:black=300'"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(dir / "data" / "autosave" / "IMG1.FIT"));
  Settings s;
  FitsText f;
  RecordingMessages quiet;
  load_settings(dir / "data" / "autosave" / "Tarvex.ini", s, f, quiet);
  EXPECT_EQ(s.autosave_number, 0);
  // Both run once every value is right.
  EXPECT_EQ(run({"process", "ramp", "--do", "quick-save", "--do", "normal-stretch:black=30"}), 0)
      << err.str();
  EXPECT_TRUE(std::filesystem::exists(dir / "data" / "autosave" / "IMG1.FIT"));
}

// A step without keys, from every menu: a key is refused by name; the
// command runs only when not checking; nothing returned is success, a
// result is the step's.
TEST(StepCheck, StepsWithoutKeysRefuseKeysAndRunTheirCommandOnce) {
  testing::TestContext t;
  for (const char* name : {"undo", "undo-colour", "mirror", "invert", "gradient", "anti-alias"}) {
    const cli::StepInfo* step = cli::steps().find(name);
    ASSERT_NE(step, nullptr) << name;
    const auto r = step->run(*t, {{"x", "1"}});
    EXPECT_EQ(r.status, cli::STEP_USAGE) << name;
    EXPECT_EQ(r.error, "unknown key 'x'") << name;
  }
  int runs = 0;
  const cli::StepFunction counted = cli::plain([&runs](Tarvex&) { ++runs; });
  const cli::StepFunction failing =
      cli::plain([](Tarvex&) { return cli::StepResult{cli::STEP_FAILED}; });
  {
    const cli::StepCheckScope checking;
    EXPECT_EQ(counted(*t, {}).status, cli::STEP_OK);
    EXPECT_EQ(failing(*t, {}).status, cli::STEP_OK);
  }
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(counted(*t, {}).status, cli::STEP_OK);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(failing(*t, {}).status, cli::STEP_FAILED);
}

TEST(StepCheck, NoStepChangesAnythingWhileTheStepsAreChecked) {
  testing::TestContext t;
  refresh_display(*t);
  const Frame before = t->store().CurrentFrame;
  const auto files_before =
      std::distance(std::filesystem::recursive_directory_iterator(t.dir.path()),
                    std::filesystem::recursive_directory_iterator());
  const cli::StepCheckScope checking;
  for (const auto& step : cli::steps().all()) {
    const cli::StepKeys keys = {{"file", (t.dir / "missing").string()}, {"x", "10"}, {"y", "10"}};
    // Keys a step does not take are refused; otherwise the check passes.
    const auto r = step.run(*t, {});
    EXPECT_NE(r.status, cli::STEP_FAILED) << step.name;
    step.run(*t, keys);
  }
  EXPECT_TRUE(t.messages.shown.empty());
  EXPECT_EQ(t->store().CurrentFrame, before);
  EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(t.dir.path()),
                          std::filesystem::recursive_directory_iterator()),
            files_before);
}

TEST_F(CliHostile, AnUnwritableDataFolderFailsTheRunWithOneMessage) {
  write_bytes(dir / "data", {1});  // the data root is a file
  EXPECT_EQ(run({"process", "ramp", "--do", "invert", "--do", "invert"}), 1);
  const std::string e = err.str();
  const auto first = e.find("message 8:");
  ASSERT_NE(first, std::string::npos) << e;
  EXPECT_EQ(e.find("message 8:", first + 1), std::string::npos) << e;
  EXPECT_NE(e.find("display bitmap"), std::string::npos) << e;
}

}  // namespace
}  // namespace tarvex
