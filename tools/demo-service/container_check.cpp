#include "tools/demo-service/container_check.h"

#include <map>
#include <vector>

#include <openssl/x509v3.h>

#include "tools/demo-service/zip_reader.h"
#include "util/base64.h"
#include "util/cert_set.h"
#include "util/openssl_error.h"
#include "util/regex.h"
#include "util/sha256.h"

namespace sorvimend::demo {
namespace {

constexpr std::string_view kNamespaces =
    " xmlns:asic=\"http://uri.etsi.org/02918/v1.2.1#\" xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\""
    " xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\"";
constexpr std::string_view kSha256Uri = "http://www.w3.org/2001/04/xmlenc#sha256";
constexpr std::string_view kC14n11Uri = "http://www.w3.org/2006/12/xml-c14n11";
constexpr std::string_view kRsaSha256Uri = "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256";
constexpr std::string_view kEcdsaSha256Uri = "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256";
constexpr std::string_view kSignedPropertiesType = "http://uri.etsi.org/01903#SignedProperties";

ContainerCheck refuse(std::string code, std::string problem) {
  ContainerCheck check;
  check.errorCode = std::move(code);
  check.problem = std::move(problem);
  return check;
}

// The one element that starts with open and ends with the first close after it; empty when the
// element is missing or appears twice.
std::string_view uniqueElement(std::string_view doc, std::string_view open, std::string_view close) {
  const std::size_t start = doc.find(open);
  if (start == std::string_view::npos || doc.find(open, start + 1) != std::string_view::npos) return {};
  const std::size_t end = doc.find(close, start);
  if (end == std::string_view::npos || doc.find(close, end + 1) != std::string_view::npos) return {};
  return doc.substr(start, end + close.size() - start);
}

std::string xmlEscaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string issuerText(const X509* cert) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || X509_NAME_print_ex(bio.get(), X509_get_issuer_name(cert), 0, XN_FLAG_RFC2253) < 0) return {};
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::string serialText(const X509* cert) {
  BignumPtr serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr));
  if (!serial) return {};
  OpenSslBytesPtr dec(reinterpret_cast<unsigned char*>(BN_bn2dec(serial.get())));
  return dec ? std::string(reinterpret_cast<const char*>(dec.get())) : std::string();
}

struct Reference {
  std::string id;
  std::string type;
  std::string uri;
  std::string transform;
  std::string digestMethod;
  std::string digestValue;
};

std::string writeReference(const Reference& r) {
  std::string out = "  <ds:Reference Id=\"" + r.id + "\" ";
  if (!r.type.empty()) out += "Type=\"" + r.type + "\" ";
  out += "URI=\"" + r.uri + "\">\n";
  if (!r.transform.empty())
    out += "    <ds:Transforms>\n      <ds:Transform Algorithm=\"" + r.transform + "\"></ds:Transform>\n    </ds:Transforms>\n";
  out += "    <ds:DigestMethod Algorithm=\"" + r.digestMethod + "\"></ds:DigestMethod>\n";
  out += "    <ds:DigestValue>" + r.digestValue + "</ds:DigestValue>\n  </ds:Reference>\n";
  return out;
}

bool verifySignature(X509* cert, std::string_view signedInfo, std::string signature, std::string& problem) {
  EVP_PKEY* key = X509_get0_pubkey(cert);
  if (!key) {
    problem = "signer certificate has no public key";
    return false;
  }
  if (EVP_PKEY_base_id(key) == EVP_PKEY_EC) {
    // XML signatures carry ECDSA as r || s of equal length; the verifier wants the DER pair.
    if (signature.empty() || signature.size() % 2 != 0 || signature.size() > 264) {
      problem = "ECDSA signature value of odd length";
      return false;
    }
    const int half = static_cast<int>(signature.size() / 2);
    EcdsaSigPtr sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(asUnsigned(signature), half, nullptr);
    BIGNUM* s = BN_bin2bn(asUnsigned(signature) + half, half, nullptr);
    if (!sig || !r || !s || !ECDSA_SIG_set0(sig.get(), r, s)) {
      BN_free(r);
      BN_free(s);
      problem = "ECDSA signature value unusable";
      return false;
    }
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &der);
    if (length <= 0) {
      problem = "ECDSA signature value unusable";
      return false;
    }
    OpenSslBytesPtr owned(der);
    signature.assign(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
  } else if (EVP_PKEY_base_id(key) != EVP_PKEY_RSA) {
    problem = "signer key is neither RSA nor EC";
    return false;
  }
  EvpMdCtxPtr ctx(EVP_MD_CTX_new());
  const bool ok = ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
                  EVP_DigestVerify(ctx.get(), asUnsigned(signature), signature.size(), asUnsigned(signedInfo),
                                   signedInfo.size()) == 1;
  clearOpenSslErrors();
  if (!ok) problem = "signature value does not verify";
  return ok;
}

}  // namespace

ContainerCheck checkContainer(std::string_view archive, std::string_view expectedBallot, X509_STORE* issuers) {
  const ZipResult zip = readZip(archive);
  if (!zip.problem.empty()) return refuse("BAD_REQUEST", "archive: " + zip.problem);
  const auto& entries = zip.entries;
  if (entries.empty() || entries[0].name != "mimetype" || entries[0].localHeaderOffset != 0 ||
      entries[0].content != kAsicMimeType)
    return refuse("BAD_REQUEST", "the first entry is not the ASiC-E mimetype");

  std::map<std::string, std::string_view> dataFiles;
  std::string_view manifest;
  std::string_view signatureDoc;
  bool haveManifest = false;
  bool haveSignature = false;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const ZipEntry& e = entries[i];
    if (e.directory) {
      if (e.name != "META-INF/") return refuse("BAD_REQUEST", "unexpected directory " + e.name);
    } else if (e.name == "META-INF/manifest.xml") {
      manifest = e.content;
      haveManifest = true;
    } else if (e.name == "META-INF/signatures0.xml") {
      signatureDoc = e.content;
      haveSignature = true;
    } else if (e.name.rfind("META-INF/", 0) == 0 || e.name == "mimetype") {
      return refuse("BAD_REQUEST", "unexpected entry " + e.name);
    } else {
      dataFiles.emplace(e.name, e.content);
    }
  }
  if (!haveManifest || !haveSignature) return refuse("BAD_REQUEST", "manifest or signature missing");
  if (dataFiles.size() != 1 || dataFiles.begin()->first != expectedBallot)
    return refuse("BAD_REQUEST", "the container must hold exactly the ballot " + std::string(expectedBallot));

  // Manifest: the container itself and every data file, each once, and nothing else.
  {
    static const Regex fileEntry(
        "<manifest:file-entry manifest:full-path=\"([^\"]*)\" manifest:media-type=\"([^\"]*)\"/>\n?");
    std::string expectedManifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">\n"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"application/vnd.etsi.asic-e+zip\"/>\n";
    for (const auto& [name, content] : dataFiles)
      expectedManifest += "<manifest:file-entry manifest:full-path=\"" + name +
                          "\" manifest:media-type=\"application/octet-stream\"/>\n";
    expectedManifest += "</manifest:manifest>";
    if (manifest != expectedManifest) return refuse("BAD_REQUEST", "manifest does not list the container's files");
  }

  const std::string_view signedInfo = uniqueElement(signatureDoc, "<ds:SignedInfo", "</ds:SignedInfo>");
  const std::string_view signatureValueElement =
      uniqueElement(signatureDoc, "<ds:SignatureValue", "</ds:SignatureValue>");
  const std::string_view signedProperties =
      uniqueElement(signatureDoc, "<xades:SignedProperties", "</xades:SignedProperties>");
  const std::string_view certElement = uniqueElement(signatureDoc, "<ds:X509Certificate>", "</ds:X509Certificate>");
  if (signedInfo.empty() || signatureValueElement.empty() || signedProperties.empty() || certElement.empty())
    return refuse("BAD_REQUEST", "signature document lacks an element");
  const std::string_view certText = certElement.substr(20, certElement.size() - 20 - 21);

  // The layout around the three signed elements decides which namespaces are in scope, and so
  // their canonical form: it must be exactly the application's.
  const std::string rebuilt = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n") +
                              "<asic:XAdESSignatures xmlns:asic=\"http://uri.etsi.org/02918/v1.2.1#\">\n"
                              "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"S0\">\n" +
                              std::string(signedInfo) + "\n" + std::string(signatureValueElement) + "\n" +
                              "<ds:KeyInfo>\n<ds:X509Data>\n<ds:X509Certificate>" + std::string(certText) +
                              "</ds:X509Certificate>\n</ds:X509Data>\n</ds:KeyInfo>\n<ds:Object>\n"
                              "<xades:QualifyingProperties xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\" "
                              "Target=\"#S0\">\n" +
                              std::string(signedProperties) +
                              "\n</xades:QualifyingProperties>\n</ds:Object>\n</ds:Signature>\n"
                              "</asic:XAdESSignatures>\n";
  if (rebuilt != signatureDoc) return refuse("BAD_REQUEST", "signature document layout not recognised");

  ContainerCheck result;
  result.signerCertificateDer = base64Decode(certText);
  X509Ptr cert = certificateFromDer(result.signerCertificateDer);
  if (!cert) return refuse("BAD_CERTIFICATE", "signer certificate does not decode");
  const bool ec = X509_get0_pubkey(cert.get()) && EVP_PKEY_base_id(X509_get0_pubkey(cert.get())) == EVP_PKEY_EC;

  // Signed information, rebuilt from its parsed references so that nothing unparsed is signed.
  std::vector<Reference> references;
  {
    const std::string head = "<ds:SignedInfo" + std::string(kNamespaces) +
                             ">\n  <ds:CanonicalizationMethod Algorithm=\"" + std::string(kC14n11Uri) +
                             "\"></ds:CanonicalizationMethod>\n  <ds:SignatureMethod Algorithm=\"" +
                             std::string(ec ? kEcdsaSha256Uri : kRsaSha256Uri) + "\"></ds:SignatureMethod>\n";
    if (signedInfo.substr(0, head.size()) != head)
      return refuse("BAD_REQUEST", "signed information header or signature method not accepted");
    static const Regex referenceRe(
        "  <ds:Reference Id=\"([^\"]*)\" (?:Type=\"([^\"]*)\" )?URI=\"([^\"]*)\">\n"
        "(?:    <ds:Transforms>\n      <ds:Transform Algorithm=\"([^\"]*)\"></ds:Transform>\n    </ds:Transforms>\n)?"
        "    <ds:DigestMethod Algorithm=\"([^\"]*)\"></ds:DigestMethod>\n"
        "    <ds:DigestValue>([^<]*)</ds:DigestValue>\n  </ds:Reference>\n");
    std::string_view rest = signedInfo.substr(head.size());
    std::vector<std::string> g;
    std::string again = head;
    while (references.size() < 16 && referenceRe.findAndConsume(rest, &g)) {
      references.push_back(Reference{g[0], g[1], g[2], g[3], g[4], g[5]});
      again += writeReference(references.back());
    }
    again += "</ds:SignedInfo>";
    if (again != signedInfo) return refuse("BAD_REQUEST", "signed information not in the expected form");
  }
  bool sawProperties = false;
  std::map<std::string, int> referencedFiles;
  for (const Reference& r : references) {
    if (r.digestMethod != kSha256Uri) return refuse("BAD_REQUEST", "reference digest is not SHA-256");
    std::string_view digested;
    if (r.uri == "#S0-SignedProperties") {
      if (r.type != kSignedPropertiesType || r.transform != kC14n11Uri || r.id != "S0-ref-sigprop" || sawProperties)
        return refuse("BAD_REQUEST", "signed properties reference not accepted");
      sawProperties = true;
      digested = signedProperties;
    } else {
      const auto file = dataFiles.find(r.uri);
      if (file == dataFiles.end() || !r.type.empty() || !r.transform.empty() || ++referencedFiles[r.uri] > 1)
        return refuse("BAD_REQUEST", "reference to " + r.uri + " not accepted");
      digested = file->second;
    }
    if (base64EncodeLine(sha256(digested)) != r.digestValue)
      return refuse("BAD_REQUEST", "digest of " + r.uri + " does not match");
  }
  if (!sawProperties || referencedFiles.size() != dataFiles.size())
    return refuse("BAD_REQUEST", "a file or the signed properties are not signed");

  // Signed properties: the signing certificate reference must name this certificate.
  {
    static const Regex certRef(
        "<xades:SigningTime>[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z</xades:SigningTime>\n"
        "  <xades:SigningCertificate>\n    <xades:Cert>\n      <xades:CertDigest>\n"
        "        <ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"></ds:DigestMethod>\n"
        "        <ds:DigestValue>([^<]*)</ds:DigestValue>\n      </xades:CertDigest>\n"
        "      <xades:IssuerSerial>\n        <ds:X509IssuerName>([^<]*)</ds:X509IssuerName>\n"
        "        <ds:X509SerialNumber>([0-9]+)</ds:X509SerialNumber>\n");
    std::vector<std::string> g;
    const std::string head = "<xades:SignedProperties" + std::string(kNamespaces) +
                             " Id=\"S0-SignedProperties\">\n<xades:SignedSignatureProperties>\n  ";
    if (signedProperties.substr(0, head.size()) != head ||
        !certRef.partialMatch(signedProperties.substr(head.size()), &g))
      return refuse("BAD_REQUEST", "signed properties not in the expected form");
    if (g[0] != base64EncodeLine(sha256(result.signerCertificateDer)))
      return refuse("BAD_REQUEST", "signing certificate digest does not match the certificate");
    const std::string issuer = issuerText(cert.get());
    if ((g[1] != issuer && g[1] != xmlEscaped(issuer)) || g[2] != serialText(cert.get()))
      return refuse("BAD_REQUEST", "signing certificate issuer or serial does not match");
  }

  const std::string valueHead = "<ds:SignatureValue" + std::string(kNamespaces) + " Id=\"S0-SIG\">";
  constexpr std::string_view valueTail = "</ds:SignatureValue>";
  if (signatureValueElement.substr(0, valueHead.size()) != valueHead)
    return refuse("BAD_REQUEST", "signature value element not in the expected form");
  const std::string_view valueText =
      signatureValueElement.substr(valueHead.size(), signatureValueElement.size() - valueHead.size() - valueTail.size());
  std::string problem;
  if (!verifySignature(cert.get(), signedInfo, base64Decode(valueText), problem)) return refuse("BAD_REQUEST", problem);

  // The signer certificate: issued under the election's CAs, for non-repudiation.
  {
    X509StoreCtxPtr ctx(X509_STORE_CTX_new());
    const bool chained = ctx && X509_STORE_CTX_init(ctx.get(), issuers, cert.get(), nullptr) == 1 &&
                         X509_verify_cert(ctx.get()) == 1;
    clearOpenSslErrors();
    if (!chained) return refuse("BAD_CERTIFICATE", "signer certificate not issued by an election CA");
    if (!(X509_get_key_usage(cert.get()) & KU_NON_REPUDIATION))
      return refuse("BAD_CERTIFICATE", "signer certificate is not for non-repudiation");
  }

  result.signatureValueElement = std::string(signatureValueElement);
  result.ballotName = dataFiles.begin()->first;
  result.ballot = std::string(dataFiles.begin()->second);
  return result;
}

}  // namespace sorvimend::demo
