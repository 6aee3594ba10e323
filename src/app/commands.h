// The command table of the main window: every menu command with its menu,
// text, mnemonic, accelerators and status-bar hint, the tool bar, and the
// rules that enable each command. The Qt window builds its menus from this
// table; tarvex-cli and the tests read the same data.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "files/settings_choices.h"

namespace tarvex {

// Command identifiers (fixed numbers shared with dialogs that post commands).
enum CommandId : int {
  CM_NORMAL_STRETCH = 1,
  CM_POWER_STRETCH = 2,
  CM_MEDIAN = 3,
  CM_GAUSSIAN = 4,
  CM_WEIGHTED_MEAN = 5,
  CM_HISTOGRAM = 6,
  CM_BAS_RELIEF = 7,
  CM_LABEL_IMAGE = 8,
  CM_UNDO = 9,
  CM_UNDO_COLOUR = 10,
  CM_CAMERA = 12,
  CM_DELETE = 13,
  CM_MIRROR = 14,
  CM_GRADIENT = 15,
  CM_PICK_GUIDE_STAR = 16,
  CM_SELECT_DARK = 17,
  CM_AUTO_CONTRAST = 18,
  CM_FOCUS_CENTRE = 19,
  CM_DEFAULT_FOCUS_CENTRE = 20,
  CM_MAX_PALETTE_STRETCH = 21,
  CM_VERTICAL_SMOOTHING = 22,
  CM_SINE_STRETCH = 101,
  CM_LOG_STRETCH = 102,
  CM_REMOVE_BACKGROUND = 103,
  CM_ANTILOG_STRETCH = 104,
  CM_NEGATIVE = 105,
  CM_UNSHARP = 106,
  CM_HIGH_PASS_LOW_POWER = 107,
  CM_HIGH_PASS_HIGH_POWER = 108,
  CM_SMOOTHER_SHARPER = 109,
  CM_SUBTRACT_DARK = 110,
  CM_MERGE = 111,
  CM_HELP = 112,
  CM_ANTI_ALIAS = 114,
  CM_SYNTHESIZE_COLOUR = 115,
  CM_COLOUR_BALANCE = 116,
  CM_FLAT_FIELD = 117,
  CM_NON_LINEAR_STRETCH = 118,
  CM_CHROMATISM = 119,
  CM_PRINT_SETUP = 120,
  CM_PRINT = 121,
  CM_PROGRAM_DEFAULTS = 122,
  CM_FITS_DETAILS = 123,
  CM_SHOW_VALUES = 124,
  CM_START_GUIDING = 125,
  CM_TRAIN_GUIDING = 126,
  CM_TELESCOPE_CONTROL = 127,
  CM_COLOUR_OVERLOAD = 128,
  CM_LOW_PASS_COLOUR = 129,
  CM_BALANCE_COLOUR_HISTOGRAM = 130,
  CM_FIT_TO_WINDOW = 301,
  CM_AUTOSAVE_FITS_TEXT = 516,
  CM_PROCESSING_HISTORY = 522,
  CM_APPLY_STRETCH_NO_REDISPLAY = 888,
  CM_APPLY_STRETCH = 889,
  CM_FOCUS_STEP = 890,
  CM_REALISE_PALETTE = 891,
  CM_STRETCH_POSTED = 892,
  CM_REBUILD_PICTURE = 899,
  CM_MAX_STRETCH_ALL = 1901,
  CM_MAX_STRETCH_FOCUS_ONLY = 1902,
  CM_EXIT = 24310,
  CM_COPY_CLIPBOARD = 24323,
  CM_OPEN = 24332,
  CM_SAVE = 24333,
  CM_SAVE_TIFF = 24334,
  CM_SAVE_FITS = 24335,
  CM_SAVE_FLAT = 24336,
  CM_QUICK_SAVE_FITS = 24337,
  // Everyday additions beyond the original command set: File > Export, the
  // zoom of the picture and Help > About.
  CM_EXPORT_STANDARD_FITS = 30001,
  CM_EXPORT_TIFF16 = 30002,
  CM_STACK_FILES = 30003,
  CM_ZOOM_IN = 30011,
  CM_ZOOM_OUT = 30012,
  CM_ZOOM_ACTUAL = 30013,
  CM_ABOUT = 30021,
  CM_SOLVE_IMAGE = 30031,
};

// Where a command appears. `Histogram` is the menu bar's own item; `Export`
// and `RecentFiles` are sub-menus (see submenus()).
enum class MenuId {
  None,
  File,
  Edit,
  View,
  Colour,
  Contrast,
  Filters,
  Merge,
  Histogram,
  Help,
  Export,
  RecentFiles,
};

// What, beyond having an operation, a command needs to be enabled.
enum class EnableRule {
  Always,
  Telescope,  // only while a telescope link type is chosen
  Picture,    // only while a picture is loaded
  Zoom,       // only out of Fit to window
};

struct CommandInfo {
  int id;
  MenuId menu;
  const char* text;          // menu text with '&' before the mnemonic; nullptr: no menu item
  const char* accelerator;   // key sequence ("Ctrl+O"), or nullptr
  const char* accelerator2;  // a second key sequence, or nullptr
  EnableRule rule;
  bool checkable;  // shows a check mark while its state is on
};

// Every command, in menu order within each menu.
std::span<const CommandInfo> command_table();
const CommandInfo* find_command(int id);

// The menu bar's titles, in order (with mnemonics), and the menu of each.
struct MenuInfo {
  MenuId id;
  const char* title;
};
std::span<const MenuInfo> menu_bar();

// A sub-menu: its title and where it sits, after the item of command `after`
// in its parent menu. File > Recent Files lists files, not commands: the
// window fills it.
struct SubmenuInfo {
  MenuId id;
  MenuId parent;
  const char* title;
  int after;
};
std::span<const SubmenuInfo> submenus();

// The status-bar hint of a command or tool-bar bitmap (empty when none).
std::string_view command_hint(int id);

// A tool-bar button; a separator comes before it when `separator_before`.
struct ToolButton {
  int bitmap;
  int command;
  bool separator_before;
};
std::span<const ToolButton> tool_bar();

// What the enabling rules look at.
struct CommandState {
  bool has_operation = false;  // the command's operation exists in this build
  LinkType telescope_type = LinkType::None;
  bool picture_loaded = false;
  bool busy = false;  // a long operation is running
  bool fit_to_window = false;
};

// Whether the command can be chosen now. While a long operation runs no
// command starts.
bool command_enabled(const CommandInfo& command, const CommandState& state);

// The mnemonic letter of a menu text (the character after the first single
// '&'), or 0 when it has none.
char menu_mnemonic(std::string_view text);

}  // namespace tarvex
