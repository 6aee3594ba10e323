// tarvex-cli's autoguider commands:
//
//   tarvex-cli [--simulator [--virtual-time]] train [--star X,Y]
//   tarvex-cli [--simulator [--virtual-time]] guide --minutes M [--star X,Y]
//   tarvex-cli ... capture --self-guide [--guide-range R --guide-value N] [--star X,Y]
//
// train prints the measured rates and backlash; guide prints every
// correction and the RMS of both axes at the end. Without --star the
// brightest star of a window left of the frame's middle is taken.
#pragma once

#include <ostream>

#include "app/guiding/autoguider.h"
#include "cli/subcommands.h"

namespace tarvex::cli {

int train_command(const Options& options, std::ostream& out, std::ostream& err);
int guide_command(const Options& options, std::ostream& out, std::ostream& err);

// Gets the context ready for guiding: the camera found, the link open (an
// LX200 under --simulator unless the settings name a link), and the guide
// star picked (--star, or the brightest one found). False after printing why.
bool prepare_guiding(Tarvex& app, const Options& options, Autoguider& guider, std::ostream& err);

}  // namespace tarvex::cli
