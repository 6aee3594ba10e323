// The display pipeline: from the frame store to the picture on show. The
// display bytes are made, the bitmap file written and the window asked to
// load it back; every paint ends with the image histogram recomputed.
#pragma once

#include "app/tarvex.h"

namespace tarvex {

// Makes DisplayBytes, sets the window title, writes the bitmap file and asks
// the window to load it back. Returns 0, or the message code it reported
// (8 file not created, 9 header not written, 10 pixels not written).
int refresh_display(Tarvex& app);

// Rebuilds the picture from the current DisplayBytes without remaking them
// (the Pixel Value box and colour dialogs ask for this).
int rebuild_picture(Tarvex& app);

// Recomputes ImageHistogram and BackgroundLevel, as every paint ends.
void after_paint(Tarvex& app);

}  // namespace tarvex
