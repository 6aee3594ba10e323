#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/file_io.h"

int main(int argc, char** argv) {
  tarvex::ignore_file_size_signal();
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = tarvex::cli::run(args, std::cout, std::cerr);
  // What was printed must have reached its destination (a full disk, a
  // closed pipe): a run whose output was lost does not report success.
  errno = 0;
  std::cout.flush();
  const bool lost = !std::cout || std::fflush(stdout) != 0 || std::ferror(stdout);
  if (lost) {
    const int error = errno;
    std::cerr << "tarvex-cli: cannot write the output"
              << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << "\n";
    if (status == 0) status = 1;
  }
  return status;
}
