// The direction block: the letters every telescope move and guide correction
// goes through, so that the swap settings reverse manual moves and guide
// corrections alike.
//
//   position 0  letter of the "Right" button and of a positive x error (east)
//            1  letter of the "Left" button and of a negative x error (west)
//            2  letter of the "Up" button and of a positive y error (north)
//            3  letter of the "Down" button and of a negative y error (south)
//            4  current move letter: the direction of the move being sent
//            5  last right-ascension letter of a guide correction
//            6  last declination letter of a guide correction
//            7  serial port digit '1'..'5'
//
// The settings file keeps positions 0..3 as the drive directions in the
// order north, south, east, west (positions 2, 3, 0, 1), and the port as a
// number; positions 4..6 live in memory only and start as 'e', 'e', 'n'.
#pragma once

#include <array>
#include <cstdint>

namespace tarvex {

// The four buttons, numbered by their position in the block.
enum class Direction { East = 0, West = 1, North = 2, South = 3 };

struct DirectionBlock {
  std::array<char, 8> letters{'e', 'w', 'n', 's', 'e', 'e', 'n', '1'};

  char letter(Direction d) const { return letters[static_cast<std::size_t>(d)]; }
  char& current_move() { return letters[4]; }
  char current_move() const { return letters[4]; }
  char& last_ra() { return letters[5]; }
  char& last_dec() { return letters[6]; }
  char port_digit() const { return letters[7]; }
};

// Sets positions 0..3 from the stored drive directions (n, s, e, w order)
// and position 7 from the port number; positions 4..6 are left alone. A pair
// counts as swapped when it starts with 's' (north/south) or 'w' (east/west),
// as the program defaults dialog shows it, so a damaged file can never send
// a letter other than n, s, e or w.
void sync_direction_block(DirectionBlock& block, const std::array<char, 4>& drive_directions,
                          int com_port);

// The serial library's port number of a port digit: '1'..'4' give 0..3,
// anything else port 4 ("Com Port 5").
int port_index(char port_digit);

// The direction a letter names, for letters n, s, e, w.
bool direction_of_letter(char letter, Direction& out);

}  // namespace tarvex
