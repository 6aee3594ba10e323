// tarvex-cli stack: the batch stack of a night's files (its options are
// read with the others in cli/options.cpp).
#pragma once

#include <ostream>

#include "cli/options.h"

namespace tarvex::cli {

// Runs the stack the options describe: 0 when the stack was written, 1 when
// none could be (the reason printed).
int stack_command(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace tarvex::cli
