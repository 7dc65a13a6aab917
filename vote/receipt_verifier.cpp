#include "vote/receipt_verifier.h"

#include <climits>

#include <openssl/err.h>
#include <openssl/objects.h>

#include "util/base64.h"
#include "util/bytes.h"
#include "util/cert_set.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

namespace {

// A failure code leaves no stale entry in OpenSSL's error queue behind it.
ReceiptCode fail(ReceiptCode code) {
  ERR_clear_error();
  return code;
}

std::string_view upToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

Pkcs7Ptr decodePkcs7(std::string_view der) {
  const unsigned char* p = asUnsigned(der);
  if (der.empty() || der.size() > static_cast<std::size_t>(LONG_MAX)) return nullptr;
  return Pkcs7Ptr(d2i_PKCS7(nullptr, &p, static_cast<long>(der.size())));
}

// Certificates of a set, or empty when any text of a non-empty set is not a certificate.
std::vector<X509Ptr> certificateList(const std::vector<std::string>& pemTexts) {
  auto certificates = certificatesFromPem(pemTexts);
  if (certificates.size() != pemTexts.size()) certificates.clear();
  return certificates;
}

bool verifyWithKey(EVP_PKEY* key, const EVP_MD* digest, std::string_view signature, std::string_view data) {
  EvpMdCtxPtr ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, digest, nullptr, key) != 1) return false;
  return EVP_DigestVerify(ctx.get(), asUnsigned(signature), signature.size(), asUnsigned(data), data.size()) == 1;
}

}  // namespace

ReceiptCode checkOcsp(std::string_view ocspDer, std::string_view signerDer,
                      const std::vector<std::string>& ocspCerts, const std::vector<std::string>& issuerCerts) {
  const unsigned char* p = asUnsigned(ocspDer);
  OcspResponsePtr response(ocspDer.empty() || ocspDer.size() > static_cast<std::size_t>(LONG_MAX)
                               ? nullptr
                               : d2i_OCSP_RESPONSE(nullptr, &p, static_cast<long>(ocspDer.size())));
  if (!response) return fail(ReceiptCode::OcspNotDer);
  X509Ptr signer = certificateFromDer(signerDer);
  if (!signer) return fail(ReceiptCode::SignerNotDer);
  if (OCSP_response_status(response.get()) != OCSP_RESPONSE_STATUS_SUCCESSFUL) {
    return fail(ReceiptCode::OcspNotSuccessful);
  }
  OcspBasicRespPtr basic(OCSP_response_get1_basic(response.get()));
  if (!basic) return fail(ReceiptCode::OcspNoBasicResponse);

  if (!ocspCerts.empty()) {
    const auto responders = certificateList(ocspCerts);
    X509StackPtr list = responders.empty() ? nullptr : certificateStack(responders);
    X509StorePtr emptyStore(X509_STORE_new());
    if (!list || !emptyStore) return fail(ReceiptCode::OcspListNotBuilt);
    if (OCSP_basic_verify(basic.get(), list.get(), emptyStore.get(), OCSP_NOINTERN | OCSP_TRUSTOTHER) != 1) {
      return fail(ReceiptCode::OcspNotVerified);
    }
  } else {
    X509StorePtr store = issuerCerts.empty() ? nullptr : trustStoreFromPem(issuerCerts);
    if (!store) return fail(ReceiptCode::IssuerStoreNotBuilt);
    if (OCSP_basic_verify(basic.get(), nullptr, store.get(), 0) != 1) return fail(ReceiptCode::OcspNotVerified);
  }

  const auto issuers = certificateList(issuerCerts);
  if (issuers.empty()) return fail(ReceiptCode::IssuerListNotBuilt);
  const X509* issuer = nullptr;
  for (const auto& candidate : issuers) {
    if (X509_check_issued(candidate.get(), signer.get()) == X509_V_OK) {
      issuer = candidate.get();
      break;
    }
  }
  if (issuer == nullptr) return fail(ReceiptCode::IssuerNotFound);
  OcspCertIdPtr id(OCSP_cert_to_id(EVP_sha1(), signer.get(), issuer));
  if (!id) return fail(ReceiptCode::IssuerNotFound);

  int status = -1;
  int reason = -1;
  ASN1_GENERALIZEDTIME* revokedAt = nullptr;
  ASN1_GENERALIZEDTIME* thisUpdate = nullptr;
  ASN1_GENERALIZEDTIME* nextUpdate = nullptr;
  if (OCSP_resp_find_status(basic.get(), id.get(), &status, &reason, &revokedAt, &thisUpdate, &nextUpdate) != 1) {
    return fail(ReceiptCode::NoSingleResponse);
  }
  // Only a "good" answer shows the signing certificate was valid when the vote was registered.
  if (status != V_OCSP_CERTSTATUS_GOOD) return fail(ReceiptCode::SignerNotGood);
  return ReceiptCode::Verified;
}

ReceiptCode checkTimeStamp(std::string_view tokenDer, std::string_view signatureValueElement,
                           const std::vector<std::string>& tsaCerts) {
  Pkcs7Ptr token = decodePkcs7(tokenDer);
  if (!token) return fail(ReceiptCode::TimeStampNotPkcs7);
  const std::string_view data = upToZero(signatureValueElement);
  // A read-only view of the element; it outlives the verification context that reads it.
  BioPtr dataBio(data.size() > static_cast<std::size_t>(INT_MAX)
                     ? nullptr
                     : BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
  if (!dataBio) return fail(ReceiptCode::TimeStampDataUnavailable);
  X509StorePtr store = tsaCerts.empty() ? nullptr : trustStoreFromPem(tsaCerts);
  if (!store) return fail(ReceiptCode::TsaStoreNotBuilt);
  const auto certificates = certificateList(tsaCerts);
  X509StackPtr list = certificates.empty() ? nullptr : certificateStack(certificates);
  if (!list) return fail(ReceiptCode::TsaListNotBuilt);

  TsVerifyCtxPtr ctx(TS_VERIFY_CTX_new());
  if (!ctx) return fail(ReceiptCode::TsContextNotCreated);
  // The context takes ownership of the store, the list and the data.
  if (TS_VERIFY_CTX_set_store(ctx.get(), store.get()) == nullptr) return fail(ReceiptCode::TsStoreNotSet);
  store.release();
  if (TS_VERIFY_CTX_set_certs(ctx.get(), list.get()) == nullptr) return fail(ReceiptCode::TsCertificatesNotSet);
  list.release();
  if (TS_VERIFY_CTX_set_data(ctx.get(), dataBio.get()) == nullptr) return fail(ReceiptCode::TsDataNotSet);
  dataBio.release();
  TS_VERIFY_CTX_set_flags(ctx.get(), TS_VFY_SIGNATURE | TS_VFY_VERSION | TS_VFY_DATA | TS_VFY_SIGNER);

  if (TS_RESP_verify_token(ctx.get(), token.get()) != 1) return fail(ReceiptCode::TimeStampNotVerified);
  return ReceiptCode::Verified;
}

ReceiptCode checkRegistration(std::string_view tokenDer, std::string_view signatureValueElement,
                              const std::vector<std::string>& regCerts) {
  Pkcs7Ptr token = decodePkcs7(tokenDer);
  if (!token) return fail(ReceiptCode::RegistrationNotPkcs7);
  TsTstInfoPtr info(PKCS7_to_TS_TST_INFO(token.get()));
  if (!info) return fail(ReceiptCode::NonceMissing);
  const ASN1_INTEGER* nonce = TS_TST_INFO_get_nonce(info.get());
  if (nonce == nullptr) return fail(ReceiptCode::NonceMissing);
  // The nonce's magnitude octets carry the DER X509_SIG.
  const unsigned char* p = ASN1_STRING_get0_data(nonce);
  const int length = ASN1_STRING_length(nonce);
  X509SigPtr sig(length > 0 ? d2i_X509_SIG(nullptr, &p, length) : nullptr);
  if (!sig) return fail(ReceiptCode::NonceMissing);

  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* signature = nullptr;
  X509_SIG_get0(sig.get(), &algorithm, &signature);
  const ASN1_OBJECT* oid = nullptr;
  X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
  const char* shortName = OBJ_nid2sn(OBJ_obj2nid(oid));
  const EVP_MD* digest = shortName ? EVP_get_digestbyname(shortName) : nullptr;
  if (digest == nullptr) return fail(ReceiptCode::NonceNotVerified);

  const std::string_view signatureBytes(reinterpret_cast<const char*>(ASN1_STRING_get0_data(signature)),
                                        static_cast<std::size_t>(ASN1_STRING_length(signature)));
  const std::string_view data = upToZero(signatureValueElement);
  for (const auto& certificate : certificatesFromPem(regCerts)) {
    EVP_PKEY* key = X509_get0_pubkey(certificate.get());
    if (key != nullptr && verifyWithKey(key, digest, signatureBytes, data)) return ReceiptCode::Verified;
    ERR_clear_error();
  }
  return fail(ReceiptCode::NonceNotVerified);
}

ReceiptCode verifyReceipt(const ReceiptEvidence& evidence, const ReceiptTrust& trust) {
  const Bytes ocsp = base64Decode(evidence.ocspResponse);
  if (auto code = checkOcsp(ocsp, evidence.signerCertificateDer, trust.ocspCerts, trust.issuerCerts);
      code != ReceiptCode::Verified) {
    return code;
  }
  const Bytes registration = base64Decode(evidence.registration);
  if (auto code = checkTimeStamp(registration, evidence.signatureValueElement, trust.tsaCerts);
      code != ReceiptCode::Verified) {
    return code;
  }
  return checkRegistration(registration, evidence.signatureValueElement, trust.regCerts);
}

}  // namespace sorvimend
