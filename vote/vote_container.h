#pragma once
// The submitted vote: an ASiC-E container (stored ZIP) holding the encrypted ballots and one
// XAdES signature over them. Every XML byte comes from fixed templates already in the canonical
// form (Canonical XML 1.1) that a verifier computes, so each digest is taken over exactly the
// bytes written. Does not parse XML, make signatures or talk to a signer: it hands out the
// digest to sign and takes the signature value back.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "util/bytes.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

// Results of the container's steps; a non-zero one becomes the detail of an INTERNAL error.
enum class ContainerResult : int {
  Ok = 0,
  NotCertificate = 2,     // signer certificate bytes are not a DER X.509 certificate
  NoIssuerOrSerial = 3,   // issuer name or serial number came out empty (or no certificate)
  NoSigningTime = 4,      // the clock could not be read
  NoCertificateDigest = 5,
  NoCertificateText = 6,  // nothing to write as the signer certificate
  BadSignature = 7,       // signature value does not verify, or the key is neither RSA nor EC
};

struct DataFile {
  std::string mediaType;
  Bytes content;
  std::string name;    // file name in the archive and reference URI
  std::string number;  // "0", "1", ...
};

inline constexpr char kBallotMediaType[] = "application/octet-stream";

class VoteContainer {
 public:
  // The clock gives the signing time (UTC); (time_t)-1 means it cannot be read. Tests set one.
  explicit VoteContainer(std::function<std::time_t()> clock = {});

  // Replaces any earlier certificate. NotCertificate leaves the earlier one in place.
  [[nodiscard]] ContainerResult setSignerCertificate(std::string_view der);
  // Appends; numbering never restarts.
  void addDataFile(std::string mediaType, Bytes content, std::string name);

  // Stores the signed properties and signed information; Ok, NoIssuerOrSerial,
  // NoCertificateDigest or NoSigningTime (checked in that order).
  [[nodiscard]] ContainerResult buildSignedInformation();
  // SHA-256 of the signed information text (32 bytes).
  [[nodiscard]] Bytes digestToSign() const;
  // Base64 as the signer hands it in (line feeds kept); builds the signature value element.
  void setSignatureValue(std::string base64);
  // RSA PKCS #1 v1.5 or ECDSA (from raw r||s) over the signed information with SHA-256.
  [[nodiscard]] ContainerResult checkSignature() const;
  // Builds manifest, signature document and archive; base64 receives the archive in 64-column
  // Base64. NoCertificateText when there is no certificate.
  [[nodiscard]] ContainerResult writeContainer(std::string& base64);

  [[nodiscard]] const Bytes& signerCertificate() const { return certificateDer_; }
  [[nodiscard]] const std::string& signatureValueElement() const { return signatureValueElement_; }
  [[nodiscard]] const std::string& signatureValue() const { return signatureValue_; }
  [[nodiscard]] const std::string& signedProperties() const { return signedProperties_; }
  [[nodiscard]] const std::string& signedInformation() const { return signedInformation_; }
  [[nodiscard]] const std::string& manifest() const { return manifest_; }
  [[nodiscard]] const std::string& signatureDocument() const { return signatureDocument_; }
  [[nodiscard]] const Bytes& archive() const { return archive_; }  // the ZIP bytes of the last write
  [[nodiscard]] const std::vector<DataFile>& dataFiles() const { return dataFiles_; }

 private:
  std::function<std::time_t()> clock_;
  std::vector<DataFile> dataFiles_;
  std::uint64_t nextNumber_ = 0;
  Bytes certificateDer_;
  X509Ptr certificate_;
  std::string signatureValue_;
  std::string signedProperties_;
  std::string signedInformation_;
  std::string manifest_;
  std::string signatureDocument_;
  std::string signatureValueElement_;
  Bytes archive_;
};

// The pieces of the signed information, exposed for the tests.
// "%04d-%02d-%02dT%02d:%02d:%02dZ" in UTC; empty when the time cannot be converted.
[[nodiscard]] std::string signingTimeText(std::time_t now);
// Issuer in the RFC 2253 form of X509_NAME_print_ex (XN_FLAG_RFC2253), empty on failure.
[[nodiscard]] std::string issuerNameRfc2253(const X509* certificate);
// Serial number as a signed decimal integer, empty on failure.
[[nodiscard]] std::string serialNumberDecimal(const X509* certificate);
// Text and attribute values as Canonical XML writes them (&amp; &lt; ... ).
[[nodiscard]] std::string xmlText(std::string_view text);
[[nodiscard]] std::string xmlAttribute(std::string_view value);

}  // namespace sorvimend
