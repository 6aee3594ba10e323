// Shared pieces of the fuzz targets: the file a target hands to a reader,
// the shaping of a fuzz input into a file of a chosen length, and the check
// that stops a run when a property fails.
//
// The readers take a path, so each input is written to a file first (in
// /dev/shm when there is one, to keep it in memory). Long files are built
// from a short input by repeating it, so the fuzzer explores headers and
// lengths without handing over megabytes.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/raw_file.h"

namespace tarvex::fuzz {

using Bytes = std::vector<std::uint8_t>;

// A property of the program failed: say which and stop, so the fuzzer keeps
// the input.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

// A folder of this process for the files the targets write.
inline const std::filesystem::path& work_folder() {
  static const std::filesystem::path folder = [] {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    std::filesystem::path f = base / ("tarvex-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(f, ec);
    return f;
  }();
  return folder;
}

inline std::filesystem::path work_file(const char* name) {
  return work_folder() / name;
}

inline void write_file(const std::filesystem::path& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  check(f != nullptr, "cannot write the input file");
  if (!bytes.empty())
    check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(), "short write");
  std::fclose(f);
}

inline Bytes read_file(const std::filesystem::path& path) {
  Bytes out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  std::uint8_t buf[65536];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}

// `pattern` repeated (or cut) to `length` bytes; zeros when it is empty.
inline Bytes repeat_to(const std::uint8_t* pattern, std::size_t n, std::size_t length) {
  Bytes out(length, 0);
  if (n == 0 || length == 0) return out;
  // One copy of the pattern, then the filled part doubled until the end.
  std::size_t filled = std::min(n, length);
  std::memcpy(out.data(), pattern, filled);
  while (filled < length) {
    const std::size_t more = std::min(filled, length - filled);
    std::memcpy(out.data() + filled, out.data(), more);
    filled += more;
  }
  return out;
}

// True when two buffers of the same type hold the same bytes (a plain
// memcmp: the fuzzer need not trace the comparison of whole frames).
template <typename T>
bool same_bytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Every length a raw or FITS file may have, and one byte either side.
inline constexpr std::uint64_t kLayoutLengths[] = {
    RAW_FRAME_ONLY,   RAW_TAGGED,       RAW_COLOUR_8BIT,  RAW_COLOUR_16BIT,
    FITS_BINNED_MONO, FITS_NORMAL_MONO, FITS_COLOUR_8BIT, FITS_COLOUR_16BIT};

// The file length an input asks for with its selector byte: one of the
// layout lengths, one byte less or more, or the length of the payload
// itself (so every short length is tried too).
inline std::size_t chosen_length(std::uint8_t selector, std::size_t payload) {
  const unsigned s = selector % 32u;
  if (s >= 24) return payload;
  return static_cast<std::size_t>(kLayoutLengths[s / 3]) + (s % 3) - 1;
}

// The selector that asks for exactly `length` (for the seeds).
inline std::uint8_t selector_for(std::uint64_t length) {
  for (unsigned i = 0; i < 8; ++i)
    if (kLayoutLengths[i] == length) return static_cast<std::uint8_t>(3 * i + 1);
  return 24;
}

}  // namespace tarvex::fuzz
