// The autoguider on the context: training (command 126), guiding from the
// menu (command 125), and the steps of a self-guided exposure behind the
// sequencer's hooks. Guide frames are read into the autoguider's own
// 128 x 128 buffer, so the picture in the frame store is never overwritten.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "app/capture/self_guide.h"
#include "app/guiding/guide_graph.h"
#include "app/guiding/guide_scale.h"
#include "app/tarvex.h"
#include "scope/guide_algorithms.h"
#include "scope/guiding.h"

namespace tarvex {

inline constexpr int GUIDE_WINDOW_SAMPLES = 128 * 128;

// What the front end shows of guiding: the Guiding Info window.
class GuiderFront {
 public:
  virtual ~GuiderFront() = default;
  // Opens the window, or retitles it with a status text.
  virtual void show_info(const std::string& /*title*/) {}
  // The values and the small frame changed.
  virtual void refresh_info() {}
  virtual void close_info() {}
  // How training is getting on, for the main window's status line: each
  // step as it starts, then how it ended.
  virtual void training_status(const std::string& /*text*/) {}
};

inline constexpr int TRAINING_STEPS = 9;  // the start position, then four legs on each axis
inline constexpr const char* TRAINING_STOPPED_TEXT =
    "Training stopped by a key press: the stored rates are unchanged";
inline constexpr const char* TRAINING_DONE_TEXT = "Training done: the rates are saved";
inline constexpr const char* TRAINING_ENDED_TEXT = "Training ended without a result";

GuiderFront& no_guider_front();

// Said when the error stayed beyond the correction range for this many
// frames in a row: nothing is sent for such an error, and guiding goes on.
inline constexpr int BEYOND_RANGE_FRAMES = 3;
inline constexpr const char* BEYOND_RANGE_TEXT = "star beyond correction range";
// Said while the predictive algorithm corrects a lost star's learned drift.
inline constexpr const char* HOLDING_DRIFT_TEXT = "star lost - holding the learned drift";
// The Guiding Info title while the guider settles after a dither.
inline constexpr const char* SETTLING_TITLE = "Guiding Info - settling after dither";

// How a self-guided run dithers and when the guider counts as settled,
// from the small settings file.
struct DitherSettings {
  bool ra_only = false;
  double settle_pixels = 0.3;
  int settle_frames = 3;
  int settle_seconds = 60;
};

enum class TrainOutcome { Done, Refused, LinkFailed, StarLost, Aborted };
enum class GuideOutcome { Stopped, StarLost, Refused, LinkFailed, FrameFailed };
// What one correction did: measured and sent its pulses, or lost the star
// (nothing sent).
enum class CorrectionOutcome { Applied, StarLost };

class Autoguider : public SelfGuide {
 public:
  explicit Autoguider(Tarvex& app, GuiderFront& front = no_guider_front());

  // Train Auto-Guiding: measures the rates and backlash and saves them. A
  // key or button press stops it before its next pulse (Aborted, nothing
  // saved).
  TrainOutcome train();
  // Start Auto-Guiding: guides until a key or button press, or the star is
  // lost; `max_ms` (0 for none) ends it after that long, for tarvex-cli.
  GuideOutcome guide(std::uint32_t max_ms = 0);
  // Frames of the guiding frame with no correction sent, as the mount
  // leaves the star: `report` is given each frame's centroid, in guiding
  // frame pixels. Ends after `max_ms`, on a key press, or when the star is
  // lost (StarLost).
  struct ObservedFrame {
    int number = 0;
    std::uint32_t at_ms = 0;  // clock time the frame was read
    double x = 0, y = 0;
  };
  GuideOutcome observe(std::uint32_t max_ms,
                       const std::function<void(const ObservedFrame&)>& report);
  // One measurement and correction on the guide frame in the buffer.
  CorrectionOutcome correct();

  // The self-guided exposure's hooks.
  bool suspend_menu_guiding() override;
  void resume_menu_guiding() override {}
  bool end_guiding_in_progress() override;
  void restore_guide_star() override;
  void show_info(const std::string& text) override { set_status(text); }
  // The guided exposure is over (or failed): the guiding frame is given up.
  void close_info() override;
  bool check_before_exposure(GuidedExposure& g) override;
  void switch_guiding_frame(GuidedExposure& g) override;
  void allow_large_correction() override { large_permitted_ = true; }
  void guide_step(GuidedExposure& g) override;
  void rearm(GuidedExposure& g) override;
  void stop() override;

  // What the Guiding Info window shows.
  // The algorithm making the corrections: "classic" or "predictive".
  std::string_view algorithm_name() const;
  const StarPosition& reference() const { return reference_; }
  // The shared star position, as the Guiding Info window shows it.
  const StarPosition& star_position() const { return app_.star.position; }
  int dx() const { return dx_; }  // thousandths
  int dy() const { return dy_; }
  const std::string& status() const { return status_; }
  // Frames in a row whose error was beyond the correction range.
  int beyond_range() const { return beyond_range_; }
  const std::array<std::uint16_t, GUIDE_WINDOW_SAMPLES>& window() const { return window_; }
  const GuideGraph& graph() const { return graph_; }
  // Arcseconds per guide pixel, as the FITS details give them now.
  GuideScale scale() const { return guide_scale(app_.fits); }
  const GuidingFrame& frame() const { return frame_; }
  bool running() const { return running_; }
  // Clears guiding-running: the loop ends after its current frame.
  void request_stop() { running_ = false; }
  // A line per correction (tarvex-cli prints them).
  std::function<void(const GuideSample&)> on_correction;
  // A line per guiding event: dither, settled or not, star lost and found
  // (tarvex-cli prints them; the graph keeps them too).
  std::function<void(const GuideEvent&)> on_event;
  // Seeds the dither offsets, so that a run can be repeated.
  void seed_dither(std::uint32_t seed) { dither_rng_.seed(seed); }
  // The report after training, also shown as message 50.
  const TrainingResult& last_training() const { return trained_; }

 private:
  GuideParameters parameters() const;
  // The guide algorithm the small settings file chooses: nothing for the
  // classic correction, else the algorithm that takes the corrections.
  void choose_algorithm();
  // Sends the algorithm's pulses for this frame (found or not) and records
  // them in `sample`.
  void apply_algorithm(bool found, GuideSample& sample);
  // The star is lost: true while the algorithm keeps correcting its
  // learned drift (a sample is recorded and reported).
  bool hold_learned_drift();
  // The star's light above the window's background at (x, y): its
  // brightest sample nearby less the window's median.
  double star_signal(int x, int y) const;
  void guide_star(int& gx, int& gy) const;
  bool star_in_reach();
  void place_frame();
  bool take_frame();  // take_window_frame into window_
  enum class NextFrame { Taken, Stop, Failed };
  NextFrame next_frame(EventPump& pump, std::uint32_t start, std::uint32_t max_ms);
  bool take_guided_frame(GuidedExposure& g);  // take_guide_frame into window_
  // One search of the guide window, reporting a failure as the flags ask.
  StarSearch locate_in_window(int x, int y);
  bool locate_twice(int x, int y);
  Mount& mount();
  bool pulse(Direction d, int ms);
  void set_status(const std::string& s);
  void end_frame_use();
  // "Guiding Info", or what keeps guiding from correcting.
  std::string info_title() const;

  Tarvex& app_;
  GuiderFront& front_;
  std::array<std::uint16_t, GUIDE_WINDOW_SAMPLES> window_{};
  GuidingFrame frame_;
  StarPosition reference_;
  StarPosition saved_;
  int dx_ = 0, dy_ = 0;
  bool running_ = false;
  bool large_permitted_ = false;
  int beyond_range_ = 0;
  bool first_frame_ = true;
  bool first_pulses_sent_ = false;
  bool menu_guiding_ = false;
  bool guide_star_held_ = false;  // saved_ holds the star position a guided exposure moved
  int saved_window_x_ = 0, saved_window_y_ = 0;
  std::string status_;
  GuideGraph graph_;
  TrainingResult trained_;
  // Between the exposures of a run: moves the reference to a new random
  // offset from where the run's first exposure held the star, then guides
  // until the star stays near it. False when the run must end (the star or
  // a frame lost, or a stop: `g.stopped`).
  bool dither_and_settle(GuidedExposure& g);
  void note_event(const GuideEvent& e);

  std::unique_ptr<GuideAlgorithm> algorithm_;
  bool holding_ = false;
  std::uint32_t lost_at_ms_ = 0;
  // Settling follows the star from frame to frame rather than searching
  // around the reference, which a dither may have moved beyond the search.
  bool follow_star_ = false;
  double settle_pixels_ = 0;  // while settling: the distance counted as settled
  StarPosition home_;         // where the run's first guided exposure held the star
  std::mt19937 dither_rng_{std::random_device{}()};
  double first_signal_ = 0;  // the star's light in the first frame guided
};

}  // namespace tarvex
