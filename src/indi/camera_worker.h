// The camera and its control box behind the INDI driver. A worker thread
// owns a whole Tarvex context (camera session, serial link, settings, frame
// store) and does every piece of camera and mount work on it, so that the
// driver's event loop never blocks for an exposure or a guide pulse and the
// context is only ever touched from one thread. The driver posts requests;
// the worker posts events back, which the driver collects from its own
// thread with take_events().
//
// Guide pulses that arrive while an exposure integrates are sent from the
// exposure's waiting loop, between the camera's commands (never during a
// field read), as the program's own guiding does, so a client can guide
// through the control box while this camera takes the pictures.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "indi/indi_frames.h"
#include "scope/direction_block.h"

namespace tarvex::indi {

struct ExposureRequest {
  std::uint64_t id = 0;  // set by expose(); events of the exposure carry it
  double seconds = 1;
  Region region;
  CaptureFormat format = CaptureFormat::Luminance16;
};

struct ExposureResult {
  std::vector<std::uint16_t> pixels;  // top row first; three planes one after another for RGB
  int planes = 1;
  Region region;
  double seconds = 0;
  bool mosaic_named = false;  // a raw frame of the full-resolution mode
  MosaicCards mosaic;
};

struct WorkerEvent {
  enum class Kind {
    Connected,
    ConnectFailed,
    ExposureDone,
    ExposureFailed,
    ExposureAborted,
    PulseDone,
    PulseFailed,
    Log,  // a message the program would have shown in a box
  };
  Kind kind = Kind::Log;
  std::string text;
  Direction direction = Direction::North;  // of a pulse
  std::uint64_t exposure_id = 0;           // of an exposure's event
  std::shared_ptr<ExposureResult> exposure;
};

struct WorkerSetup {
  bool simulated = false;
  // The control box's serial device (ignored by the simulator, whose
  // control box sits on a pseudo-terminal of its own).
  std::string control_box_port;
  // The program's data folder, where its settings are kept (colour options,
  // camera offsets); empty: the user's data folder.
  std::filesystem::path data_root;
};

class CameraWorker {
 public:
  CameraWorker();
  ~CameraWorker();
  CameraWorker(const CameraWorker&) = delete;
  CameraWorker& operator=(const CameraWorker&) = delete;

  // Builds the context on the worker: the simulated or the real camera
  // (found at once), the control box's port. Connected or ConnectFailed.
  void connect(const WorkerSetup& setup);
  // Ends the exposure under way and drops the context.
  void disconnect();
  // One exposure; ExposureDone, ExposureFailed or ExposureAborted. Returns
  // the exposure's id.
  std::uint64_t expose(ExposureRequest request);
  // Stops every exposure asked for so far, the one under way at the
  // camera's next command.
  void abort_exposure() { aborted_.store(requested_.load()); }
  // A timed guide pulse, at most the program's longest pulse; PulseDone or
  // PulseFailed.
  void pulse(Direction direction, std::uint32_t ms);
  void set_control_box_port(const std::string& device);

  // The events posted since the last call, oldest first.
  std::vector<WorkerEvent> take_events();
  // Waits up to `ms` for an event to be posted (for callers without an
  // event loop of their own).
  bool wait_for_event(std::uint32_t ms);

 private:
  struct Rig;
  void post(WorkerEvent event);
  void run_job(std::function<void()> job);
  void loop();
  void run_pending_pulses();
  void do_connect(const WorkerSetup& setup);
  void do_expose(const ExposureRequest& request);
  void do_pulse(Direction direction, std::uint32_t ms);

  std::unique_ptr<Rig> rig_;  // only touched on the worker thread

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  std::deque<std::pair<Direction, std::uint32_t>> pulses_;
  bool stopping_ = false;

  std::mutex events_mutex_;
  std::condition_variable events_posted_;
  std::vector<WorkerEvent> events_;

  // Exposures asked for and stopped, counted by id; the one under way
  // stops when its id is not above the last stopped one.
  std::atomic<std::uint64_t> requested_{0};
  std::atomic<std::uint64_t> aborted_{0};
  std::uint64_t current_ = 0;  // worker thread only
  bool in_pulse_ = false;      // worker thread only
  std::thread thread_;
};

}  // namespace tarvex::indi
