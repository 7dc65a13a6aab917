#include "vote/vote_container.h"

#include <climits>
#include <cstdio>

#include <openssl/objects.h>

#include "util/base64.h"
#include "util/openssl_error.h"
#include "util/sha256.h"
#include "vote/zip_writer.h"

namespace sorvimend {
namespace {

constexpr char kNamespaces[] =
    "xmlns:asic=\"http://uri.etsi.org/02918/v1.2.1#\" xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\""
    " xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\"";
constexpr char kDigestMethod[] = "http://www.w3.org/2001/04/xmlenc#sha256";
constexpr char kC14n11[] = "http://www.w3.org/2006/12/xml-c14n11";
constexpr char kRsaSha256[] = "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256";
constexpr char kEcdsaSha256[] = "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256";
constexpr char kContainerMediaType[] = "application/vnd.etsi.asic-e+zip";

std::string digestValue(std::string_view data) { return base64EncodeLines(sha256(data)); }

void appendReference(std::string& out, std::string_view idAttribute, std::string_view uri,
                     std::string_view transform, std::string_view digestedData) {
  out += "  <ds:Reference ";
  out += idAttribute;
  out += "URI=\"";
  out += xmlAttribute(uri);
  out += "\">\n";
  if (!transform.empty()) {
    out += "    <ds:Transforms>\n";
    out += "      <ds:Transform Algorithm=\"";
    out += transform;
    out += "\"></ds:Transform>\n";
    out += "    </ds:Transforms>\n";
  }
  out += "    <ds:DigestMethod Algorithm=\"";
  out += kDigestMethod;
  out += "\"></ds:DigestMethod>\n";
  out += "    <ds:DigestValue>";
  out += digestValue(digestedData);
  out += "</ds:DigestValue>\n";
  out += "  </ds:Reference>\n";
}

bool isEcKey(const EVP_PKEY* key) { return EVP_PKEY_get_base_id(key) == EVP_PKEY_EC; }

bool isRsaKey(const EVP_PKEY* key) {
  const int id = EVP_PKEY_get_base_id(key);
  return id == EVP_PKEY_RSA || id == EVP_PKEY_RSA2;
}

// raw r||s (the card's and the phone services' form) as DER ECDSA-Sig-Value; empty on failure.
Bytes ecdsaDerFromRaw(const Bytes& raw) {
  if (raw.empty() || raw.size() % 2 != 0 || raw.size() > 2 * 1024) return {};
  const int half = static_cast<int>(raw.size() / 2);
  EcdsaSigPtr sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(asUnsigned(raw), half, nullptr);
  BIGNUM* s = BN_bin2bn(asUnsigned(raw) + half, half, nullptr);
  if (!sig || !r || !s || !ECDSA_SIG_set0(sig.get(), r, s)) {
    BN_free(r);
    BN_free(s);
    return {};
  }
  unsigned char* der = nullptr;
  const int length = i2d_ECDSA_SIG(sig.get(), &der);
  if (length <= 0 || der == nullptr) return {};
  OpenSslBytesPtr owned(der);
  return bytesFrom(der, static_cast<std::size_t>(length));
}

bool verifySha256(EVP_PKEY* key, const Bytes& signature, std::string_view data) {
  EvpMdCtxPtr ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) != 1) return false;
  return EVP_DigestVerify(ctx.get(), asUnsigned(signature), signature.size(), asUnsigned(data), data.size()) == 1;
}

}  // namespace

std::string xmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\r': out += "&#xD;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string xmlAttribute(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += "&#x9;"; break;
      case '\n': out += "&#xA;"; break;
      case '\r': out += "&#xD;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string signingTimeText(std::time_t now) {
  if (now == static_cast<std::time_t>(-1)) return {};
  std::tm utc{};
  if (gmtime_r(&now, &utc) == nullptr) return {};
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                              utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof text) return {};
  return std::string(text, static_cast<std::size_t>(n));
}

std::string issuerNameRfc2253(const X509* certificate) {
  if (certificate == nullptr) return {};
  const X509_NAME* issuer = X509_get_issuer_name(certificate);
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (issuer == nullptr || !bio || X509_NAME_print_ex(bio.get(), issuer, 0, XN_FLAG_RFC2253) < 0) {
    clearOpenSslErrors();
    return {};
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  if (length <= 0 || data == nullptr) return {};
  return std::string(data, static_cast<std::size_t>(length));
}

std::string serialNumberDecimal(const X509* certificate) {
  if (certificate == nullptr) return {};
  const ASN1_INTEGER* serial = X509_get0_serialNumber(certificate);
  BignumPtr value(serial ? ASN1_INTEGER_to_BN(serial, nullptr) : nullptr);
  char* text = value ? BN_bn2dec(value.get()) : nullptr;
  clearOpenSslErrors();
  if (text == nullptr) return {};
  std::string decimal(text);
  OPENSSL_free(text);
  return decimal;
}

VoteContainer::VoteContainer(std::function<std::time_t()> clock) : clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::time(nullptr); };
}

ContainerResult VoteContainer::setSignerCertificate(std::string_view der) {
  // The whole input must be the certificate: its digest is taken over these bytes, and trailing
  // bytes would make it the digest of something else.
  X509Ptr parsed;
  if (!der.empty() && der.size() <= static_cast<std::size_t>(LONG_MAX)) {
    const unsigned char* cursor = asUnsigned(der);
    parsed.reset(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    if (parsed && cursor != asUnsigned(der) + der.size()) parsed.reset();
  }
  clearOpenSslErrors();
  if (!parsed) return ContainerResult::NotCertificate;
  certificateDer_ = Bytes(der);
  certificate_ = std::move(parsed);
  return ContainerResult::Ok;
}

void VoteContainer::addDataFile(std::string mediaType, Bytes content, std::string name) {
  dataFiles_.push_back(DataFile{std::move(mediaType), std::move(content), std::move(name), std::to_string(nextNumber_)});
  ++nextNumber_;
}

ContainerResult VoteContainer::buildSignedInformation() {
  const std::string signingTime = signingTimeText(clock_());
  const std::string certificateDigest = certificate_ ? digestValue(certificateDer_) : std::string();
  // An issuer name may hold "&" or "<" (RFC 2253 escapes neither for XML): written as
  // character references, which is also what a canonicalising verifier computes.
  const std::string issuer = xmlText(issuerNameRfc2253(certificate_.get()));
  const std::string serial = serialNumberDecimal(certificate_.get());
  if (issuer.empty() || serial.empty()) return ContainerResult::NoIssuerOrSerial;
  if (certificateDigest.empty()) return ContainerResult::NoCertificateDigest;
  if (signingTime.empty()) return ContainerResult::NoSigningTime;

  std::string properties;
  properties += "<xades:SignedProperties ";
  properties += kNamespaces;
  properties += " Id=\"S0-SignedProperties\">\n";
  properties += "<xades:SignedSignatureProperties>\n";
  properties += "  <xades:SigningTime>" + signingTime + "</xades:SigningTime>\n";
  properties += "  <xades:SigningCertificate>\n";
  properties += "    <xades:Cert>\n";
  properties += "      <xades:CertDigest>\n";
  properties += std::string("        <ds:DigestMethod Algorithm=\"") + kDigestMethod + "\"></ds:DigestMethod>\n";
  properties += "        <ds:DigestValue>" + certificateDigest + "</ds:DigestValue>\n";
  properties += "      </xades:CertDigest>\n";
  properties += "      <xades:IssuerSerial>\n";
  properties += "        <ds:X509IssuerName>" + issuer + "</ds:X509IssuerName>\n";
  properties += "        <ds:X509SerialNumber>" + serial + "</ds:X509SerialNumber>\n";
  properties += "      </xades:IssuerSerial>\n";
  properties += "    </xades:Cert>\n";
  properties += "  </xades:SigningCertificate>\n";
  properties += "</xades:SignedSignatureProperties>\n";
  properties += "<xades:SignedDataObjectProperties>\n";
  for (const DataFile& file : dataFiles_) {
    properties += "  <xades:DataObjectFormat ObjectReference=\"#S0-ref-" + file.number + "\">\n";
    properties += "    <xades:MimeType>" + xmlText(file.mediaType) + "</xades:MimeType>\n";
    properties += "  </xades:DataObjectFormat>\n";
  }
  properties += "</xades:SignedDataObjectProperties>\n";
  properties += "</xades:SignedProperties>";

  std::string info;
  info += "<ds:SignedInfo ";
  info += kNamespaces;
  info += ">\n";
  info += std::string("  <ds:CanonicalizationMethod Algorithm=\"") + kC14n11 + "\"></ds:CanonicalizationMethod>\n";
  info += std::string("  <ds:SignatureMethod Algorithm=\"") +
          (isEcKey(X509_get0_pubkey(certificate_.get())) ? kEcdsaSha256 : kRsaSha256) + "\"></ds:SignatureMethod>\n";
  for (const DataFile& file : dataFiles_) {
    appendReference(info, "Id=\"S0-ref-" + file.number + "\" ", file.name, {}, file.content);
  }
  appendReference(info, "Id=\"S0-ref-sigprop\" Type=\"http://uri.etsi.org/01903#SignedProperties\" ",
                  "#S0-SignedProperties", kC14n11, properties);
  info += "</ds:SignedInfo>";

  signedProperties_ = std::move(properties);
  signedInformation_ = std::move(info);
  return ContainerResult::Ok;
}

Bytes VoteContainer::digestToSign() const { return sha256(signedInformation_); }

void VoteContainer::setSignatureValue(std::string base64) {
  signatureValue_ = std::move(base64);
  signatureValueElement_ = "<ds:SignatureValue ";
  signatureValueElement_ += kNamespaces;
  signatureValueElement_ += " Id=\"S0-SIG\">";
  signatureValueElement_ += signatureValue_;
  signatureValueElement_ += "</ds:SignatureValue>";
}

ContainerResult VoteContainer::checkSignature() const {
  EVP_PKEY* key = certificate_ ? X509_get0_pubkey(certificate_.get()) : nullptr;
  bool verified = false;
  if (key != nullptr) {
    Bytes signature = base64Decode(signatureValue_);
    if (isEcKey(key)) {
      verified = verifySha256(key, ecdsaDerFromRaw(signature), signedInformation_);
    } else if (isRsaKey(key)) {
      verified = verifySha256(key, signature, signedInformation_);
    }
  }
  clearOpenSslErrors();
  return verified ? ContainerResult::Ok : ContainerResult::BadSignature;
}

ContainerResult VoteContainer::writeContainer(std::string& base64) {
  std::string manifest;
  manifest += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n";
  manifest += "<manifest:manifest xmlns:manifest=";
  manifest += "\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">\n";
  manifest += "<manifest:file-entry manifest:full-path=\"/\" ";
  manifest += "manifest:media-type=\"application/vnd.etsi.asic-e+zip\"/>\n";
  for (const DataFile& file : dataFiles_) {
    manifest += "<manifest:file-entry manifest:full-path=\"" + xmlAttribute(file.name) + "\" manifest:media-type=\"" +
                xmlAttribute(file.mediaType) + "\"/>\n";
  }
  manifest += "</manifest:manifest>";
  manifest_ = std::move(manifest);

  const std::string certificateText = base64EncodeLines(certificateDer_);
  if (certificateText.empty()) return ContainerResult::NoCertificateText;

  std::string document;
  document += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
  document += "<asic:XAdESSignatures xmlns:asic=\"http://uri.etsi.org/02918/v1.2.1#\">\n";
  document += "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"S0\">\n";
  document += signedInformation_ + "\n";
  document += signatureValueElement_ + "\n";
  document += "<ds:KeyInfo>\n";
  document += "<ds:X509Data>\n";
  document += "<ds:X509Certificate>" + certificateText + "</ds:X509Certificate>\n";
  document += "</ds:X509Data>\n";
  document += "</ds:KeyInfo>\n";
  document += "<ds:Object>\n";
  document += "<xades:QualifyingProperties xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\" Target=\"#S0\">\n";
  document += signedProperties_ + "\n";
  document += "</xades:QualifyingProperties>\n";
  document += "</ds:Object>\n";
  document += "</ds:Signature>\n";
  document += "</asic:XAdESSignatures>\n";
  signatureDocument_ = std::move(document);

  ZipWriter zip;
  zip.addFile("mimetype", kContainerMediaType);
  zip.addDirectory("META-INF/");
  zip.addFile("META-INF/manifest.xml", manifest_);
  for (const DataFile& file : dataFiles_) zip.addFile(file.name, file.content);
  zip.addFile("META-INF/signatures0.xml", signatureDocument_);
  archive_ = zip.write();
  base64 = base64EncodeLines(archive_);
  return ContainerResult::Ok;
}

}  // namespace sorvimend
