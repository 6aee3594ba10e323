// The file dialogs' filters and the memory of the filter used last.
//
// The program's filters are written as "description|pattern|description|
// pattern|"; the window's file dialogs want "description (patterns)". The
// translation also makes every pattern match without regard to case ("*.FIT"
// finds "m42.fit") and lets "*.*" match names without a dot, as it does on
// the program's original platform.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

inline constexpr const char* OPEN_FILTER = "Velquor (~*.)|~*.*|FITS files|*.FIT|All Files|*.*|";
inline constexpr const char* RAW_SAVE_FILTER =
    "Velquor (~*.)|~*.*|FITs files|*.FIT|All Files(*.*)|*.*|";
inline constexpr const char* TIFF_FILTER = "Tiff file (*.TIF)|*.TIF|All Files(*.*)|*.*|";
inline constexpr const char* FITS_FILTER = "FITS file (*.FIT)|*.FIT|All Files(*.*)|*.*|";

enum OpenFilterIndex { OPEN_FILTER_RAW = 0, OPEN_FILTER_FITS = 1, OPEN_FILTER_ALL = 2 };

// The description/pattern pairs of a filter, in order. A trailing unpaired
// description is ignored.
struct FilterEntry {
  std::string description;
  std::string pattern;
};
std::vector<FilterEntry> filter_entries(std::string_view filter);

// One entry per description/pattern pair, as "description (pattern)" with the
// pattern made case-blind.
std::vector<std::string> translate_filter(std::string_view filter);

// The names a raw save writes under the raw entry ("~*.*") and the open
// dialogs list under it: the convention's leading '~', or a plain name with
// no extension, as a user types it ("MyDark").
bool raw_file_name(std::string_view name);

// One pattern made case-blind: "*.FIT" becomes "*.[Ff][Ii][Tt]"; ".*" at the
// end is dropped so "*.*" and "~*.*" also match names without a dot.
std::string case_blind_pattern(std::string_view pattern);

// The open dialog's filter after a file was opened: FITS after a file with
// the extension FIT (any case), raw after a name containing '~', else all files.
OpenFilterIndex open_filter_after(const std::filesystem::path& opened);

}  // namespace tarvex
