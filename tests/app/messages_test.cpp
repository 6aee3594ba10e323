#include "platform/messages.h"

#include <gtest/gtest.h>

#include "platform/basic_ports.h"

namespace tarvex {
namespace {

TEST(Messages, TableTextsAndSharedTexts) {
  EXPECT_EQ(message_text(12), "You didn't choose a valid KR File");
  EXPECT_EQ(message_text(3),
            "KR Interface not found.\n\nPort set to default.\n\nIf you have a VQ Camera make sure "
            "all the cables are plugged in and it is switched on. ");
  EXPECT_EQ(message_text(56), "Darkframe is binned, image is not binned");
  // Codes that share one text show identical boxes.
  const std::vector<std::vector<unsigned>> groups = {{14, 15},     {18, 19}, {20, 23, 27},
                                                     {21, 24, 28}, {7, 25},  {6, 29}};
  for (const auto& g : groups) {
    for (unsigned code : g) EXPECT_EQ(message_text(code), message_text(g[0])) << code;
    EXPECT_FALSE(message_text(g[0]).empty());
  }
  EXPECT_NE(message_text(7), message_text(58));
}

TEST(Messages, CodesWithoutTextShowAnEmptyBox) {
  for (unsigned code : {0u, 37u, 40u, 49u, 59u, 75u, 1000u}) {
    EXPECT_EQ(message_text(code, "ignored"), "") << code;
  }
  // Every code 1..58 apart from the empty ones has a text; 33 (centring on
  // a star failed) and 36 (the LX200 link could not be opened) have ours.
  for (unsigned code = 1; code <= 58; ++code) {
    const bool empty = code >= 37 && code <= 50;
    EXPECT_EQ(message_text(code).empty(), empty) << code;
  }
}

TEST(Messages, CallerTextIsCappedAt498) {
  const std::string longer(600, 'x');
  EXPECT_EQ(message_text(50, longer).size(), 498u);
  EXPECT_EQ(message_text(50, "x position =     5"), "x position =     5");
  RecordingMessages rec;
  EXPECT_EQ(show_message(rec, Msg::CallerText, longer), 0);
  ASSERT_EQ(rec.shown.size(), 1u);
  EXPECT_EQ(rec.shown[0].code, 50u);
  EXPECT_EQ(rec.shown[0].caption, "Tarvex");
  EXPECT_EQ(rec.shown[0].text, std::string(498, 'x'));
  show_message(rec, static_cast<Msg>(37));  // a number with no message
  EXPECT_EQ(rec.shown[1].text, "");
}

}  // namespace
}  // namespace tarvex
