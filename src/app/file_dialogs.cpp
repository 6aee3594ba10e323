#include "app/file_dialogs.h"

#include <cctype>

namespace tarvex {

std::string case_blind_pattern(std::string_view pattern) {
  std::string p(pattern);
  if (p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0) p.resize(p.size() - 2);
  std::string out;
  for (char c : p) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) {
      out += '[';
      out += static_cast<char>(std::toupper(u));
      out += static_cast<char>(std::tolower(u));
      out += ']';
    } else {
      out += c;
    }
  }
  return out.empty() ? "*" : out;
}

std::vector<FilterEntry> filter_entries(std::string_view filter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < filter.size()) {
    const auto bar = filter.find('|', start);
    parts.emplace_back(filter.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  std::vector<FilterEntry> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) out.push_back({parts[i], parts[i + 1]});
  return out;
}

std::vector<std::string> translate_filter(std::string_view filter) {
  std::vector<std::string> out;
  for (const FilterEntry& e : filter_entries(filter))
    out.push_back(e.description + " (" + case_blind_pattern(e.pattern) + ")");
  return out;
}

bool raw_file_name(std::string_view name) {
  return (!name.empty() && name.front() == '~') ||
         (!name.empty() && name.find('.') == std::string_view::npos);
}

OpenFilterIndex open_filter_after(const std::filesystem::path& opened) {
  std::string ext = opened.extension().string();
  for (auto& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext == ".FIT") return OPEN_FILTER_FITS;
  if (opened.filename().string().find('~') != std::string::npos) return OPEN_FILTER_RAW;
  return OPEN_FILTER_ALL;
}

}  // namespace tarvex
