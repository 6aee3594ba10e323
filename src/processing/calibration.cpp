#include "processing/calibration.h"

#include "app/messages.h"
#include "files/raw_file.h"

namespace tarvex {

namespace {

constexpr int TOP_BAND_ROWS = 10;
// The normalisation area of a flat field, taken with a row stride of 580.
constexpr int FLAT_NORM_STRIDE = 580;
constexpr int FLAT_NORM_FIRST_ROW = 9;
constexpr int FLAT_NORM_LAST_ROW = 19;
constexpr int FLAT_NORM_FIRST_COLUMN = 9;
constexpr int FLAT_NORM_LAST_COLUMN = 499;
constexpr int FLAT_FIRST_COLUMN = 5;
constexpr int FLAT_END_COLUMN = 751;  // column 751 is never changed

}  // namespace

bool frame_has_top_band(const Frame& frame) { return frame[4] + frame[5] == 34; }

void subtract_dark_frame(FrameStore& fs) {
  std::uint16_t* __restrict c = fs.CurrentFrame.data();
  const std::uint16_t* __restrict d = fs.SecondFrame.data();
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    const std::uint16_t v = c[i];
    const std::uint16_t diff = d[i] < v ? static_cast<std::uint16_t>(v - d[i]) : 0;
    c[i] = v >= SATURATED_SAMPLE ? v : diff;
  }
}

double flat_normalisation(const Frame& flat) {
  double sum = 0.0;
  for (int i = FLAT_NORM_FIRST_ROW; i <= FLAT_NORM_LAST_ROW; ++i)
    for (int j = FLAT_NORM_FIRST_COLUMN; j <= FLAT_NORM_LAST_COLUMN; ++j)
      sum += flat[static_cast<std::size_t>(i * FLAT_NORM_STRIDE + j)];
  return FLAT_NORMALISATION_SCALE * sum;
}

void divide_flat_field(FrameStore& fs, Progress& progress) {
  const double m = flat_normalisation(fs.SecondFrame);
  const int first_row = frame_has_top_band(fs.CurrentFrame) ? TOP_BAND_ROWS + 1 : 1;
  progress.open(FLAT_PROGRESS_CAPTION);
  for (int y = first_row; y < FRAME_HEIGHT; ++y) {
    progress.set_position(y / 2);
    std::uint16_t* __restrict c = fs.CurrentFrame.data() + y * FRAME_WIDTH;
    const std::uint16_t* __restrict f = fs.SecondFrame.data() + y * FRAME_WIDTH;
    for (int x = FLAT_FIRST_COLUMN; x < FLAT_END_COLUMN; ++x) {
      // Written branch-free so that the compiler can vectorize it: a flat of
      // 0 divides by 1 instead and the pixel then keeps its value anyway.
      const std::uint16_t cv = c[x];
      const std::uint16_t fv = f[x];
      const double divisor = fv != 0 ? static_cast<double>(fv) : 1.0;
      const double v = static_cast<double>(cv) / divisor * m;
      const double capped = v < 65535.0 ? v : 65535.0;
      const auto out = static_cast<std::uint16_t>(static_cast<std::int32_t>(capped));
      c[x] = (fv == 0 || cv >= 65534) ? cv : out;
    }
  }
  progress.close();
}

}  // namespace tarvex

namespace tarvex {

namespace {

// Runs one calibration operation between the busy cursor's on and off, with
// the undo copy taken first, then writes the history line and redisplays.
template <typename Operation>
int run_calibration(Tarvex& app, const char* history_line, Operation operation) {
  FrameStore& fs = app.store();
  app.ports.progress.busy_cursor(true);
  save_undo(fs);
  operation(fs);
  app.history.add_history(history_line);
  const int shown = refresh_display(app);
  app.ports.progress.busy_cursor(false);
  return shown;
}

}  // namespace

int subtract_dark_command(Tarvex& app, const std::filesystem::path& path) {
  const int loaded = load_second(path, SecondPurpose::SubtractDark, app.store(),
                                 app.ports.messages);
  if (loaded != 0) return loaded;
  return run_calibration(app, DARK_HISTORY, [](FrameStore& fs) { subtract_dark_frame(fs); });
}

int flat_field_command(Tarvex& app, const std::filesystem::path& path) {
  const int loaded = load_second(path, SecondPurpose::FlatField, app.store(), app.ports.messages);
  if (loaded != 0) return loaded;
  // A flat that is black where it is normalised would turn every divided
  // pixel to 0: refuse it and keep the image.
  if (!(flat_normalisation(app.store().SecondFrame) > 0.0)) {
    show_message(app.ports.messages, MESSAGE_CALLER_TEXT, FLAT_BLANK_TEXT);
    return 1;
  }
  Progress& progress = app.ports.progress;
  return run_calibration(app, FLAT_HISTORY,
                         [&progress](FrameStore& fs) { divide_flat_field(fs, progress); });
}

}  // namespace tarvex
