#include "platform/printable_text.h"

namespace tarvex {

std::string printable_text(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (is_printable_ascii(c)) {
      out.push_back(c);
    } else {
      out += "\\x";
      out.push_back(kHex[u >> 4]);
      out.push_back(kHex[u & 0xF]);
    }
  }
  return out;
}

std::string printable_or_questions(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = printable_or_question(c);
  return out;
}

}  // namespace tarvex
