// tarvex-cli: the headless batch tool.
//
//   tarvex-cli [--data-root DIR] process INPUT [--do STEP]... [--save-raw OUT]
//              [--save-flat OUT] [--bitmap OUT] [--save-fits OUT] [--fits-unsigned]
//              [--fits KEY=VALUE]...
//   tarvex-cli [--data-root DIR] info INPUT
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarvex::cli {

// Runs the tool with the arguments after the program name. Returns the exit
// status: 0 success, 1 a command reported a failure, 2 a usage error.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarvex::cli
