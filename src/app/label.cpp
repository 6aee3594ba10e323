#include "app/label.h"

#include <algorithm>
#include <cstdio>

#include "app/display_pipeline.h"
#include "app/label_font.h"
#include "platform/messages.h"

namespace tarvex {

void LabelDialogModel::toggle_auto_date() {
  auto_date_ = !auto_date_;
  if (!auto_date_) use_fits_date_ = false;
}

bool LabelDialogModel::toggle_use_fits_date(const FitsText& fits, Messages& messages) {
  if (use_fits_date_) {
    use_fits_date_ = false;
  } else if (fits.fits_date.size() >= 7) {
    use_fits_date_ = true;
    auto_date_ = true;
  } else {
    show_message(messages, Msg::CallerText, "Sorry, FITs date not set");
  }
  return use_fits_date_;
}

std::string label_line(std::string_view text, LabelDate date, const std::tm& now,
                       const FitsText& fits) {
  const int used = static_cast<int>(text.size()) + (date != LabelDate::None ? LABEL_DATE_CELLS : 0);
  const int blanks = std::max(0, (LABEL_LINE_CELLS - used) / 2);
  std::string line(static_cast<std::size_t>(blanks), ' ');
  line += text;
  if (date == LabelDate::Auto) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "  %02d:%02d:%02d UT %02d-%02d-%d ", now.tm_hour, now.tm_min,
                  now.tm_sec, now.tm_mday, now.tm_mon + 1, now.tm_year + 1900);
    line += buf;
  } else if (date == LabelDate::Fits) {
    line += " " + fits.fits_time + " UT " + fits.fits_date;
  }
  return line;
}

void draw_label(FrameStore& fs, std::string_view line) {
  std::fill_n(fs.CurrentFrame.begin(), BLOCK_SAMPLES, std::uint16_t{0});
  const std::size_t cells = FRAME_WIDTH / LABEL_CELL_WIDTH;
  for (std::size_t pos = 0; pos < line.size() && pos < cells; ++pos) {
    const LabelGlyph* glyph = label_glyph(line[pos]);
    if (glyph == nullptr) continue;
    const int column = static_cast<int>(pos) * LABEL_CELL_WIDTH;
    for (int row = 0; row < LABEL_CELL_HEIGHT; ++row) {
      const std::uint8_t bits = (*glyph)[static_cast<std::size_t>(row)];
      std::uint16_t* out = &fs.CurrentFrame[static_cast<std::size_t>(row * FRAME_WIDTH + column)];
      for (int b = 0; b < LABEL_CELL_WIDTH; ++b) {
        if (bits & (0x80 >> b)) out[b] = 65535;
      }
    }
  }
  std::fill_n(fs.CurrentFrame.begin(), 6, LABEL_MARK);
}

Reported label_image(Tarvex& app, std::string_view text, LabelDate date) {
  const std::tm now = app.ports.clock.local_time(app.settings.ut_offset_hours);
  draw_label(app.store(), label_line(text, date, now, app.fits));
  return refresh_display(app);
}

}  // namespace tarvex
