// The LX200 command set: the texts Tarvex sends to a "Meade LX200 (Tm)"
// mount, and the parsing and formatting of coordinates that the mount side
// of the protocol (the simulated mount) uses. Pure functions, no port.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarvex {

// Rates of press-and-hold moves, and of guide pulses.
inline constexpr const char* LX200_RATE_SLEW = "#:RS#";
inline constexpr const char* LX200_RATE_FIND = "#:RM#";
inline constexpr const char* LX200_RATE_CENTRE = "#:RC#";
inline constexpr const char* LX200_RATE_GUIDE = "#:RG#";
// Focus speeds and moves.
inline constexpr const char* LX200_FOCUS_FAST = "#:FF#";
inline constexpr const char* LX200_FOCUS_SLOW = "#:FS#";
inline constexpr const char* LX200_FOCUS_IN = "#:F+#";
inline constexpr const char* LX200_FOCUS_OUT = "#:F-#";
inline constexpr const char* LX200_FOCUS_STOP = "#:FQ#";
// Object information and the slew to the selected object.
inline constexpr const char* LX200_OBJECT_INFO = "#:LI#";
inline constexpr const char* LX200_SLEW = "#:MS#";
// Sync to the target just set, where the mount points, and halt every motion.
inline constexpr const char* LX200_SYNC = "#:CM#";
inline constexpr const char* LX200_GET_RA = "#:GR#";
inline constexpr const char* LX200_GET_DEC = "#:GD#";
// The site's latitude ("sDD*MM") and longitude ("sDDD*MM", counted west).
inline constexpr const char* LX200_GET_LATITUDE = "#:Gt#";
inline constexpr const char* LX200_GET_LONGITUDE = "#:Gg#";
inline constexpr const char* LX200_HALT = "#:Q#";
// Switches the mount between its high and low precision.
inline constexpr const char* LX200_TOGGLE_PRECISION = "#:U#";
// Every LX200 command text but the halt is this long: '#', ':', two letters, '#'.
inline constexpr std::size_t LX200_COMMAND_LENGTH = 5;
// The object information the mount answers ":LI#" with.
inline constexpr std::size_t OBJECT_INFO_LENGTH = 33;
// The release of a press-and-hold move stops all four directions, in this order.
inline constexpr std::array<const char*, 4> LX200_STOP_ALL = {"#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"};

// "#:Mn#" for 'n', and so on: start moving at the selected rate.
std::string lx200_move(char letter);
// "#:Qn#" for 'n', and so on: stop moving that way.
std::string lx200_stop(char letter);

enum class Catalogue { Messier, Star, Ngc };

// The 10-byte selection of a catalogue object: "#:LM ", "#:LS " or "#:LC ",
// the number as four digits, "#". Empty for numbers outside 0..9999.
std::string lx200_select_object(Catalogue catalogue, int number);

// The 12 bytes "#:Sr HH:MM.0" that set the target right ascension; the
// closing '#' is left to the next command's leading one.
std::string lx200_target_ra(int hours, int minutes);
// The 11 bytes "#:Sd sDD*MM" that set the target declination, the sign
// taken from `negative` (what was typed), not from the degrees, so that
// -0 degrees 30 minutes goes as "-00*30". The closing '#' is left out as above.
std::string lx200_target_dec(bool negative, int degrees, int minutes);

// The target texts of a position in the precision the mount is in, each
// closed by its own '#': "#:Sr HH:MM:SS#" and "#:Sd sDD*MM:SS#" in high
// precision, "#:Sr HH:MM.T#" and "#:Sd sDD*MM#" in low precision.
std::string lx200_position_ra(double hours, bool high_precision);
std::string lx200_position_dec(double degrees, bool high_precision);

// The precision a ":GR#" answer (without its '#') is in: "HH:MM:SS" is high
// (true), "HH:MM.T" low (false); false again for anything else, with
// `recognised` cleared.
bool lx200_answer_is_high_precision(std::string_view ra_answer, bool& recognised);

// A text from the mount as the terminal and the windows show it: up to its
// closing '#', without trailing blanks and NULs, the LX200 degree sign
// (byte 0xDF) as a degree sign, every other byte outside printable ASCII
// escaped as printable_text escapes it.
std::string lx200_shown_text(std::string_view from_mount);

// --- The mount's side of the protocol ---

// Right ascension "HH:MM:SS", "HH:MM.T" or "HH:MM" (hours 0..23) in hours.
bool parse_lx200_ra(std::string_view text, double& hours);
// Declination "sDD*MM:SS", "sDD*MM'SS", "sDD*MM", "sDD:MM:SS", with '*', the
// degree sign (byte 0xDF) or ':' after the degrees, the sign optional
// (degrees -90..90), in degrees.
bool parse_lx200_dec(std::string_view text, double& degrees);
// "HH:MM:SS" (high precision) or "HH:MM.T" (low precision).
// The site longitude as an LX200 answers it, "sDDD*MM" or "DDD*MM" (0..360),
// counted west-positive; `east_degrees` gets it east-positive in -180..180.
bool parse_lx200_longitude(std::string_view text, double& east_degrees);
std::string format_lx200_ra(double hours, bool high_precision);
// "sDD*MM'SS" (high precision) or "sDD*MM" (low precision).
std::string format_lx200_dec(double degrees, bool high_precision);

}  // namespace tarvex
