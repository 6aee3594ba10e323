// tarvex-cli: the headless batch and camera tool. Its subcommands (process,
// info, steps, camera-info, read-field, focus-frame) are declared in
// cli/subcommands.h; the usage text in cli.cpp lists their options.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarvex::cli {

// Runs the tool with the arguments after the program name. Returns the exit
// status: 0 success, 1 a command reported a failure, 2 a usage error.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarvex::cli
