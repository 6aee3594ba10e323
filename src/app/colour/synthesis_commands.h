// The colour synthesis commands: "&Synthesize Colour Image", the conversion
// run after an exposure and "&Apply Anti-Alias Filter", and the mapping
// between the settings record and the synthesis options.
#pragma once

#include <functional>

#include "app/tarvex.h"
#include "colour/synthesis.h"
#include "files/settings.h"

namespace tarvex {

// The daylight choice is kept in the settings record's colour option field.
SynthesisOptions synthesis_options(const Settings& settings);
void store_synthesis_options(const SynthesisOptions& options, Settings& settings);

// Runs "SYNTHESIZE COLOUR IMAGE" on the settings; false on Cancel.
using SynthesisDialog = std::function<bool(Settings&)>;

// What "&Synthesize Colour Image" did: converted, or refused an already
// converted frame (AlreadyColourConverted shown), or the dialog was
// cancelled, or refused while a merge holds its base image in SecondFrame,
// where the synthesis works (CallerText shown).
enum class ColourSynthesis { Converted, AlreadyConverted, Cancelled, MergeHoldsBase };

// "&Synthesize Colour Image": refuses an already converted frame, reloads the
// settings (ColourSettingsLoadFailed on failure), shows the dialog unless it
// is empty (the automatic conversion after an exposure), saves the settings
// after the dialog (ColourSettingsSaveFailed on failure), then converts with
// the settings' options and redisplays.
ColourSynthesis synthesize_colour_command(Tarvex& app, const SynthesisDialog& dialog);

// The conversion itself (steps after the dialog), with the given options.
void synthesize_colour(Tarvex& app, const SynthesisOptions& options);

// "&Apply Anti-Alias Filter": NotColourConverted when the frame is not colour
// converted. The command takes the colour undo copy and redisplays; as a
// synthesis step it does neither. Returns false when refused.
bool anti_alias_command(Tarvex& app, bool as_command = true);

}  // namespace tarvex
