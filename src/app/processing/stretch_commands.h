// The Contrast menu's commands as the main window runs them: build the
// table, apply it with the progress window "CONTRAST STRETCH", redisplay,
// then write the history line.
#pragma once

#include "app/tarvex.h"

namespace tarvex {

// Internal commands 889 (redisplay set) and 888: apply StretchTable to
// CurrentFrame with the progress window and busy cursor.
void stretch_table_command(Tarvex& app, bool redisplay);

// Each returns true when the image was stretched, false when the command
// did nothing (values that leave the image as it is).
// "&Normal Stretch" after its dialog's OK; nothing when black >= white.
bool normal_stretch_command(Tarvex& app, unsigned black, unsigned white);
// "&Power Law Stretch" after OK; nothing when gamma is exactly 1.0.
bool power_stretch_command(Tarvex& app, double gamma);
bool sine_stretch_command(Tarvex& app);
bool log_stretch_command(Tarvex& app);
bool antilog_stretch_command(Tarvex& app);
bool invert_command(Tarvex& app);
// "&Remove Background" (redisplay set) and colour synthesis (clear); nothing
// at all when BackgroundLevel is 2 or less.
bool remove_background(Tarvex& app, bool redisplay);
// "N&on-Linear Stretch" after OK.
bool non_linear_stretch_command(Tarvex& app, unsigned power);

}  // namespace tarvex
