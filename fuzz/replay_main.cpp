// A main for the fuzz targets outside libFuzzer: runs the target once on
// every file under the folders (or files) named on the command line. The
// regression inputs of each target run this way in the ordinary tests.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (const auto& e : fs::recursive_directory_iterator(argv[i]))
        if (e.is_regular_file() && e.path().filename() != "README") inputs.push_back(e.path());
    } else if (fs::exists(argv[i], ec)) {
      inputs.emplace_back(argv[i]);
    }
  }
  for (const auto& p : inputs) {
    const tarvex::fuzz::Bytes bytes = tarvex::fuzz::read_file(p);
    std::printf("%s (%zu bytes)\n", p.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::error_code ec;
  fs::remove_all(tarvex::fuzz::work_folder(), ec);
  std::printf("%zu passed, 0 failed\n", inputs.size());
  return 0;
}
