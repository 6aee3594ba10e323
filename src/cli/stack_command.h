// tarvex-cli stack: the batch stack of a night's files.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "app/stack/batch_stack.h"

namespace tarvex::cli {

struct StackOptions {
  std::optional<std::filesystem::path> data_root;
  StackRequest request;
};

// The arguments after "stack" (options and file names in any order, --dark
// and --flat repeated one file each): the options, or the line that says
// what is wrong with them.
std::variant<StackOptions, std::string> parse_stack_options(const std::vector<std::string>& args);

// True when the arguments run "stack" (after an optional --data-root DIR).
bool is_stack_invocation(const std::vector<std::string>& args);

// Runs it: 0 when the stack was written, 1 when none could be (the reason
// printed), 2 for bad arguments.
int run_stack_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarvex::cli
