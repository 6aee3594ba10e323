#include "files/fits_header_edit.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/file_io.h"

namespace tarvex {

namespace {

constexpr std::size_t kCard = 80;
constexpr std::size_t kBlock = 2880;

std::string keyword_of(std::string_view card) {
  std::string k(card.substr(0, std::min<std::size_t>(8, card.size())));
  while (!k.empty() && k.back() == ' ') k.pop_back();
  return k;
}

}  // namespace

HeaderEditResult add_fits_header_cards(const std::filesystem::path& path,
                                       const std::vector<std::string>& cards,
                                       const std::vector<std::string>& replacing) {
  InputFile in;
  if (!in.open(path)) return {HeaderEdit::Unreadable, 0};
  const std::uint64_t size = in.size();
  if (size < kBlock) return {HeaderEdit::NotStandard, 0};
  std::string bytes(size, '\0');
  if (!in.read(bytes.data(), bytes.size())) return {HeaderEdit::Unreadable, 0};
  in.close();

  if (bytes.compare(0, 9, "SIMPLE  =") != 0) return {HeaderEdit::NotStandard, 0};
  std::size_t end_card = std::string::npos;
  for (std::size_t at = 0; at + kCard <= bytes.size(); at += kCard) {
    if (keyword_of(std::string_view(bytes).substr(at, kCard)) == "END" &&
        bytes.compare(at, 3, "END") == 0) {
      end_card = at;
      break;
    }
  }
  if (end_card == std::string::npos) return {HeaderEdit::NotStandard, 0};
  const std::size_t data_start = (end_card / kBlock + 1) * kBlock;
  if (data_start > bytes.size()) return {HeaderEdit::NotStandard, 0};

  std::string header;
  header.reserve(data_start + cards.size() * kCard + kBlock);
  for (std::size_t at = 0; at < end_card; at += kCard) {
    const std::string_view c = std::string_view(bytes).substr(at, kCard);
    if (std::find(replacing.begin(), replacing.end(), keyword_of(c)) != replacing.end()) continue;
    header.append(c);
  }
  for (std::string c : cards) {
    c.resize(kCard, ' ');
    header += c;
  }
  header.append(bytes, end_card, kCard);  // the END card as it was
  header.resize((header.size() + kBlock - 1) / kBlock * kBlock, ' ');

  AtomicFile out;
  if (!out.open(path) || !out.write(header.data(), header.size()) ||
      !out.write(bytes.data() + data_start, bytes.size() - data_start) || !out.commit(true))
    return {HeaderEdit::NotWritten, out.error() != 0 ? out.error() : EIO};
  return {};
}

std::vector<std::string> read_fits_header_cards(const std::filesystem::path& path) {
  std::vector<std::string> cards;
  InputFile in;
  if (!in.open(path)) return {};
  std::string block(kBlock, '\0');
  for (int b = 0; b < 64 && in.read(block.data(), block.size()); ++b) {
    for (std::size_t at = 0; at < kBlock; at += kCard) {
      cards.push_back(block.substr(at, kCard));
      if (keyword_of(cards.back()) == "END") return cards;
    }
  }
  return {};
}

}  // namespace tarvex
