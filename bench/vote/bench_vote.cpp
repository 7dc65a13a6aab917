// What the signing step costs the voter's computer: one encryption under a 3072-bit election key
// (RFC 3526 group 15), the signed information and its digest; and the modular exponentiations
// inside the encryption on their own.
#include <benchmark/benchmark.h>

#include <openssl/ec.h>
#include <openssl/x509.h>

#include <stdexcept>
#include <string>

#include "util/cert_set.h"
#include "util/elgamal_public_key.h"
#include "vote/vote_container.h"
#include "vote/vote_encryption.h"

namespace sorvimend {
namespace {

struct Fixture {
  ElGamalPublicKey key;
  BignumPtr q;
  Bytes certificateDer;

  Fixture() {
    key.p.reset(BN_get_rfc3526_prime_3072(nullptr));
    key.g.reset(BN_new());
    key.y.reset(BN_new());
    q.reset(BN_new());
    BignumPtr x(BN_new());
    BnCtxPtr ctx(BN_CTX_new());
    if (!key.p || !key.g || !key.y || !q || !x || !ctx || !BN_set_word(key.g.get(), 2) ||
        !BN_rshift1(q.get(), key.p.get()) || !BN_rand_range(x.get(), q.get()) ||
        !BN_mod_exp(key.y.get(), key.g.get(), x.get(), key.p.get(), ctx.get())) {
      throw std::runtime_error("key");
    }
    key.electionId = "BENCH";

    // A self-signed P-384 certificate, as the ID card's signing certificate would be.
    EvpPkeyPtr pkey(EVP_EC_gen("P-384"));
    X509Ptr cert(X509_new());
    if (!pkey || !cert) throw std::runtime_error("certificate");
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 123456789);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Bench"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400);
    X509_set_pubkey(cert.get(), pkey.get());
    if (X509_sign(cert.get(), pkey.get(), EVP_sha256()) <= 0) throw std::runtime_error("sign");
    certificateDer = sorvimend::certificateDer(cert.get());
  }
};

const Fixture& fixture() {
  static const Fixture f;
  return f;
}

const std::string kPlaintext = "0482.101\x1F" "Erakond\x1FMari Maasikas";

void BM_EncryptBuildSignedInfoDigest(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    std::string randomness;
    Bytes ballot = encryptVote(f.key, kPlaintext, randomness);
    VoteContainer container;
    if (ballot.empty() || container.setSignerCertificate(f.certificateDer) != ContainerResult::Ok) {
      state.SkipWithError("encryption failed");
      break;
    }
    container.addDataFile(kBallotMediaType, std::move(ballot), "BENCH.Q1.ballot");
    if (container.buildSignedInformation() != ContainerResult::Ok) {
      state.SkipWithError("signed information failed");
      break;
    }
    benchmark::DoNotOptimize(container.digestToSign());
  }
}
BENCHMARK(BM_EncryptBuildSignedInfoDigest)->Unit(benchmark::kMillisecond);

// g^r and y^r with a secret exponent of q's size (constant-time path), as the encryption does.
void BM_ModExpSecretExponent(benchmark::State& state) {
  const Fixture& f = fixture();
  BnCtxPtr ctx(BN_CTX_new());
  BignumPtr r(BN_new());
  BignumPtr out(BN_new());
  BN_rand_range(r.get(), f.q.get());
  BN_set_flags(r.get(), BN_FLG_CONSTTIME);
  for (auto _ : state) {
    BN_mod_exp(out.get(), f.key.y.get(), r.get(), f.key.p.get(), ctx.get());
    benchmark::DoNotOptimize(out.get());
  }
}
BENCHMARK(BM_ModExpSecretExponent)->Unit(benchmark::kMillisecond);

// m^q for the residue test: a public exponent, so the faster variable-time path.
void BM_ModExpResidueTest(benchmark::State& state) {
  const Fixture& f = fixture();
  BnCtxPtr ctx(BN_CTX_new());
  BignumPtr m(BN_new());
  BignumPtr out(BN_new());
  BN_rand_range(m.get(), f.q.get());
  for (auto _ : state) {
    BN_mod_exp(out.get(), m.get(), f.q.get(), f.key.p.get(), ctx.get());
    benchmark::DoNotOptimize(out.get());
  }
}
BENCHMARK(BM_ModExpResidueTest)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorvimend

BENCHMARK_MAIN();
