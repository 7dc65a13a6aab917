#pragma once
// A minimal reader of DER TLVs: enough to take apart the ballot ciphertext and the election key
// without trusting any length the input claims.

#include <cstdint>
#include <optional>
#include <string_view>

namespace sorvimend::demo {

struct DerElement {
  std::uint8_t tag = 0;
  std::string_view content;  // a view into the input
};

// Reads one element from the front of input and moves input past it. Nothing for a truncated
// element, a long-form tag, an indefinite length or a length that is not minimal.
[[nodiscard]] std::optional<DerElement> readDer(std::string_view& input);

// Reads exactly one element of the given tag that fills the whole input.
[[nodiscard]] std::optional<std::string_view> readOnlyDer(std::string_view input, std::uint8_t tag);

constexpr std::uint8_t kDerInteger = 0x02;
constexpr std::uint8_t kDerBitString = 0x03;
constexpr std::uint8_t kDerOid = 0x06;
constexpr std::uint8_t kDerGeneralString = 0x1B;
constexpr std::uint8_t kDerSequence = 0x30;

}  // namespace sorvimend::demo
