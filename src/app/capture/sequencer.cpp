#include "app/capture/sequencer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "app/busy_scope.h"
#include "app/capture/focus_mode.h"
#include "app/colour/synthesis_commands.h"
#include "app/display_pipeline.h"
#include "app/export_commands.h"
#include "app/file_messages.h"
#include "app/fits_commands.h"
#include "app/mount_pointing.h"
#include "camera/readout.h"
#include "files/fits.h"
#include "files/more_settings.h"
#include "files/raw_file.h"
#include "platform/messages.h"
#include "processing/calibration.h"

namespace tarvex {

namespace {

// True while the clock has not yet reached `end` (tick counts may wrap).
inline bool before(std::uint32_t now, std::uint32_t end) {
  return static_cast<std::int32_t>(now - end) < 0;
}

// Progress steps per exposure: 6 for 5..12 seconds, 20 from 13 seconds and
// in minutes, else 2.
int step_divisor(ExposureRange range, int value) {
  const bool seconds = range == ExposureRange::Seconds;
  if (seconds && value >= 5 && value <= 12) return 6;
  if ((seconds && value >= 13) || range == ExposureRange::Minutes) return 20;
  return 2;
}

// The read time a field read is shown against before one was measured: the
// middle of the caption's "3 - 4 seconds".
constexpr std::uint32_t NOMINAL_FIELD_READ_MS = 3500;

std::string left_text(int count) {
  return " (Left - " + std::to_string(count) + ")";
}

// An error that says the camera is no longer there.
bool device_gone(int error) {
  return error == ENODEV || error == ENXIO || error == ESHUTDOWN;
}

void copy_samples(const Frame& from, Frame& to) {
  std::memcpy(to.data(), from.data(), FRAME_SAMPLES * sizeof(std::uint16_t));
}

}  // namespace

SelfGuide& no_self_guide() {
  static SelfGuide none;
  return none;
}

Sequencer::Sequencer(Tarvex& app, CaptureFront& front, SelfGuide& guide)
    : app_(app),
      front_(front),
      guide_(guide),
      exposure_(std::make_unique<Frame>()),
      work_(std::make_unique<Frame>()),
      sum_(std::make_unique<Frame>()),
      half_(std::make_unique<Frame>()),
      dark_(std::make_unique<Frame>()) {}

// ---------------------------------------------------------------------------
// Start

CaptureOutcome Sequencer::take_photo() {
  CameraSession& camera = app_.camera;
  AcquisitionSettings& acq = app_.acquisition;
  aborted_ = false;
  failed_ = false;
  half_done_ = false;
  camera.readout.field_parity = 0;
  const bool menu_guiding = guide_.suspend_menu_guiding();
  // Whatever way the run ends: the registration state cleared, the guide
  // star back, half-time state and field parity reset, menu guiding resumed.
  struct OnExit {
    Sequencer& s;
    bool resume;
    ~OnExit() {
      s.on_star_ = {};
      s.on_profiles_ = {};
      s.guide_.restore_guide_star();
      s.half_done_ = false;
      s.app_.camera.readout.field_parity = 0;
      if (resume) s.guide_.resume_menu_guiding();
    }
  } on_exit{*this, menu_guiding};

  if (app_.dark_frame_path.empty()) app_.dark_frame_path = app_.paths.dark_definition_file();
  dark_loaded_ = false;
  dark_refused_ = false;
  dark_told_ = false;
  self_guide_ran_ = false;
  guided_in_run_ = 0;
  exposures_taken_ = 0;
  files_saved_ = 0;
  save_failed_ = false;

  if (!camera.camera_present()) {
    if (settings_load_failed(load_settings(app_.paths.settings_file(), app_.settings, app_.fits,
                                           app_.ports.messages)))
      show_message(app_.ports.messages, Msg::SettingsLoadFailed);
    camera.find(app_.settings.usb_debug_info);
    if (!camera.camera_present()) {
      show_message(app_.ports.messages, Msg::CallerText, TEXT_NO_CAMERA);
      return CaptureOutcome::NoCamera;
    }
    // Ends whatever exposure the camera may have been running.
    send_timing_command(camera.link, TimingCommand::EndSingleField);
  }

  on_star_ = {};
  on_profiles_ = {};
  acq.count = 1;
  if (front_.run_camera_dialog(acq) != CameraDialogResult::TakePhoto) {
    // The focus mode leaves the small frame on show: back to the full frame.
    if (app_.display.SmallFrameMode) {
      end_focus_display(app_);
      BusyScope busy(app_);
      refresh_display(app_);
    }
    return CaptureOutcome::Cancelled;
  }
  // The click or key that pressed "Take Photo" is no request to stop.
  app_.ports.pump.clear();
  return run_exposures();
}

// ---------------------------------------------------------------------------
// Preparation and the two loops

CaptureOutcome Sequencer::run_exposures() {
  AcquisitionSettings& acq = app_.acquisition;
  CameraSession& camera = app_.camera;
  FrameStore& fs = app_.store();
  // The picture comes back whole: a stopped or failed exposure leaves it.
  end_focus_display(app_);
  acq.count = std::clamp(acq.count, 1, MAX_EXPOSURE_COUNT);
  exposure_ms_ = sequence_exposure_ms(acq.value, acq.range);
  guide_ms_ = acq.take_matching_dark ? 100 : guide_exposure_ms(acq.guide_value, acq.guide_range);
  // Both fields of a progressive exposure need the first one's read time.
  if (acq.mode == ExposureMode::Progressive &&
      static_cast<std::uint32_t>(exposure_ms_) < camera.field_read_time())
    acq.mode = ExposureMode::Interlaced;
  multiple_ = acq.count > 1;

  // A merge keeps its base image in SecondFrame once the merge image is
  // open; colour synthesis works there, and a sum would be shown over it.
  if (fs.MergeMode && !app_.merge.marking_base && (multiple_ || acq.auto_colour)) {
    show_message(app_.ports.messages, Msg::CallerText, CAPTURE_DURING_MERGE_TEXT);
    return CaptureOutcome::Refused;
  }

  BusyScope busy(app_);
  total_exposure_s_ = 0;
  app_.current_file_name = CAMERA_IMAGE_TITLE;
  app_.ports.display.set_title(window_title(app_.current_file_name));
  camera.readout.exposure_ms = exposure_ms_;
  new_image_ = false;
  history_reset_ = false;
  displayed_ = false;

  Progress& progress = app_.ports.progress;
  if (acq.delay_before) {
    for (int i = 0; i < 10; ++i) {
      stage(std::string(STAGE_DELAY) + left_text(10 - i));
      progress.set_position(25 * i);
      wait_seconds(1);  // a press only shortens this second
      app_.ports.clock.beep();
    }
    progress.close();
  }

  requested_count_ = acq.count;
  running_continuous_ = acq.continuous;
  live_.reset();
  if (const LiveStackSettings live = front_.live_stack(); acq.continuous && live.on) {
    // The camera dialog names no file: the stack goes to the data folder.
    const std::filesystem::path out =
        live.file.empty() ? app_.paths.data_root() / LIVE_STACK_FILE : live.file;
    live_ = std::make_unique<LiveStackRun>(app_,
                                           LiveStackOptions{.out = out, .save_every = live.every});
  }
  bool first = true;
  do {
    if (!first) acq.count = requested_count_;
    first = false;
    run_repetition();
  } while (running_continuous_ && !aborted_ && !failed_);
  // The stack is saved at the end however the run ended, a stop included.
  if (live_) live_->finish();

  if (failed_ || save_failed_) return CaptureOutcome::Failed;
  if (aborted_) return CaptureOutcome::Stopped;
  return CaptureOutcome::Done;
}

void Sequencer::run_repetition() {
  AcquisitionSettings& acq = app_.acquisition;
  sequence_start_time_ = app_.ports.clock.wall_time();
  while (acq.count > 0 && !aborted_ && !failed_) {
    expose();
    app_.ports.progress.close();
    acq.count -= 1;
    if (failed_ && !new_image_) break;

    // A live stack synthesizes colour itself, from the raw exposure.
    if (acq.auto_colour && new_image_ && !live_) {
      history_reset_ = true;
      app_.history.clear();
      if (image_dark_) app_.history.add_history(DARK_HISTORY);
      // The conversion shows its result; the finish need not show it again.
      displayed_ = synthesize_colour_command(app_, {}) == ColourSynthesis::Converted;
    }
    if (multiple_ && running_continuous_ && acq.count == 0) running_continuous_ = false;
    if (running_continuous_ && !aborted_) {
      if (new_image_) finish_exposure();
      if (failed_) break;  // its save failed
      if (wait_seconds(1)) {
        acq.count = 0;
        running_continuous_ = false;
        aborted_ = true;
      } else if (acq.delay_minutes > 0) {
        pause_between_exposures();
      }
    }
    if (acq.count > 0 && !aborted_ && !failed_) {
      if (new_image_) finish_exposure();
      rearm_self_guiding();
      guide_.restore_guide_star();
    }
  }
  // The last exposure of the run (or the one completed when the run was
  // stopped) is shown and saved like every other.
  if (new_image_) finish_exposure();
  if (acq.continuous) rearm_self_guiding();
}

// ---------------------------------------------------------------------------
// One exposure

void Sequencer::expose() {
  AcquisitionSettings& acq = app_.acquisition;
  const int e = exposure_ms_;
  total_exposure_s_ = acq.continuous ? 0.001 * e : total_exposure_s_ + 0.001 * e;
  std::string underway = STAGE_UNDERWAY;
  if (acq.count > 1) underway += left_text(acq.count);
  stage(underway);
  progress_ = 0;
  app_.ports.progress.set_position(0);
  step_divisor_ = step_divisor(acq.range, acq.value);
  // Rows a mode does not read keep what the image has, as in place.
  copy_samples(app_.store().CurrentFrame, *exposure_);

  // A press before the exposure starts stops the run without one.
  if (pump_messages()) return;
  // Where the telescope points is read before the camera starts
  // integrating, so that the mount's answers do not lengthen the exposure.
  exposure_observing_ =
      exposure_start_stamp(app_, acq.take_matching_dark ? ImageType::Dark : ImageType::Light,
                           static_cast<double>(app_.ports.clock.wall_time()));
  if (!command(TimingCommand::Prepare) || !command(TimingCommand::StartExposure)) return;

  guided_ = acq.self_guide_next;
  if (guided_) {
    guide_frames_counted_ = 0;
    guide_.show_info(acq.take_matching_dark ? GUIDING_DARK : GUIDING_CHECK);
    self_guide_ran_ = true;
    if (!acq.take_matching_dark) {
      GuidedExposure g{app_, acq, e, guide_ms_, 0, half_done_, guided_in_run_};
      if (!guide_.check_before_exposure(g)) {
        guide_.close_info();
        app_.ports.progress.close();
        acq.self_guide_next = false;
        // A press while the guider settled after a dither stops the run.
        if (g.stopped) {
          aborted_ = true;
        } else {
          failed_ = true;
        }
        return;
      }
      ++guided_in_run_;
    }
    if (!command(TimingCommand::StartExposure) || !command(TimingCommand::Prepare)) return;
  }
  // The exposure's date and time are its start: integration starts now.
  exposure_started_ = app_.ports.clock.wall_time();

  if (!is_long_range(acq.range)) {
    // Timed by the host from 500 ms on, without events; shorter exposures
    // are timed by the camera from the read request.
    wait_exposure(app_.camera.link, app_.ports.clock, e);
  } else if (!wait_long(e, true)) {
    if (failed_) return;
  }

  if (e >= 200 && !command(TimingCommand::Prepare)) return;
  if (aborted_ || failed_) return;
  bool binned = false;
  if (!read_exposure(e, binned)) return;
  ++exposures_taken_;

  pump_messages();
  if (acq.beep_after_exposure.value_or(app_.settings.beep_after_exposure)) app_.ports.clock.beep();
  const bool dark = acq.auto_dark && remove_dark(binned);
  if (multiple_ && !acq.continuous && !self_guide_ran_) {
    register_exposure(binned, dark);
  } else {
    copy_samples(*exposure_, app_.store().CurrentFrame);
    image_start_time_ = exposure_started_;
    image_observing_ = exposure_observing_;
    place(binned, dark);
  }
}

bool Sequencer::wait_long(int e, bool first_wait) {
  AcquisitionSettings& acq = app_.acquisition;
  Clock& clock = app_.ports.clock;
  Progress& progress = app_.ports.progress;
  const std::uint32_t frt = app_.camera.field_read_time();
  std::uint32_t t0 = clock.now_ms();
  std::uint32_t end = t0 + static_cast<std::uint32_t>(e);
  std::uint32_t next = t0 + static_cast<std::uint32_t>(e / step_divisor_);
  const std::uint32_t restart = t0 + frt + frt / 50;
  const std::uint32_t half = t0 + static_cast<std::uint32_t>(e / 2);
  // A guided progressive exposure restarts its second field too: its fields
  // are read as an unguided one's, and unequal exposures would tint them.
  // One whose first field is read at half time is not: the download's own
  // restart starts the second field, and a restart after it would cut that
  // field's exposure short.
  bool restarted = !first_wait || acq.mode != ExposureMode::Progressive ||
                   (guided_ && acq.half_time_download && !half_done_);
  // How long a guide step takes, as last measured (a guide exposure at first).
  std::uint32_t step_ms = static_cast<std::uint32_t>(guide_ms_);
  for (;;) {
    const std::uint32_t now = clock.now_ms();
    if (!before(now, end)) break;
    // The second field restarts once the first field's read time has
    // passed, so both fields get the same exposure.
    if (!restarted && !before(now, restart)) {
      restarted = true;
      clock.beep();
      if (!command(TimingCommand::EndSecondField) || !command(TimingCommand::Prepare)) return false;
    }
    if (e > 3000 && !command(TimingCommand::Prepare)) return false;
    if (before(next, now)) {
      next += static_cast<std::uint32_t>(e / step_divisor_);
      progress_ += 256 / step_divisor_;
      progress.set_position(progress_);
    }
    // A stop while the exposure is guided ends guiding: the user is told, as
    // when guiding fails.
    auto stopped = [&] {
      if (first_wait && guided_) {
        progress.close();
        show_message(app_.ports.messages, Msg::SelfGuidingInterrupted);
      }
      return false;
    };
    if (pump_messages()) return stopped();

    if (first_wait && guided_) {
      GuidedExposure g{
          app_, acq, e, guide_ms_, guide_frames_counted_, half_done_, guided_in_run_ - 1};
      if (acq.half_time_download && !half_done_ && !before(now, half)) {
        // The first field is read at half time; the guiding frame and the
        // reference move with it, so one large correction is allowed.
        half_done_ = g.half_done = true;
        // The two halves are summed into one frame, each field's photosites
        // with the charge of their own half: the second half lasts as long
        // as the first and starts with its restart command, so that both
        // fields see the same light and the frame the whole exposure.
        const std::uint32_t first_half = now - t0;
        if (!command(TimingCommand::Prepare) || !command(TimingCommand::EndFirstField))
          return false;
        guide_.show_info(GUIDING_DOWNLOAD);
        if (read_main_field(0) != LinkResult::Ok) return link_failed();
        half_pedestal_ = field_pedestal(app_.camera.link);
        copy_samples(*exposure_, *half_);
        if (!command(TimingCommand::StartExposure)) return false;
        const std::uint32_t restarted_at = clock.now_ms();
        guide_.allow_large_correction();
        guide_.switch_guiding_frame(g);
        if (pump_messages()) return stopped();
        progress_ = 128;
        progress.set_position(progress_);
        t0 = restarted_at;
        end = t0 + first_half;
        next = t0 + static_cast<std::uint32_t>(e / step_divisor_);
        if (acq.take_matching_dark) guide_frames_counted_ = 0;
      }
      // A guide step is started only when it ends before the half-time
      // download or the end of the exposure is due: one that ran past it
      // would lengthen that part of the exposure by up to a guide frame.
      const std::uint32_t due = acq.half_time_download && !half_done_ ? half : end;
      const bool fits = before(clock.now_ms() + step_ms, due);
      // A star lost at the switch of the guiding frame ends guiding there:
      // no further frame is taken for it.
      if (fits && acq.self_guide_next &&
          (!acq.take_matching_dark || guide_frames_counted_ < acq.guide_frames / 2)) {
        g.frames_counted = guide_frames_counted_;
        const std::uint32_t step_start = clock.now_ms();
        guide_.guide_step(g);
        step_ms = clock.now_ms() - step_start;
      }
      if (!acq.self_guide_next) {
        guide_.close_info();
        progress.close();
        aborted_ = true;
        failed_ = true;
        show_message(app_.ports.messages, Msg::SelfGuidingInterrupted);
        return false;
      }
      if (fits) ++guide_frames_counted_;
    }
    // A moment's rest between passes keeps the processor free.
    clock.sleep_ms(1);
  }
  if (first_wait && guided_ && acq.take_matching_dark) guide_frames_counted_ = acq.guide_frames;
  return true;
}

// Reads the fields of the exposure into the sequencer's exposure frame and
// composes them. False when the exposure is not complete (a stop or a
// failure): the image on show is then left as it was.
bool Sequencer::read_exposure(int e, bool& binned) {
  AcquisitionSettings& acq = app_.acquisition;
  Clock& clock = app_.ports.clock;
  const bool long_range = is_long_range(acq.range);
  // The first field was read at half time only when a pass of the wait
  // reached it: an exposure shorter than that, or timed without the long
  // wait, is read whole like an unguided one, never merged with a first
  // field that was not read.
  const bool half_time = guided_ && half_done_;

  // What the read takes: one field, or two for Progressive and Interlaced.
  const bool two_fields = !half_time && acq.mode != ExposureMode::Fast;
  std::string text = STAGE_READ;
  text += acq.count >= 2 ? left_text(acq.count)
          : two_fields   ? STAGE_READ_TWO_FIELDS
                         : STAGE_READ_SHORT;
  stage(text);
  // The end command tells the camera how the fields are read: an exposure
  // whose first field was not read at half time ends as an unguided one of
  // its mode, whatever the guide frames did meanwhile (a fast exposure ended
  // as a progressive one would be read a photosite row at a time and lose
  // its colour); after a half-time download the second field ends.
  if (!command(half_time                               ? TimingCommand::EndSecondField
               : acq.mode == ExposureMode::Progressive ? TimingCommand::EndFirstField
                                                       : TimingCommand::EndSingleField))
    return false;
  if (guided_) {
    // What a matching dark will repeat.
    if (!acq.take_matching_dark) acq.last_guided_frames = guide_frames_counted_;
    acq.self_guide_next = false;
    guide_.close_info();
    acq.take_matching_dark = false;
  }
  progress_ = 0;
  app_.ports.progress.set_position(0);

  // The readout interrupt setting concerns an older host family only; the
  // reads here are plain transfers.
  if (read_main_field(half_time ? 1 : 0) != LinkResult::Ok) return link_failed();

  if (!half_time && acq.mode == ExposureMode::Progressive) {
    stage(STAGE_READ_INTERLACED);
    if (!command(TimingCommand::EndSecondField)) return false;
    if (read_main_field(1) != LinkResult::Ok) return link_failed();
    combine_fields(*exposure_, *exposure_, *work_, 1);
  } else if (!half_time && acq.mode == ExposureMode::Interlaced) {
    // The second field gets an exposure of its own.
    if (!command(TimingCommand::StartExposure) || !command(TimingCommand::Prepare)) return false;
    if (!long_range) {
      if (!command(TimingCommand::Prepare)) return false;
      if (e >= 500) {
        const std::uint32_t end = clock.now_ms() + static_cast<std::uint32_t>(e);
        while (before(clock.now_ms(), end)) {
          if (pump_messages()) break;
          clock.sleep_ms(1);
        }
      }
    } else {
      if (!command(TimingCommand::Prepare)) return false;
      stage(STAGE_SECOND_EXPOSURE);
      progress_ = 0;
      if (!wait_long(e, false) && failed_) return false;
    }
    if (e > 99 && !command(TimingCommand::Prepare)) return false;
    if (aborted_) return false;
    stage(STAGE_READ_SECOND);
    if (!command(TimingCommand::EndFirstField) || !command(TimingCommand::EndSecondField))
      return false;
    if (read_main_field(1) != LinkResult::Ok) return link_failed();
    if (app_.settings.interlace_smoothing) match_fields(*exposure_);
  }
  if (half_time) {
    combine_fields(*exposure_, *half_, *work_, 0, half_pedestal_);
    acq.half_time_download = false;
  }
  binned = acq.mode == ExposureMode::Fast && !half_done_;
  if (binned) fill_odd_rows(*exposure_);
  return true;
}

// One field of the exposure into the rows of `parity`. The read carries the
// exposure's own length: window frames (the guiding check's, the focus
// mode's) set the readout to theirs, and the camera times a short exposure
// from the read request.
LinkResult Sequencer::read_main_field(int parity) {
  ReadoutState& readout = app_.camera.readout;
  readout.exposure_ms = exposure_ms_;
  readout.field_parity = parity;
  const LinkResult result = read_field_live();
  readout.field_parity = 0;
  return result;
}

// One field read into the exposure frame with the window kept alive: the
// progress bar moves over the read's expected time (the measured field read
// time, once known) and window events are handled. A press made meanwhile
// is kept for the checks after the read: a transfer under way is not broken
// off.
LinkResult Sequencer::read_field_live() {
  CameraSession& camera = app_.camera;
  Clock& clock = app_.ports.clock;
  Progress& progress = app_.ports.progress;
  EventPump& pump = app_.ports.pump;
  const std::uint32_t expected = camera.readout.field_read_time == FIELD_READ_TIME_UNMEASURED
                                     ? NOMINAL_FIELD_READ_MS
                                     : std::max<std::uint32_t>(1, camera.readout.field_read_time);
  const std::uint32_t start = clock.now_ms();
  progress.set_position(0);
  camera.link.while_reading = [&] {
    const std::uint64_t elapsed = clock.now_ms() - start;
    // Held short of the end until the read has ended.
    progress.set_position(static_cast<int>(std::min<std::uint64_t>(240, 256 * elapsed / expected)));
    pump.pump();
  };
  const LinkResult read = read_field(camera.link, clock, camera.readout, *exposure_);
  camera.link.while_reading = nullptr;
  if (read == LinkResult::Ok) progress.set_position(256);
  return read;
}

// ---------------------------------------------------------------------------
// After the read: dark frame, registration, placement

bool Sequencer::remove_dark(bool binned) {
  if (dark_refused_) return false;
  if (!dark_loaded_) {
    const SecondLoad loaded = load_second(app_.dark_frame_path, SecondPurpose::SubtractDark,
                                          SecondTarget{*dark_, binned, false});
    const DarkResult result = dark_result(loaded);
    if (result != DarkResult::Loaded) {
      // The loader's message, then what it means for the run; told once per
      // run, so a sequence is not held up by a box at every exposure.
      if (!dark_told_) {
        dark_told_ = true;
        if (result == DarkResult::Unreadable || result == DarkResult::Foreign) {
          // One message that says what is wrong with the file and how a dark
          // frame is made; the loader's own text speaks of FITS files.
          char text[MESSAGE_CALLER_TEXT_MAX + 1];
          std::snprintf(
              text, sizeof text, DARK_NOT_USED_TEXT, app_.dark_frame_path.string().c_str(),
              result == DarkResult::Unreadable ? DARK_MISSING_REASON : DARK_FOREIGN_REASON);
          show_message(app_.ports.messages, Msg::CallerText, text);
        } else {
          report(app_.ports.messages, message_code(loaded));
        }
      }
      // A dark frame of the other binned state is never subtracted in this
      // run; a file that could not be read is tried again next exposure.
      if (result == DarkResult::DarkBinnedExposureNot ||
          result == DarkResult::ExposureBinnedDarkNot)
        dark_refused_ = true;
      return false;
    }
    dark_loaded_ = true;
  }
  subtract_dark(*exposure_, *dark_);
  return true;
}

DarkResult dark_result(SecondLoad loaded) {
  switch (loaded) {
    case SecondLoad::Ok: return DarkResult::Loaded;
    case SecondLoad::Unreadable:
    case SecondLoad::FitsUnreadable: return DarkResult::Unreadable;
    case SecondLoad::NotASecondFrame:
    case SecondLoad::FitsForeign: return DarkResult::Foreign;
    case SecondLoad::DarkBinnedImageNot: return DarkResult::DarkBinnedExposureNot;
    case SecondLoad::ImageBinnedDarkNot: return DarkResult::ExposureBinnedDarkNot;
  }
  return DarkResult::Unreadable;
}

void Sequencer::register_exposure(bool binned, bool dark_subtracted) {
  AcquisitionSettings& acq = app_.acquisition;
  FrameStore& fs = app_.store();
  const bool first = acq.alternative_slew ? !on_profiles_.has_reference : !on_star_.has_reference;
  // A sum is dated by its first exposure.
  if (first) {
    image_start_time_ = exposure_started_;
    image_observing_ = exposure_observing_;
  }
  const Registration r =
      acq.alternative_slew
          ? register_on_profiles(on_profiles_, *exposure_, *sum_, fs.CurrentFrame, requested_count_,
                                 acq.average)
          : register_on_star(on_star_, app_.star, app_.settings.guide_mask_radius, *exposure_,
                             *sum_, fs.CurrentFrame, requested_count_, acq.average);
  if (r == Registration::Added) {
    const bool all_dark = (first ? true : image_dark_) && dark_subtracted;
    place(binned, all_dark);
    return;
  }
  // The run ends here, once, with its reason. A first exposure is kept as an
  // image of its own; later ones are left out of the sum on show.
  if (first) {
    copy_samples(*exposure_, fs.CurrentFrame);
    place(binned, dark_subtracted);
  }
  acq.count = 1;
  failed_ = true;
  show_message(app_.ports.messages,
               r == Registration::LostTrack ? Msg::CannotLineUpImages : Msg::NothingToCentreOn);
}

// The new image is in CurrentFrame: its flags follow it, and the colour
// planes of an earlier image no longer belong to it.
void Sequencer::place(bool binned, bool dark_subtracted) {
  FrameStore& fs = app_.store();
  fs.IsBinned = binned;
  fs.IsColour = false;
  fs.HasBytePlanes = false;
  fs.RestorePlanesOnUndo = false;
  new_image_ = true;
  image_dark_ = dark_subtracted;
}

// ---------------------------------------------------------------------------
// Display, saving, pause

void Sequencer::finish_exposure() {
  exposure_end_time_ = app_.ports.clock.wall_time();
  // The image carries its own date and time into every save and into the
  // FITS details: the start of its (first) exposure.
  app_.exposure_start = image_start_time_;
  app_.observing = image_observing_;
  stamp_mid_exposure_ut(app_.fits, image_start_time_, 0);
  if (!history_reset_) {
    app_.history.clear();
    if (image_dark_) app_.history.add_history(DARK_HISTORY);
  }
  history_reset_ = false;
  app_.fits.fits_exposure = total_exposure_s_;
  // Undo Last Filter after an exposure keeps the new image.
  save_undo(app_.store());
  new_image_ = false;
  if (live_) {
    // The exposure itself is saved as without the stack; the window then
    // shows the stack rather than the single exposure.
    displayed_ = false;
    if (app_.acquisition.auto_save) autosave();
    live_->add_exposure(app_.store().CurrentFrame, app_.store().IsBinned);
    // Until a first exposure is stacked, the exposures themselves are shown.
    if (live_->frames() == 0) refresh_display(app_);
    return;
  }
  if (!displayed_) refresh_display(app_);
  displayed_ = false;
  if (app_.acquisition.auto_save) autosave();
}

void Sequencer::autosave() {
  const std::filesystem::path file = next_autosave_file(app_.settings, app_.paths);
  front_.saving_image(file);
  std::filesystem::path written;
  const Reported result = quick_save_fits_command(app_, image_start_time_, 0, &written);
  app_.ports.clock.sleep_ms(50);
  front_.saving_done();
  // A number not kept in the settings still leaves the file written.
  if (result.ok() || result.message() == Msg::SettingsSaveFailed) {
    ++files_saved_;
    front_.autosaved(written);
    if (!standard_copy_wanted(app_)) return;
    // The standard copy beside it, for other programs: IMG<n>.fits.
    const std::filesystem::path copy = standard_copy_path(written);
    if (export_standard_fits_command(app_, copy, StandardFitsSamples::Int16).ok()) {
      front_.autosaved_standard(copy);
      return;
    }
  }
  save_failed_ = true;
  if (!front_.continue_after_failed_save()) {
    failed_ = true;
    running_continuous_ = false;
  }
}

bool standard_copy_wanted(const Tarvex& app) {
  return load_more_settings(app.paths.more_settings_file()).settings.on(AUTOSAVE_STANDARD_KEY);
}

std::filesystem::path standard_copy_path(const std::filesystem::path& autosaved) {
  std::filesystem::path copy = autosaved;
  copy.replace_extension(".fits");
  return copy;
}

void Sequencer::pause_between_exposures() {
  Clock& clock = app_.ports.clock;
  Progress& progress = app_.ports.progress;
  stage(STAGE_PAUSE);
  progress_ = 0;
  progress.set_position(0);
  const std::uint32_t pause = static_cast<std::uint32_t>(app_.acquisition.delay_minutes) * 60000u;
  const std::uint32_t start = clock.now_ms();
  const std::uint32_t end = start + pause;
  std::uint32_t next = start + pause / 16;
  for (;;) {
    const std::uint32_t now = clock.now_ms();
    if (!before(now, end)) break;
    if (!before(now, next)) {
      next += pause / 16;
      progress_ += 16;
      progress.set_position(progress_);
    }
    if (pump_messages()) break;
    clock.sleep_ms(1);
  }
  progress.close();
}

// ---------------------------------------------------------------------------
// Events and the link

bool Sequencer::pump_messages() {
  EventPump& pump = app_.ports.pump;
  pump.pump();
  if (!pump.abort_requested()) return false;
  pump.clear();
  AcquisitionSettings& acq = app_.acquisition;
  acq.count = 1;
  aborted_ = true;
  running_continuous_ = false;
  if (guide_.end_guiding_in_progress()) acq.continuous = false;
  app_.ports.clock.beep();
  acq.focus_x = DEFAULT_WINDOW_X;
  acq.focus_y = DEFAULT_WINDOW_Y;
  app_.camera.readout.window_x = DEFAULT_WINDOW_X;
  app_.camera.readout.window_y = DEFAULT_WINDOW_Y;
  end_self_guiding();
  return true;
}

bool Sequencer::wait_seconds(int n) {
  Clock& clock = app_.ports.clock;
  EventPump& pump = app_.ports.pump;
  const std::uint32_t end = clock.now_ms() + static_cast<std::uint32_t>(n) * 1000u;
  while (before(clock.now_ms(), end)) {
    pump.pump();
    if (pump.abort_requested()) {
      pump.clear();
      clock.beep();
      return true;
    }
    clock.sleep_ms(1);
  }
  return false;
}

void Sequencer::stage(const std::string& text) {
  app_.ports.progress.open(text);
}

bool Sequencer::command(TimingCommand timing) {
  if (failed_) return false;
  if (send_timing_command(app_.camera.link, timing) != LinkResult::Ok) return link_failed();
  return true;
}

// A command or a read failed (the link reported it): the exposure is given
// up and the run ends. A camera that is gone is looked for again by the next
// Take Photo.
bool Sequencer::link_failed() {
  failed_ = true;
  CameraLink& link = app_.camera.link;
  if (device_gone(link.last_error)) link.camera_present = false;
  return false;
}

void Sequencer::end_self_guiding() {
  AcquisitionSettings& acq = app_.acquisition;
  guide_.close_info();
  guide_.stop();
  acq.self_guide_next = false;
  acq.take_matching_dark = false;
  acq.half_time_download = false;
  half_done_ = false;
}

void Sequencer::rearm_self_guiding() {
  if (!self_guide_ran_) return;
  AcquisitionSettings& acq = app_.acquisition;
  acq.self_guide_next = true;
  half_done_ = false;
  GuidedExposure g{
      app_, acq, exposure_ms_, guide_ms_, guide_frames_counted_, half_done_, guided_in_run_ - 1};
  guide_.rearm(g);
}

}  // namespace tarvex
