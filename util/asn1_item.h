#pragma once
// Values of the crypto library's ASN.1 templates (structures declared with ASN1_SEQUENCE):
// one owning pointer kind, and a strict decoder. Also the ElGamal algorithm identifier that
// the election key and the encrypted ballot share.

#include <climits>
#include <cstddef>
#include <memory>

#include <openssl/asn1.h>
#include <openssl/objects.h>

namespace sorvimend {

template <class T>
struct Asn1ItemFree {
  const ASN1_ITEM* item;
  void operator()(T* value) const noexcept { ASN1_item_free(reinterpret_cast<ASN1_VALUE*>(value), item); }
};
template <class T>
using Asn1ItemPtr = std::unique_ptr<T, Asn1ItemFree<T>>;

template <class T>
[[nodiscard]] Asn1ItemPtr<T> newAsn1Item(const ASN1_ITEM* item) {
  return Asn1ItemPtr<T>(reinterpret_cast<T*>(ASN1_item_new(item)), Asn1ItemFree<T>{item});
}

// Decodes the whole of data as one value of item; trailing bytes make it fail, so that a value
// with garbage after it is not taken for a good one.
template <class T>
[[nodiscard]] Asn1ItemPtr<T> decodeWholeAsn1Item(const ASN1_ITEM* item, const unsigned char* data, std::size_t length) {
  Asn1ItemPtr<T> value(nullptr, Asn1ItemFree<T>{item});
  if (data == nullptr || length == 0 || length > static_cast<std::size_t>(LONG_MAX)) return value;
  const unsigned char* cursor = data;
  value.reset(reinterpret_cast<T*>(ASN1_item_d2i(nullptr, &cursor, static_cast<long>(length), item)));
  if (value && cursor != data + length) value.reset();
  return value;
}

inline constexpr char kElGamalAlgorithmOid[] = "1.3.6.1.4.1.3029.2.1";

// A new object for the ElGamal algorithm identifier (the caller frees it), null when the library
// cannot make one.
[[nodiscard]] inline ASN1_OBJECT* newElGamalAlgorithmObject() { return OBJ_txt2obj(kElGamalAlgorithmOid, 1); }

[[nodiscard]] inline bool isElGamalAlgorithm(const ASN1_OBJECT* algorithm) {
  ASN1_OBJECT* expected = newElGamalAlgorithmObject();
  const bool same = expected != nullptr && algorithm != nullptr && OBJ_cmp(algorithm, expected) == 0;
  ASN1_OBJECT_free(expected);
  return same;
}

}  // namespace sorvimend
