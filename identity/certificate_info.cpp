#include "identity/certificate_info.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <cstdint>

#include "util/cert_set.h"
#include "util/openssl_error.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

namespace {

constexpr std::string_view kEstonianPersonPrefix = "PNOEE-";  // ETSI natural-person identifier
constexpr std::uint32_t kExtensionAbsent = UINT32_MAX;

// BMPString, UniversalString and UTF8String by their encodings, other string kinds byte by byte.
std::optional<std::string> utf8Value(const ASN1_STRING* value) {
  unsigned char* out = nullptr;
  int length = ASN1_STRING_to_UTF8(&out, value);
  if (length < 0) return std::nullopt;
  OpenSslBytesPtr owned(out);
  return std::string(reinterpret_cast<const char*>(owned.get()), static_cast<std::size_t>(length));
}

bool readSubject(const X509* certificate, CertificateInfo& info) {
  const X509_NAME* subject = X509_get_subject_name(certificate);
  if (subject == nullptr) return false;
  const int count = X509_NAME_entry_count(subject);
  for (int i = 0; i < count; ++i) {
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, i);
    std::string* field = nullptr;
    switch (OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry))) {
      case NID_surname: field = &info.surname; break;
      case NID_givenName: field = &info.givenName; break;
      case NID_serialNumber: field = &info.personalCode; break;
      default: continue;
    }
    auto value = utf8Value(X509_NAME_ENTRY_get_data(entry));
    if (!value) return false;
    *field = std::move(*value);  // a later attribute of the same kind wins
  }
  // Only a leading prefix is the identifier's; a code that merely contains it elsewhere is kept.
  if (info.personalCode.compare(0, kEstonianPersonPrefix.size(), kEstonianPersonPrefix) == 0) {
    info.personalCode.erase(0, kEstonianPersonPrefix.size());
  }
  return true;
}

bool readKey(X509* certificate, CertificateInfo& info) {
  const EVP_PKEY* key = X509_get0_pubkey(certificate);
  if (key == nullptr) return false;
  switch (EVP_PKEY_get_base_id(key)) {
    case EVP_PKEY_RSA:
    case EVP_PKEY_RSA2: info.keyType = KeyType::Rsa; break;
    case EVP_PKEY_EC: info.keyType = KeyType::Ec; break;
    default: return false;
  }
  const int size = EVP_PKEY_get_size(key);
  if (size <= 0) return false;
  info.signatureBits = 8 * size;
  return true;
}

CertificateUsage usageOf(X509* certificate) {
  const std::uint32_t keyUsage = X509_get_key_usage(certificate);
  const std::uint32_t extendedKeyUsage = X509_get_extended_key_usage(certificate);
  if (extendedKeyUsage == kExtensionAbsent) {
    return keyUsage == KU_NON_REPUDIATION ? CertificateUsage::Signing : CertificateUsage::None;
  }
  if (keyUsage == kExtensionAbsent) return CertificateUsage::None;
  return (extendedKeyUsage & XKU_SSL_CLIENT) != 0 ? CertificateUsage::Authentication
                                                  : CertificateUsage::None;
}

bool readValidFrom(const X509* certificate, CertificateInfo& info) {
  const ASN1_TIME* notBefore = X509_get0_notBefore(certificate);
  std::tm when{};
  if (notBefore == nullptr || ASN1_TIME_to_tm(notBefore, &when) != 1) return false;
  info.validFrom = timegm(&when);
  return true;
}

}  // namespace

std::optional<CertificateInfo> parseCertificateInfo(std::string_view der) {
  X509Ptr certificate = certificateFromDer(der);
  if (!certificate) return std::nullopt;
  CertificateInfo info;
  bool usable = readSubject(certificate.get(), info) && readKey(certificate.get(), info) &&
                readValidFrom(certificate.get(), info);
  if (usable) {
    info.usage = usageOf(certificate.get());
    info.der = certificateDer(certificate.get());
    usable = info.usage != CertificateUsage::None && !info.der.empty();
  }
  clearOpenSslErrors();
  if (!usable) return std::nullopt;
  return info;
}

}  // namespace sorvimend
