// What the program does once when it starts, and the tidying of its folders.
#pragma once

#include "app/tarvex.h"

namespace tarvex {

// Start-up: load the settings (the result is ignored, as at every start),
// remove what killed saves left, fill the frame store with its ramp and
// show the first picture.
void start_up(Tarvex& app);

// Removes the temporary files that killed saves left in the program's own
// folders: the data root, the automatic-save folder and its sub-folder.
void remove_stale_temporary_files(const Tarvex& app);

}  // namespace tarvex
