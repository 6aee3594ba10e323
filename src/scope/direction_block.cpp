#include "scope/direction_block.h"

namespace tarvex {

void sync_direction_block(DirectionBlock& block, const DriveDirections& drive_directions,
                          int com_port) {
  const bool north_south_swapped = drive_directions.north_south_swapped;
  const bool east_west_swapped = drive_directions.east_west_swapped;
  block.letter(Direction::East) = east_west_swapped ? 'w' : 'e';
  block.letter(Direction::West) = east_west_swapped ? 'e' : 'w';
  block.letter(Direction::North) = north_south_swapped ? 's' : 'n';
  block.letter(Direction::South) = north_south_swapped ? 'n' : 's';
  block.port_digit() = (com_port >= 1 && com_port <= 5) ? static_cast<char>('0' + com_port) : '5';
}

int port_index(char port_digit) {
  return (port_digit >= '1' && port_digit <= '4') ? port_digit - '1' : 4;
}

bool direction_of_letter(char letter, Direction& out) {
  switch (letter) {
    case 'e': out = Direction::East; return true;
    case 'w': out = Direction::West; return true;
    case 'n': out = Direction::North; return true;
    case 's': out = Direction::South; return true;
    default: return false;
  }
}

}  // namespace tarvex
