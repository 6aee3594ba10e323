// The choices the settings record holds by name. The settings file keeps
// each as letters; only files/settings.cpp converts between the two (and the
// command line, where an option names a link type by its letter).
#pragma once

#include <optional>

namespace tarvex {

// How the telescope is reached: not at all, an LX200-style serial mount, the
// guiding control box on the serial port, or a mount on the INDI network.
// The settings file holds only the serial ones; the INDI choice lives in the
// small settings file (mount.link = indi) beside it.
enum class LinkType { None, Lx200, ControlBox, Indi };

// The link type of a letter as the settings file and the command line write
// it: 'n' none, 'l' LX200, 'b' control box; nothing for any other letter.
std::optional<LinkType> link_type_from_letter(char letter);

// The colour around a picture smaller than the window.
enum class BackgroundColour { Red, LightGray, Gray };

// The swap options of the telescope's drive directions, which reverse the
// buttons and the guide corrections of each axis.
struct DriveDirections {
  bool north_south_swapped = false;
  bool east_west_swapped = false;
  bool operator==(const DriveDirections&) const = default;
};

}  // namespace tarvex
