// The ballot ciphertext decoder (used by the tools on files from outside).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vote/elgamal_ciphertext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  ElGamalCiphertext cipher;
  if (decodeElGamalCipher(std::string_view(reinterpret_cast<const char*>(data), size), cipher) ==
      CipherDecodeStatus::Ok) {
    if (!cipher.a || !cipher.b) std::abort();
    // What decodes must encode back to a ciphertext again.
    if (encodeElGamalCipher(cipher.a.get(), cipher.b.get()).empty()) std::abort();
  }
  return 0;
}
