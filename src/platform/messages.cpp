#include "platform/messages.h"

namespace tarvex {

namespace {

constexpr const char* kStandardGeometryValues =
    "Sorry, Values only available in standard Geometry. Ensure Image is not stretched to fit "
    "window or in KR geometry.";
constexpr const char* kDiskSpace = "Unable to create file, check disk space";
constexpr const char* kNotColour = "Image not Colour Converted";
constexpr const char* kFitsNotOurs = "Unable to load FITS file, File was not saved by this program";
constexpr const char* kOverwriteKr = "Unable to create/overwrite KR File";
constexpr const char* kLoadIni = "Unable to load INI file, please delete and try again";
constexpr const char* kSaveIni = "Unable to save INI file, please check disk space";

const char* table_text(unsigned code) {
  switch (code) {
    case 1: return kStandardGeometryValues;
    case 2: return "Sorry, outside Image area - try again";
    case 3:
      return "KR Interface not found.\n\nPort set to default.\n\nIf you have a VQ Camera make sure "
             "all the cables are plugged in and it is switched on. ";
    case 4:
      return "Sorry. Guide star lost.\n\nStar may have moved more than 10 pixels, or has different "
             "intensity to previous reading (+/-5%)";
    case 5:
      return "Sorry. Cannot find suitable guide star\n\nStar must be at least +/-5% of next "
             "brightest.";
    case 6: return kDiskSpace;
    case 7: return kNotColour;
    case 8: return "Failed to create temp bitmap";
    case 9: return "Unable to create temp bitmap file header";
    case 10: return "Unable to create temp bitmap file";
    case 11: return "Failed to Open KR File";
    case 12: return "You didn't choose a valid KR File";
    case 13: return "Unable to load FITS file";
    case 14: return kFitsNotOurs;
    case 15: return kFitsNotOurs;
    case 16: return "Sorry, you didn't choose an KR File";
    case 17: return "Failed to Save KR File";
    case 18: return kOverwriteKr;
    case 19: return kOverwriteKr;
    case 20: return kLoadIni;
    case 21: return kSaveIni;
    case 22: return "Already Colour Converted";
    case 23: return kLoadIni;
    case 24: return kSaveIni;
    case 25: return kNotColour;
    case 26:
      return "MK2 Fast Interface not found, switching to MK1 Interface. \n\nPlease check camera is "
             "attached and cooling power is on before retrying";
    case 27: return kLoadIni;
    case 28: return kSaveIni;
    case 29: return kDiskSpace;
    case 30:
      return "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to "
             "fit window or in KR geometry.";
    case 31: return "Sorry, you are already in Merging mode.";
    case 32: return "Cannot open bitmap file";
    // 33 and 36 had no wording; a box must say what went wrong.
    case 33: return "Sorry, the images could not be lined up on the star";
    case 34: return "Sorry, Nothing found to centre on";
    case 35: return "Find centre failed - outside image area";
    case 36:
      return "Unable to open the LX200 telescope link - check the Com Port setting and the "
             "cable";
    case 51: return "Guiding Terminated";
    case 52: return "Sorry! Mk 2 Controlbox not present. Self-guiding not available";
    case 53: return "You must first take an image and pick a star";
    case 54: return "Communication with telescope failed";
    case 55: return "Darkframe is not binned, image is binned";
    case 56: return "Darkframe is binned, image is not binned";
    case 57: return "Selfguiding interrupted or failed";
    case 58: return "Sorry, Image is not colour converted";
    // Saves that fail for another reason than a full disk say so.
    case 60: return "Unable to create file, the folder is read-only or not writable";
    case 61: return "Unable to create file, every number of the automatic-save series is taken";
    case 62: return "Unable to create file, a folder has the file's name";
    case 63: return "Unable to create file";
    default: return "";  // 0, 37..49, 59, 64 and above: an empty box
  }
}

}  // namespace

std::string message_text(unsigned code, std::string_view caller_text) {
  if (code == MESSAGE_CALLER_TEXT) {
    return std::string(caller_text.substr(0, MESSAGE_CALLER_TEXT_MAX));
  }
  return table_text(code);
}

int show_message(Messages& messages, unsigned code, std::string_view caller_text) {
  return messages.message(code, message_text(code, caller_text));
}

int show_message_because(Messages& messages, unsigned code, std::string_view reason) {
  std::string text = message_text(code);
  if (!reason.empty()) text.append("\n\n").append(reason);
  return messages.message(code, text);
}

}  // namespace tarvex
