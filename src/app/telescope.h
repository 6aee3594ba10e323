// Telescope operations on the context: opening the serial link, timed guide
// pulses, press-and-hold moves and focus moves, go-to by catalogue and by
// coordinates, the mount's object information, and the control box reset.
// The telescope windows, the autoguider and tarvex-cli all drive these.
//
// Every operation first makes sure the link is open (and opens the port
// again when a serial error closed it), and stops at its first failed
// serial call: one failure, one message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/tarvex.h"
#include "platform/messages.h"
#include "scope/direction_block.h"
#include "scope/lx200.h"
#include "scope/mount.h"

namespace tarvex {

// The link type in effect. A failed LX200 open counts as none until the next
// reload of the settings; a command-line choice overrides the settings for
// the run.
LinkType link_type(const Tarvex& app);
// The "Com Port" number in effect, 1..5.
int com_port(const Tarvex& app);

// Makes sure the link is open. When it is not yet open: reloads the
// settings (on failure reports `reload_failure`, SettingsLoadFailed or
// FitsSettingsLoadFailed, and writes the settings file with the values in
// memory), opens the control box for link type 'b', else the LX200 link; a
// failed LX200 open reports TelescopeLinkNotOpened
// and stops. When the link is open but a serial error closed the port, or the
// port setting or the link type changed, the port is opened again. Sets controlbox_present
// whenever it does not stop early. Done when the port is open.
ScopeResult ensure_link_open(Tarvex& app, Msg reload_failure = Msg::SettingsLoadFailed);

// Opens the port for an LX200 (9600 baud, DTR and RTS set, 8N1) or for the
// control box (300 baud, 8N1, DTR and RTS left alone). A refused line setup
// reports message 50 "Open Communications Failed". True when open.
bool open_lx200(Tarvex& app);
bool open_control_box(Tarvex& app);

// A timed guide pulse in the current move letter for the pulse duration
// (SerialLink::pulse_ms): the LX200 form for the LX200 link type, the control box
// form otherwise; 4 ms pause after it.
ScopeResult guide_pulse(Tarvex& app);
// The same after setting the current move letter from the direction block
// and the pulse duration. With PulseEnd::OnStop an input pending on the
// event pump (a stop request: a press, an interruption of tarvex-cli) ends
// the pulse early; its stop is sent all the same. Guiding's own pulses keep
// their full length (PulseEnd::Timed).
ScopeResult guide_pulse(Tarvex& app, Direction direction, std::uint32_t ms,
                        PulseEnd end = PulseEnd::Timed);

// The rate of LX200 press-and-hold moves.
void set_move_rate(Tarvex& app, MoveRate rate);
void set_focus_speed(Tarvex& app, bool fast);

// Press-and-hold moves: the LX200 form (rate, move in the block's letter;
// release sends all four stops) and the control-box form (bits, 1 ms, bits
// + 16; release sends 0). A press while a move runs sends nothing.
ScopeResult press_lx200_move(Tarvex& app, Direction direction);
ScopeResult release_lx200_move(Tarvex& app);
ScopeResult press_box_move(Tarvex& app, Direction direction);
ScopeResult release_box_move(Tarvex& app);
// The form the telescope window of the link type uses: the control box for
// the control box link type, the LX200 otherwise.
ScopeResult press_move(Tarvex& app, Direction direction);
ScopeResult release_move(Tarvex& app);

// LX200 focus moves: inward sends "#:F+#", outward "#:F-#"; release "#:FQ#".
ScopeResult press_focus(Tarvex& app, bool inward);
ScopeResult release_focus(Tarvex& app);

// Go-to by catalogue number: Messier, star catalogue (planets) or CNGC. The
// object information is read afterwards. A reply other than '0' is a refusal.
GotoResult goto_object(Tarvex& app, Catalogue catalogue, int number);

// Go-to by coordinates. The mount acknowledges the right ascension and the
// declination with '1' each; both acknowledgements are taken before the
// slew, which is not asked for when either target is refused.
GotoResult goto_coordinates(Tarvex& app, const Coordinates& target);

// Reads the mount's object information into SerialLink::object_info.
// Message 54 when nothing came.
ScopeResult read_object_info(Tarvex& app);

// Sync: sets the target to `target` as a go-to does (each coordinate
// acknowledged with '1'), then ":CM#"; the mount's answer is read and
// dropped. Nothing is synced when either coordinate is refused.
ScopeResult sync_coordinates(Tarvex& app, const Coordinates& target);

// Go-to and sync to a position in the mount's own coordinates, to the
// second: the mount's precision is learned from its ":GR#" answer, a mount
// in low precision is switched with ":U#", the target goes as
// "#:Sr HH:MM:SS#" and "#:Sd sDD*MM:SS#" (each acknowledged with '1'), then
// the slew or ":CM#" as above, and a switched mount is switched back. A
// mount that stays in low precision gets the target in its low-precision
// form; `high_precision` says which form went.
GotoResult goto_position(Tarvex& app, const MountPosition& target, bool& high_precision);
ScopeResult sync_position(Tarvex& app, const MountPosition& target, bool& high_precision);

// Reads where the mount points (":GR#", ":GD#"), in either precision.
// Message 54 when an answer is missing or not a coordinate.
ScopeResult read_position(Tarvex& app, MountPosition& out);

// Reads the site the mount keeps (":Gt#", ":Gg#"): latitude north, and
// longitude turned east-positive (the mount counts it west-positive).
// Message 54 when an answer is missing or not a coordinate.
ScopeResult read_site(Tarvex& app, double& latitude, double& longitude_east);

// The name a go-to by catalogue gives its target: "M31", "NGC 224", a
// planet's name, "Star 12".
std::string catalogue_target_name(Catalogue catalogue, int number);

// Stops every motion of an LX200 (":Q#").
ScopeResult abort_lx200(Tarvex& app);

// Resets the control box: lines cleared, 200 ms, set, 300 ms, bytes 13, 0, 0.
ScopeResult reset_control_box(Tarvex& app);

// The ranges the telescope window accepts.
bool messier_in_range(int number);  // 1..110
bool ngc_in_range(int number);      // 1..7815
// R.A. 0h00 to 23h59, Dec -89 00 to +89 59.
bool coordinates_in_range(const Coordinates& target);
// The star-catalogue number of a planet's button (mercury 901 .. pluto
// 909, any case), or 0 for another name.
int planet_number(std::string_view name);

}  // namespace tarvex
