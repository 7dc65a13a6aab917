#pragma once
// Byte strings are std::string throughout: texts are UTF-8 byte strings compared byte for byte,
// and binary data (DER, digests, ciphertexts) travels the same way.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorvimend {

using Bytes = std::string;

inline const unsigned char* asUnsigned(std::string_view bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}

inline Bytes bytesFrom(const unsigned char* data, std::size_t size) {
  return Bytes(reinterpret_cast<const char*>(data), size);
}

// Overwrites a secret (PIN, key material) in a way the optimiser may not drop.
void secureWipe(void* data, std::size_t size) noexcept;
inline void secureWipe(std::string& secret) noexcept {
  secureWipe(secret.data(), secret.size());
  secret.clear();
}

}  // namespace sorvimend
