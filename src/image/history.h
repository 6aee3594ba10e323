// The processing history: 15 lines naming the steps applied to the image.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr int HISTORY_LINES = 15;
inline constexpr std::size_t HISTORY_LINE_MAX = 39;  // slots of 40 characters

class ProcessingHistory {
 public:
  // Puts the line into the first empty slot; dropped when all 15 are used.
  void add_history(std::string_view text);
  // Removes the newest line (the last non-empty slot), if any.
  void remove_newest();
  void clear();
  const std::string& line(int i) const { return lines_[static_cast<std::size_t>(i)]; }
  void set_line(int i, std::string_view text);
  int count() const;
  // The text of the "Tarvex - PROCESSING HISTORY" box.
  std::string box_text() const;

 private:
  std::array<std::string, HISTORY_LINES> lines_;
};

}  // namespace tarvex
