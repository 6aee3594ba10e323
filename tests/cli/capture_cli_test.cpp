// tarvex-cli capture on the simulated camera with a virtual clock: what it
// prints, what it saves, what it refuses, and a Ctrl-C.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "cli_fixture.h"
#include "files/fits_image.h"
#include "files/settings.h"
#include "platform/basic_ports.h"
#include "platform/file_io.h"
#include "sim/sky_renderer.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

class CaptureCli : public testing::CliFixture {
 protected:
  fs::path autosave(int n) const {
    return dir / "data" / "autosave" / ("IMG" + std::to_string(n) + ".FIT");
  }
};

TEST_F(CaptureCli, SumWithAutosaveAndSaves) {
  const fs::path raw = dir / "~sum", fits = dir / "sum.fit", tiff = dir / "sum.tif";
  ASSERT_EQ(run({"--simulator", "--virtual-time", "capture", "--range", "s", "--value", "2",
                 "--count", "3", "--autosave", "--beep", "--save-raw", raw.string(), "--save-fits",
                 fits.string(), "--save-tiff", tiff.string()}),
            0)
      << err.str();
  // One line per file written, nothing else, on standard output.
  auto standard = [&](int n) {
    return "\nautosaved standard " +
           (dir / "data" / "autosave" / ("IMG" + std::to_string(n) + ".fits")).string();
  };
  EXPECT_EQ(out.str(), "autosaved " + autosave(1).string() + standard(1) + "\nautosaved " +
                           autosave(2).string() + standard(2) + "\nautosaved " +
                           autosave(3).string() + standard(3) + "\nsaved KR File " + raw.string() +
                           "\nsaved FITS " + fits.string() + "\nsaved TIFF file " + tiff.string() +
                           "\n");
  EXPECT_TRUE(fs::exists(raw) && fs::exists(fits) && fs::exists(tiff));
  // The stages on the error stream, no progress bar (it is not a terminal).
  const std::string e = err.str();
  EXPECT_NE(e.find("EXPOSURE UNDERWAY (Left - 3)\nREAD KR CAMERA (Left - 3)\n"), std::string::npos);
  EXPECT_NE(e.find("READ KR CAMERA - takes 3 - 4 seconds\n"), std::string::npos);
  EXPECT_NE(e.find("capture: 3 exposures taken, 3 saved\n"), std::string::npos);
  EXPECT_EQ(e.find('['), std::string::npos);
  EXPECT_EQ(e.find("message"), std::string::npos);

  // The options were for that run: the settings file keeps its beep setting
  // and holds only the new autosave number.
  Settings settings;
  FitsText text;
  RecordingMessages messages;
  load_settings(dir / "data" / "autosave" / "Tarvex.ini", settings, text, messages);
  EXPECT_FALSE(settings.beep_after_exposure);
  EXPECT_EQ(settings.autosave_number, 3);
}

// The brightest sample within 4 pixels of (x, y) of a saved KR File.
int peak_near(const fs::path& raw, int x, int y) {
  const auto bytes = testing::read_bytes(raw);
  int best = 0;
  for (int j = y - 4; j <= y + 4; ++j)
    for (int i = x - 4; i <= x + 4; ++i) {
      const std::size_t at = 10 + 2 * static_cast<std::size_t>(j * 752 + i);
      best = std::max(best, bytes[at] | (bytes[at + 1] << 8));
    }
  return best;
}

TEST_F(CaptureCli, SumRegisteredOnTheStarGiven) {
  // The simulated sky's brightest star lies near (551, 240). Averaged on it,
  // three exposures keep its peak.
  const fs::path one = dir / "~one", on_star = dir / "~star";
  ASSERT_EQ(run({"--simulator", "--virtual-time", "capture", "--save-raw", one.string()}), 0);
  ASSERT_EQ(run({"--simulator", "--virtual-time", "capture", "--count", "3", "--average", "--star",
                 "551,240", "--save-raw", on_star.string()}),
            0)
      << err.str();
  const int single = peak_near(one, 551, 240);
  EXPECT_GT(single, 20000);
  EXPECT_NEAR(peak_near(on_star, 551, 240), single / 3 * 3, single / 20);
  EXPECT_EQ(run({"--simulator", "capture", "--star", "752,10"}), 2);
  EXPECT_EQ(run({"--simulator", "capture", "--star", "10"}), 2);
}

TEST_F(CaptureCli, MessagesAndFailuresOnTheErrorStream) {
  // A dark frame that is not there: one notice that says so, as
  // "message N: text" (not the loader's words about FITS files); the
  // exposure is still taken.
  ASSERT_EQ(run({"--simulator", "--virtual-time", "capture", "--range", "t", "--value", "5",
                 "--auto-dark", "--dark", (dir / "none.drk").string(), "--mode", "interlaced"}),
            0);
  EXPECT_EQ(err.str().find("message 15: "), std::string::npos);
  EXPECT_NE(err.str().find("message 50: The dark frame\n" + (dir / "none.drk").string()),
            std::string::npos);
  EXPECT_NE(err.str().find("READ KR CAMERA - Interlaced(2nd Exposure)"), std::string::npos);
  EXPECT_TRUE(out.str().empty());
}

TEST_F(CaptureCli, UsageErrors) {
  const std::vector<std::vector<std::string>> wrong = {
      {"--simulator", "capture", "--range", "x"},
      {"--simulator", "capture", "--range", "s", "--value", "301"},
      {"--simulator", "capture", "--range", "m", "--value", "91"},
      {"--simulator", "capture", "--value", "0"},
      {"--simulator", "capture", "--count", "21"},
      {"--simulator", "capture", "--delay", "21"},
      {"--simulator", "capture", "--mode", "slow"},
      {"--simulator", "capture", "--count"},
      {"--simulator", "capture", "--do", "mirror"},
      {"--simulator", "capture", "--exposure", "100"},
      {"--simulator", "capture", "INPUT"},
      {"--virtual-time", "capture"},
      {"process", "ramp", "--count", "2"},
      {"--simulator", "read-field", "--autosave"},
      // Continuous runs take single exposures; a count sums one sequence.
      {"--simulator", "capture", "--continuous", "--count", "3"},
      // A live stack is of a continuous run; --frames ends one after two or more.
      {"--simulator", "capture", "--live-stack", "s.fits"},
      {"--simulator", "capture", "--continuous", "--save-every", "5"},
      {"--simulator", "capture", "--continuous", "--live-stack", "s.fits", "--save-every", "0"},
      {"--simulator", "capture", "--continuous", "--live-stack"},
      {"--simulator", "capture", "--frames", "4"},
      {"--simulator", "capture", "--continuous", "--frames", "1"},
  };
  for (const auto& args : wrong) {
    EXPECT_EQ(run(args), 2) << args.back();
    EXPECT_NE(err.str().find("\nsee tarvex-cli --help\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "data" / "autosave")) << "nothing ran";
  }
  EXPECT_NE((run({"process", "ramp", "--colour"}), err.str()).find("--colour belongs to capture"),
            std::string::npos);
}

TEST_F(CaptureCli, HelpListsEveryCommandAndOption) {
  ASSERT_EQ(run({"--help"}), 0);
  const std::string help = out.str();
  std::istringstream words(
      "process info steps camera-info read-field focus-frame capture focus train guide scope "
      "mount-sim --data-root --simulator --virtual-time --sky --do --save-raw --save-flat "
      "--save-tiff --bitmap --save-fits --fits-unsigned --fits --export-fits --export-fits-float "
      "--export-tiff16 --now --exposure --range --value --mode --count --average --alt-slew "
      "--continuous --delay --countdown --dark --auto-dark --colour --autosave --beep --star "
      "--self-guide --half-time --guide-range --guide-value --minutes --frames --centre "
      "--live-stack --save-every --port "
      "--link --rate --fast --silent --garbage --reply-delay --for");
  std::string w;
  while (words >> w) {
    // A command where a usage line names it, an option as a whole word.
    const std::regex named(w[0] == '-' ? w + "[^a-z-]"
                                       : "(tarvex-cli|\\]|--simulator) " + w + "[ \n]");
    EXPECT_TRUE(std::regex_search(help, named)) << w;
  }
}

TEST_F(CaptureCli, ContinuousRunWithALiveStack) {
  // Five exposures, the stack saved after the second and fourth and at the end.
  const fs::path stack = dir / "live.fits";
  ASSERT_EQ(run({"--simulator", "--virtual-time", "capture", "--mode", "interlaced", "--continuous",
                 "--frames", "5", "--live-stack", stack.string(), "--save-every", "2"}),
            0)
      << err.str();
  EXPECT_NE(out.str().find("live stack " + stack.string() +
                           ": 5 frames stacked, 0 refused as trailed, 0 not registered, saved 3 "
                           "times\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(err.str().find("capture: 5 exposures taken"), std::string::npos) << err.str();
  const FitsImageRead back = read_fits_image(stack);
  ASSERT_TRUE(back.image) << back.error;
  EXPECT_EQ(back.image->planes, 3);
  EXPECT_EQ(back.image->width, FRAME_WIDTH);
}

TEST_F(CaptureCli, SelfGuidedRunPrintsAGuidingLinePerExposure) {
  // Two guided exposures (a guided run is never summed).
  ASSERT_EQ(run({"--simulator", "--virtual-time", "capture", "--self-guide", "--range", "s",
                 "--value", "20", "--count", "2"}),
            0)
      << err.str();
  const std::regex guiding(
      R"(guiding: (\d+) corrections, RMS RA \d+\.\d{3} px, Dec \d+\.\d{3} px, star held)");
  std::istringstream lines(err.str());
  std::string line;
  int told = 0;
  while (std::getline(lines, line)) {
    std::smatch m;
    if (line.rfind("guiding:", 0) != 0) continue;
    ++told;
    ASSERT_TRUE(std::regex_match(line, m, guiding)) << line;
    EXPECT_GE(std::stoi(m[1]), 10) << line;
  }
  EXPECT_EQ(told, 2) << err.str();
}

TEST_F(CaptureCli, CtrlCStopsTheRunAndKeepsTheSavedFiles) {
  // A continuous run in a child process; once its first file is saved, a
  // Ctrl-C stops it as a key press would.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int status = run({"--simulator", "--virtual-time", "capture", "--range", "s", "--value",
                            "30", "--continuous", "--autosave"});
    _exit(status);
  }
  bool saved = false;
  for (int k = 0; k < 2000 && !saved; ++k) {
    saved = fs::exists(autosave(1));
    if (!saved) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(saved);
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "stopped cleanly, not killed by the signal";
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_TRUE(fs::exists(autosave(1)));
}

TEST_F(CaptureCli, TwoRunsOnOneDataFolderNeverShareAFile) {
  // Two tarvex-cli processes save a sum of 20 exposures each into the same
  // series at the same time: each file they report is a file of its own.
  ASSERT_EQ(run({"--simulator", "--virtual-time", "capture"}), 0);  // the settings
  std::vector<pid_t> children;
  for (int k = 0; k < 2; ++k) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int status = run({"--simulator", "--virtual-time", "capture", "--range", "t", "--value",
                              "5", "--count", "20", "--autosave"});
      const std::string lines = out.str(), said = err.str();
      testing::write_bytes(dir / ("out" + std::to_string(k)),
                           std::vector<std::uint8_t>(lines.begin(), lines.end()));
      testing::write_bytes(dir / ("err" + std::to_string(k)),
                           std::vector<std::uint8_t>(said.begin(), said.end()));
      _exit(status);
    }
    children.push_back(child);
  }
  for (std::size_t k = 0; k < children.size(); ++k) {
    int status = 0;
    ASSERT_EQ(waitpid(children[k], &status, 0), children[k]);
    const auto said = testing::read_bytes(dir / ("err" + std::to_string(k)));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "run " << k << " said:\n"
        << std::string(said.begin(), said.end());
  }
  std::set<fs::path> reported;
  for (int k = 0; k < 2; ++k) {
    const auto bytes = testing::read_bytes(dir / ("out" + std::to_string(k)));
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("autosaved standard ", 0) == 0) continue;  // the copy beside each file
      ASSERT_EQ(line.rfind("autosaved ", 0), 0u) << line;
      EXPECT_TRUE(reported.insert(line.substr(10)).second) << "reported twice: " << line;
    }
  }
  EXPECT_EQ(reported.size(), 40u);
  std::size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir / "data" / "autosave"))
    if (e.path().extension() == ".FIT") ++files;
  EXPECT_EQ(files, 40u);
  for (const fs::path& p : reported) EXPECT_TRUE(fs::is_regular_file(p)) << p;
}

TEST_F(CaptureCli, TheNextStartRemovesWhatAKilledSaveLeft) {
  // Saves killed while they wrote, in each folder the program writes to.
  ASSERT_EQ(run({"process", "ramp"}), 0);
  const fs::path folders[] = {dir / "data", dir / "data" / "autosave",
                              dir / "data" / "autosave" / "night1"};
  fs::create_directories(folders[2]);
  for (const fs::path& folder : folders) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      AtomicFile file;
      if (file.open(folder / "IMG1.FIT")) file.write("part", 4);
      kill(getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
  }
  auto left = [&] {
    int n = 0;
    for (const fs::path& folder : folders)
      for (const auto& e : fs::directory_iterator(folder))
        n += e.path().filename().string().rfind(TEMPORARY_FILE_PREFIX, 0) == 0;
    return n;
  };
  ASSERT_EQ(left(), 3);
  Settings settings;
  FitsText text;
  RecordingMessages messages;
  const fs::path ini = dir / "data" / "autosave" / "Tarvex.ini";
  load_settings(ini, settings, text, messages);
  settings.autosave_subdir = "night1";
  ASSERT_EQ(save_settings(ini, settings, text), FileSave::Ok);
  ASSERT_EQ(run({"process", "ramp"}), 0);
  EXPECT_EQ(left(), 0);
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

using SkyCli = testing::CliFixture;

TEST_F(SkyCli, ChartInColourAndUsageErrors) {
  ASSERT_EQ(run({"--simulator", "--virtual-time", "--sky", "chart", "capture", "--mode",
                 "progressive", "--colour"}),
            0)
      << err.str();
  // The display bitmap: 24-bit, bottom-up rows of 2256 bytes in blue,
  // green, red order after a 54-byte header.
  const std::vector<std::uint8_t> bmp = testing::read_bytes(dir / "data" / "tvximg.bmp");
  ASSERT_EQ(bmp.size(), 54u + 2256u * 580u);
  auto pixel = [&](const char* name) {
    for (const ChartPatch& p : chart_patches()) {
      if (std::string(p.name) != name) continue;
      const int x = (p.x0 + p.x1) / 2, y = (p.y0 + p.y1) / 2;
      const std::size_t at = 54 + static_cast<std::size_t>(579 - y) * 2256 + x * 3;
      return std::array<int, 3>{bmp[at + 2], bmp[at + 1], bmp[at]};
    }
    ADD_FAILURE() << name;
    return std::array<int, 3>{};
  };
  const auto white = pixel("white"), black = pixel("black"), red = pixel("red"),
             blue = pixel("blue");
  EXPECT_GT(white[1], 4 * black[1] + 20);
  EXPECT_GT(red[0], red[1] + 20);
  EXPECT_GT(red[0], red[2] + 20);
  EXPECT_GT(blue[2], blue[0] + 10);

  EXPECT_EQ(run({"--sky", "chart", "camera-info"}), 2);
  EXPECT_NE(err.str().find("--sky chooses what the simulated camera sees"), std::string::npos);
  EXPECT_EQ(run({"--simulator", "--sky", "moon", "camera-info"}), 2);
  EXPECT_NE(err.str().find("--sky needs stars, chart or real"), std::string::npos);
}

}  // namespace
}  // namespace tarvex
