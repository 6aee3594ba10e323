// The processing steps of tarvex-cli: each runs one menu command, with the
// values of its dialog given as keys.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/tarvex.h"

namespace tarvex::cli {

using StepKeys = std::map<std::string, std::string>;

enum StepStatus {
  STEP_OK = 0,
  STEP_FAILED = 1,  // the command reported a failure
  STEP_USAGE = 2,   // a key or value the command does not accept
};

struct StepResult {
  StepResult() = default;
  StepResult(int status_, std::string error_ = {}, std::string output_ = {})
      : status(status_), error(std::move(error_)), output(std::move(output_)) {}
  int status = STEP_OK;
  std::string error;   // for STEP_USAGE: what was wrong
  std::string output;  // for STEP_OK: a line the tool prints after the step (may be empty)
};

using StepFunction = std::function<StepResult(Tarvex&, const StepKeys&)>;

struct StepInfo {
  std::string name;
  std::string help;  // one line: keys and what the step does
  StepFunction run;
};

class StepRegistry {
 public:
  void add(std::string name, std::string help, StepFunction run);
  const StepInfo* find(const std::string& name) const;
  const std::vector<StepInfo>& all() const { return steps_; }

 private:
  std::vector<StepInfo> steps_;
};

// Before a run every step is called once to check its keys, so a mistake in
// the last step is found before the first one changed anything. While
// checking_steps() is true a step reads and checks its keys, then returns
// STEP_OK without running its command.
bool checking_steps();
class StepCheckScope {
 public:
  StepCheckScope();
  ~StepCheckScope();
  StepCheckScope(const StepCheckScope&) = delete;
  StepCheckScope& operator=(const StepCheckScope&) = delete;
};

// Every step of every subsystem.
const StepRegistry& steps();

// Numbers on the command line: decimal digits with an optional sign, and
// for a real number an optional decimal point and exponent ("12", "-3",
// "2.5e-3"). Nothing else is a number: no blanks, no hexadecimal, no "inf".
std::optional<long> parse_whole_number(const std::string& text);
std::optional<double> parse_real_number(const std::string& text);

// Key parsing shared by the steps. Each returns nullopt and sets `error` when
// the key is missing (and has no default) or its value is out of range.
std::optional<long> int_key(const StepKeys& keys, const std::string& key, long lo, long hi,
                            std::optional<long> fallback, std::string& error);
std::optional<double> double_key(const StepKeys& keys, const std::string& key, double lo, double hi,
                                 std::optional<double> fallback, std::string& error);
std::optional<bool> bool_key(const StepKeys& keys, const std::string& key,
                             std::optional<bool> fallback, std::string& error);
// Refuses keys outside `allowed`.
bool only_keys(const StepKeys& keys, const std::vector<std::string>& allowed, std::string& error);

// A step without keys that runs one command. The command returns nothing
// (the step succeeds) or the step's result.
template <typename Command>
StepFunction plain(Command command) {
  return [command](Tarvex& app, const StepKeys& keys) {
    std::string error;
    if (!only_keys(keys, {}, error)) return StepResult{STEP_USAGE, error};
    if (checking_steps()) return StepResult{};
    if constexpr (std::is_void_v<std::invoke_result_t<const Command&, Tarvex&>>) {
      command(app);
      return StepResult{};
    } else {
      return StepResult{command(app)};
    }
  };
}

// Splits "name:key=value,key=value".
bool parse_step(const std::string& text, std::string& name, StepKeys& keys, std::string& error);

// Registration functions of each subsystem's steps.
void register_foundation_steps(StepRegistry& registry);
void register_view_steps(StepRegistry& registry);
void register_processing_steps(StepRegistry& registry);
void register_calibration_steps(StepRegistry& registry);
void register_colour_steps(StepRegistry& registry);
void register_fits_steps(StepRegistry& registry);

}  // namespace tarvex::cli
