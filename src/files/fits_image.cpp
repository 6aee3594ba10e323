#include "files/fits_image.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>

#include "files/fits_standard.h"
#include "platform/file_io.h"

namespace tarvex {

namespace {

constexpr std::size_t kCard = 80;
constexpr int kMaxHeaderBlocks = 200;  // a header longer than this is not an image header
constexpr long long kMaxSamples = 1LL << 28;

std::string trim(std::string_view s) {
  const auto a = s.find_first_not_of(' ');
  if (a == std::string_view::npos) return {};
  return std::string(s.substr(a, s.find_last_not_of(' ') - a + 1));
}

std::optional<long long> integer(const std::optional<std::string>& v) {
  if (!v) return std::nullopt;
  long long n = 0;
  const auto r = std::from_chars(v->data(), v->data() + v->size(), n);
  if (r.ec != std::errc() || r.ptr != v->data() + v->size()) return std::nullopt;
  return n;
}

std::optional<double> real(const std::optional<std::string>& v) {
  if (!v || v->empty()) return std::nullopt;
  std::string t = *v;
  for (char& c : t)
    if (c == 'D' || c == 'd') c = 'E';
  double d = 0;
  const char* begin = t.data();
  if (*begin == '+') ++begin;
  const auto r = std::from_chars(begin, t.data() + t.size(), d);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
  return d;
}

std::uint64_t big_endian(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int k = 0; k < bytes; ++k) v = (v << 8) | p[k];
  return v;
}

double decode(const unsigned char* p, int bitpix) {
  switch (bitpix) {
    case 8: return p[0];
    case 16: return static_cast<std::int16_t>(big_endian(p, 2));
    case 32: return static_cast<std::int32_t>(big_endian(p, 4));
    case -32: {
      const auto bits = static_cast<std::uint32_t>(big_endian(p, 4));
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    default: {
      const std::uint64_t bits = big_endian(p, 8);
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return d;
    }
  }
}

std::string card(std::string text) {
  text.resize(kCard, ' ');
  return text;
}

std::string int_card(const char* keyword, long long v) {
  std::string c(keyword);
  c.resize(8, ' ');
  c += "= ";
  const std::string n = std::to_string(v);
  c.append(20 - n.size(), ' ');
  return card(c + n);
}

}  // namespace

std::optional<std::string> fits_card_value(std::string_view c, std::string_view keyword) {
  if (c.size() < 10 || c.substr(8, 2) != "= ") return std::nullopt;
  if (trim(c.substr(0, 8)) != keyword) return std::nullopt;
  std::string_view v = c.substr(10);
  const auto first = v.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string();
  v.remove_prefix(first);
  if (v.front() == '\'') {
    std::string s;
    for (std::size_t i = 1; i < v.size(); ++i) {
      if (v[i] == '\'') {
        if (i + 1 < v.size() && v[i + 1] == '\'') {
          s += '\'';
          ++i;
          continue;
        }
        break;
      }
      s += v[i];
    }
    return trim(s);
  }
  return trim(v.substr(0, v.find('/')));
}

FitsImageRead read_fits_image(const std::filesystem::path& path) {
  FitsImageRead result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot be opened";
    return result;
  }
  std::vector<std::string> cards;
  bool ended = false;
  for (int block = 0; block < kMaxHeaderBlocks && !ended; ++block) {
    char buf[FITS_BLOCK];
    if (!in.read(buf, FITS_BLOCK)) {
      result.error = "is shorter than its header";
      return result;
    }
    for (std::size_t at = 0; at < FITS_BLOCK && !ended; at += kCard) {
      cards.emplace_back(buf + at, kCard);
      ended = cards.back().compare(0, 8, "END     ") == 0;
    }
  }
  if (!ended || cards.size() < 4 ||
      cards[0].compare(0, 30, "SIMPLE  =                    T") != 0) {
    result.error = "is not a standard FITS image";
    return result;
  }
  auto value = [&](std::string_view key) -> std::optional<std::string> {
    for (const auto& c : cards)
      if (auto v = fits_card_value(c, key)) return v;
    return std::nullopt;
  };
  const auto bitpix = integer(value("BITPIX"));
  const auto naxis = integer(value("NAXIS"));
  const auto n1 = integer(value("NAXIS1"));
  const auto n2 = integer(value("NAXIS2"));
  const long long n3 = naxis && *naxis == 3 ? integer(value("NAXIS3")).value_or(0) : 1;
  if (!bitpix ||
      (*bitpix != 8 && *bitpix != 16 && *bitpix != 32 && *bitpix != -32 && *bitpix != -64)) {
    result.error = "has a sample type this program does not read";
    return result;
  }
  if (!naxis || (*naxis != 2 && *naxis != 3) || !n1 || !n2 || *n1 < 1 || *n2 < 1 ||
      (n3 != 1 && n3 != 3) || *n1 * *n2 * n3 > kMaxSamples) {
    result.error = "is neither a two-dimensional image nor three colour planes";
    return result;
  }
  const double bzero = real(value("BZERO")).value_or(0.0);
  const double bscale = real(value("BSCALE")).value_or(1.0);

  FitsImage image;
  image.width = static_cast<int>(*n1);
  image.height = static_cast<int>(*n2);
  image.planes = static_cast<int>(n3);
  image.rows_bottom_up = value("ROWORDER").value_or("BOTTOM-UP") != "TOP-DOWN";
  if (auto b = value("BAYERPAT"); b && !b->empty()) image.bayer_pattern = *b;
  image.bayer_x_offset = static_cast<int>(integer(value("XBAYROFF")).value_or(0));
  image.bayer_y_offset = static_cast<int>(integer(value("YBAYROFF")).value_or(0));

  const int bytes = static_cast<int>(std::abs(*bitpix) / 8);
  const std::size_t row_bytes = static_cast<std::size_t>(image.width) * bytes;
  std::vector<unsigned char> row(row_bytes);
  image.data.resize(static_cast<std::size_t>(image.width) * image.height * image.planes);
  for (int p = 0; p < image.planes; ++p) {
    for (int stored = 0; stored < image.height; ++stored) {
      if (!in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row_bytes))) {
        result.error = "is shorter than its image";
        return result;
      }
      const int y = image.rows_bottom_up ? image.height - 1 - stored : stored;
      float* out =
          image.data.data() + (static_cast<std::size_t>(p) * image.height + y) * image.width;
      for (int x = 0; x < image.width; ++x)
        out[x] = static_cast<float>(
            bzero + bscale * decode(row.data() + x * bytes, static_cast<int>(*bitpix)));
    }
  }
  result.image = std::move(image);
  return result;
}

bool write_float_fits(const std::filesystem::path& path, int width, int height, int planes,
                      const std::vector<float>& data, const std::vector<std::string>& history,
                      const std::string& software) {
  std::vector<std::string> c;
  c.push_back(card("SIMPLE  =                    T"));
  c.push_back(int_card("BITPIX", -32));
  c.push_back(int_card("NAXIS", planes == 3 ? 3 : 2));
  c.push_back(int_card("NAXIS1", width));
  c.push_back(int_card("NAXIS2", height));
  if (planes == 3) c.push_back(int_card("NAXIS3", 3));
  c.push_back(card("ROWORDER= 'BOTTOM-UP'"));
  if (!software.empty()) c.push_back(card("SWCREATE= " + fits_string_value(software)));
  constexpr std::size_t kText = 72;
  for (const auto& line : history)
    for (std::size_t at = 0; at < line.size() || at == 0; at += kText) {
      std::string piece = line.substr(at, kText);
      for (char& ch : piece)
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) > 0x7E)
          ch = '?';
      c.push_back(card("HISTORY " + piece));
      if (line.empty()) break;
    }
  c.push_back(card("END"));
  std::string header;
  for (const auto& k : c) header += k;
  header.resize((header.size() + FITS_BLOCK - 1) / FITS_BLOCK * FITS_BLOCK, ' ');

  AtomicFile out;
  if (!out.open(path) || !out.write(header.data(), header.size())) return false;
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 4);
  std::size_t written = 0;
  for (int p = 0; p < planes; ++p)
    for (int y = height - 1; y >= 0; --y) {
      const float* in = data.data() + (static_cast<std::size_t>(p) * height + y) * width;
      for (int x = 0; x < width; ++x) {
        std::uint32_t bits;
        std::memcpy(&bits, &in[x], sizeof bits);
        for (int k = 0; k < 4; ++k)
          row[4 * x + k] = static_cast<unsigned char>(bits >> (24 - 8 * k));
      }
      if (!out.write(row.data(), row.size())) return false;
      written += row.size();
    }
  const std::vector<unsigned char> zeros((FITS_BLOCK - written % FITS_BLOCK) % FITS_BLOCK, 0);
  if (!zeros.empty() && !out.write(zeros.data(), zeros.size())) return false;
  return out.commit(true);
}

}  // namespace tarvex
