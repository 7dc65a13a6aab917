#include "util/base64.h"

#include <array>
#include <cstdint>

namespace sorvimend {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> makeDecodeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}
constexpr auto kDecode = makeDecodeTable();

Bytes encode(std::string_view data, std::size_t lineLength) {
  Bytes out;
  const std::size_t groups = (data.size() + 2) / 3;
  out.reserve(groups * 4 + (lineLength ? groups * 4 / lineLength : 0));
  std::size_t column = 0;
  auto put = [&](char c) {
    if (lineLength != 0 && column == lineLength) {
      out.push_back('\n');
      column = 0;
    }
    out.push_back(c);
    ++column;
  };
  const auto* p = asUnsigned(data);
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const std::uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    put(kAlphabet[(v >> 18) & 63]);
    put(kAlphabet[(v >> 12) & 63]);
    put(kAlphabet[(v >> 6) & 63]);
    put(kAlphabet[v & 63]);
  }
  const std::size_t rest = data.size() - i;
  if (rest > 0) {
    const std::uint32_t v = (p[i] << 16) | (rest == 2 ? (p[i + 1] << 8) : 0);
    put(kAlphabet[(v >> 18) & 63]);
    put(kAlphabet[(v >> 12) & 63]);
    put(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
    put('=');
  }
  return out;
}

}  // namespace

Bytes base64EncodeLines(std::string_view data) { return encode(data, 64); }

Bytes base64EncodeLine(std::string_view data) { return encode(data, 0); }

Bytes base64Decode(std::string_view text) {
  Bytes out;
  out.reserve(text.size() / 4 * 3 + 3);
  std::uint32_t acc = 0;
  int count = 0;
  for (char ch : text) {
    if (ch == '=') break;
    const int v = kDecode[static_cast<unsigned char>(ch)];
    if (v < 0) continue;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<char>((acc >> 16) & 0xFF));
      out.push_back(static_cast<char>((acc >> 8) & 0xFF));
      out.push_back(static_cast<char>(acc & 0xFF));
      acc = 0;
      count = 0;
    }
  }
  if (count == 2) {
    out.push_back(static_cast<char>((acc >> 4) & 0xFF));
  } else if (count == 3) {
    out.push_back(static_cast<char>((acc >> 10) & 0xFF));
    out.push_back(static_cast<char>((acc >> 2) & 0xFF));
  }
  return out;
}

}  // namespace sorvimend
