#include "indi/camera_worker.h"

#include <algorithm>
#include <chrono>

#include "app/camera_transport.h"
#include "app/capture/sequencer.h"
#include "app/colour/synthesis_commands.h"
#include "app/start_up.h"
#include "app/tarvex.h"
#include "app/telescope.h"
#include "app/telescope_ports.h"
#include "platform/basic_ports.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "scope/guiding.h"

namespace tarvex::indi {

namespace {

// The system clock without the bell: the driver has no terminal to ring.
class QuietClock : public SteadyClock {
 public:
  void beep() override {}
};

// Boxes the program would show become log lines for the driver to pass on;
// nobody is there to answer a question, so it is answered No.
class LoggedMessages : public Messages {
 public:
  explicit LoggedMessages(std::function<void(const std::string&)> log) : log_(std::move(log)) {}
  int message(unsigned, const std::string& text) override {
    log_(text);
    return 0;
  }
  int box(const std::string&, const std::string& text, BoxIcon) override {
    log_(text);
    return 0;
  }
  bool ask_yes_no(const std::string&, const std::string& text) override {
    log_(text);
    return false;
  }

 private:
  std::function<void(const std::string&)> log_;
};

// The event pump of the worker: an abort request counts as a key press, which
// stops an exposure as a key stops it in the window; between the camera's
// commands it lets queued guide pulses go out.
class WorkerPump : public EventPump {
 public:
  WorkerPump(std::function<bool()> stop_requested, std::function<void()> between_commands)
      : stop_requested_(std::move(stop_requested)),
        between_commands_(std::move(between_commands)) {}
  void pump() override {
    if (between_commands_) between_commands_();
  }
  Inputs pending() const override { return stop_requested_() ? Inputs(Input::Key) : Inputs(); }
  // An abort stays in force until the next exposure is asked for: the
  // exposure's own start clears the pump, and an abort that came before
  // the exposure started must still stop it.
  void clear(Inputs) override {}

 private:
  std::function<bool()> stop_requested_;
  std::function<void()> between_commands_;
};

// The camera dialog of the driver: one exposure as the request says it, in
// full resolution (both fields of one exposure) or the binned mode, with
// nothing done after it that the client did not ask for.
class RequestFront : public CaptureFront {
 public:
  RequestFront(const ExposurePlan& plan, bool binned) : plan_(plan), binned_(binned) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& a) override {
    a.range = plan_.range;
    a.value = plan_.value;
    a.count = 1;
    a.average = false;
    a.continuous = false;
    a.delay_minutes = 0;
    a.delay_before = false;
    a.mode = binned_ ? ExposureMode::Fast : ExposureMode::Progressive;
    a.auto_dark = false;
    a.auto_save = false;
    a.auto_colour = false;
    a.self_guide_next = false;
    a.take_matching_dark = false;
    a.half_time_download = false;
    a.beep_after_exposure = false;
    return CameraDialogResult::TakePhoto;
  }
  bool continue_after_failed_save() override { return false; }

 private:
  ExposurePlan plan_;
  bool binned_;
};

WorkerEvent event_of(WorkerEvent::Kind kind, std::string text,
                     Direction direction = Direction::North) {
  WorkerEvent e;
  e.kind = kind;
  e.text = std::move(text);
  e.direction = direction;
  return e;
}

}  // namespace

struct CameraWorker::Rig {
  Rig(const WorkerSetup& setup, std::function<bool()> stop_requested, std::function<void()> between,
      std::function<void(const std::string&)> log)
      : clock(quiet),
        messages(std::move(log)),
        pump(std::move(stop_requested), std::move(between)),
        port_name(setup.control_box_port) {}

  QuietClock quiet;
  SteppingClock clock;
  LoggedMessages messages;
  WorkerPump pump;
  NullProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  std::string port_name;
  std::unique_ptr<UsbTransport> usb;
  TelescopePorts telescope;
  std::unique_ptr<TermiosSerialPort> serial;  // the real control box's port
  std::unique_ptr<Tarvex> app;
};

CameraWorker::CameraWorker() : thread_([this] { loop(); }) {}

CameraWorker::~CameraWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
    pulses_.clear();
  }
  abort_exposure();
  wake_.notify_all();
  thread_.join();
}

void CameraWorker::post(WorkerEvent event) {
  {
    std::lock_guard lock(events_mutex_);
    events_.push_back(std::move(event));
  }
  events_posted_.notify_all();
}

std::vector<WorkerEvent> CameraWorker::take_events() {
  std::lock_guard lock(events_mutex_);
  std::vector<WorkerEvent> out;
  out.swap(events_);
  return out;
}

bool CameraWorker::wait_for_event(std::uint32_t ms) {
  std::unique_lock lock(events_mutex_);
  return events_posted_.wait_for(lock, std::chrono::milliseconds(ms),
                                 [this] { return !events_.empty(); });
}

void CameraWorker::run_job(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_all();
}

void CameraWorker::connect(const WorkerSetup& setup) {
  run_job([this, setup] { do_connect(setup); });
}

void CameraWorker::disconnect() {
  abort_exposure();
  run_job([this] { rig_.reset(); });
}

std::uint64_t CameraWorker::expose(ExposureRequest request) {
  request.id = ++requested_;
  run_job([this, request] { do_expose(request); });
  return request.id;
}

void CameraWorker::pulse(Direction direction, std::uint32_t ms) {
  {
    std::lock_guard lock(mutex_);
    pulses_.emplace_back(direction, ms);
  }
  wake_.notify_all();
}

void CameraWorker::set_control_box_port(const std::string& device) {
  run_job([this, device] {
    if (!rig_) return;
    rig_->port_name = device;
    // The next pulse opens the new device.
    if (rig_->serial) SerialSession(rig_->app->telescope, rig_->messages).close();
  });
}

void CameraWorker::loop() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty() || !pulses_.empty(); });
      if (stopping_) break;
      if (!jobs_.empty()) {
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
    }
    run_pending_pulses();
    if (job) job();
  }
  rig_.reset();
}

void CameraWorker::run_pending_pulses() {
  if (in_pulse_) return;
  // Never in the middle of a field read: the camera's data would wait.
  if (rig_ && rig_->app && rig_->app->camera.link.while_reading) return;
  for (;;) {
    std::pair<Direction, std::uint32_t> p;
    {
      std::lock_guard lock(mutex_);
      if (pulses_.empty() || stopping_) return;
      p = pulses_.front();
      pulses_.pop_front();
    }
    in_pulse_ = true;
    do_pulse(p.first, p.second);
    in_pulse_ = false;
  }
}

void CameraWorker::do_connect(const WorkerSetup& setup) {
  rig_.reset();
  auto rig = std::make_unique<Rig>(
      setup, [this] { return current_ != 0 && aborted_.load() >= current_; },
      [this] { run_pending_pulses(); },
      [this](const std::string& text) { post(event_of(WorkerEvent::Kind::Log, text)); });
  const Paths paths = setup.data_root.empty() ? Paths::from_environment() : Paths(setup.data_root);
  rig->usb = make_camera_transport(setup.simulated, rig->clock);
  std::string error;
  if (!make_telescope_ports(setup.simulated, rig->clock, paths, rig->telescope, error)) {
    post(event_of(WorkerEvent::Kind::ConnectFailed, error));
    return;
  }
  SerialPort* serial = rig->telescope.serial.get();
  if (!setup.simulated) {
    // The control box is on the device the driver's port property names,
    // whatever "Com Port" the program's settings choose.
    Rig* r = rig.get();
    rig->serial =
        std::make_unique<TermiosSerialPort>(rig->clock, [r](int) { return r->port_name; });
    serial = rig->serial.get();
  }
  attach_simulated_sky(*rig->usb, rig->telescope);
  Ports ports{rig->messages, rig->clock,   rig->pump, rig->progress,
              rig->launcher, rig->display, *rig->usb};
  rig->app = std::make_unique<Tarvex>(paths, ports);
  Tarvex& app = *rig->app;
  app.telescope.port = serial;
  app.telescope.link_type_override = LinkType::ControlBox;
  load_settings_at_start(app.paths.settings_file(), app.settings, app.fits, app.ports.messages);
  init_frame_store(app.store());
  if (app.camera.find(app.settings.usb_debug_info) != CameraSearch::Found) {
    post(event_of(WorkerEvent::Kind::ConnectFailed, "No camera was found on the USB ports."));
    return;
  }
  rig_ = std::move(rig);
  post(event_of(WorkerEvent::Kind::Connected, setup.simulated ? "simulated camera" : "camera"));
}

void CameraWorker::do_expose(const ExposureRequest& request) {
  WorkerEvent event;
  event.exposure_id = request.id;
  if (!rig_) {
    event.kind = WorkerEvent::Kind::ExposureFailed;
    event.text = "The camera is not connected.";
    post(std::move(event));
    return;
  }
  Tarvex& app = *rig_->app;
  const ExposurePlan plan = plan_exposure(request.seconds);
  const Region region = clamp_region(request.region);
  const bool binned = region.bin_y == BINNED_ROWS;
  RequestFront front(plan, binned);
  Sequencer sequencer(app, front);
  current_ = request.id;
  const CaptureOutcome outcome = sequencer.take_photo();
  const bool stopped = aborted_.load() >= current_;
  current_ = 0;
  if (outcome == CaptureOutcome::Stopped || stopped) {
    event.kind = WorkerEvent::Kind::ExposureAborted;
    post(std::move(event));
    return;
  }
  if (outcome != CaptureOutcome::Done || sequencer.exposures_taken() != 1) {
    event.kind = WorkerEvent::Kind::ExposureFailed;
    event.text = "The exposure failed.";
    post(std::move(event));
    return;
  }
  auto result = std::make_shared<ExposureResult>();
  result->region = region;
  result->seconds = plan.seconds;
  FrameStore& fs = app.store();
  if (request.format == CaptureFormat::Rgb16) {
    // The colour options as the program last stored them.
    load_settings(app.paths.settings_file(), app.settings, app.fits, app.ports.messages);
    synthesize_colour(app, synthesis_options(app.settings));
    result->planes = 3;
    result->pixels.resize(3 * region_samples(region));
    copy_planes(fs.RedPlane, fs.GreenPlane, fs.BluePlane, region, result->pixels.data());
  } else {
    result->pixels.resize(region_samples(region));
    copy_region(fs.CurrentFrame, region, result->pixels.data());
    // A binned frame's lines each mix two rows of the mosaic: no pattern.
    if (request.format == CaptureFormat::RawMosaic16 && !binned) {
      result->mosaic_named = true;
      result->mosaic = top_down_mosaic(region, app.settings.pixel_offset, app.settings.line_offset);
    }
  }
  event.kind = WorkerEvent::Kind::ExposureDone;
  event.exposure = std::move(result);
  post(std::move(event));
}

void CameraWorker::do_pulse(Direction direction, std::uint32_t ms) {
  if (!rig_) {
    post(event_of(WorkerEvent::Kind::PulseFailed, "The camera is not connected.", direction));
    return;
  }
  const auto capped = std::min<std::uint32_t>(ms, static_cast<std::uint32_t>(GUIDE_MAX_PULSE_MS));
  const ScopeResult r = guide_pulse(*rig_->app, direction, capped);
  if (r == ScopeResult::Done)
    post(event_of(WorkerEvent::Kind::PulseDone, {}, direction));
  else
    post(event_of(WorkerEvent::Kind::PulseFailed,
                  "The guide pulse could not be sent to the control box.", direction));
}

}  // namespace tarvex::indi
