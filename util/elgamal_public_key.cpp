#include "util/elgamal_public_key.h"

#include <cstring>

#include <openssl/asn1t.h>
#include <openssl/objects.h>

#include "util/asn1_item.h"
#include "util/bytes.h"
#include "util/openssl_error.h"

namespace sorvimend {
namespace {

// The structures the key is made of, as the crypto library's ASN.1 machinery knows them. Items
// stay file-local so that nothing here can clash with the ciphertext types of the vote code.
struct SubjectPublicKeyInfoAsn1 {
  X509_ALGOR* algorithm;
  ASN1_BIT_STRING* subjectPublicKey;
};

struct ELGAMAL_PARAMS {
  ASN1_INTEGER* p;
  ASN1_INTEGER* g;
  ASN1_GENERALSTRING* election_id;
};

struct ELGAMAL_PUBKEY {
  ASN1_INTEGER* y;
};

}  // namespace
}  // namespace sorvimend

using sorvimend::ELGAMAL_PARAMS;
using sorvimend::ELGAMAL_PUBKEY;
using sorvimend::SubjectPublicKeyInfoAsn1;

ASN1_SEQUENCE(SubjectPublicKeyInfoAsn1) = {
    ASN1_SIMPLE(SubjectPublicKeyInfoAsn1, algorithm, X509_ALGOR),
    ASN1_SIMPLE(SubjectPublicKeyInfoAsn1, subjectPublicKey, ASN1_BIT_STRING),
} static_ASN1_SEQUENCE_END(SubjectPublicKeyInfoAsn1)

ASN1_SEQUENCE(ELGAMAL_PARAMS) = {
    ASN1_SIMPLE(ELGAMAL_PARAMS, p, ASN1_INTEGER),
    ASN1_SIMPLE(ELGAMAL_PARAMS, g, ASN1_INTEGER),
    ASN1_SIMPLE(ELGAMAL_PARAMS, election_id, ASN1_GENERALSTRING),
} static_ASN1_SEQUENCE_END(ELGAMAL_PARAMS)

ASN1_SEQUENCE(ELGAMAL_PUBKEY) = {
    ASN1_SIMPLE(ELGAMAL_PUBKEY, y, ASN1_INTEGER),
} static_ASN1_SEQUENCE_END(ELGAMAL_PUBKEY)

namespace sorvimend {
namespace {

BignumPtr toBignum(const ASN1_INTEGER* integer) { return BignumPtr(ASN1_INTEGER_to_BN(integer, nullptr)); }

std::optional<ElGamalPublicKey> parse(std::string_view der) {
  auto spki = decodeWholeAsn1Item<SubjectPublicKeyInfoAsn1>(ASN1_ITEM_rptr(SubjectPublicKeyInfoAsn1),
                                                            asUnsigned(der), der.size());
  if (!spki) return std::nullopt;

  const ASN1_OBJECT* algorithm = nullptr;
  int parameterType = V_ASN1_UNDEF;
  const void* parameterValue = nullptr;
  X509_ALGOR_get0(&algorithm, &parameterType, &parameterValue, spki->algorithm);
  if (!isElGamalAlgorithm(algorithm)) return std::nullopt;

  // A SEQUENCE parameter is kept by the library as its complete encoding.
  if (parameterType != V_ASN1_SEQUENCE || parameterValue == nullptr) return std::nullopt;
  const auto* parameterEncoding = static_cast<const ASN1_STRING*>(parameterValue);
  auto params = decodeWholeAsn1Item<ELGAMAL_PARAMS>(ASN1_ITEM_rptr(ELGAMAL_PARAMS), ASN1_STRING_get0_data(parameterEncoding),
                                            ASN1_STRING_length(parameterEncoding));
  if (!params) return std::nullopt;

  const ASN1_BIT_STRING* bits = spki->subjectPublicKey;
  auto pub = decodeWholeAsn1Item<ELGAMAL_PUBKEY>(ASN1_ITEM_rptr(ELGAMAL_PUBKEY), ASN1_STRING_get0_data(bits),
                                         ASN1_STRING_length(bits));
  if (!pub) return std::nullopt;

  ElGamalPublicKey key;
  key.p = toBignum(params->p);
  key.g = toBignum(params->g);
  key.y = toBignum(pub->y);
  if (!key.p || !key.g || !key.y) return std::nullopt;
  key.electionId = bytesFrom(ASN1_STRING_get0_data(params->election_id),
                             static_cast<std::size_t>(ASN1_STRING_length(params->election_id)));
  return key;
}

// The text up to its first zero byte.
std::string_view untilNul(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

std::optional<ElGamalPublicKey> parseElectionKey(std::string_view der) {
  auto key = parse(der);
  clearOpenSslErrors();
  return key;
}

bool keyMatchesElection(const std::optional<ElGamalPublicKey>& key, std::string_view electionId) {
  if (!key || !key->p || !key->g) return false;
  return untilNul(key->electionId) == untilNul(electionId);
}

}  // namespace sorvimend
