// The election key parser on arbitrary DER.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "util/elgamal_public_key.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  const auto key = parseElectionKey(std::string_view(reinterpret_cast<const char*>(data), size));
  if (key && (!key->p || !key->g || !key->y)) std::abort();
  (void)keyMatchesElection(key, "DEMO2026");
  return 0;
}
