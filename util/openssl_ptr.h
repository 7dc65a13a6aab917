#pragma once
// One owning pointer alias per OpenSSL handle kind. The deleter carries no state, so each pointer
// is one word. Borrowed handles (get0 results) stay plain pointers.
// Legacy key objects (RSA, EC_KEY) used by the card hooks have their aliases in
// util/openssl_legacy_ptr.h, so that the deprecation silencing stays in the files that need it.

#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/ocsp.h>
#include <openssl/pkcs7.h>
#include <openssl/ssl.h>
#include <openssl/ts.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

namespace sorvimend {

template <class T, void (*Free)(T*)>
struct CFree {
  void operator()(T* p) const noexcept { Free(p); }
};

inline void freeX509Stack(STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); }
inline void freeOpenSslBytes(unsigned char* p) { OPENSSL_free(p); }
inline void freeBignumSecret(BIGNUM* p) { BN_clear_free(p); }

using X509Ptr = std::unique_ptr<X509, CFree<X509, X509_free>>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), CFree<STACK_OF(X509), freeX509Stack>>;
using X509StorePtr = std::unique_ptr<X509_STORE, CFree<X509_STORE, X509_STORE_free>>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, CFree<X509_STORE_CTX, X509_STORE_CTX_free>>;
using X509NamePtr = std::unique_ptr<X509_NAME, CFree<X509_NAME, X509_NAME_free>>;
using X509SigPtr = std::unique_ptr<X509_SIG, CFree<X509_SIG, X509_SIG_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, CFree<EVP_PKEY, EVP_PKEY_free>>;
using EvpPkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, CFree<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using EvpMdCtxPtr = std::unique_ptr<EVP_MD_CTX, CFree<EVP_MD_CTX, EVP_MD_CTX_free>>;
using BioPtr = std::unique_ptr<BIO, CFree<BIO, BIO_free_all>>;
using BignumPtr = std::unique_ptr<BIGNUM, CFree<BIGNUM, BN_free>>;
using SecretBignumPtr = std::unique_ptr<BIGNUM, CFree<BIGNUM, freeBignumSecret>>;
using BnCtxPtr = std::unique_ptr<BN_CTX, CFree<BN_CTX, BN_CTX_free>>;
using EcdsaSigPtr = std::unique_ptr<ECDSA_SIG, CFree<ECDSA_SIG, ECDSA_SIG_free>>;
using SslCtxPtr = std::unique_ptr<SSL_CTX, CFree<SSL_CTX, SSL_CTX_free>>;
using SslPtr = std::unique_ptr<SSL, CFree<SSL, SSL_free>>;
using OcspResponsePtr = std::unique_ptr<OCSP_RESPONSE, CFree<OCSP_RESPONSE, OCSP_RESPONSE_free>>;
using OcspBasicRespPtr = std::unique_ptr<OCSP_BASICRESP, CFree<OCSP_BASICRESP, OCSP_BASICRESP_free>>;
using OcspCertIdPtr = std::unique_ptr<OCSP_CERTID, CFree<OCSP_CERTID, OCSP_CERTID_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, CFree<PKCS7, PKCS7_free>>;
using TsRespPtr = std::unique_ptr<TS_RESP, CFree<TS_RESP, TS_RESP_free>>;
using TsTstInfoPtr = std::unique_ptr<TS_TST_INFO, CFree<TS_TST_INFO, TS_TST_INFO_free>>;
using TsReqPtr = std::unique_ptr<TS_REQ, CFree<TS_REQ, TS_REQ_free>>;
using TsRespCtxPtr = std::unique_ptr<TS_RESP_CTX, CFree<TS_RESP_CTX, TS_RESP_CTX_free>>;
using TsVerifyCtxPtr = std::unique_ptr<TS_VERIFY_CTX, CFree<TS_VERIFY_CTX, TS_VERIFY_CTX_free>>;
using Asn1IntegerPtr = std::unique_ptr<ASN1_INTEGER, CFree<ASN1_INTEGER, ASN1_INTEGER_free>>;
using Asn1TimePtr = std::unique_ptr<ASN1_TIME, CFree<ASN1_TIME, ASN1_TIME_free>>;
using Asn1OctetStringPtr = std::unique_ptr<ASN1_OCTET_STRING, CFree<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>>;
using OpenSslBytesPtr = std::unique_ptr<unsigned char, CFree<unsigned char, freeOpenSslBytes>>;

}  // namespace sorvimend
