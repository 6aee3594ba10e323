// The display pipeline: from the frame store to the picture on show. The
// display bytes are made, the bitmap file written and the window asked to
// load it back; every paint ends with the image histogram recomputed.
#pragma once

#include "app/reported.h"
#include "app/tarvex.h"

namespace tarvex {

// Makes DisplayBytes, sets the window title, writes the bitmap file and asks
// the window to load it back. Reports TempBitmapFailed, TempBitmapHeaderFailed
// or TempBitmapFileFailed when the bitmap cannot be written (once until a
// bitmap is written again), and returns that message each time.
Reported refresh_display(Tarvex& app);

// Rebuilds the picture from the current DisplayBytes without remaking them
// (the Pixel Value box and colour dialogs ask for this).
Reported rebuild_picture(Tarvex& app);

// Recomputes ImageHistogram and BackgroundLevel, as every paint ends.
void after_paint(Tarvex& app);

}  // namespace tarvex
