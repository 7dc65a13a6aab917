#include "vote/elgamal_ciphertext.h"

#include <climits>

#include <openssl/asn1t.h>
#include <openssl/objects.h>

#include "util/asn1_item.h"
#include "util/openssl_error.h"

namespace sorvimend {
namespace {

struct ELGAMAL_CIPHERTEXT {
  ASN1_INTEGER* a;
  ASN1_INTEGER* b;
};

struct ELGAMAL_CIPHER {
  X509_ALGOR* alg;
  ASN1_TYPE* cipher;
};

}  // namespace
}  // namespace sorvimend

using sorvimend::ELGAMAL_CIPHER;
using sorvimend::ELGAMAL_CIPHERTEXT;

ASN1_SEQUENCE(ELGAMAL_CIPHERTEXT) = {
    ASN1_SIMPLE(ELGAMAL_CIPHERTEXT, a, ASN1_INTEGER),
    ASN1_SIMPLE(ELGAMAL_CIPHERTEXT, b, ASN1_INTEGER),
} static_ASN1_SEQUENCE_END(ELGAMAL_CIPHERTEXT)

ASN1_SEQUENCE(ELGAMAL_CIPHER) = {
    ASN1_SIMPLE(ELGAMAL_CIPHER, alg, X509_ALGOR),
    ASN1_SIMPLE(ELGAMAL_CIPHER, cipher, ASN1_ANY),
} static_ASN1_SEQUENCE_END(ELGAMAL_CIPHER)

namespace sorvimend {
namespace {

Bytes encodeItem(const void* value, const ASN1_ITEM* item) {
  unsigned char* der = nullptr;
  const int length = ASN1_item_i2d(static_cast<const ASN1_VALUE*>(value), &der, item);
  if (length <= 0 || der == nullptr) return {};
  OpenSslBytesPtr owned(der);
  return bytesFrom(der, static_cast<std::size_t>(length));
}

Bytes encode(const BIGNUM* a, const BIGNUM* b) {
  if (a == nullptr || b == nullptr || BN_is_negative(a) || BN_is_negative(b)) return {};
  auto text = newAsn1Item<ELGAMAL_CIPHERTEXT>(ASN1_ITEM_rptr(ELGAMAL_CIPHERTEXT));
  if (!text || !BN_to_ASN1_INTEGER(a, text->a) || !BN_to_ASN1_INTEGER(b, text->b)) return {};
  const Bytes inner = encodeItem(text.get(), ASN1_ITEM_rptr(ELGAMAL_CIPHERTEXT));
  if (inner.empty() || inner.size() > static_cast<std::size_t>(INT_MAX)) return {};

  auto cipher = newAsn1Item<ELGAMAL_CIPHER>(ASN1_ITEM_rptr(ELGAMAL_CIPHER));
  if (!cipher) return {};
  ASN1_OBJECT* oid = newElGamalAlgorithmObject();
  // V_ASN1_UNDEF leaves the parameters field out altogether (not even a NULL).
  if (oid == nullptr || !X509_ALGOR_set0(cipher->alg, oid, V_ASN1_UNDEF, nullptr)) {
    ASN1_OBJECT_free(oid);
    return {};
  }
  // An ANY of type SEQUENCE holds its complete encoding.
  ASN1_STRING* sequence = ASN1_STRING_type_new(V_ASN1_SEQUENCE);
  if (sequence == nullptr || !ASN1_STRING_set(sequence, inner.data(), static_cast<int>(inner.size()))) {
    ASN1_STRING_free(sequence);
    return {};
  }
  ASN1_TYPE_set(cipher->cipher, V_ASN1_SEQUENCE, sequence);
  return encodeItem(cipher.get(), ASN1_ITEM_rptr(ELGAMAL_CIPHER));
}

CipherDecodeStatus decode(std::string_view der, ElGamalCiphertext& out) {
  auto cipher = decodeWholeAsn1Item<ELGAMAL_CIPHER>(ASN1_ITEM_rptr(ELGAMAL_CIPHER), asUnsigned(der), der.size());
  if (!cipher) return CipherDecodeStatus::NotDer;

  const ASN1_OBJECT* algorithm = nullptr;
  int parameterType = V_ASN1_UNDEF;
  const void* parameterValue = nullptr;
  X509_ALGOR_get0(&algorithm, &parameterType, &parameterValue, cipher->alg);
  if (!isElGamalAlgorithm(algorithm) || parameterType != V_ASN1_UNDEF) return CipherDecodeStatus::WrongAlgorithm;

  if (cipher->cipher->type != V_ASN1_SEQUENCE) return CipherDecodeStatus::NotDer;
  const ASN1_STRING* encoding = cipher->cipher->value.sequence;
  const int encodingLength = ASN1_STRING_length(encoding);
  if (encodingLength <= 0) return CipherDecodeStatus::NotDer;
  auto text = decodeWholeAsn1Item<ELGAMAL_CIPHERTEXT>(ASN1_ITEM_rptr(ELGAMAL_CIPHERTEXT), ASN1_STRING_get0_data(encoding),
                                                      static_cast<std::size_t>(encodingLength));
  if (!text) return CipherDecodeStatus::NotDer;
  out.a.reset(ASN1_INTEGER_to_BN(text->a, nullptr));
  out.b.reset(ASN1_INTEGER_to_BN(text->b, nullptr));
  if (!out.a || !out.b) return CipherDecodeStatus::NotDer;
  if (BN_is_negative(out.a.get()) || BN_is_negative(out.b.get())) return CipherDecodeStatus::NegativeInteger;
  return CipherDecodeStatus::Ok;
}

}  // namespace

Bytes encodeElGamalCipher(const BIGNUM* a, const BIGNUM* b) {
  Bytes der = encode(a, b);
  clearOpenSslErrors();
  return der;
}

CipherDecodeStatus decodeElGamalCipher(std::string_view der, ElGamalCiphertext& out) {
  const CipherDecodeStatus status = decode(der, out);
  clearOpenSslErrors();
  return status;
}

}  // namespace sorvimend
