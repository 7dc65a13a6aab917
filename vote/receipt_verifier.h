#pragma once
// Checking the voting service's receipt for a submitted vote: an OCSP response for the signer
// certificate, and the registration token, an RFC 3161 time stamp over the signature value
// element whose nonce is the registration service's signature over the same element.
// Takes its inputs as plain values; the caller reads them from the reply, the container and the
// bundle, and stores the verification text only on success.

#include <string>
#include <string_view>
#include <vector>

namespace sorvimend {

// The first failing step; the number is the detail of the VERIFY error shown to the voter.
enum class ReceiptCode : int {
  Verified = 0,
  RegistrationNotPkcs7 = 1,
  NonceMissing = 2,           // no time-stamp info, no nonce, or nonce not a DER X509_SIG
  NonceNotVerified = 3,       // no REG_CERTS key verifies the nonce signature
  TimeStampNotPkcs7 = 4,
  TimeStampDataUnavailable = 5,
  TsaStoreNotBuilt = 6,
  TsaListNotBuilt = 7,
  TsContextNotCreated = 8,
  TsStoreNotSet = 9,
  TsCertificatesNotSet = 10,
  TsDataNotSet = 11,
  TimeStampNotVerified = 12,
  OcspNotDer = 13,
  SignerNotDer = 14,
  OcspNotSuccessful = 15,
  OcspNoBasicResponse = 16,
  OcspListNotBuilt = 17,
  IssuerStoreNotBuilt = 18,
  OcspNotVerified = 19,
  IssuerListNotBuilt = 20,
  IssuerNotFound = 21,
  NoSingleResponse = 22,
  SignerNotGood = 23,         // the single response says revoked or unknown
};

// Certificate sets from the bundle, each a list of PEM texts.
struct ReceiptTrust {
  std::vector<std::string> ocspCerts;
  std::vector<std::string> issuerCerts;
  std::vector<std::string> tsaCerts;
  std::vector<std::string> regCerts;
};

struct ReceiptEvidence {
  std::string_view ocspResponse;          // Base64 (lenient decoding)
  std::string_view registration;          // Base64 (lenient decoding)
  std::string_view signerCertificateDer;
  std::string_view signatureValueElement;  // read up to its first zero byte
};

// The three checks in order: OCSP, time stamp, registration; the first failure is returned.
[[nodiscard]] ReceiptCode verifyReceipt(const ReceiptEvidence& evidence, const ReceiptTrust& trust);

// The single checks, on decoded DER.
// OCSP: with OCSP_CERTS present the responder must be one of them (trusted directly, the
// response's own certificates ignored); otherwise its chain must reach ISSUER_CERTS and it must be
// authorised by the issuing CA. The signer's single response must exist and say "good".
[[nodiscard]] ReceiptCode checkOcsp(std::string_view ocspDer, std::string_view signerDer,
                                    const std::vector<std::string>& ocspCerts,
                                    const std::vector<std::string>& issuerCerts);
[[nodiscard]] ReceiptCode checkTimeStamp(std::string_view tokenDer, std::string_view signatureValueElement,
                                         const std::vector<std::string>& tsaCerts);
[[nodiscard]] ReceiptCode checkRegistration(std::string_view tokenDer, std::string_view signatureValueElement,
                                            const std::vector<std::string>& regCerts);

}  // namespace sorvimend
