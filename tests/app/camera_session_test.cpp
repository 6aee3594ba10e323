// The camera session of the context: made over the context's transport and
// message port, and kept for the life of the context, so every camera
// command of a run sees what the ones before it found and measured.
#include <gtest/gtest.h>

#include <memory>

#include "app/tarvex.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "test_context.h"
#include "test_support.h"

namespace tarvex {
namespace {

struct SimContext {
  testing::TempDir dir;
  RecordingMessages messages;
  VirtualClock clock{1};
  NullPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SimCamera camera{clock};
  Tarvex app{Paths(dir.path()), Ports{messages, clock, pump, progress, launcher, display, camera}};
};

// A long exposure's field read, as a capture command makes it.
LinkResult long_field(Tarvex& app) {
  CameraSession& session = app.camera;
  session.readout.exposure_ms = 2000;
  send_timing_command(session.link, TimingCommand::StartExposure);
  wait_exposure(session.link, app.ports.clock, 2000);
  send_timing_command(session.link, TimingCommand::EndSingleField);
  return read_field(session.link, app.ports.clock, session.readout, app.store().CurrentFrame);
}

TEST(CameraSession, FoundThroughTheContextsPortsAndKeptBetweenCommands) {
  SimContext s;
  CameraSession& session = s.app.camera;
  EXPECT_FALSE(session.camera_present());
  ASSERT_EQ(session.find(true), CameraSearch::Found);
  EXPECT_TRUE(session.camera_present());
  // The link report went to the context's message port.
  ASSERT_EQ(s.messages.shown.size(), 1u);
  EXPECT_EQ(s.messages.shown[0].text.rfind("Camera Found, Hid =", 0), 0u);
  EXPECT_EQ(session.records[0].product, "Simulated camera image data");

  // The first long exposure measures the field read time; a later command
  // (another search, another exposure) finds it measured, not measured again.
  EXPECT_EQ(session.field_read_time(), FIELD_READ_TIME_UNMEASURED);
  ASSERT_EQ(long_field(s.app), LinkResult::Ok);
  const std::uint32_t measured = session.field_read_time();
  EXPECT_NE(measured, FIELD_READ_TIME_UNMEASURED);
  EXPECT_EQ(session.find(false), CameraSearch::Found);
  EXPECT_EQ(s.messages.shown.size(), 1u);  // no report without the debug setting
  ASSERT_EQ(long_field(s.app), LinkResult::Ok);
  EXPECT_EQ(session.field_read_time(), measured);
  EXPECT_EQ(s.camera.exposures_started(), 2u);
}

TEST(CameraSession, AContextWithoutATransportHasNoCamera) {
  testing::TestContext t;
  EXPECT_EQ(t->camera.find(true), CameraSearch::NoneListed);
  EXPECT_FALSE(t->camera.camera_present());
  EXPECT_EQ(t.messages.codes(), (std::vector<unsigned>{50}));
  EXPECT_EQ(t.messages.shown[0].text, "USB BlockIO device not found");
}

}  // namespace
}  // namespace tarvex
