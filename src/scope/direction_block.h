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
// Positions 0..3 follow the drive direction swaps of the settings and the
// port digit the port number; positions 4..6 live in memory only and start
// as 'e', 'e', 'n'. Direction names positions 0..3, BlockSlot the others.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "files/settings_choices.h"

namespace tarvex {

// The four buttons, numbered by their position in the block.
enum class Direction { East = 0, West = 1, North = 2, South = 3 };

// The positions after the four buttons' letters.
enum class BlockSlot : std::size_t { CurrentMove = 4, LastRa = 5, LastDec = 6, PortDigit = 7 };

struct DirectionBlock {
  std::array<char, 8> letters{'e', 'w', 'n', 's', 'e', 'e', 'n', '1'};

  char letter(Direction d) const { return letters[static_cast<std::size_t>(d)]; }
  char& letter(Direction d) { return letters[static_cast<std::size_t>(d)]; }
  char& at(BlockSlot s) { return letters[static_cast<std::size_t>(s)]; }
  char at(BlockSlot s) const { return letters[static_cast<std::size_t>(s)]; }
  char& current_move() { return at(BlockSlot::CurrentMove); }
  char current_move() const { return at(BlockSlot::CurrentMove); }
  char& last_ra() { return at(BlockSlot::LastRa); }
  char& last_dec() { return at(BlockSlot::LastDec); }
  char& port_digit() { return at(BlockSlot::PortDigit); }
  char port_digit() const { return at(BlockSlot::PortDigit); }
};

// Sets the four buttons' letters from the drive direction swaps and the
// port digit from the port number; the other slots are left alone. Only the
// letters n, s, e and w can ever be set.
void sync_direction_block(DirectionBlock& block, const DriveDirections& drive_directions,
                          int com_port);

// The serial library's port number of a port digit: '1'..'4' give 0..3,
// anything else port 4 ("Com Port 5").
int port_index(char port_digit);

// The direction a letter names, for letters n, s, e, w.
bool direction_of_letter(char letter, Direction& out);

}  // namespace tarvex
