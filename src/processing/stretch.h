// Contrast stretches: the 32768-level transfer table, the formulas that fill
// it, and the one operation that maps every sample of CurrentFrame through it.
#pragma once

#include <array>
#include <cstdint>

#include "image/frame_store.h"
#include "platform/ports.h"

namespace tarvex {

inline constexpr int STRETCH_TABLE_SIZE = 32768;
inline constexpr std::uint16_t STRETCH_TOP = 32767;

// Output levels (0..32767) indexed by sample >> 1. Aligned to a cache line
// so that the look-ups, which read entries in aligned pairs, never straddle
// two lines.
struct alignas(64) StretchLevels : std::array<std::uint16_t, STRETCH_TABLE_SIZE> {};

// Parameter limits of the stretch dialogs.
inline constexpr unsigned STRETCH_BLACK_MAX = 255;
inline constexpr unsigned STRETCH_WHITE_MIN = 1;
inline constexpr unsigned STRETCH_WHITE_MAX = 300;
inline constexpr unsigned NON_LINEAR_POWER_MIN = 2;
inline constexpr unsigned NON_LINEAR_POWER_MAX = 50;

// Table builders. Each overwrites all 32768 entries.
// Black level B maps to black, white level W to white (W above 255 darkens
// the whole image). Requires black < white.
void fill_normal_table(StretchLevels& t, unsigned black, unsigned white);
// 32768 * (i / 32768)^gamma.
void fill_power_table(StretchLevels& t, double gamma);
void fill_sine_table(StretchLevels& t);
void fill_log_table(StretchLevels& t);
void fill_antilog_table(StretchLevels& t);
void fill_invert_table(StretchLevels& t);
// Cuts the sky at 128 * (background - 2) and spreads the rest to white.
// Requires background > 2.
void fill_remove_background_table(StretchLevels& t, int background);
// Lifts faint levels: 32768 P x / ((P - 1) x + 1) with x = i / 32768.
void fill_non_linear_table(StretchLevels& t, unsigned power);

// Maps CurrentFrame through the table in place: takes the undo copy first,
// leaves the label band, and maps the rest in 20 blocks with the progress
// bar at 16 * block before each (the caller opens and closes the window).
// Every result is even: sample s becomes 2 * t[s >> 1].
void apply_stretch_table(FrameStore& fs, const StretchLevels& t, Progress& progress,
                         EventPump& pump);

// The same as apply_stretch_table with the invert table (sample s becomes
// 65534 - (s & ~1)), undo copy, label band and progress alike, but computed
// instead of looked up, at about the speed of a frame copy.
void invert_frame(FrameStore& fs, Progress& progress, EventPump& pump);

}  // namespace tarvex
