#include "image/history.h"

namespace tarvex {

void ProcessingHistory::add_history(std::string_view text) {
  for (auto& slot : lines_) {
    if (slot.empty()) {
      slot.assign(text.substr(0, HISTORY_LINE_MAX));
      return;
    }
  }
}

void ProcessingHistory::remove_newest() {
  for (int i = HISTORY_LINES - 1; i >= 0; --i) {
    auto& slot = lines_[static_cast<std::size_t>(i)];
    if (!slot.empty()) {
      slot.clear();
      return;
    }
  }
}

void ProcessingHistory::clear() {
  for (auto& slot : lines_) slot.clear();
}

void ProcessingHistory::set_line(int i, std::string_view text) {
  if (i < 0 || i >= HISTORY_LINES) return;
  lines_[static_cast<std::size_t>(i)].assign(text.substr(0, HISTORY_LINE_MAX));
}

int ProcessingHistory::count() const {
  int n = 0;
  for (const auto& slot : lines_) n += slot.empty() ? 0 : 1;
  return n;
}

std::string ProcessingHistory::box_text() const {
  // The first slot always, then each following slot while it holds more than
  // one character.
  std::string text = lines_[0] + " \n";
  for (int i = 1; i < HISTORY_LINES; ++i) {
    const auto& slot = lines_[static_cast<std::size_t>(i)];
    if (slot.size() <= 1) break;
    text += slot + " \n";
  }
  return text;
}

}  // namespace tarvex
