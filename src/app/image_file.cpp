#include "app/image_file.h"

#include <cstring>
#include <system_error>

namespace tarvex {

namespace {

void mix_samples(std::uint64_t& h, const Frame& frame) {
  // Four samples to a word; FRAME_SAMPLES is a multiple of four.
  const std::uint16_t* p = frame.data();
  for (int i = 0; i < FRAME_SAMPLES; i += 4) {
    std::uint64_t w;
    std::memcpy(&w, p + i, sizeof w);
    h ^= w;
    h *= 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
  }
}

}  // namespace

std::uint64_t image_signature(const FrameStore& fs) {
  std::uint64_t h = 0xCBF29CE484222325ull;
  h ^= static_cast<std::uint64_t>(fs.IsColour) | (static_cast<std::uint64_t>(fs.IsBinned) << 1);
  mix_samples(h, fs.CurrentFrame);
  if (fs.IsColour) {
    mix_samples(h, fs.RedPlane);
    mix_samples(h, fs.GreenPlane);
    mix_samples(h, fs.BluePlane);
  }
  return h;
}

void image_matches_file(Tarvex& app, const std::filesystem::path& path, ImageFileKind kind) {
  app.image_file.kind = kind;
  app.image_file.path = path;
  app.image_file.signature = image_signature(app.store());
  app.image_file.known = true;
  ++app.image_file.generation;
  if (!app.keeps_recent_files) return;
  app.recent_files.add(path);
  // The list is a convenience: a list that cannot be written is no reason
  // to trouble the user.
  save_recent_files(app.paths.recent_files_file(), app.recent_files);
}

void image_needs_no_save(Tarvex& app) {
  app.image_file.signature = image_signature(app.store());
  app.image_file.known = true;
}

bool image_changed(const Tarvex& app) {
  if (app.store().MergeMode) return true;
  return !app.image_file.known || app.image_file.signature != image_signature(app.store());
}

void keep_recent_files(Tarvex& app) {
  app.keeps_recent_files = true;
  app.recent_files = load_recent_files(app.paths.recent_files_file());
}

void forget_recent_file(Tarvex& app, const std::filesystem::path& path) {
  app.recent_files.remove(path);
  if (app.keeps_recent_files) save_recent_files(app.paths.recent_files_file(), app.recent_files);
}

}  // namespace tarvex
