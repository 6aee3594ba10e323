// The telescope windows: File > "Telescope Control" and the models of its two
// modeless windows, "TARVEX Move Telescope" for an LX200 mount (catalogue,
// planet and coordinate go-to, press-and-hold moves at four rates, focus)
// and "Move Telescope" for the guider control box (press-and-hold moves).
// The Qt windows are views over these models.
//
// The windows stay usable while an operation waits on the mount: the waits
// handle the program's events. So that nothing runs twice over the one
// serial port, a window starts no operation while another one runs, in this
// window or anywhere in the program (the context's busy flag); the release
// of a held move is the exception: it is never lost, and when it arrives
// while an operation runs it is sent as soon as that operation ends.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/astrometry_solver.h"
#include "app/centre_target.h"
#include "app/mounts.h"
#include "app/tarvex.h"
#include "app/telescope.h"

namespace tarvex {

enum class TelescopeWindow { None, Lx200, ControlBox };

// File > "Telescope Control": makes sure the link is open (an unreadable
// settings file is message 27), then tells which window to open: the control
// box window after resetting the box for the control box link type, the LX200 window
// otherwise. None when the link could not be opened or the reset failed
// (both already reported).
TelescopeWindow telescope_control(Tarvex& app);

// Captions and texts of the boxes the windows show.
inline constexpr const char* SCOPE_RANGE_CAPTION = "Tarvex - Control Telescope";
inline constexpr const char* SCOPE_OUT_OF_RANGE = "Object out of range - try again";
inline constexpr const char* SCOPE_COORDINATES_CAPTION = "Brisca - Control Telescope";
inline constexpr const char* SCOPE_INVALID_COORDINATES =
    "Invalid Co-ordinates set.\n\nRange is R.A. 0hr 00min, to 23hr 59mins\n        Dec  -89deg "
    "00min, to +89deg 59mins";
inline constexpr const char* SCOPE_HELP_CAPTION = "Briscan - Control Telescope";
inline constexpr const char* SCOPE_HELP =
    "Enter a Messier or CNGC number and press the GoTo Object button.\n\nIf you enter both "
    "numbers the Messier will be favoured. To use CGNC numbers ensure the Messier number is 0";
inline constexpr const char* CONTROL_BOX_HELP =
    "Press and hold an arrow to move the telescope; release it to stop.\n\nThe directions "
    "follow the swap settings of Set Program Defaults.";

// A number box as the astronomer typed it: blanks around it, an optional
// sign, digits. An empty box reads as 0. False for anything else (letters,
// a lone sign, more than nine digits).
struct BoxNumber {
  int value = 0;          // with its sign
  bool negative = false;  // a '-' was typed, also before 0
};
bool read_box_number(std::string_view text, BoxNumber& out);

// The eight planet buttons, in the window's order.
struct PlanetButton {
  const char* name;
  int number;  // the mount's star-catalogue number
};
inline constexpr PlanetButton PLANET_BUTTONS[] = {
    {"Mercury", 901}, {"Venus", 902},  {"Mars", 904},    {"Jupiter", 905},
    {"Saturn", 906},  {"Uranus", 907}, {"Neptune", 908}, {"Pluto", 909}};

// What both windows share: the one-operation-at-a-time rule and the
// press-and-hold moves.
class ScopeWindowModel {
 public:
  explicit ScopeWindowModel(Tarvex& app) : app_(app) {}
  ScopeWindowModel(const ScopeWindowModel&) = delete;
  ScopeWindowModel& operator=(const ScopeWindowModel&) = delete;
  virtual ~ScopeWindowModel() = default;

  // True while one of this window's operations runs.
  bool running() const { return running_; }
  // Releases whatever this window holds (a move, a focus move); the window
  // calls it when it closes.
  void release_all();

 protected:
  // Runs `op` unless an operation runs already (Ignored then), with the
  // context marked busy; `long_wait` shows the busy cursor. Releases that
  // arrived meanwhile are sent afterwards.
  ScopeResult run(bool long_wait, const std::function<ScopeResult()>& op);
  // The release of a held move or focus move: sent now, or after the
  // running operation; nothing when nothing is held (a press that failed
  // holds nothing, so its release adds no second message).
  ScopeResult release(bool focus);
  // The window's own release of a held move.
  virtual ScopeResult send_move_release() = 0;

  Tarvex& app_;

 private:
  // Runs `op` as this window's one operation, whether or not the rest of
  // the program is busy, then the releases that arrived meanwhile.
  ScopeResult guarded(bool long_wait, const std::function<ScopeResult()>& op);
  ScopeResult send_release(bool focus);

  bool running_ = false;
  bool move_release_pending_ = false;
  bool focus_release_pending_ = false;
};

// "TARVEX Move Telescope".
class MoveTelescopeModel : public ScopeWindowModel {
 public:
  explicit MoveTelescopeModel(Tarvex& app) : ScopeWindowModel(app) {}

  // The number boxes, as typed; each starts at "0".
  std::string messier = "0";
  std::string ngc = "0";
  std::string ra_hours = "0";
  std::string ra_minutes = "0";
  std::string dec_degrees = "0";
  std::string dec_minutes = "0";

  // "GoTo Object": Messier 1..110 first, else CNGC 1..7815, else the box
  // "Object out of range - try again" and nothing is sent. A box that holds
  // no number counts as 0.
  ScopeResult goto_object();
  // "Go To ": the coordinates when 0 <= h < 24, 0 <= m < 60, -89 <= d < 90
  // and 0 <= dm < 60, else the "Invalid Co-ordinates set..." box. A typed
  // "-0" degrees stays south of the equator.
  ScopeResult goto_coordinates();
  // A planet button, by its index in PLANET_BUTTONS.
  ScopeResult goto_planet(int index);

  // The arrows: right east, left west, up north, down south (through the
  // direction block, so the swap settings apply).
  ScopeResult press_move(Direction direction);
  ScopeResult release_move() { return release(false); }
  // The "focus" arrows: up "#:F+#", down "#:F-#".
  ScopeResult press_focus(bool up);
  ScopeResult release_focus() { return release(true); }

  // "Solve & Sync" and "Centre Target" (on the last go-to's target, where
  // the mount believes it points): an exposure with the camera dialog's
  // settings, solved and synced, and for Centre Target the go-to again until
  // within `centre_tolerance_arcsec`. Each step and try shows in the
  // information text as it happens (`on_step` redraws the window); a
  // refusal or failure is its message. Stopped like every other wait.
  ScopeResult solve_and_sync();
  ScopeResult centre_target();
  double centre_tolerance_arcsec = DEFAULT_CENTRE_TOLERANCE_ARCSEC;
  int centre_tries = DEFAULT_CENTRE_TRIES;
  // The plate solver of these commands (tests give their own).
  std::function<std::unique_ptr<PlateSolver>()> make_solver = [] {
    return make_astrometry_solver();
  };
  std::function<void()> on_step;

  // "Help": the window's help box, when no operation runs. Like every other
  // button it waits for a go-to, a move's start or a guide pulse to end: a
  // box opened inside that wait would hold the mount on until it is closed.
  ScopeResult show_help();

  void set_rate(MoveRate rate) { goto_window_mount(app_).set_rate(rate); }
  void set_focus_fast(bool fast) { goto_window_mount(app_).set_focus_speed(fast); }

  // What the window shows after every action, read back from the link: the
  // rate from the fourth character of the rate command ('S' Slew, 'M' Find,
  // 'C' Centre, anything else Guide), the focus speed ("#:FF#" fast,
  // anything else slow), and the information text.
  MoveRate rate() const;
  bool focus_fast() const;
  // "Info from Scope": the mount's object information, without its closing
  // '#'; after a refused go-to the mount's reason comes first, on its own line.
  std::string info_text() const;

 private:
  ScopeResult send_move_release() override { return goto_window_mount(app_).stop(); }
  ScopeResult show_goto(const GotoResult& result);
  ScopeResult centring(bool centre);
  std::string refusal_;
  // The steps and tries of the last Solve & Sync or Centre Target.
  std::string centring_;
};

// "Move Telescope" (control box): "Up", "Down", "Left", "Right".
class ControlBoxMoveModel : public ScopeWindowModel {
 public:
  explicit ControlBoxMoveModel(Tarvex& app) : ScopeWindowModel(app) {}
  ScopeResult press(Direction direction);
  ScopeResult release() { return ScopeWindowModel::release(false); }
  // "Help", when no operation runs (as MoveTelescopeModel::show_help).
  ScopeResult show_help();

 private:
  ScopeResult send_move_release() override { return control_box_mount(app_).stop(); }
};

}  // namespace tarvex
