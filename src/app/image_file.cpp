#include "app/image_file.h"

#include <cstring>
#include <system_error>

#include "app/file_commands.h"
#include "app/file_dialogs.h"

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

bool save_of_kind(Tarvex& app, FitsDialogs& dialogs) {
  const unsigned before = app.image_file.generation;
  if (app.image_file.kind == ImageFileKind::Fits) {
    // Save as FITS reports its own failures; a cancel leaves the image changed.
    save_as_fits_command(app, dialogs);
  } else {
    const std::filesystem::path path = dialogs.choose_save_path(RAW_SAVE_FILTER, "");
    if (path.empty()) return false;
    save_image(app, path);
  }
  if (app.image_file.generation == before) return false;  // cancelled, or the save failed
  app.ports.display.set_title(window_title(app.current_file_name));
  return true;
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

bool may_close(Tarvex& app, FitsDialogs& dialogs) {
  if (!image_changed(app)) return true;
  switch (app.ports.messages.ask_save_discard_cancel("Tarvex", UNSAVED_IMAGE_QUESTION)) {
    case SaveChoice::Discard: return true;
    case SaveChoice::Cancel: return false;
    case SaveChoice::Save: return save_of_kind(app, dialogs);
  }
  return false;
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
