// Edit > Label Image: a line of text drawn into the top ten rows of the frame
// in the program's 8 x 10 font, optionally with the time and date.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "app/reported.h"
#include "app/tarvex.h"
#include "image/label_band.h"

namespace tarvex {

inline constexpr std::size_t LABEL_TEXT_MAX = 30;  // characters the dialog accepts
inline constexpr int LABEL_LINE_CELLS = 64;        // cells the text is centred in
inline constexpr int LABEL_DATE_CELLS = 24;        // cells the centring allows for a date

enum class LabelDate { None, Auto, Fits };

// The state of the "Label Current Image" dialog. "Auto Date" keeps its state
// from one opening to the next; the text and "Use FITs Date" start afresh.
class LabelDialogModel {
 public:
  void open() {
    text_.clear();
    use_fits_date_ = false;
  }
  // Up to 30 characters are kept.
  void set_text(std::string_view text) { text_ = std::string(text.substr(0, LABEL_TEXT_MAX)); }
  // Turning Auto Date off also turns Use FITs Date off.
  void toggle_auto_date();
  // Use FITs Date turns on only when the FITS date has at least 7 characters
  // (and then turns Auto Date on too); otherwise message 50 "Sorry, FITs
  // date not set" is shown. Returns the new state.
  bool toggle_use_fits_date(const FitsText& fits, Messages& messages);

  const std::string& text() const { return text_; }
  bool auto_date() const { return auto_date_; }
  bool use_fits_date() const { return use_fits_date_; }
  LabelDate date_mode() const {
    return use_fits_date_ ? LabelDate::Fits : auto_date_ ? LabelDate::Auto : LabelDate::None;
  }

 private:
  std::string text_;
  bool auto_date_ = false;
  bool use_fits_date_ = false;
};

// The line a label draws: the text centred in 64 cells (24 of them kept for a
// date when one is added), then the date part.
std::string label_line(std::string_view text, LabelDate date, const std::tm& now,
                       const FitsText& fits);

// Clears rows 0..9 of CurrentFrame, draws `line` into them white on black
// (characters beyond the frame's 94 cells are dropped) and sets the first six
// samples of row 0 to the label mark.
void draw_label(FrameStore& fs, std::string_view line);

// The whole command: draws the label, with the date and time of the
// context's clock for Auto Date, and redisplays. Returns refresh_display's
// result.
Reported label_image(Tarvex& app, std::string_view text, LabelDate date);

}  // namespace tarvex
