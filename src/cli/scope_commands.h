// tarvex-cli's telescope commands, for scripting and checks at the telescope:
//
//   tarvex-cli [--data-root DIR] [--simulator] [--virtual-time] scope
//              [--port N] [--link l|b|n] SUBCOMMAND
//     goto-messier N | goto-ngc N | goto-planet NAME | goto HH:MM [-]DD:MM
//     move n|s|e|w MS [--rate guide|centre|find|slew] | pulse n|s|e|w MS
//     focus in|out MS [--fast] | info | reset-box
//   tarvex-cli --simulator mount-sim [--silent | --garbage] [--reply-delay MS]
//
// --simulator puts the simulated mount on a pseudo-terminal behind every
// "Com Port" for the run; mount-sim serves it alone until interrupted, for
// other astronomy programs to try.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarvex::cli {

// True when the arguments, after the global options, name "scope" or
// "mount-sim".
bool is_scope_invocation(const std::vector<std::string>& args);

// Runs them. Returns the exit status: 0 done, 1 the telescope operation
// failed (its messages printed), 2 a usage error.
int run_scope_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarvex::cli
