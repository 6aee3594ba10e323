// A Tarvex context on recording ports and a private data folder, for the
// processing tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "app/tarvex.h"
#include "platform/basic_ports.h"

namespace tarvex::testing {

class ProcessingTest : public ::testing::Test {
 protected:
  ProcessingTest()
      : root_(std::filesystem::temp_directory_path() /
              ("tarvex-processing-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        app_(Paths(root_), Ports{messages_, clock_, pump_, progress_, launcher_, display_}) {
    std::filesystem::create_directories(root_);
    init_frame_store(app_.store());
  }
  ~ProcessingTest() override { std::filesystem::remove_all(root_); }

  FrameStore& fs() { return app_.store(); }
  std::uint16_t& at(int x, int y) { return fs().CurrentFrame[y * FRAME_WIDTH + x]; }
  void fill(std::uint16_t v) {
    std::fill(fs().CurrentFrame.begin(), fs().CurrentFrame.begin() + FRAME_SAMPLES, v);
  }
  // Noise over a smooth sky, with some hot and saturated pixels.
  void fill_random(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(0, 3000), pick(0, 99);
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      int v = 2000 + (i % FRAME_WIDTH) * 20 + noise(rng);
      const int p = pick(rng);
      if (p == 0) v = 65535;
      if (p == 1) v = 0;
      if (p == 2) v = 60000 + noise(rng);
      fs().CurrentFrame[i] = static_cast<std::uint16_t>(std::min(v, 65535));
    }
  }
  // Marks the frame as labelled and writes odd values into the band.
  void add_label_band() {
    for (int i = 0; i < 7520; ++i) fs().CurrentFrame[i] = static_cast<std::uint16_t>(i * 7 + 1);
    fs().CurrentFrame[4] = 30;
    fs().CurrentFrame[5] = 4;
  }

  std::filesystem::path root_;
  RecordingMessages messages_;
  VirtualClock clock_;
  NullPump pump_;
  RecordingProgress progress_;
  RecordingLauncher launcher_;
  RecordingDisplaySink display_;
  Tarvex app_;
};

}  // namespace tarvex::testing
