// The image's tie to its file: the kind of file it was last opened from or
// saved to, whether it has changed since, and File > Recent Files.
#pragma once

#include <cstdint>
#include <filesystem>

#include "app/tarvex.h"

namespace tarvex {

// A fingerprint of what a save keeps of the image: CurrentFrame, the colour
// planes of a colour image, and the colour and binned flags.
std::uint64_t image_signature(const FrameStore& fs);

// Records that the image now is what the file holds, after an open or a save
// (any save that the program can open again: KR File, Save as FITS, Quick
// Save and the automatic FITS saves). The file goes to the top of File >
// Recent Files when the context keeps that list.
void image_matches_file(Tarvex& app, const std::filesystem::path& path, ImageFileKind kind);

// Records the image as it is now as the one nothing needs saving of (the
// start-up ramp).
void image_needs_no_save(Tarvex& app);

// True when the image has changed since it was last opened or saved (or
// since start-up), or while two images are being merged.
bool image_changed(const Tarvex& app);

// Starts keeping File > Recent Files: reads the list from its file in the
// data folder. Contexts that never call this (tarvex-cli, most tests) leave
// the list alone.
void keep_recent_files(Tarvex& app);

// Drops a file from the list (one that no longer exists) and saves the list.
void forget_recent_file(Tarvex& app, const std::filesystem::path& path);

}  // namespace tarvex
