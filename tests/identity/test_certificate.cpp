#include "test_certificate.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <stdexcept>

#include "util/cert_set.h"

namespace sorvimend::testing {

namespace {

EvpPkeyPtr makeKey(bool rsa) {
  EvpPkeyPtr key(rsa ? EVP_RSA_gen(2048) : EVP_EC_gen("P-256"));
  if (!key) throw std::runtime_error("key generation failed");
  return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  if (value.empty()) return;
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  if (extension == nullptr) throw std::runtime_error("bad extension " + value);
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

X509Ptr baseCertificate(EVP_PKEY* key, X509_NAME* subject, const X509_NAME* issuerName) {
  X509Ptr certificate(X509_new());
  X509_set_version(certificate.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 7);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 3600);
  X509_set_subject_name(certificate.get(), subject);
  X509_set_issuer_name(certificate.get(), issuerName);
  X509_set_pubkey(certificate.get(), key);
  return certificate;
}

}  // namespace

Issuer makeIssuer(const std::string& name) {
  Issuer issuer;
  issuer.key = makeKey(false);
  X509NamePtr subject(X509_NAME_new());
  X509_NAME_add_entry_by_NID(subject.get(), NID_commonName, MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
  issuer.certificate = baseCertificate(issuer.key.get(), subject.get(), subject.get());
  addExtension(issuer.certificate.get(), issuer.certificate.get(), NID_basic_constraints,
               "critical,CA:TRUE");
  addExtension(issuer.certificate.get(), issuer.certificate.get(), NID_key_usage,
               "keyCertSign,cRLSign");
  X509_sign(issuer.certificate.get(), issuer.key.get(), EVP_sha256());
  return issuer;
}

Bytes makeCertificate(const CertificateShape& shape, const Issuer& issuer, EVP_PKEY* signedBy) {
  EvpPkeyPtr key = makeKey(shape.rsaKey);
  X509NamePtr subject(X509_NAME_new());
  for (const auto& entry : shape.subject) {
    X509_NAME_add_entry_by_NID(subject.get(), entry.nid, entry.asn1Type,
                               reinterpret_cast<const unsigned char*>(entry.bytes.data()),
                               static_cast<int>(entry.bytes.size()), -1, 0);
  }
  X509Ptr certificate =
      baseCertificate(key.get(), subject.get(), X509_get_subject_name(issuer.certificate.get()));
  addExtension(certificate.get(), issuer.certificate.get(), NID_key_usage, shape.keyUsage);
  addExtension(certificate.get(), issuer.certificate.get(), NID_ext_key_usage,
               shape.extendedKeyUsage);
  X509_sign(certificate.get(), signedBy != nullptr ? signedBy : issuer.key.get(), EVP_sha256());
  return certificateDer(certificate.get());
}

std::string toPem(const X509* certificate) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  PEM_write_bio_X509(bio.get(), const_cast<X509*>(certificate));
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace sorvimend::testing
