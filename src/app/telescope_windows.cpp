#include "app/telescope_windows.h"

#include <cctype>
#include <cstdlib>
#include <iterator>

namespace tarvex {

TelescopeWindow telescope_control(Tarvex& app) {
  if (ensure_link_open(app, Msg::FitsSettingsLoadFailed) != ScopeResult::Done)
    return TelescopeWindow::None;
  // The mount of the link the open settled on: a mount that takes go-tos
  // gets the LX200's window, one that only moves the box's window.
  Mount& mount = current_mount(app);
  if (mount.capabilities().go_to) return TelescopeWindow::Lx200;
  // The box starts from its reset state, with every relay open.
  if (mount.reset() != ScopeResult::Done) return TelescopeWindow::None;
  return TelescopeWindow::ControlBox;
}

bool read_box_number(std::string_view text, BoxNumber& out) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  BoxNumber n;
  if (text.empty()) {
    out = n;
    return true;
  }
  if (text.front() == '-' || text.front() == '+') {
    n.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Nine digits keep every value, and its negation, inside an int.
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n.value = n.value * 10 + (c - '0');
  }
  if (n.negative) n.value = -n.value;
  out = n;
  return true;
}

// --- One operation at a time ---

ScopeResult ScopeWindowModel::guarded(bool long_wait, const std::function<ScopeResult()>& op) {
  running_ = true;
  const bool was_busy = app_.busy;
  app_.busy = true;
  if (long_wait) app_.ports.progress.busy_cursor(true);
  const ScopeResult result = op();
  if (long_wait) app_.ports.progress.busy_cursor(false);
  app_.busy = was_busy;
  running_ = false;
  // A button let go while the operation waited on the mount.
  if (move_release_pending_) {
    move_release_pending_ = false;
    send_release(false);
  }
  if (focus_release_pending_) {
    focus_release_pending_ = false;
    send_release(true);
  }
  return result;
}

ScopeResult ScopeWindowModel::run(bool long_wait, const std::function<ScopeResult()>& op) {
  if (running_ || app_.busy) return ScopeResult::Ignored;
  return guarded(long_wait, op);
}

ScopeResult ScopeWindowModel::release(bool focus) {
  if (running_) {
    (focus ? focus_release_pending_ : move_release_pending_) = true;
    return ScopeResult::Ignored;
  }
  return send_release(focus);
}

ScopeResult ScopeWindowModel::send_release(bool focus) {
  // Both windows' moves are the one move of the serial link; focus moves
  // are the LX200's.
  const Mount& mount = goto_window_mount(app_);
  if (!(focus ? mount.focusing() : mount.moving())) return ScopeResult::Ignored;
  // Stopping the mount goes ahead even while another command of the
  // program is busy: a move must never be left running.
  return guarded(
      false, [&] { return focus ? goto_window_mount(app_).focus_stop() : send_move_release(); });
}

void ScopeWindowModel::release_all() {
  release(false);
  release(true);
}

// --- "TARVEX Move Telescope" ---

namespace {

// A box that holds no number counts as 0, as an empty box does.
int catalogue_number(const std::string& text) {
  BoxNumber n;
  return read_box_number(text, n) ? n.value : 0;
}

}  // namespace

ScopeResult MoveTelescopeModel::show_goto(const GotoResult& result) {
  refusal_.clear();
  centring_.clear();
  if (result.status == ScopeResult::Refused) {
    refusal_ = result.reason.empty() ? std::string("The mount refused the slew") : result.reason;
  }
  return result.status;
}

ScopeResult MoveTelescopeModel::goto_object() {
  return run(true, [this] {
    const int m = catalogue_number(messier);
    const int c = catalogue_number(ngc);
    if (messier_in_range(m))
      return show_goto(goto_window_mount(app_).goto_object(Catalogue::Messier, m));
    if (ngc_in_range(c)) return show_goto(goto_window_mount(app_).goto_object(Catalogue::Ngc, c));
    app_.ports.messages.box(SCOPE_RANGE_CAPTION, SCOPE_OUT_OF_RANGE, BoxIcon::None);
    return ScopeResult::OutOfRange;
  });
}

ScopeResult MoveTelescopeModel::goto_coordinates() {
  return run(true, [this] {
    BoxNumber h, m, d, dm;
    Coordinates target;
    bool valid = read_box_number(ra_hours, h) && read_box_number(ra_minutes, m) &&
                 read_box_number(dec_degrees, d) && read_box_number(dec_minutes, dm);
    if (valid) {
      target.ra_hours = h.value;
      target.ra_minutes = m.value;
      target.dec_negative = d.negative;
      target.dec_degrees = std::abs(d.value);
      target.dec_minutes = dm.value;
      valid = coordinates_in_range(target);
    }
    if (!valid) {
      app_.ports.messages.box(SCOPE_COORDINATES_CAPTION, SCOPE_INVALID_COORDINATES, BoxIcon::None);
      return ScopeResult::OutOfRange;
    }
    return show_goto(goto_window_mount(app_).goto_coordinates(target));
  });
}

ScopeResult MoveTelescopeModel::goto_planet(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(PLANET_BUTTONS)))
    return ScopeResult::OutOfRange;
  const int number = PLANET_BUTTONS[index].number;
  return run(true, [this, number] {
    return show_goto(goto_window_mount(app_).goto_object(Catalogue::Star, number));
  });
}

ScopeResult MoveTelescopeModel::press_move(Direction direction) {
  return run(false, [this, direction] { return goto_window_mount(app_).move(direction); });
}

ScopeResult MoveTelescopeModel::press_focus(bool up) {
  return run(false, [this, up] { return goto_window_mount(app_).focus(up); });
}

ScopeResult MoveTelescopeModel::show_help() {
  return run(false, [this] {
    app_.ports.messages.box(SCOPE_HELP_CAPTION, SCOPE_HELP, BoxIcon::None);
    return ScopeResult::Done;
  });
}

ScopeResult MoveTelescopeModel::solve_and_sync() {
  return centring(false);
}

ScopeResult MoveTelescopeModel::centre_target() {
  return centring(true);
}

ScopeResult MoveTelescopeModel::centring(bool centre) {
  return run(true, [this, centre] {
    class Lines : public CentreReport {
     public:
      explicit Lines(MoveTelescopeModel& m) : m_(m) {}
      void step(const std::string& text) override { show(text + "..."); }
      void tried(const CentreTry& t) override { show(centre_try_line(t)); }

     private:
      void show(const std::string& line) {
        m_.centring_ += line + "\n";
        if (m_.on_step) m_.on_step();
      }
      MoveTelescopeModel& m_;
    } lines(*this);
    refusal_.clear();
    centring_.clear();
    const std::unique_ptr<PlateSolver> solver = make_solver();
    Mount& mount = goto_window_mount(app_);
    CentreOutcome o;
    if (centre) {
      CentreRequest request;
      request.tolerance_arcsec = centre_tolerance_arcsec;
      request.tries = centre_tries;
      o = tarvex::centre_target(app_, mount, solver.get(), request, lines);
      centring_ += centre_outcome_line(o) + "\n";
    } else {
      o = tarvex::solve_and_sync(app_, mount, solver.get(), lines);
      centring_ += o.status == CentreStatus::Centred ? "synced\n" : centre_outcome_line(o) + "\n";
    }
    if (on_step) on_step();
    if (o.message) show_message_because(app_.ports.messages, *o.message, o.detail);
    switch (o.status) {
      case CentreStatus::Centred: return ScopeResult::Done;
      case CentreStatus::Refused: return ScopeResult::Refused;
      case CentreStatus::Cancelled: return ScopeResult::Ignored;
      case CentreStatus::NotCentred: break;
    }
    return ScopeResult::Refused;
  });
}

MoveRate MoveTelescopeModel::rate() const {
  return goto_window_mount(app_).rate();
}

bool MoveTelescopeModel::focus_fast() const {
  return goto_window_mount(app_).focus_fast();
}

std::string MoveTelescopeModel::info_text() const {
  const std::string info = lx200_shown_text(goto_window_mount(app_).object_info());
  const std::string shown = refusal_.empty() ? info : lx200_shown_text(refusal_) + "\n" + info;
  return centring_.empty() ? shown : centring_ + shown;
}

// --- "Move Telescope" ---

ScopeResult ControlBoxMoveModel::press(Direction direction) {
  return run(false, [this, direction] { return control_box_mount(app_).move(direction); });
}

ScopeResult ControlBoxMoveModel::show_help() {
  return run(false, [this] {
    app_.ports.messages.box(SCOPE_RANGE_CAPTION, CONTROL_BOX_HELP, BoxIcon::None);
    return ScopeResult::Done;
  });
}

}  // namespace tarvex
