#include "app/commands.h"

#include <array>

namespace tarvex {

namespace {

using M = MenuId;
using R = EnableRule;

constexpr CommandInfo kCommands[] = {
    // File
    {CM_OPEN, M::File, "&Open...", "Ctrl+O", nullptr, R::Always, false},
    {CM_SAVE, M::File, "&Save...", "Ctrl+S", nullptr, R::Always, false},
    {CM_SAVE_TIFF, M::File, "Save as &Tiff File...", nullptr, nullptr, R::Always, false},
    {CM_SAVE_FITS, M::File, "S&ave as FITS", nullptr, nullptr, R::Always, false},
    {CM_SAVE_FLAT, M::File, "Sa&ve as Flatfield", nullptr, nullptr, R::Always, false},
    {CM_QUICK_SAVE_FITS, M::File, "&Quick Save as FITS  ", "Ctrl+Q", nullptr, R::Always, false},
    {CM_DELETE, M::File, "&Delete", nullptr, nullptr, R::Always, false},
    {CM_AUTOSAVE_FITS_TEXT, M::File, "&Load/Edit AutoSave FITS text", nullptr, nullptr, R::Always,
     false},
    {CM_SELECT_DARK, M::File, "Select Dark &Frame", nullptr, nullptr, R::Always, false},
    {CM_STACK_FILES, M::File, "Sta&ck Files...", nullptr, nullptr, R::Always, false},
    {CM_PROGRAM_DEFAULTS, M::File, "Set Program Defa&ults", nullptr, nullptr, R::Always, false},
    {CM_CAMERA, M::File, "Kr Camera &Interface", "Ctrl+Z", nullptr, R::Always, false},
    {CM_PICK_GUIDE_STAR, M::File, "Pic&k Guide Star", "Ctrl+P", nullptr, R::Always, true},
    {CM_FOCUS_CENTRE, M::File, "Focus Frame Centre", "Ctrl+W", nullptr, R::Always, false},
    {CM_DEFAULT_FOCUS_CENTRE, M::File, "Default Focus Frame Centre", nullptr, nullptr, R::Always,
     false},
    {CM_START_GUIDING, M::File, "Start Auto-Guiding", nullptr, nullptr, R::Telescope, false},
    {CM_TRAIN_GUIDING, M::File, "Train Auto-Guiding", nullptr, nullptr, R::Telescope, false},
    {CM_TELESCOPE_CONTROL, M::File, "Telescope Control", nullptr, nullptr, R::Telescope, false},
    {CM_PRINT_SETUP, M::File, "P&rint Setup", nullptr, nullptr, R::Always, false},
    {CM_PRINT, M::File, "&Print", nullptr, nullptr, R::Always, false},
    {CM_EXIT, M::File, "E&xit", "Alt+X", "Alt+F9", R::Always, false},
    // Edit
    {CM_UNDO, M::Edit, "&Undo Last Filter", "Ctrl+U", nullptr, R::Always, false},
    {CM_UNDO_COLOUR, M::Edit, "Undo Last Colour &Filter", "Ctrl+R", nullptr, R::Always, false},
    {CM_LABEL_IMAGE, M::Edit, "&Label Image", "Ctrl+L", nullptr, R::Always, false},
    // View
    {CM_FIT_TO_WINDOW, M::View, "&Fit to window", nullptr, nullptr, R::Always, true},
    {CM_MIRROR, M::View, "&Mirror image", nullptr, nullptr, R::Always, false},
    {CM_AUTO_CONTRAST, M::View, "&Auto contrast stretch image", nullptr, nullptr, R::Always, true},
    {CM_MAX_PALETTE_STRETCH, M::View, "Max Palette Stretch", nullptr, nullptr, R::Always, false},
    {CM_PROCESSING_HISTORY, M::View, "Processing &History", nullptr, nullptr, R::Always, false},
    {CM_FITS_DETAILS, M::View, "&Show/Edit Current Image FITS details", nullptr, nullptr, R::Always,
     false},
    {CM_SOLVE_IMAGE, M::View, "So&lve Image (where it points)", nullptr, nullptr, R::Always, false},
    {CM_SHOW_VALUES, M::View, "Show &Values", nullptr, nullptr, R::Always, false},
    {CM_ZOOM_IN, M::View, "Zoom &In", "Ctrl++", "Ctrl+=", R::Zoom, false},
    {CM_ZOOM_OUT, M::View, "Zoom &Out", "Ctrl+-", nullptr, R::Zoom, false},
    {CM_ZOOM_ACTUAL, M::View, "Zoom &1:1", "Ctrl+0", nullptr, R::Zoom, false},
    // Colour
    {CM_SYNTHESIZE_COLOUR, M::Colour, "&Synthesize Colour Image", "Ctrl+C", nullptr, R::Always,
     false},
    {CM_COLOUR_BALANCE, M::Colour, "Set Colour &Balance", "Ctrl+B", nullptr, R::Always, false},
    {CM_ANTI_ALIAS, M::Colour, "&Apply Anti-Alias Filter", nullptr, nullptr, R::Always, false},
    {CM_CHROMATISM, M::Colour, "Adjust Chroma&tism", nullptr, nullptr, R::Always, false},
    {CM_COLOUR_OVERLOAD, M::Colour, "Colour &Overload Smoothing", nullptr, nullptr, R::Always,
     false},
    {CM_LOW_PASS_COLOUR, M::Colour, "&Low Pass Colour Filter ", nullptr, nullptr, R::Always, false},
    {CM_BALANCE_COLOUR_HISTOGRAM, M::Colour, "Balance Colour &Histogram", nullptr, nullptr,
     R::Always, false},
    // Contrast
    {CM_NORMAL_STRETCH, M::Contrast, "&Normal Stretch", "Ctrl+N", nullptr, R::Always, false},
    {CM_POWER_STRETCH, M::Contrast, "&Power Law Stretch", nullptr, nullptr, R::Always, false},
    {CM_SINE_STRETCH, M::Contrast, "&Sine Law Stretch", nullptr, nullptr, R::Always, false},
    {CM_REMOVE_BACKGROUND, M::Contrast, "&Remove Background", nullptr, nullptr, R::Always, false},
    {CM_NON_LINEAR_STRETCH, M::Contrast, "N&on-Linear Stretch", nullptr, nullptr, R::Always, false},
    {CM_LOG_STRETCH, M::Contrast, "&Logarithmic Stretch", nullptr, nullptr, R::Always, false},
    {CM_ANTILOG_STRETCH, M::Contrast, "&Antilogarithmic Stretch", nullptr, nullptr, R::Always,
     false},
    {CM_NEGATIVE, M::Contrast, "&Invert image to Negative", nullptr, nullptr, R::Always, false},
    // Filters
    {CM_UNSHARP, M::Filters, "&Unsharp masking HPF", nullptr, nullptr, R::Always, false},
    {CM_HIGH_PASS_LOW_POWER, M::Filters, "&High Pass, Low Power", nullptr, nullptr, R::Always,
     false},
    {CM_HIGH_PASS_HIGH_POWER, M::Filters, "High Pass, High &Power", nullptr, nullptr, R::Always,
     false},
    {CM_SMOOTHER_SHARPER, M::Filters, "&Smoother/Sharper Filter", nullptr, nullptr, R::Always,
     false},
    {CM_MEDIAN, M::Filters, "&Median Filter - Noise Reduction", nullptr, nullptr, R::Always, false},
    {CM_GAUSSIAN, M::Filters, "&Gaussian Smoother Filter", nullptr, nullptr, R::Always, false},
    {CM_WEIGHTED_MEAN, M::Filters, "Low Pass &Weighted Mean &Smoother", nullptr, nullptr, R::Always,
     false},
    {CM_BAS_RELIEF, M::Filters, "&Bas Relief Generator", nullptr, nullptr, R::Always, false},
    {CM_GRADIENT, M::Filters, "Gradient &Filter", nullptr, nullptr, R::Always, false},
    {CM_VERTICAL_SMOOTHING, M::Filters, "&Vertical Smoothing", nullptr, nullptr, R::Always, false},
    // Merge
    {CM_SUBTRACT_DARK, M::Merge, "&Subtract Images (Dark Frame)", nullptr, nullptr, R::Always,
     false},
    {CM_FLAT_FIELD, M::Merge, "&Apply Flat Field", nullptr, nullptr, R::Always, false},
    {CM_MERGE, M::Merge, "&Merge two images together", nullptr, nullptr, R::Always, false},
    // The menu bar's own item
    {CM_HISTOGRAM, M::Histogram, "&Histogram", "Ctrl+H", nullptr, R::Always, false},
    // Help
    {CM_HELP, M::Help, "Help in using Tarvex", "F1", nullptr, R::Always, false},
    {CM_ABOUT, M::Help, "&About Tarvex", nullptr, nullptr, R::Always, false},
    // File > Export
    {CM_EXPORT_STANDARD_FITS, M::Export, "Standard &FITS...", nullptr, nullptr, R::Always, false},
    {CM_EXPORT_TIFF16, M::Export, "16-bit &TIFF...", nullptr, nullptr, R::Always, false},
    // Commands without a menu item
    {CM_MAX_STRETCH_ALL, M::None, nullptr, nullptr, nullptr, R::Always, false},
    {CM_MAX_STRETCH_FOCUS_ONLY, M::None, nullptr, nullptr, nullptr, R::Always, false},
    {CM_COPY_CLIPBOARD, M::None, nullptr, nullptr, nullptr, R::Picture, false},
    {CM_APPLY_STRETCH_NO_REDISPLAY, M::None, nullptr, nullptr, nullptr, R::Always, false},
    {CM_APPLY_STRETCH, M::None, nullptr, nullptr, nullptr, R::Always, false},
    {CM_FOCUS_STEP, M::None, nullptr, nullptr, nullptr, R::Always, false},
    {CM_REALISE_PALETTE, M::None, nullptr, nullptr, nullptr, R::Always, false},
    {CM_STRETCH_POSTED, M::None, nullptr, nullptr, nullptr, R::Always, false},
    {CM_REBUILD_PICTURE, M::None, nullptr, nullptr, nullptr, R::Always, false},
};

constexpr MenuInfo kMenus[] = {
    {M::File, "&File"},     {M::Edit, "&Edit"},           {M::View, "&View"},
    {M::Colour, "&Colour"}, {M::Contrast, "C&ontrast"},   {M::Filters, "F&ilters"},
    {M::Merge, "&Merge"},   {M::Histogram, "&Histogram"}, {M::Help, "H&elp"},
};

constexpr SubmenuInfo kSubmenus[] = {
    {M::RecentFiles, M::File, "Rece&nt Files", CM_OPEN},
    {M::Export, M::File, "&Export", CM_QUICK_SAVE_FITS},
};

struct Hint {
  int id;
  const char* text;
};

constexpr Hint kHints[] = {
    {1, "Adjust the Contrast manually. setting max and min values"},
    {2, "Power Law contrast stretch"},
    {3, "Median Filter - use to reduce electronic noise in image"},
    {12, "Main Camera Control"},
    {17, "Select a file to be used as a dark frame for automatic processing"},
    {103, "Automatically make background black"},
    {106, "Apply an unsharp mask - good for enhancing planetary detail"},
    {110, "Subtract a dark frame from currently displayed image"},
    {111, "Merge current image with one already saved"},
    {114, "Remove colour fringes by applying Anti Alias Filter"},
    {116, "Set colours relative to each other by setting Colour Balance"},
    {117, "Apply a flatfield to the currently displayed image"},
    {118, "Apply a non-linear stretch - good for nebulae"},
    {119, "Adjust colour planes relative to each other"},
    {122, "View and change most program variables"},
    {124, "Show Values of each Pixel, and display colour planes"},
    {127, "Control a LX200 telescope or Autoguider port"},
    {129, "Smooth colour irregularities with a low pass filter"},
    {1000, "Main KR9C Camera Control"},
    {1001, "AutoGuider Camera Control"},
    {1901, "Use Max Palette Stretch on all Images"},
    {1902, "Only use Max Palette Stretch on Focus Images"},
    {24332, "Get an image from Disk"},
    {24333, "Save Image in Raw data format"},
    {24335, "Save Image as a FITs file"},
    {CM_EXPORT_STANDARD_FITS, "Export the image as a standard FITS file for other programs"},
    {CM_EXPORT_TIFF16, "Export every sample of the image as a 16-bit TIFF file"},
    {CM_STACK_FILES, "Calibrate, align and stack a night's files with outlier rejection"},
    {CM_ZOOM_IN, "Show the picture larger"},
    {CM_ZOOM_OUT, "Show the picture smaller"},
    {CM_ZOOM_ACTUAL, "Show the picture at its own size"},
    {CM_ABOUT, "Version, licences and the data folder"},
};

constexpr ToolButton kToolBar[] = {
    {24333, CM_SAVE, false},
    {24336, CM_SAVE_FITS, false},
    {24332, CM_OPEN, false},
    {1000, CM_CAMERA, true},
    {1002, CM_MAX_STRETCH_ALL, true},
    {1003, CM_MAX_STRETCH_FOCUS_ONLY, false},
    {122, CM_PROGRAM_DEFAULTS, true},
    {124, CM_SHOW_VALUES, true},
    {116, CM_COLOUR_BALANCE, false},
    {114, CM_ANTI_ALIAS, false},
    {129, CM_LOW_PASS_COLOUR, false},
    {1, CM_NORMAL_STRETCH, true},
    {118, CM_NON_LINEAR_STRETCH, false},
    {2, CM_POWER_STRETCH, false},
    {103, CM_REMOVE_BACKGROUND, false},
    {106, CM_UNSHARP, false},
    {3, CM_MEDIAN, false},
    {110, CM_SUBTRACT_DARK, true},
    {117, CM_FLAT_FIELD, false},
    {111, CM_MERGE, false},
};

}  // namespace

std::span<const CommandInfo> command_table() {
  return kCommands;
}

const CommandInfo* find_command(int id) {
  for (const auto& c : kCommands)
    if (c.id == id) return &c;
  return nullptr;
}

std::span<const MenuInfo> menu_bar() {
  return kMenus;
}

std::span<const SubmenuInfo> submenus() {
  return kSubmenus;
}

std::string_view command_hint(int id) {
  for (const auto& h : kHints)
    if (h.id == id) return h.text;
  return {};
}

std::span<const ToolButton> tool_bar() {
  return kToolBar;
}

bool command_enabled(const CommandInfo& command, const CommandState& state) {
  if (!state.has_operation || state.busy) return false;
  switch (command.rule) {
    case EnableRule::Always: return true;
    case EnableRule::Telescope: return state.telescope_type != LinkType::None;
    case EnableRule::Picture: return state.picture_loaded;
    case EnableRule::Zoom: return !state.fit_to_window;
  }
  return false;
}

char menu_mnemonic(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1];
  }
  return 0;
}

}  // namespace tarvex
