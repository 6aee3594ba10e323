#include "app/commands.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace tarvex {
namespace {

TEST(CommandTable, IdsAreUniqueAndEveryMenuHasItems) {
  std::set<int> ids;
  for (const auto& c : command_table()) EXPECT_TRUE(ids.insert(c.id).second) << c.id;
  for (const auto& menu : menu_bar()) {
    int items = 0;
    for (const auto& c : command_table()) items += c.menu == menu.id && c.text != nullptr;
    EXPECT_GT(items, 0) << menu.title;
  }
  // Every accelerator belongs to exactly one command.
  std::set<std::string> keys;
  for (const auto& c : command_table()) {
    for (const char* key : {c.accelerator, c.accelerator2}) {
      if (key != nullptr) {
        EXPECT_TRUE(keys.insert(key).second) << key;
      }
    }
  }
  // The program's 14 commands with keys (Exit has two), then F1 for help and
  // the zoom keys (Zoom In answers Ctrl++ and, unshifted, Ctrl+=).
  EXPECT_EQ(keys.size(), 20u);
}

TEST(CommandTable, EverydayAdditionsLeaveTheProgramsOwnCommandsAlone) {
  // The additions take ids of their own and keys no original command used.
  for (int id : {CM_EXPORT_STANDARD_FITS, CM_EXPORT_TIFF16, CM_ZOOM_IN, CM_ZOOM_OUT, CM_ZOOM_ACTUAL,
                 CM_ABOUT})
    EXPECT_GT(id, CM_QUICK_SAVE_FITS) << id;
  EXPECT_STREQ(find_command(CM_HELP)->text, "Help in using Tarvex");
  EXPECT_STREQ(find_command(CM_HELP)->accelerator, "F1");
  EXPECT_STREQ(find_command(CM_ZOOM_IN)->accelerator, "Ctrl++");
  EXPECT_STREQ(find_command(CM_ZOOM_OUT)->accelerator, "Ctrl+-");
  EXPECT_STREQ(find_command(CM_ZOOM_ACTUAL)->accelerator, "Ctrl+0");
  // File > Export holds the two exports; Recent Files follows Open.
  int exports = 0;
  for (const auto& c : command_table()) exports += c.menu == MenuId::Export;
  EXPECT_EQ(exports, 2);
  ASSERT_EQ(submenus().size(), 2u);
  for (const auto& sub : submenus()) {
    EXPECT_EQ(sub.parent, MenuId::File);
    EXPECT_EQ(find_command(sub.after)->menu, MenuId::File);
  }
  // Mnemonics stay unique within the File and View menus with the additions.
  for (MenuId menu : {MenuId::File, MenuId::View, MenuId::Help}) {
    std::set<char> letters;
    auto unique = [&](const char* text) {
      const char m = static_cast<char>(std::tolower(menu_mnemonic(text)));
      return m == 0 || letters.insert(m).second;
    };
    for (const auto& c : command_table()) {
      if (c.menu == menu && c.text) {
        EXPECT_TRUE(unique(c.text)) << c.text;
      }
    }
    for (const auto& sub : submenus()) {
      if (sub.parent == menu) {
        EXPECT_TRUE(unique(sub.title)) << sub.title;
      }
    }
  }
}

TEST(CommandTable, TextsAcceleratorsAndMenus) {
  const CommandInfo* open = find_command(CM_OPEN);
  ASSERT_NE(open, nullptr);
  EXPECT_STREQ(open->text, "&Open...");
  EXPECT_STREQ(open->accelerator, "Ctrl+O");
  EXPECT_EQ(menu_mnemonic(open->text), 'O');
  const CommandInfo* exit = find_command(CM_EXIT);
  EXPECT_STREQ(exit->accelerator, "Alt+X");
  EXPECT_STREQ(exit->accelerator2, "Alt+F9");
  EXPECT_EQ(find_command(CM_CAMERA)->accelerator, std::string("Ctrl+Z"));
  EXPECT_EQ(find_command(CM_SYNTHESIZE_COLOUR)->accelerator, std::string("Ctrl+C"));
  EXPECT_EQ(find_command(CM_HISTOGRAM)->menu, MenuId::Histogram);
  EXPECT_EQ(find_command(CM_COPY_CLIPBOARD)->text, nullptr);
  EXPECT_EQ(find_command(12345), nullptr);
  // A doubled '&' is a literal ampersand, not a mnemonic.
  EXPECT_EQ(menu_mnemonic("Salt && &Pepper"), 'P');
  EXPECT_EQ(menu_mnemonic("Focus Frame Centre"), 0);
}

TEST(CommandTable, HintsAndToolBar) {
  EXPECT_EQ(command_hint(24332), "Get an image from Disk");
  EXPECT_EQ(command_hint(1000), "Main KR9C Camera Control");
  EXPECT_EQ(command_hint(9), "");
  const auto bar = tool_bar();
  ASSERT_EQ(bar.size(), 20u);
  EXPECT_EQ(bar[0].command, CM_SAVE);
  EXPECT_EQ(bar[1].bitmap, 24336);
  EXPECT_EQ(bar[1].command, CM_SAVE_FITS);
  int separators = 0;
  for (const auto& b : bar) separators += b.separator_before;
  EXPECT_EQ(separators, 6);
  for (const auto& b : bar) EXPECT_NE(find_command(b.command), nullptr) << b.command;
}

TEST(CommandTable, EnablingRules) {
  CommandState s;
  s.has_operation = true;
  for (int id : {CM_START_GUIDING, CM_TRAIN_GUIDING, CM_TELESCOPE_CONTROL}) {
    const CommandInfo& c = *find_command(id);
    s.telescope_type = LinkType::None;
    EXPECT_FALSE(command_enabled(c, s)) << id;
    s.telescope_type = LinkType::Lx200;
    EXPECT_TRUE(command_enabled(c, s)) << id;
    s.telescope_type = LinkType::ControlBox;
    EXPECT_TRUE(command_enabled(c, s)) << id;
  }
  const CommandInfo& copy = *find_command(CM_COPY_CLIPBOARD);
  s.picture_loaded = false;
  EXPECT_FALSE(command_enabled(copy, s));
  s.picture_loaded = true;
  EXPECT_TRUE(command_enabled(copy, s));
  // No operation yet, or a long operation running: disabled.
  const CommandInfo& open = *find_command(CM_OPEN);
  EXPECT_TRUE(command_enabled(open, s));
  s.busy = true;
  EXPECT_FALSE(command_enabled(open, s));
  s.busy = false;
  s.has_operation = false;
  EXPECT_FALSE(command_enabled(open, s));
  // Zoom works only out of Fit to window.
  s.has_operation = true;
  const CommandInfo& zoom = *find_command(CM_ZOOM_IN);
  EXPECT_TRUE(command_enabled(zoom, s));
  s.fit_to_window = true;
  EXPECT_FALSE(command_enabled(zoom, s));
  EXPECT_TRUE(command_enabled(open, s));
}

}  // namespace
}  // namespace tarvex
