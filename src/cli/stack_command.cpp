#include "cli/stack_command.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "app/colour/synthesis_commands.h"
#include "cli/subcommands.h"

namespace tarvex::cli {

int stack_command(const Options& o, std::ostream& out, std::ostream& err) {
  StackRequest request = o.stack;
  return with_context(o, err, [&](Tarvex& app) {
    request.colour = synthesis_options(app.settings);
    const StackOutcome r = run_batch_stack(request, app.store());
    for (const auto& f : r.registered) {
      char line[160];
      std::snprintf(
          line, sizeof line,
          "registered %s: moved %.2f, %.2f px, turned %.3f degrees (%d stars, %.2f px rms)\n",
          f.file.c_str(), f.transform.dx, f.transform.dy,
          f.transform.angle * 180 / std::numbers::pi, f.matched, f.residual);
      out << line;
    }
    for (const auto& l : r.left_out) out << "left out " << l.file << ": " << l.reason << "\n";
    if (!r.written) {
      err << "tarvex-cli: no stack written: " << r.error << "\n";
      return 1;
    }
    out << "stacked " << r.stacked << " of " << request.lights.size() << " "
        << stack_kind_name(r.kind) << " lights into " << request.out.string() << "\n";
    if (!r.error.empty()) {
      err << "tarvex-cli: " << r.error << "\n";
      return 1;
    }
    return 0;
  });
}

}  // namespace tarvex::cli
