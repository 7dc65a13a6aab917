#pragma once
// Base64 with the standard alphabet and "=" padding.

#include <string_view>

#include "util/bytes.h"

namespace sorvimend {

// A line feed after every 64 characters, none at the end (container, certificate and signature
// values, digests).
[[nodiscard]] Bytes base64EncodeLines(std::string_view data);

// One line without line feeds (vote randomness, proxy Basic credentials).
[[nodiscard]] Bytes base64EncodeLine(std::string_view data);

// Lenient: skips every character outside the alphabet, stops at the first "=", and turns a final
// group of two or three characters into one or two bytes (a lone final character is dropped).
[[nodiscard]] Bytes base64Decode(std::string_view text);

}  // namespace sorvimend
