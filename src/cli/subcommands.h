// The subcommands of tarvex-cli, the options they share and the composition
// root every subcommand that needs the program builds its context with. A
// subcommand is one function: it checks the options it was given (refusing
// what it does not take with a usage error), then runs.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/tarvex.h"
#include "cli/options.h"

namespace tarvex::cli {

// The composition root: makes the run's ports once (messages to `err`, the
// one clock, with the wall time fixed by --now, the camera transport and the
// serial port chosen by --simulator), the context over them, loads the
// settings as at start-up and runs `body` on the context. Returns what
// `body` returns. A subcommand that reports progress or listens for a stop
// passes its own pump and progress window; the others get silent ones.
int with_context(const Options& options, std::ostream& err, const std::function<int(Tarvex&)>& body,
                 EventPump* pump = nullptr, Progress* progress = nullptr);

// Image files (batch_commands.cpp).
int process_command(const Options& options, std::ostream& out, std::ostream& err);
int info_command(const Options& options, std::ostream& out, std::ostream& err);
int steps_command(const Options& options, std::ostream& out, std::ostream& err);

// Camera diagnostics (camera_commands.cpp).
int camera_info_command(const Options& options, std::ostream& out, std::ostream& err);
int read_field_command(const Options& options, std::ostream& out, std::ostream& err);
int focus_frame_command(const Options& options, std::ostream& out, std::ostream& err);

// Exposures and sequences (capture_commands.cpp).
int capture_command(const Options& options, std::ostream& out, std::ostream& err);

// Focus mode without the window (focus_commands.cpp).
int focus_command(const Options& options, std::ostream& out, std::ostream& err);

// The mount over the Com Port, and the simulated mount served alone
// (scope_commands.cpp).
int scope_command(const Options& options, std::ostream& out, std::ostream& err);
int mount_sim_command(const Options& options, std::ostream& out, std::ostream& err);

// Plate solving an image file (solve_command.cpp).
int solve_command(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace tarvex::cli
