// The exposure sequencer behind the camera command: finds the camera, opens
// the camera dialog and, on "Take Photo", takes one exposure or a sequence:
// the optional countdown, the timed exposure with its progress, the readout
// in the chosen mode, automatic dark removal, registered sums and averages,
// automatic colour conversion, display, automatic saving, continuous runs
// with a pause, and a stop by any key or mouse button. It runs on the
// window's thread and keeps the window alive by pumping its events inside
// every waiting loop; the window, tarvex-cli and the tests drive the same
// code through their ports.
//
// A new exposure is read into frames of the sequencer's own and reaches
// CurrentFrame only when it is complete: a stop or a failed read leaves the
// previous image as it was. The sum of a multiple exposure and the dark
// frame of automatic dark removal are held in buffers nothing else uses.
#pragma once

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "app/acquisition.h"
#include "app/capture/self_guide.h"
#include "app/stack/live_stack_run.h"
#include "app/tarvex.h"
#include "files/raw_file.h"
#include "processing/registration.h"

namespace tarvex {

// Stage texts of the progress window.
inline constexpr const char* STAGE_DELAY = "EXPOSURE DELAY";
inline constexpr const char* STAGE_UNDERWAY = "EXPOSURE UNDERWAY";
inline constexpr const char* STAGE_READ = "READ KR CAMERA";
inline constexpr const char* STAGE_READ_SHORT = " - takes 3 - 4 seconds";
// A Progressive or Interlaced exposure reads two fields.
inline constexpr const char* STAGE_READ_TWO_FIELDS = " - takes 7 - 8 seconds";
inline constexpr const char* STAGE_READ_INTERLACED = "READ KR CAMERA - Interlaced";
inline constexpr const char* STAGE_SECOND_EXPOSURE = "SECOND EXPOSURE";
inline constexpr const char* STAGE_READ_SECOND = "READ KR CAMERA - Interlaced(2nd Exposure)";
inline constexpr const char* STAGE_PAUSE = "Pause between exposures";
inline constexpr const char* GUIDING_CHECK = "Guiding Info - Checking Telescope";
inline constexpr const char* GUIDING_DARK = "Guiding Info - Darkframe in Progress";
inline constexpr const char* GUIDING_DOWNLOAD = "Guiding Info - Downloading Image";
// The window title of a new exposure.
inline constexpr const char* CAMERA_IMAGE_TITLE = "KR Camera Image";

inline constexpr const char* CAPTURE_DURING_MERGE_TEXT =
    "Sorry, a merge is in progress and holds its base image.\n\nA sum of several exposures or "
    "an automatic colour conversion would overwrite it: press Merge or Cancel in the MERGE "
    "IMAGES box first.";
// The dark frame could not be read (%s: the file, %s: why); how one is made.
inline constexpr const char* DARK_NOT_USED_TEXT =
    "The dark frame\n%s\n%s, so this exposure is not dark-subtracted.\n\nTo make a dark "
    "frame: cover the telescope, take an exposure of the same length and mode, save it with "
    "File > Save... and choose it with File > Select Dark Frame.";
inline constexpr const char* DARK_MISSING_REASON = "is missing or cannot be read";
inline constexpr const char* DARK_FOREIGN_REASON = "is no dark frame this program can use";

// The dark loader's results as the sequencer knows them.
enum class DarkResult {
  Loaded,
  Unreadable,             // the file is missing or cannot be read
  Foreign,                // it is no dark frame this program can use
  DarkBinnedExposureNot,  // never subtracted in this run
  ExposureBinnedDarkNot,  // never subtracted in this run
};
DarkResult dark_result(SecondLoad loaded);

enum class CameraDialogResult { TakePhoto, Cancel };

// The live stack of a continuous run: every exposure is added to a stack
// shown in the window and saved to `file` (LIVE_STACK_FILE in the data
// folder when empty) every `every` frames and when the run ends.
struct LiveStackSettings {
  bool on = false;
  std::filesystem::path file;
  int every = 10;
};

// What the sequencer asks of its front end besides the ports.
class CaptureFront {
 public:
  virtual ~CaptureFront() = default;
  // The camera control dialog, modal, over the acquisition settings.
  virtual CameraDialogResult run_camera_dialog(AcquisitionSettings& settings) = 0;
  // The small "Saving Image" window, showing the file being written.
  virtual void saving_image(const std::filesystem::path& /*file*/) {}
  virtual void saving_done() {}
  // A file of the automatic-save series was written, and its standard copy.
  virtual void autosaved(const std::filesystem::path& /*file*/) {}
  virtual void autosaved_standard(const std::filesystem::path& /*file*/) {}
  // Whether a run goes on after an automatic save failed (its message has
  // been shown). The window's box holds the run until the user has read it,
  // who can then stop the run or free the disk; a front end with nobody to
  // answer ends the run there, so no night is exposed and thrown away.
  virtual bool continue_after_failed_save() { return true; }
  // Whether a continuous run keeps a live stack, as the dialog left it.
  virtual LiveStackSettings live_stack() const { return {}; }
};

// The key of the small settings file that turns off the standard FITS copy
// automatic saving writes beside every file of its series (on by default).
inline constexpr const char* AUTOSAVE_STANDARD_KEY = "autosave.standard-fits";
bool standard_copy_wanted(const Tarvex& app);
// IMG<n>.FIT -> IMG<n>.fits
std::filesystem::path standard_copy_path(const std::filesystem::path& autosaved);

enum class CaptureOutcome {
  Done,       // every exposure asked for was taken
  Cancelled,  // the dialog closed without "Take Photo"
  NoCamera,   // no camera was found (reported)
  Refused,    // refused before any exposure (reported)
  Stopped,    // stopped by a key or button press
  Failed,     // ended by a failure (reported): the camera link, registration, guiding, or
              // an automatic save that failed
};

class Sequencer {
 public:
  Sequencer(Tarvex& app, CaptureFront& front, SelfGuide& guide = no_self_guide());
  Sequencer(const Sequencer&) = delete;
  Sequencer& operator=(const Sequencer&) = delete;

  // The camera command: discovery when no camera is present, the camera
  // dialog, then the exposures.
  CaptureOutcome take_photo();

  // Handles the pending events; a key or a left or right button press stops
  // the run (one exposure left, continuous mode and self-guiding ended, the
  // focus window back at its default place, a beep). True when it stopped.
  bool pump_messages();
  // Waits n seconds handling events; a press beeps, ends the wait and makes
  // it return true.
  bool wait_seconds(int n);

  // What the last run did, for the front ends and the tests.
  int exposures_taken() const { return exposures_taken_; }
  int files_saved() const { return files_saved_; }  // automatic saves written
  double total_exposure_s() const { return total_exposure_s_; }
  std::time_t sequence_start_time() const { return sequence_start_time_; }
  std::time_t exposure_end_time() const { return exposure_end_time_; }
  // The live stack of the last continuous run that kept one, else null.
  const LiveStackRun* live_stack() const { return live_.get(); }

 private:
  CaptureOutcome run_exposures();
  void run_repetition();
  void expose();
  bool wait_long(int exposure_ms, bool first_wait);
  bool read_exposure(int exposure_ms, bool& binned);
  LinkResult read_main_field(int parity);
  LinkResult read_field_live();
  bool remove_dark(bool binned);
  void place(bool binned, bool dark_subtracted);
  void register_exposure(bool binned, bool dark_subtracted);
  void finish_exposure();
  void autosave();
  void pause_between_exposures();
  void stage(const std::string& text);
  bool command(TimingCommand timing);
  bool link_failed();
  void end_self_guiding();
  void rearm_self_guiding();

  Tarvex& app_;
  CaptureFront& front_;
  SelfGuide& guide_;
  // The sequencer's own frames: the exposure being read, the work frame of
  // the field combinations, the sum of a multiple exposure, the first field
  // read at half time, and the dark frame.
  std::unique_ptr<Frame> exposure_, work_, sum_, half_, dark_;

  // Working state of one run.
  int exposure_ms_ = 0;
  int guide_ms_ = 0;
  int step_divisor_ = 2;
  int progress_ = 0;
  int requested_count_ = 1;
  double total_exposure_s_ = 0;
  std::time_t sequence_start_time_ = 0;
  std::time_t exposure_end_time_ = 0;
  std::time_t exposure_started_ = 0;  // the exposure under way started integrating
  std::time_t image_start_time_ = 0;  // the first exposure of the image on its way started
  bool multiple_ = false;
  bool running_continuous_ = false;
  bool aborted_ = false;
  bool failed_ = false;
  bool dark_loaded_ = false;
  bool dark_refused_ = false;  // the dark frame's binned state differs: not used this run
  bool dark_told_ = false;     // the dark frame's failure was reported in this run
  bool self_guide_ran_ = false;
  int guided_in_run_ = 0;  // guided exposures started in this run
  bool guided_ = false;    // the exposure under way is self-guided
  bool half_done_ = false;
  int half_pedestal_ = 0;  // the bias level of the field read at half time
  bool history_reset_ = false;
  bool displayed_ = false;   // the colour conversion has shown the new image
  bool new_image_ = false;   // CurrentFrame holds an exposure not finished yet
  bool image_dark_ = false;  // every exposure of the image had the dark subtracted
  int guide_frames_counted_ = 0;
  int exposures_taken_ = 0;
  int files_saved_ = 0;
  bool save_failed_ = false;  // an automatic save of this run failed
  // The live stack of a continuous run, made when the run starts.
  std::unique_ptr<LiveStackRun> live_;
  // The observing cards of the exposure under way and of the image on its
  // way (a sum keeps its first exposure's).
  StandardFitsStamp exposure_observing_, image_observing_;
  StandardRegistration on_star_;
  ProfileRegistration on_profiles_;
};

}  // namespace tarvex
