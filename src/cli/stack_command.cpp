#include "cli/stack_command.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "app/colour/synthesis_commands.h"
#include "cli/subcommands.h"

namespace tarvex::cli {

namespace {

constexpr const char* kStackUsage =
    "usage: tarvex-cli [--data-root DIR] stack --out OUT [--dark FILE]... [--flat FILE]...\n"
    "         [--method mean|median|sigma|winsor] [--kappa K] [--align stars|none]\n"
    "         [--export-tiff16 OUT] LIGHT...\n";

// The position of "stack" when only a --data-root precedes it.
std::optional<std::size_t> stack_position(const std::vector<std::string>& args) {
  std::size_t i = 0;
  while (i + 1 < args.size() && args[i] == "--data-root") i += 2;
  if (i < args.size() && args[i] == "stack") return i;
  return std::nullopt;
}

}  // namespace

std::variant<StackOptions, std::string> parse_stack_options(const std::vector<std::string>& args) {
  StackOptions o;
  StackRequest& r = o.request;
  bool out_given = false, method_given = false, kappa_given = false, align_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto once = [&](bool& given) {
      const bool again = given;
      given = true;
      return !again;
    };
    if (a == "--out" || a == "--dark" || a == "--flat" || a == "--method" || a == "--kappa" ||
        a == "--align" || a == "--export-tiff16" || a == "--data-root") {
      const auto v = value();
      if (!v || v->empty()) return a + " needs a value";
      if (a == "--out") {
        if (!once(out_given)) return "--out may be given only once";
        r.out = *v;
      } else if (a == "--dark") {
        r.darks.emplace_back(*v);
      } else if (a == "--flat") {
        r.flats.emplace_back(*v);
      } else if (a == "--method") {
        if (!once(method_given)) return "--method may be given only once";
        const auto m = combine_method_named(*v);
        if (!m) return "--method is mean, median, sigma or winsor, not " + *v;
        r.combine.method = *m;
      } else if (a == "--kappa") {
        if (!once(kappa_given)) return "--kappa may be given only once";
        double k = 0;
        const auto res = std::from_chars(v->data(), v->data() + v->size(), k);
        if (res.ec != std::errc() || res.ptr != v->data() + v->size() || !(k > 0) || k > 100)
          return "--kappa needs a number above 0, not " + *v;
        r.combine.kappa_low = r.combine.kappa_high = static_cast<float>(k);
      } else if (a == "--align") {
        if (!once(align_given)) return "--align may be given only once";
        if (*v != "stars" && *v != "none") return "--align is stars or none, not " + *v;
        r.align = *v == "stars";
      } else if (a == "--export-tiff16") {
        if (r.tiff16) return "--export-tiff16 may be given only once";
        r.tiff16 = *v;
      } else {
        if (o.data_root) return "--data-root may be given only once";
        o.data_root = *v;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return "unknown stack option " + a;
    } else {
      r.lights.emplace_back(a);
    }
  }
  if (!out_given) return "stack needs --out OUT";
  if (r.lights.empty()) return "stack needs at least one LIGHT file";
  return o;
}

bool is_stack_invocation(const std::vector<std::string>& args) {
  return stack_position(args).has_value();
}

int run_stack_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::size_t at = *stack_position(args);
  std::vector<std::string> rest(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(at));
  rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(at + 1), args.end());
  auto parsed = parse_stack_options(rest);
  if (auto* why = std::get_if<std::string>(&parsed)) {
    err << "tarvex-cli: " << *why << "\n" << kStackUsage;
    return 2;
  }
  StackOptions& so = std::get<StackOptions>(parsed);
  Options o;
  o.data_root = so.data_root;
  o.command = "stack";
  return with_context(o, err, [&](Tarvex& app) {
    so.request.colour = synthesis_options(app.settings);
    const StackOutcome r = run_batch_stack(so.request, app.store());
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
    out << "stacked " << r.stacked << " of " << so.request.lights.size() << " "
        << stack_kind_name(r.kind) << " lights into " << so.request.out.string() << "\n";
    if (!r.error.empty()) {
      err << "tarvex-cli: " << r.error << "\n";
      return 1;
    }
    return 0;
  });
}

}  // namespace tarvex::cli
