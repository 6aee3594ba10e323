// The LX200 and control-box command sets and the direction block, byte for
// byte against texts written out by hand.
#include <gtest/gtest.h>

#include "scope/control_box.h"
#include "scope/direction_block.h"
#include "scope/lx200.h"

namespace tarvex {
namespace {

TEST(Lx200Commands, MovesStopsAndCatalogueSelections) {
  EXPECT_EQ(lx200_move('n'), "#:Mn#");
  EXPECT_EQ(lx200_move('w'), "#:Mw#");
  EXPECT_EQ(lx200_stop('e'), "#:Qe#");
  EXPECT_EQ(
      std::string(LX200_STOP_ALL[0]) + LX200_STOP_ALL[1] + LX200_STOP_ALL[2] + LX200_STOP_ALL[3],
      "#:Qn##:Qs##:Qe##:Qw#");
  // Ten bytes each: prefix, four digits, '#'.
  EXPECT_EQ(lx200_select_object(Catalogue::Messier, 31), "#:LM 0031#");
  EXPECT_EQ(lx200_select_object(Catalogue::Star, 906), "#:LS 0906#");
  EXPECT_EQ(lx200_select_object(Catalogue::Ngc, 7815), "#:LC 7815#");
  EXPECT_EQ(lx200_select_object(Catalogue::Ngc, 1), "#:LC 0001#");
  EXPECT_EQ(lx200_select_object(Catalogue::Ngc, 10000), "");
  EXPECT_EQ(lx200_select_object(Catalogue::Messier, -1), "");
}

TEST(Lx200Commands, TargetTextsLeaveTheirClosingHashToTheNextCommand) {
  EXPECT_EQ(lx200_target_ra(5, 35), "#:Sr 05:35.0");
  EXPECT_EQ(lx200_target_ra(23, 59), "#:Sr 23:59.0");
  EXPECT_EQ(lx200_target_ra(0, 0).size(), 12u);
  EXPECT_EQ(lx200_target_dec(false, 41, 16), "#:Sd +41*16");
  EXPECT_EQ(lx200_target_dec(true, 89, 59), "#:Sd -89*59");
  EXPECT_EQ(lx200_target_dec(false, 0, 0).size(), 11u);
  // The sign is what was typed: -0 degrees 30 minutes lies south.
  EXPECT_EQ(lx200_target_dec(true, 0, 30), "#:Sd -00*30");
  EXPECT_EQ(lx200_target_dec(false, 0, 30), "#:Sd +00*30");
}

TEST(Lx200Coordinates, ParsesTheFormsClientsSend) {
  double v = 0;
  EXPECT_TRUE(parse_lx200_ra("05:35:24", v));
  EXPECT_NEAR(v, 5 + 35 / 60.0 + 24 / 3600.0, 1e-9);
  EXPECT_TRUE(parse_lx200_ra("05:35.4", v));
  EXPECT_NEAR(v, 5 + 35.4 / 60.0, 1e-9);
  EXPECT_TRUE(parse_lx200_ra("23:59", v));
  EXPECT_FALSE(parse_lx200_ra("24:00:00", v));
  EXPECT_FALSE(parse_lx200_ra("05:60:00", v));
  EXPECT_FALSE(parse_lx200_ra("05:35:24x", v));
  EXPECT_FALSE(parse_lx200_ra("", v));

  EXPECT_TRUE(parse_lx200_dec("+41*16:09", v));
  EXPECT_NEAR(v, 41 + 16 / 60.0 + 9 / 3600.0, 1e-9);
  EXPECT_TRUE(parse_lx200_dec("-05*27'30", v));
  EXPECT_NEAR(v, -(5 + 27.5 / 60.0), 1e-9);
  EXPECT_TRUE(parse_lx200_dec("-00*30", v));
  EXPECT_NEAR(v, -0.5, 1e-9);
  EXPECT_TRUE(
      parse_lx200_dec("12\xDF"
                      "30:00",
                      v));
  EXPECT_NEAR(v, 12.5, 1e-9);
  EXPECT_TRUE(parse_lx200_dec("-89:59:59", v));
  EXPECT_TRUE(parse_lx200_dec("+90*00", v));
  EXPECT_FALSE(parse_lx200_dec("+90*01", v));
  EXPECT_FALSE(parse_lx200_dec("+45*60", v));
  EXPECT_FALSE(parse_lx200_dec("+45", v));
}

TEST(Lx200Coordinates, FormatsHighAndLowPrecision) {
  EXPECT_EQ(format_lx200_ra(5 + 35 / 60.0 + 24 / 3600.0, true), "05:35:24");
  EXPECT_EQ(format_lx200_ra(5 + 35.4 / 60.0, false), "05:35.4");
  EXPECT_EQ(format_lx200_ra(23.99999, true), "00:00:00");  // rounds round the clock
  EXPECT_EQ(format_lx200_ra(-1.0, true), "23:00:00");
  EXPECT_EQ(format_lx200_dec(-(5 + 27.5 / 60.0), true), "-05*27'30");
  EXPECT_EQ(format_lx200_dec(41.27, false), "+41*16");
  EXPECT_EQ(format_lx200_dec(-0.5, false), "-00*30");
  EXPECT_EQ(format_lx200_dec(0.0, true), "+00*00'00");
}

TEST(ControlBox, DirectionBitsAndWhatEachByteMeans) {
  EXPECT_EQ(control_box_bits('e'), 1);
  EXPECT_EQ(control_box_bits('n'), 2);
  EXPECT_EQ(control_box_bits('s'), 4);
  EXPECT_EQ(control_box_bits('w'), 8);
  EXPECT_EQ(control_box_bits('x'), 0);
  EXPECT_EQ(decode_control_box_byte(8).kind, ControlBoxByte::Select);
  const ControlBoxByte close = decode_control_box_byte(24);
  EXPECT_EQ(close.kind, ControlBoxByte::Close);
  EXPECT_EQ(close.directions, 8);
  EXPECT_EQ(decode_control_box_byte(0).kind, ControlBoxByte::Stop);
  EXPECT_EQ(decode_control_box_byte(13).kind, ControlBoxByte::Reset);
}

std::string block_text(const DirectionBlock& b) {
  return std::string(b.letters.begin(), b.letters.end());
}

TEST(DirectionBlock, FileOrderNorthSouthEastWestBecomesEastWestNorthSouth) {
  DirectionBlock b;
  EXPECT_EQ(block_text(b), "ewnseen1");
  sync_direction_block(b, DriveDirections{false, false}, 1);
  EXPECT_EQ(block_text(b), "ewnseen1");
  sync_direction_block(b, DriveDirections{false, true}, 3);  // Swap e/w
  EXPECT_EQ(block_text(b), "wenseen3");
  EXPECT_EQ(b.letter(Direction::East), 'w');                 // "Right" now moves west
  sync_direction_block(b, DriveDirections{true, false}, 5);  // Swap n/s
  EXPECT_EQ(block_text(b), "ewsneen5");
  // Positions 4..6 are the program's own and are left alone.
  b.current_move() = 's';
  b.last_ra() = 'w';
  sync_direction_block(b, DriveDirections{true, true}, 2);
  EXPECT_EQ(block_text(b), "wesnswn2");
  // Only the four letters are ever set; an unknown port is port 5.
  sync_direction_block(b, DriveDirections{}, 9);
  EXPECT_EQ(block_text(b).substr(0, 4), "ewns");
  EXPECT_EQ(b.port_digit(), '5');
}

TEST(DirectionBlock, PortDigitsOneToFourGiveThatPortAnythingElsePortFive) {
  EXPECT_EQ(port_index('1'), 0);
  EXPECT_EQ(port_index('4'), 3);
  EXPECT_EQ(port_index('5'), 4);
  EXPECT_EQ(port_index('0'), 4);
  EXPECT_EQ(port_index('9'), 4);
}

}  // namespace
}  // namespace tarvex
