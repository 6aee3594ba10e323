#include "app/guiding/autoguider.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/mounts.h"
#include "camera/readout.h"
#include "files/more_settings.h"
#include "files/settings.h"
#include "platform/messages.h"
#include "scope/guide_algorithms.h"

namespace tarvex {

namespace {

constexpr const char* NO_STAR = "You must first take an image and pick a star";
constexpr const char* NO_LINK = "Communication with telescope failed";
constexpr const char* SHORT_PULSE =
    "The training pulse would be 0 ms or less: lower the hysteresis or lengthen the "
    "training time";
constexpr const char* OUT_OF_REACH =
    "The camera cannot read a guiding frame around this star - pick a guide star further "
    "from the right and bottom edges of the image";
constexpr int LOST_STAR_BEEPS = 29;

}  // namespace

GuiderFront& no_guider_front() {
  static GuiderFront front;
  return front;
}

Autoguider::Autoguider(Tarvex& app, GuiderFront& front) : app_(app), front_(front) {}

GuideParameters Autoguider::parameters() const {
  const Settings& s = app_.settings;
  GuideParameters p;
  p.ra_rate = s.ra_pixels_per_sec;
  p.dec_rate = s.dec_pixels_per_sec;
  p.ra_backlash = s.ra_backlash;
  p.dec_backlash = s.dec_backlash;
  p.ra_hysteresis = s.ra_hysteresis;
  p.dec_hysteresis = s.dec_hysteresis;
  p.whole_pixels = s.ignore_drift;
  p.direction_change_delay = s.direction_change_delay;
  return p;
}

void Autoguider::set_status(const std::string& s) {
  status_ = s;
  front_.show_info(s);
}

// The guide star: the picked one, or the shared star position when none was
// picked (training may run on the star last located).
void Autoguider::guide_star(int& gx, int& gy) const {
  const bool picked = app_.star_pick.guide_star_picked;
  gx = picked ? app_.star_pick.guide_star_x : app_.star.position.x;
  gy = picked ? app_.star_pick.guide_star_y : app_.star.position.y;
}

// The camera reads windows only so far right and so far down: a guide star
// beyond that reach, or so near an edge that its search box leaves the
// window, cannot be guided on. Refused before anything is sent.
bool Autoguider::star_in_reach() {
  int gx = 0, gy = 0;
  guide_star(gx, gy);
  const GuideWindow w = guide_window(place_guiding_frame(gx, gy), gx, gy);
  if (guide_window_holds_star(w, app_.settings.guide_mask_radius)) return true;
  show_message(app_.ports.messages, Msg::CallerText, OUT_OF_REACH);
  return false;
}

// Places the guiding frame around the guide star and points the camera's
// window at it, so that the star lands where the frame's star position says.
void Autoguider::place_frame() {
  saved_ = app_.star.position;
  saved_window_x_ = app_.camera.readout.window_x;
  saved_window_y_ = app_.camera.readout.window_y;
  int gx = 0, gy = 0;
  guide_star(gx, gy);
  frame_ = place_guiding_frame(gx, gy);
  app_.star_pick.guiding_frame_column = frame_.origin_column;
  app_.star_pick.guiding_frame_row = frame_.origin_row;
  const GuideWindow w = guide_window(frame_, gx, gy);
  ReadoutState& r = app_.camera.readout;
  r.window_x = w.at.x;
  r.window_y = w.at.y;
  app_.star.position.x = w.star_column;
  app_.star.position.y = w.star_row;
  app_.star.guiding_frame = true;
}

std::string Autoguider::info_title() const {
  if (beyond_range_ >= BEYOND_RANGE_FRAMES)
    return std::string("Guiding Info - ") + BEYOND_RANGE_TEXT;
  return "Guiding Info";
}

void Autoguider::end_frame_use() {
  app_.star.guiding_active = false;
  app_.star.guiding_frame = false;
  app_.camera.readout.window_x = saved_window_x_;
  app_.camera.readout.window_y = saved_window_y_;
}

// One pass of a guiding loop: the program's events, then the next frame
// unless a stop was asked for or the run's time is up.
Autoguider::NextFrame Autoguider::next_frame(EventPump& pump, std::uint32_t start,
                                             std::uint32_t max_ms) {
  pump.pump();
  if (pump.abort_requested()) {
    pump.clear();
    return NextFrame::Stop;
  }
  if (max_ms != 0 && app_.ports.clock.now_ms() - start >= max_ms) return NextFrame::Stop;
  return take_frame() ? NextFrame::Taken : NextFrame::Failed;
}

bool Autoguider::take_frame() {
  const AcquisitionSettings& a = app_.acquisition;
  return take_window_frame(app_.camera.link, app_.ports.clock, app_.camera.readout, a.guide_value,
                           a.guide_range, WindowStretch{}, window_.data()) == LinkResult::Ok;
}

bool Autoguider::take_guided_frame(GuidedExposure& g) {
  ++g.frames_counted;
  return take_guide_frame(app_.camera.link, app_.ports.clock, app_.camera.readout, g.guide_ms,
                          g.half_done, WindowStretch{}, window_.data()) == LinkResult::Ok;
}

StarSearch Autoguider::locate_in_window(int x, int y) {
  StarLocation& s = app_.star;
  const FrameView view{window_.data(), SMALL_FRAME_SIDE, SMALL_FRAME_SIDE};
  const StarSearch found = locate_star(s, view, x, y, s.radius);
  report_star_search(app_.ports.messages, found, s.quiet);
  return found;
}

bool Autoguider::locate_twice(int x, int y) {
  if (locate_in_window(x, y) != StarSearch::Found) return false;
  return locate_in_window(app_.star.position.x, app_.star.position.y) == StarSearch::Found;
}

// The mount of the link in effect, asked afresh each time: opening the link
// reloads the settings, which may name another.
Mount& Autoguider::mount() {
  return current_mount(app_);
}

bool Autoguider::pulse(Direction d, int ms) {
  return mount().pulse(d, static_cast<std::uint32_t>(ms)) == ScopeResult::Done;
}

TrainOutcome Autoguider::train() {
  Messages& m = app_.ports.messages;
  if (!mount().capabilities().autoguide || !app_.camera.camera_present()) {
    show_message(m, Msg::CallerText, NO_STAR);
    return TrainOutcome::Refused;
  }
  if (!star_in_reach()) return TrainOutcome::Refused;
  const int seconds = std::max<int>(1, app_.settings.guide_training_time);
  const int dec_ms = training_pulse_ms(seconds, app_.settings.dec_hysteresis);
  const int ra_ms = training_pulse_ms(seconds, app_.settings.ra_hysteresis);
  if (dec_ms <= 0 || ra_ms <= 0) {
    show_message(m, Msg::CallerText, SHORT_PULSE);
    return TrainOutcome::Refused;
  }
  if (mount().open() != ScopeResult::Done) {
    show_message(m, Msg::CallerText, NO_LINK);
    return TrainOutcome::LinkFailed;
  }
  mount().reset();
  if (mount().capabilities().relays && !first_pulses_sent_) {
    first_pulses_sent_ = true;
    for (Direction d : {Direction::North, Direction::South, Direction::East, Direction::West})
      pulse(d, 1);
  }
  place_frame();
  app_.star.guiding_active = true;
  running_ = false;
  app_.star.radius = app_.settings.guide_mask_radius;
  app_.star.ignore_drift = app_.settings.ignore_drift;

  TrainOutcome outcome = TrainOutcome::StarLost;
  TrainingLegs legs;
  // A key or button press (Ctrl-C in tarvex-cli) stops training before its
  // next pulse; the stored rates stay as they were.
  EventPump& events = app_.ports.pump;
  events.clear();
  auto stop_requested = [&] {
    events.pump();
    if (!events.abort_requested()) return false;
    events.clear();
    outcome = TrainOutcome::Aborted;
    return true;
  };
  // Measures the star after a pulse: locate at the last x and `y`, then at
  // the result.
  int step = 0;
  auto show_step = [&](const char* what) {
    char text[96];
    std::snprintf(text, sizeof text, "Training auto-guiding: step %d of %d - %s", ++step,
                  TRAINING_STEPS, what);
    front_.training_status(text);
  };
  auto leg = [&](Direction d, int ms, int y, int& out, bool want_x) {
    static constexpr const char* WHAT[] = {"RA axis, east", "RA axis, west", "Dec axis, north",
                                           "Dec axis, south"};
    if (stop_requested()) return false;
    show_step(WHAT[d == Direction::East    ? 0
                   : d == Direction::West  ? 1
                   : d == Direction::North ? 2
                                           : 3]);
    if (!pulse(d, ms) || !take_frame()) return false;
    if (!locate_twice(app_.star.position.x, y)) return false;
    out = want_x ? app_.star.position.x : app_.star.position.y;
    return true;
  };
  do {
    // The start position is measured, not assumed: the window the camera
    // reads may sit a row or a column off the predicted one.
    show_step("measuring the start position");
    if (!take_frame() || !locate_twice(app_.star.position.x, app_.star.position.y)) break;
    legs.y0 = app_.star.position.y;
    const int y0 = legs.y0;
    if (!leg(Direction::North, dec_ms, y0, legs.y1, false)) break;
    if (!leg(Direction::North, dec_ms, legs.y1, legs.y2, false)) break;
    if (!leg(Direction::South, dec_ms, legs.y2, legs.y3, false)) break;
    if (!leg(Direction::South, dec_ms, legs.y3, legs.y4, false)) break;
    legs.x0 = app_.star.position.x;
    const int y = app_.star.position.y;
    if (!leg(Direction::East, ra_ms, y, legs.x1, true)) break;
    if (!leg(Direction::East, ra_ms, y, legs.x2, true)) break;
    if (!leg(Direction::West, ra_ms, y, legs.x3, true)) break;
    if (!leg(Direction::West, ra_ms, y, legs.x4, true)) break;
    trained_ = training_result(legs, seconds);
    char text[128];
    std::snprintf(text, sizeof text, "slewx = %5d, slewy = %5d\nbacklashx = %5d, backlashy = %5d",
                  trained_.ra_rate, trained_.dec_rate, trained_.ra_backlash, trained_.dec_backlash);
    show_message(m, Msg::CallerText, text);
    const TrainingResult stored = stored_training_values(trained_);
    Settings& s = app_.settings;
    s.ra_pixels_per_sec = static_cast<std::int16_t>(stored.ra_rate);
    s.dec_pixels_per_sec = static_cast<std::int16_t>(stored.dec_rate);
    s.ra_backlash = static_cast<std::int16_t>(stored.ra_backlash);
    s.dec_backlash = static_cast<std::int16_t>(stored.dec_backlash);
    save_settings(app_.paths.settings_file(), s, app_.fits);
    outcome = TrainOutcome::Done;
  } while (false);
  end_frame_use();
  app_.star.position = saved_;
  front_.training_status(outcome == TrainOutcome::Aborted ? TRAINING_STOPPED_TEXT
                         : outcome == TrainOutcome::Done  ? TRAINING_DONE_TEXT
                                                          : TRAINING_ENDED_TEXT);
  return outcome;
}

double Autoguider::star_signal(int x, int y) const {
  std::vector<std::uint16_t> all(window_.begin(), window_.end());
  std::nth_element(all.begin(), all.begin() + static_cast<long>(all.size() / 2), all.end());
  const double background = all[all.size() / 2];
  int peak = 0;
  for (int j = std::max(0, y - 2); j <= std::min(SMALL_FRAME_SIDE - 1, y + 2); ++j)
    for (int i = std::max(0, x - 2); i <= std::min(SMALL_FRAME_SIDE - 1, x + 2); ++i)
      peak = std::max<int>(peak, window_[static_cast<std::size_t>(j * SMALL_FRAME_SIDE + i)]);
  return peak - background;
}

void Autoguider::choose_algorithm() {
  algorithm_.reset();
  holding_ = false;
  first_signal_ = 0;
  const MoreSettings more = load_more_settings(app_.paths.more_settings_file()).settings;
  if (more.text("guide.algorithm") != GUIDE_ALGORITHM_PREDICTIVE) return;
  const Settings& s = app_.settings;
  const GuideRates rates{std::max<double>(1, s.ra_pixels_per_sec),
                         std::max<double>(1, s.dec_pixels_per_sec)};
  algorithm_ = std::make_unique<PredictiveGuide>(
      rates, static_cast<double>(more.integer("guide.lost-star-seconds")));
}

std::string_view Autoguider::algorithm_name() const {
  return algorithm_ ? GUIDE_ALGORITHM_PREDICTIVE : GUIDE_ALGORITHM_CLASSIC;
}

void Autoguider::note_event(const GuideEvent& e) {
  graph_.add_event(e);
  if (on_event) on_event(e);
}

void Autoguider::apply_algorithm(bool found, GuideSample& sample) {
  Clock& clock = app_.ports.clock;
  GuideInput in;
  in.t = clock.now_ms() / 1000.0;
  in.found = found;
  in.dx = dx_ / 1000.0;
  in.dy = dy_ / 1000.0;
  const GuidePulses p = algorithm_->next(in);
  sample.holding_drift = p.holding_drift;
  DirectionBlock& block = app_.telescope.directions;
  // A signed pulse on one axis: its direction remembered, a beep either side.
  auto send = [&](int ms, Direction positive, Direction negative, char& last) {
    const Direction d = ms > 0 ? positive : negative;
    last = block.letter(d);
    clock.beep();
    pulse(d, std::abs(ms));
    clock.beep();
  };
  if (p.ra_ms != 0) {
    send(p.ra_ms, Direction::East, Direction::West, block.last_ra());
    sample.ra_pulse_ms = p.ra_ms;
  }
  if (p.ra_ms != 0 && p.dec_ms != 0 && app_.settings.direction_change_delay) clock.sleep_ms(70);
  if (p.dec_ms != 0) {
    send(p.dec_ms, Direction::North, Direction::South, block.last_dec());
    sample.dec_pulse_ms = p.dec_ms;
  }
}

bool Autoguider::hold_learned_drift() {
  if (!algorithm_) return false;
  GuideSample sample;
  sample.at_ms = app_.ports.clock.now_ms();
  apply_algorithm(false, sample);
  if (!sample.holding_drift) return false;
  // Guiding goes on in the guiding frame: the next frame may find the star.
  app_.star.guiding_active = true;
  app_.star.guiding_frame = true;
  if (!holding_) {
    holding_ = true;
    set_status(std::string("Guiding Info - ") + HOLDING_DRIFT_TEXT);
  }
  // Not an error measured, so not in the graph's RMS; reported all the same.
  if (on_correction) on_correction(sample);
  return true;
}

CorrectionOutcome Autoguider::correct() {
  StarLocation& s = app_.star;
  auto lost = [&] {
    s.guiding_active = false;
    s.quiet = false;
    s.guiding_frame = false;
    if (!holding_) {
      lost_at_ms_ = app_.ports.clock.now_ms();
      note_event({lost_at_ms_, GuideEventKind::StarLost});
    }
    return CorrectionOutcome::StarLost;
  };
  const int from_x = follow_star_ ? s.position.x : reference_.x;
  const int from_y = follow_star_ ? s.position.y : reference_.y;
  if (locate_in_window(from_x, from_y) != StarSearch::Found) return lost();
  // A star fading behind a cloud leaves the search to find a noise peak
  // instead: the algorithm learns from what it is given, so a star down to
  // under a third of its first light counts as lost.
  if (algorithm_) {
    const double signal = star_signal(s.position.x, s.position.y);
    if (first_signal_ <= 0) first_signal_ = signal;
    if (signal < first_signal_ / 3) return lost();
  }
  if (holding_) {
    holding_ = false;
    const std::uint32_t now = app_.ports.clock.now_ms();
    GuideEvent found{now, GuideEventKind::StarFound};
    found.seconds = (now - lost_at_ms_) / 1000.0;
    note_event(found);
    set_status(follow_star_ ? SETTLING_TITLE : info_title());
  }
  dx_ = guide_error(reference_.x, reference_.x_tenths, s.position.x, s.position.x_tenths);
  dy_ = guide_error(reference_.y, reference_.y_tenths, s.position.y, s.position.y_tenths);
  GuideSample sample;
  sample.at_ms = app_.ports.clock.now_ms();
  sample.dx = dx_ / 1000.0;
  sample.dy = dy_ / 1000.0;
  const GuideParameters p = parameters();
  DirectionBlock& block = app_.telescope.directions;
  CorrectionMemory memory;
  memory.ra_east = block.last_ra() == block.letter(Direction::East);
  memory.dec_north = block.last_dec() == block.letter(Direction::North);
  // Settling after a dither: once the star is within the settle distance,
  // half the error is corrected, so that the seeing's jitter is not chased
  // back out of it.
  const bool damped = settle_pixels_ > 0 && std::hypot(dx_, dy_) <= settle_pixels_ * 1000;
  const Correction c =
      guide_correction(damped ? dx_ / 2 : dx_, damped ? dy_ / 2 : dy_, p, large_permitted_, memory);
  // An error beyond the range sends nothing (it may be another star); the
  // user is told when it stays there, and the graph marks those frames.
  const bool warned = beyond_range_ >= BEYOND_RANGE_FRAMES;
  beyond_range_ = c.skipped_large ? beyond_range_ + 1 : 0;
  sample.beyond_range = beyond_range_;
  if (warned != (beyond_range_ >= BEYOND_RANGE_FRAMES)) set_status(info_title());
  if (!c.skipped_large && algorithm_) {
    apply_algorithm(true, sample);
  } else if (!c.skipped_large) {
    const int band = p.whole_pixels ? GUIDE_DEAD_BAND_WHOLE : GUIDE_DEAD_BAND_TENTHS;
    Clock& clock = app_.ports.clock;
    if (std::abs(dx_) > band) {
      const Direction d = c.ra.positive ? Direction::East : Direction::West;
      block.last_ra() = block.letter(d);
      if (c.ra.send) {
        clock.beep();
        pulse(d, c.ra.ms);
        clock.beep();
        sample.ra_pulse_ms = c.ra.positive ? c.ra.ms : -c.ra.ms;
      }
    }
    if (c.delay_70ms) clock.sleep_ms(70);
    if (std::abs(dy_) > band) {
      const Direction d = c.dec.positive ? Direction::North : Direction::South;
      block.last_dec() = block.letter(d);
      if (c.dec.send) {
        clock.beep();
        pulse(d, c.dec.ms);
        clock.beep();
        sample.dec_pulse_ms = c.dec.positive ? c.dec.ms : -c.dec.ms;
      }
    }
  }
  graph_.add(sample);
  if (on_correction) on_correction(sample);
  return CorrectionOutcome::Applied;
}

GuideOutcome Autoguider::guide(std::uint32_t max_ms) {
  Messages& m = app_.ports.messages;
  if (!mount().capabilities().autoguide || !app_.camera.camera_present() ||
      !app_.star_pick.guide_star_picked) {
    show_message(m, Msg::TakeImageAndPickStar);
    return GuideOutcome::Refused;
  }
  if (!star_in_reach()) return GuideOutcome::Refused;
  if (mount().open() != ScopeResult::Done) {
    show_message(m, Msg::TelescopeCommsFailed);
    return GuideOutcome::LinkFailed;
  }
  mount().reset();
  app_.star.guiding_active = true;
  running_ = true;
  menu_guiding_ = true;
  app_.star.radius = app_.settings.guide_mask_radius;
  app_.star.ignore_drift = app_.settings.ignore_drift;
  place_frame();
  reference_.x = app_.star.position.x;
  reference_.y = app_.star.position.y;
  graph_.clear();
  beyond_range_ = 0;
  choose_algorithm();
  EventPump& pump = app_.ports.pump;
  // The click or key that chose the command is no request to stop.
  pump.clear();
  Clock& clock = app_.ports.clock;
  const std::uint32_t start = clock.now_ms();
  GuideOutcome outcome = GuideOutcome::Stopped;
  while (running_) {
    const NextFrame next = next_frame(pump, start, max_ms);
    if (next == NextFrame::Failed) outcome = GuideOutcome::FrameFailed;
    if (next != NextFrame::Taken) break;
    if (first_frame_) {
      if (!locate_twice(reference_.x, reference_.y)) {
        outcome = GuideOutcome::StarLost;
        break;
      }
      reference_ = app_.star.position;
      first_frame_ = false;
      set_status(info_title());
    }
    pump.pump();
    if (pump.abort_requested()) {
      pump.clear();
      break;
    }
    if (correct() == CorrectionOutcome::StarLost) {
      // The predictive algorithm carries on the learned drift for a while.
      if (hold_learned_drift()) {
        front_.refresh_info();
        continue;
      }
      // A lost star ends the loop: nothing is sent for it.
      outcome = GuideOutcome::StarLost;
      break;
    }
    front_.refresh_info();
  }
  running_ = false;
  menu_guiding_ = false;
  // A self-guided run chooses its algorithm afresh at its first exposure.
  algorithm_.reset();
  holding_ = false;
  show_message(m, Msg::GuidingTerminated);
  first_frame_ = true;
  front_.close_info();
  end_frame_use();
  app_.star.quiet = false;
  app_.star.position = saved_;
  return outcome;
}

GuideOutcome Autoguider::observe(std::uint32_t max_ms,
                                 const std::function<void(const ObservedFrame&)>& report) {
  if (!app_.camera.camera_present() || !app_.star_pick.guide_star_picked) {
    show_message(app_.ports.messages, Msg::TakeImageAndPickStar);
    return GuideOutcome::Refused;
  }
  if (!star_in_reach()) return GuideOutcome::Refused;
  place_frame();
  EventPump& pump = app_.ports.pump;
  pump.clear();
  Clock& clock = app_.ports.clock;
  const std::uint32_t start = clock.now_ms();
  double x = app_.star.position.x, y = app_.star.position.y;
  const int search = std::max<int>(4, app_.settings.guide_mask_radius);
  GuideOutcome outcome = GuideOutcome::Stopped;
  for (int number = 1;; ++number) {
    const NextFrame next = next_frame(pump, start, max_ms);
    if (next == NextFrame::Failed) outcome = GuideOutcome::FrameFailed;
    if (next != NextFrame::Taken) break;
    // A box of nine pixels each way holds a wide star's light whole: a box
    // that cut off its wings would pull the centroid to the brightest pixel.
    const Centroid c = measure_centroid(window_.data(), SMALL_FRAME_SIDE, x, y, search, 9);
    if (!c.found) {
      outcome = GuideOutcome::StarLost;
      break;
    }
    x = c.x;
    y = c.y;
    report({number, clock.now_ms(), x, y});
  }
  end_frame_use();
  app_.star.position = saved_;
  return outcome;
}

// Self-guided exposures.

bool Autoguider::suspend_menu_guiding() {
  if (!menu_guiding_) return false;
  running_ = false;
  return true;
}

bool Autoguider::end_guiding_in_progress() {
  const bool was = running_ || app_.star.guiding_active;
  running_ = false;
  return was;
}

void Autoguider::close_info() {
  if (app_.star.guiding_frame) end_frame_use();
  app_.star.quiet = false;
  front_.close_info();
}

void Autoguider::restore_guide_star() {
  // Only a guided exposure moved the star position into its guiding frame;
  // after any other the position is the one the astronomer picked.
  if (!guide_star_held_) return;
  guide_star_held_ = false;
  app_.star.position = saved_;
}

bool Autoguider::check_before_exposure(GuidedExposure& g) {
  Messages& m = app_.ports.messages;
  if (!mount().capabilities().autoguide || !app_.camera.camera_present() ||
      !app_.star_pick.guide_star_picked) {
    show_message(m, Msg::TakeImageAndPickStar);
    return false;
  }
  if (!star_in_reach()) return false;
  if (mount().open() != ScopeResult::Done) {
    show_message(m, Msg::TelescopeCommsFailed);
    return false;
  }
  set_status("Guiding Info - Creating Guiding Frame");
  mount().reset();
  app_.star.radius = app_.settings.guide_mask_radius;
  app_.star.ignore_drift = app_.settings.ignore_drift;
  app_.star.guiding_active = true;
  app_.star.quiet = true;
  place_frame();
  guide_star_held_ = true;
  beyond_range_ = 0;
  reference_ = app_.star.position;
  set_status("Guiding Info - stabilising");
  for (int i = 0; i < 3; ++i) {
    if (!take_frame()) return false;
    front_.refresh_info();
  }
  // The star searches are quiet while guiding; a star that is not in the
  // guiding frame is reported here, or the exposure would end unexplained.
  auto star_missing = [&] {
    end_frame_use();
    show_message(m, Msg::SelfGuidingInterrupted);
    return false;
  };
  if (!locate_twice(reference_.x, reference_.y)) return star_missing();
  reference_ = app_.star.position;
  set_status("Guiding Info");
  if (!take_frame()) {
    end_frame_use();
    return false;
  }
  if (!locate_twice(reference_.x, reference_.y)) return star_missing();
  reference_ = app_.star.position;
  if (g.run_index == 0) {
    // The run's first exposure: the algorithm chosen in the settings guides
    // the whole run, and the star's place now is where dithers start from.
    graph_.clear();
    choose_algorithm();
    home_ = reference_;
  } else if (g.acquisition.dither && g.acquisition.auto_save) {
    return dither_and_settle(g);
  }
  return true;
}

namespace {

// A position in pixels and tenths, from pixels.
StarPosition at_pixels(double x, double y) {
  const long tx = std::lround(x * 10), ty = std::lround(y * 10);
  auto whole = [](long t) { return static_cast<int>(t >= 0 ? t / 10 : -((-t + 9) / 10)); };
  StarPosition p;
  p.x = whole(tx);
  p.y = whole(ty);
  p.x_tenths = static_cast<int>(tx - 10L * p.x);
  p.y_tenths = static_cast<int>(ty - 10L * p.y);
  return p;
}

double pixels_x(const StarPosition& p) {
  return p.x + p.x_tenths / 10.0;
}
double pixels_y(const StarPosition& p) {
  return p.y + p.y_tenths / 10.0;
}

DitherSettings dither_settings(const MoreSettings& more) {
  DitherSettings d;
  d.ra_only = more.text("guide.dither-axes") == "ra";
  d.settle_pixels = more.number("guide.settle-pixels");
  d.settle_frames = static_cast<int>(more.integer("guide.settle-frames"));
  d.settle_seconds = static_cast<int>(more.integer("guide.settle-seconds"));
  return d;
}

}  // namespace

bool Autoguider::dither_and_settle(GuidedExposure& g) {
  const DitherSettings d =
      dither_settings(load_more_settings(app_.paths.more_settings_file()).settings);
  const double amount = std::max(0.0, g.acquisition.dither_pixels);
  std::uniform_real_distribution<double> offset(-amount, amount);
  const double ox = offset(dither_rng_);
  const double oy = d.ra_only ? 0.0 : offset(dither_rng_);
  // The star must stay where the guide window's search can follow it: an
  // offset past the window's edge is cut short there.
  const double margin = app_.settings.guide_mask_radius + 2.0;
  auto inside = [&](double v) { return std::clamp(v, margin, SMALL_FRAME_SIDE - 1 - margin); };
  const StarPosition target = at_pixels(inside(pixels_x(home_) + ox), inside(pixels_y(home_) + oy));
  if (algorithm_)
    algorithm_->reference_moved(pixels_x(target) - pixels_x(reference_),
                                pixels_y(target) - pixels_y(reference_));
  reference_ = target;
  Clock& clock = app_.ports.clock;
  const std::uint32_t start = clock.now_ms();
  GuideEvent dither{start, GuideEventKind::Dither};
  dither.dx = pixels_x(target) - pixels_x(home_);
  dither.dy = pixels_y(target) - pixels_y(home_);
  note_event(dither);
  set_status(SETTLING_TITLE);

  // The star may now be further from the reference than the usual limit
  // of a correction, and further than the search reaches around it.
  large_permitted_ = true;
  follow_star_ = true;
  settle_pixels_ = d.settle_pixels;
  struct Restore {
    Autoguider& a;
    ~Restore() { a.large_permitted_ = false, a.follow_star_ = false, a.settle_pixels_ = 0; }
  } restore{*this};
  EventPump& pump = app_.ports.pump;
  const std::uint32_t limit = static_cast<std::uint32_t>(d.settle_seconds) * 1000u;
  int frames = 0, held = 0;
  auto ended = [&](GuideEventKind kind) {
    GuideEvent e{clock.now_ms(), kind};
    e.frames = frames;
    e.seconds = (e.at_ms - start) / 1000.0;
    note_event(e);
  };
  for (;;) {
    if (clock.now_ms() - start >= limit) {
      // Not settled: the exposure goes ahead all the same, and the run with it.
      ended(GuideEventKind::SettleTimedOut);
      break;
    }
    pump.pump();
    if (pump.abort_requested()) {
      g.stopped = true;
      end_frame_use();
      return false;
    }
    if (!take_frame()) {
      end_frame_use();
      return false;
    }
    ++frames;
    if (correct() == CorrectionOutcome::StarLost) {
      if (hold_learned_drift()) {
        held = 0;
        front_.refresh_info();
        continue;
      }
      end_frame_use();
      show_message(app_.ports.messages, Msg::SelfGuidingInterrupted);
      return false;
    }
    front_.refresh_info();
    const double off = std::hypot(dx_ / 1000.0, dy_ / 1000.0);
    held = off <= d.settle_pixels ? held + 1 : 0;
    if (held >= d.settle_frames) {
      ended(GuideEventKind::Settled);
      break;
    }
  }
  set_status(info_title());
  return true;
}

void Autoguider::guide_step(GuidedExposure& g) {
  set_status("Guiding Info - guiding exposure");
  const bool ok = take_guided_frame(g);
  set_status("Guiding Info - moving telescope");
  if (g.acquisition.take_matching_dark) return;
  if (ok && correct() == CorrectionOutcome::StarLost && hold_learned_drift()) {
    front_.refresh_info();
    return;
  }
  if (!ok || !app_.star.guiding_active) {
    app_.star.quiet = false;
    app_.star.guiding_active = false;
    for (int i = 0; i < LOST_STAR_BEEPS; ++i) app_.ports.clock.beep();
    g.acquisition.self_guide_next = false;
    return;
  }
  large_permitted_ = false;
  front_.refresh_info();
  set_status(info_title());
}

void Autoguider::switch_guiding_frame(GuidedExposure& g) {
  set_status("Guiding Info - Switching Guiding Frame");
  const bool dark = g.acquisition.take_matching_dark;
  take_guided_frame(g);
  take_guided_frame(g);
  auto step = [&] {
    if (dark) return;
    if (correct() == CorrectionOutcome::StarLost && !hold_learned_drift()) {
      app_.star.quiet = false;
      app_.star.guiding_active = false;
      for (int i = 0; i < LOST_STAR_BEEPS; ++i) app_.ports.clock.beep();
      g.acquisition.self_guide_next = false;
    } else {
      front_.refresh_info();
    }
  };
  if (!dark) half_row_step(reference_.y, reference_.y_tenths);
  step();
  if (!g.acquisition.self_guide_next) {
    // The star was lost: guiding ends here, with one set of beeps.
    large_permitted_ = false;
    return;
  }
  set_status(dark ? "Guiding Info - Darkframe in Progress" : info_title());
  take_guided_frame(g);
  step();
  large_permitted_ = false;
}

void Autoguider::rearm(GuidedExposure& g) {
  g.acquisition.guide_frames = g.frames_counted;
  end_frame_use();
  app_.star.quiet = false;
}

void Autoguider::stop() {
  running_ = false;
  large_permitted_ = false;
  end_frame_use();
  app_.star.quiet = false;
  front_.close_info();
}

}  // namespace tarvex
