// Encryption under whatever key the parser accepts: odd moduli, generators and public values
// must give a ciphertext or nothing, never a crash. Large moduli are only parsed, to keep each
// run quick.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "util/elgamal_public_key.h"
#include "vote/vote_encryption.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  const auto key = parseElectionKey(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!key || BN_num_bits(key->p.get()) > 1024) return 0;
  std::string randomness;
  for (std::size_t length : {0, 1, 13}) (void)encryptVote(*key, std::string(length, 'v'), randomness);
  return 0;
}
