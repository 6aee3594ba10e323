// Every message the program shows, once: its name, the number it carries (in
// its box, on the command line as "message N: ..." and in tests) and its
// text. The enum Msg and the message table are both made from this list, so a
// message without a text cannot be written. New messages take numbers above
// the highest here.
//
// Number 50 has no text of its own: the caller gives it (at most 498
// characters). Numbers 37 to 49 and 59 are not used.
#pragma once

#define TARVEX_NOT_COLOUR_TEXT "Image not Colour Converted"
#define TARVEX_DISK_SPACE_TEXT "Unable to create file, check disk space"
#define TARVEX_FITS_NOT_OURS_TEXT "Unable to load FITS file, File was not saved by this program"
#define TARVEX_OVERWRITE_KR_TEXT "Unable to create/overwrite KR File"
#define TARVEX_LOAD_INI_TEXT "Unable to load INI file, please delete and try again"
#define TARVEX_SAVE_INI_TEXT "Unable to save INI file, please check disk space"

// X(name, number, text)
#define TARVEX_MESSAGES(X)                                                                       \
  X(ValuesNeedStandardGeometry, 1,                                                               \
    "Sorry, Values only available in standard Geometry. Ensure Image is not stretched to fit "   \
    "window or in KR geometry.")                                                                 \
  X(OutsideImageArea, 2, "Sorry, outside Image area - try again")                                \
  X(CameraInterfaceNotFound, 3,                                                                  \
    "KR Interface not found.\n\nPort set to default.\n\nIf you have a VQ Camera make sure all "  \
    "the cables are plugged in and it is switched on. ")                                         \
  X(GuideStarLost, 4,                                                                            \
    "Sorry. Guide star lost.\n\nStar may have moved more than 10 pixels, or has different "      \
    "intensity to previous reading (+/-5%)")                                                     \
  X(NoSuitableGuideStar, 5,                                                                      \
    "Sorry. Cannot find suitable guide star\n\nStar must be at least +/-5% of next brightest.")  \
  X(CannotCreateFile, 6, TARVEX_DISK_SPACE_TEXT)                                                 \
  X(NotColourConverted, 7, TARVEX_NOT_COLOUR_TEXT)                                               \
  X(TempBitmapFailed, 8, "Failed to create temp bitmap")                                         \
  X(TempBitmapHeaderFailed, 9, "Unable to create temp bitmap file header")                       \
  X(TempBitmapFileFailed, 10, "Unable to create temp bitmap file")                               \
  X(KrFileOpenFailed, 11, "Failed to Open KR File")                                              \
  X(NotAValidKrFile, 12, "You didn't choose a valid KR File")                                    \
  X(FitsLoadFailed, 13, "Unable to load FITS file")                                              \
  X(FitsNotOurs, 14, TARVEX_FITS_NOT_OURS_TEXT)                                                  \
  X(SecondFrameUnreadable, 15, TARVEX_FITS_NOT_OURS_TEXT)                                        \
  X(NotAKrFile, 16, "Sorry, you didn't choose an KR File")                                       \
  X(KrFileSaveFailed, 17, "Failed to Save KR File")                                              \
  X(KrFrameNotWritten, 18, TARVEX_OVERWRITE_KR_TEXT)                                             \
  X(KrPlanesNotWritten, 19, TARVEX_OVERWRITE_KR_TEXT)                                            \
  X(SettingsLoadFailed, 20, TARVEX_LOAD_INI_TEXT)                                                \
  X(SettingsSaveFailed, 21, TARVEX_SAVE_INI_TEXT)                                                \
  X(AlreadyColourConverted, 22, "Already Colour Converted")                                      \
  X(ColourSettingsLoadFailed, 23, TARVEX_LOAD_INI_TEXT)                                          \
  X(ColourSettingsSaveFailed, 24, TARVEX_SAVE_INI_TEXT)                                          \
  X(ColourNotConverted, 25, TARVEX_NOT_COLOUR_TEXT)                                              \
  X(FastInterfaceNotFound, 26,                                                                   \
    "MK2 Fast Interface not found, switching to MK1 Interface. \n\nPlease check camera is "      \
    "attached and cooling power is on before retrying")                                          \
  X(FitsSettingsLoadFailed, 27, TARVEX_LOAD_INI_TEXT)                                            \
  X(FitsSettingsSaveFailed, 28, TARVEX_SAVE_INI_TEXT)                                            \
  X(FitsCannotCreateFile, 29, TARVEX_DISK_SPACE_TEXT)                                            \
  X(MergeNeedsStandardGeometry, 30,                                                              \
    "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to fit "  \
    "window or in KR geometry.")                                                                 \
  X(AlreadyMerging, 31, "Sorry, you are already in Merging mode.")                               \
  X(CannotOpenBitmap, 32, "Cannot open bitmap file")                                             \
  X(CannotLineUpImages, 33, "Sorry, the images could not be lined up on the star")               \
  X(NothingToCentreOn, 34, "Sorry, Nothing found to centre on")                                  \
  X(CentreOutsideImage, 35, "Find centre failed - outside image area")                           \
  X(TelescopeLinkNotOpened, 36,                                                                  \
    "Unable to open the LX200 telescope link - check the Com Port setting and the cable")        \
  X(CallerText, 50, "")                                                                          \
  X(GuidingTerminated, 51, "Guiding Terminated")                                                 \
  X(NoControlBoxForSelfGuiding, 52,                                                              \
    "Sorry! Mk 2 Controlbox not present. Self-guiding not available")                            \
  X(TakeImageAndPickStar, 53, "You must first take an image and pick a star")                    \
  X(TelescopeCommsFailed, 54, "Communication with telescope failed")                             \
  X(DarkNotBinned, 55, "Darkframe is not binned, image is binned")                               \
  X(DarkBinned, 56, "Darkframe is binned, image is not binned")                                  \
  X(SelfGuidingInterrupted, 57, "Selfguiding interrupted or failed")                             \
  X(ImageNotColourConverted, 58, "Sorry, Image is not colour converted")                         \
  /* Saves that fail for another reason than a full disk say so. */                              \
  X(FolderReadOnly, 60, "Unable to create file, the folder is read-only or not writable")        \
  X(SeriesFull, 61, "Unable to create file, every number of the automatic-save series is taken") \
  X(FolderInTheWay, 62, "Unable to create file, a folder has the file's name")                   \
  X(FileNotCreated, 63, "Unable to create file")                                                 \
  /* Solve & Sync and Centre Target. */                                                          \
  X(CentreNoCamera, 64, "Solving needs the camera, and no camera was found")                     \
  X(CentreNoMount, 65,                                                                           \
    "Solving needs a mount that reports its position, syncs and goes to a position: choose "     \
    "the LX200 link and check the Com Port")                                                     \
  X(CentreNoSolver, 66,                                                                          \
    "No plate solver: install astrometry.net and an index package (astrometry-data-tycho2-08 "   \
    "and -09 suit 300 mm)")                                                                      \
  X(CentreFieldTooSmall, 67, "The field is too small for the installed index files")             \
  X(CentreBelowStep, 68,                                                                         \
    "This mount stays in low precision: centring can only reach its step there (0.1 minute "     \
    "of right ascension, 1 arcminute of declination), so a smaller tolerance cannot be met")     \
  X(CentreTargetRefused, 69, "The mount refused the target (below the horizon?)")                \
  X(CentreNotSolved, 70, "The exposure could not be solved")                                     \
  X(CentreSyncFailed, 71, "The mount did not take the sync")                                     \
  X(CentreExposureFailed, 72, "The exposure failed")                                             \
  X(CentreSlewTooLong, 73, "The mount did not come to rest after its slew")                      \
  X(CentreToleranceBelowStep, 74,                                                                \
    "The tolerance is finer than the mount can place a target (1 second of right ascension, "    \
    "1 arcsecond of declination)")
