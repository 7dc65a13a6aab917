#include "tools/demo-service/der_reader.h"

#include <cstddef>

namespace sorvimend::demo {

std::optional<DerElement> readDer(std::string_view& input) {
  if (input.size() < 2) return std::nullopt;
  const auto tag = static_cast<std::uint8_t>(input[0]);
  if ((tag & 0x1F) == 0x1F) return std::nullopt;
  const auto first = static_cast<std::uint8_t>(input[1]);
  std::size_t pos = 2;
  std::size_t length = 0;
  if (first < 0x80) {
    length = first;
  } else {
    const std::size_t octets = first & 0x7F;
    if (octets == 0 || octets > 4 || input.size() < pos + octets) return std::nullopt;
    for (std::size_t i = 0; i < octets; ++i) length = (length << 8) | static_cast<std::uint8_t>(input[pos + i]);
    pos += octets;
    // DER: the shortest length form only.
    if (length < 0x80 || static_cast<std::uint8_t>(input[2]) == 0) return std::nullopt;
  }
  if (input.size() - pos < length) return std::nullopt;
  DerElement element{tag, input.substr(pos, length)};
  input.remove_prefix(pos + length);
  return element;
}

std::optional<std::string_view> readOnlyDer(std::string_view input, std::uint8_t tag) {
  auto element = readDer(input);
  if (!element || element->tag != tag || !input.empty()) return std::nullopt;
  return element->content;
}

}  // namespace sorvimend::demo
