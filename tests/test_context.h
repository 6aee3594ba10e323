// The one context of the tests: a Tarvex whose ports record what they were
// asked to do, with its data root in a temporary folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "app/tarvex.h"
#include "platform/basic_ports.h"
#include "test_support.h"

namespace tarvex::testing {

struct TestContext {
  TempDir dir;  // the data root is dir/data; tests keep their own files in dir
  RecordingMessages messages;
  VirtualClock clock;
  NullPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  std::unique_ptr<Tarvex> app;

  TestContext() {
    app = std::make_unique<Tarvex>(Paths(dir / "data"),
                                   Ports{messages, clock, pump, progress, launcher, display});
  }
  Tarvex& operator*() { return *app; }
  Tarvex* operator->() { return app.get(); }
};

// A test on one context, with helpers for the frame.
class ContextTest : public ::testing::Test {
 protected:
  TestContext ctx_;
  Tarvex& app_ = *ctx_;
  RecordingMessages& messages_ = ctx_.messages;
  VirtualClock& clock_ = ctx_.clock;
  NullPump& pump_ = ctx_.pump;
  RecordingProgress& progress_ = ctx_.progress;
  RecordingLauncher& launcher_ = ctx_.launcher;
  RecordingDisplaySink& display_ = ctx_.display;

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
};

}  // namespace tarvex::testing
