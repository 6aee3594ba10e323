// The mount port: the one interface through which the program drives a
// telescope. Guiding, training, the telescope windows and tarvex-cli ask a
// `Mount` to go to a target, sync, move, pulse or report where it points,
// and learn from its capabilities what it can do; the LX200 link and the
// guider control box implement it over the serial link, and a mount of
// another kind (or a test's fake) implements it the same way.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ports.h"
#include "scope/direction_block.h"
#include "scope/lx200.h"

namespace tarvex {

enum class ScopeResult {
  Done,
  Ignored,      // a press while a move of that kind runs: nothing was sent
  LinkFailed,   // the link could not be opened (already reported)
  SerialError,  // a serial call failed (reported as "ERROR n "; the port is closed)
  NoReply,      // the mount did not answer, or not as an LX200 does (message 54)
  Refused,      // the mount refused the slew or the target
  OutOfRange,   // a catalogue number the command cannot carry: nothing was sent
  Unsupported,  // this mount cannot do that (see its capabilities): nothing was sent
};

// The rate of press-and-hold moves.
enum class MoveRate { Slew, Find, Centre, Guide };

// How a timed guide pulse ends: after its full length, or early at a stop
// request (a press, an interruption of tarvex-cli); its stop is sent all the
// same.
enum class PulseEnd { Timed, OnStop };

// A target as the telescope window and tarvex-cli take it: right ascension
// to the minute, declination to the arc minute.
struct Coordinates {
  int ra_hours = 0;
  int ra_minutes = 0;
  bool dec_negative = false;  // the sign typed, so that -0 degrees stays south
  int dec_degrees = 0;        // without its sign
  int dec_minutes = 0;
};

struct GotoResult {
  ScopeResult status = ScopeResult::Done;
  char reply = 0;      // the mount's reply to the slew, 0 when none came
  std::string reason;  // what the mount said after refusing, if anything
};

// Where the mount says it points, in the mount's own coordinates.
struct MountPosition {
  double ra_hours = 0;
  double dec_degrees = 0;
};

// What a mount can do. Moves, stops and guide pulses every mount can do.
struct MountCapabilities {
  bool go_to = false;          // by coordinates and by catalogue object
  bool sync = false;           // take given coordinates as where it points
  bool read_position = false;  // report where it points
  bool focus = false;          // drive a focuser
  // Takes the autoguider's corrections: false while no mount is chosen (a
  // link of type none, or an LX200 that could not be opened).
  bool autoguide = true;
  // Moves by closing direction relays (the control box): training wakes
  // each relay with a 1 ms pulse before its first leg.
  bool relays = false;
  // The finest step of the coordinates a go-to or a sync sends, 0 when the
  // mount takes none: seconds of time in right ascension, arc seconds in
  // declination.
  double ra_step_seconds = 0;
  double dec_step_arcsec = 0;
  // The same for a go-to or a sync to a position (goto_position,
  // sync_position): an LX200 in its high precision takes 1 s and 1"; one
  // found to stay in low precision takes 0.1 minute (6 s) and 1'.
  double position_ra_step_seconds = 0;
  double position_dec_step_arcsec = 0;
};

class Mount {
 public:
  virtual ~Mount() = default;

  virtual MountCapabilities capabilities() const = 0;

  // Makes sure the mount can be talked to (its link open, or opened again
  // after a failure closed it); a failed open is reported. Done when it can.
  virtual ScopeResult open() = 0;
  // Brings the mount to its resting state before a window or guiding
  // drives it: the control box opens every relay; an LX200 has nothing to
  // reset.
  virtual ScopeResult reset() = 0;

  // Go-to by coordinates, and by catalogue number (Messier, star catalogue
  // and planets, CNGC).
  virtual GotoResult goto_coordinates(const Coordinates& target) = 0;
  virtual GotoResult goto_object(Catalogue catalogue, int number) = 0;
  // Takes `target` as where the mount points now.
  virtual ScopeResult sync(const Coordinates& target) = 0;
  // Go-to and sync to a position in the mount's own coordinates (of date),
  // to the finest step the mount takes (see the capabilities). A mount that
  // takes no positions sends nothing.
  virtual GotoResult goto_position(const MountPosition&) {
    return {ScopeResult::Unsupported, 0, {}};
  }
  virtual ScopeResult sync_position(const MountPosition&) { return ScopeResult::Unsupported; }
  // Stops every motion: a slew, a move, a pulse.
  virtual ScopeResult abort() = 0;

  // Press-and-hold moves at the rate last set: a move runs until stop(); a
  // second move while one runs is Ignored.
  virtual void set_rate(MoveRate rate) = 0;
  virtual ScopeResult move(Direction direction) = 0;
  virtual ScopeResult stop() = 0;
  // The rate the next move runs at, and whether a move runs.
  virtual MoveRate rate() const = 0;
  virtual bool moving() const = 0;

  // A timed guide pulse of `ms` milliseconds.
  virtual ScopeResult pulse(Direction direction, std::uint32_t ms,
                            PulseEnd end = PulseEnd::Timed) = 0;

  virtual ScopeResult read_position(MountPosition& out) = 0;
  // The observing site the mount keeps: latitude north and longitude east,
  // degrees. A mount that keeps none sends nothing.
  virtual ScopeResult read_site(double& /*latitude*/, double& /*longitude_east*/) {
    return ScopeResult::Unsupported;
  }

  // The mount's description of its current object, read afresh, and as last
  // read (also by a go-to).
  virtual ScopeResult read_object_info() = 0;
  virtual std::string object_info() const = 0;

  // Focus moves: inward or outward until focus_stop().
  virtual void set_focus_speed(bool fast) = 0;
  virtual ScopeResult focus(bool inward) = 0;
  virtual ScopeResult focus_stop() = 0;
  virtual bool focus_fast() const = 0;
  virtual bool focusing() const = 0;
};

// How a timed hold ended: its time ran out, or a stop request came first.
enum class HoldEnd { Elapsed, Stopped };

// Waits `ms` milliseconds of clock time while a move is held, handling the
// program's events; ends early at the first input pending on the event pump
// (one pending when it starts included: the caller clears what it has
// already acted on). It rests on the clock between passes (a few
// milliseconds at a time), so a long hold costs no processor time on the
// system clock and takes none on a virtual one.
HoldEnd hold_for(Clock& clock, EventPump& pump, std::uint32_t ms);

// A press-and-hold move or focus move that is never left running: the stop
// is sent by release(), or when the hold goes away without one (a command
// left early, a failure on the way). Only a press that went through holds
// anything.
class ScopeHold {
 public:
  explicit ScopeHold(Mount& mount) : mount_(mount) {}
  ~ScopeHold() { release(); }
  ScopeHold(const ScopeHold&) = delete;
  ScopeHold& operator=(const ScopeHold&) = delete;

  // move / focus; a second press while one is held is Ignored.
  ScopeResult press_move(Direction direction);
  ScopeResult press_focus(bool inward);
  // Sends the stop of what is held (stop / focus_stop); Ignored when
  // nothing is held.
  ScopeResult release();
  bool held() const { return held_ != Held::Nothing; }

 private:
  enum class Held { Nothing, Move, Focus };
  Mount& mount_;
  Held held_ = Held::Nothing;
};

}  // namespace tarvex
