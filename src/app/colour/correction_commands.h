// The colour correction commands of the Colour menu: balance, chromatism,
// overload smoothing, low pass colour filter and histogram balance.
#pragma once

#include "app/tarvex.h"
#include "colour/corrections.h"

namespace tarvex {

// Menu commands. Each refuses a frame that is not colour converted with its
// message and returns false; otherwise it takes the colour undo copy, works
// with the busy cursor and redisplays.
// "Set Colour &Balance" after the dialog's Apply (ColourNotConverted). Nothing
// happens when every value is unchanged and the saturation factor is the
// stored one; a new saturation factor is stored and the settings written.
bool colour_balance_command(Tarvex& app, const ColourBalance& balance, int saturation_factor);
// "Adjust Chroma&tism" after OK (ColourNotConverted on a monochrome frame).
bool chromatism_command(Tarvex& app, const ChromaticShifts& shifts);
// "Colour &Overload Smoothing" (ImageNotColourConverted on a monochrome frame). Takes the
// undo copy of CurrentFrame as well, and Undo Last Filter then restores the
// planes too.
bool overload_smoothing_command(Tarvex& app);
// "&Low Pass Colour Filter " (ImageNotColourConverted).
bool low_pass_colour_command(Tarvex& app);
// "Balance Colour &Histogram" (ColourNotConverted on a monochrome frame).
bool balance_colour_histogram_command(Tarvex& app);

}  // namespace tarvex
