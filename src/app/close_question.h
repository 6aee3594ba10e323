// The question asked before the window closes over a changed image, and the
// save it may run.
#pragma once

#include "app/fits_commands.h"
#include "app/tarvex.h"

namespace tarvex {

// Whether the window may close: at once when the image has not changed;
// otherwise the question "Save", "Discard" or "Cancel". "Save" runs the save
// of the kind the image came from, with its usual dialogs: Save as FITS for
// an image from a FITS file, else the KR File save dialog; the window closes
// only once the image was saved. "Cancel", or a save cancelled or failed,
// keeps the window open.
bool may_close(Tarvex& app, FitsDialogs& dialogs);

inline constexpr const char* UNSAVED_IMAGE_QUESTION =
    "The image has changed since it was last opened or saved.\n\nSave it before closing?";

}  // namespace tarvex
