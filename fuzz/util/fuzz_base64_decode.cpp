// The lenient Base64 decoder on arbitrary text. Whatever it yields must survive a round trip
// through the encoder, and can never be longer than three bytes for every four characters.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "util/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Bytes decoded = base64Decode(text);
  if (decoded.size() > size / 4 * 3 + 2) std::abort();
  if (base64Decode(base64EncodeLines(decoded)) != decoded) std::abort();
  if (base64Decode(base64EncodeLine(decoded)) != decoded) std::abort();
  return 0;
}
