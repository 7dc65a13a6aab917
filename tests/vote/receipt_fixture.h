#pragma once
// Forged receipts for the tests: OCSP responses, RFC 3161 time-stamp tokens and registration
// nonces made with the OpenSSL library from the test PKI (tests/pki/make-pki.sh), so that each
// can be made wrong in exactly one way.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include <openssl/ocsp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/ts.h>

#include "util/bytes.h"
#include "util/cert_set.h"
#include "util/openssl_ptr.h"

namespace sorvimend::receipt_fixture {

inline std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Makes (once, idempotent) and returns the test PKI folder in the build folder.
inline std::filesystem::path testPki() {
  const char* source = std::getenv("SV_SOURCE_DIR");
  const char* build = std::getenv("SV_BUILD_DIR");
  if (!source || !build) throw std::runtime_error("SV_SOURCE_DIR and SV_BUILD_DIR must be set");
  const std::filesystem::path out = std::filesystem::path(build) / "pki";
  const std::string command = "bash '" + std::string(source) + "/tests/pki/make-pki.sh' '" + out.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("make-pki.sh failed");
  return out;
}

struct Identity {
  X509Ptr certificate;
  EvpPkeyPtr key;
  std::string pem;
};

inline Identity loadIdentity(const std::filesystem::path& pki, const std::string& name) {
  Identity identity;
  identity.pem = readText(pki / (name + ".pem"));
  identity.certificate = certificateFromPem(identity.pem);
  const std::string keyPem = readText(pki / (name + ".key.pem"));
  BioPtr bio(BIO_new_mem_buf(keyPem.data(), static_cast<int>(keyPem.size())));
  identity.key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  if (!identity.certificate || !identity.key) throw std::runtime_error("cannot load " + name);
  return identity;
}

template <class T, int (*I2d)(const T*, unsigned char**)>
std::string toDer(const T* object) {
  unsigned char* out = nullptr;
  const int length = I2d(object, &out);
  if (length <= 0) throw std::runtime_error("DER encoding failed");
  std::string der(reinterpret_cast<char*>(out), static_cast<std::size_t>(length));
  OPENSSL_free(out);
  return der;
}

// An OCSP response about subject (issued by issuer), signed by responder.
inline std::string ocspResponse(const X509* subject, const X509* issuer, const Identity& responder,
                                int status = V_OCSP_CERTSTATUS_GOOD) {
  OcspBasicRespPtr basic(OCSP_BASICRESP_new());
  OCSP_CERTID* id = OCSP_cert_to_id(EVP_sha1(), subject, issuer);
  Asn1TimePtr now(X509_gmtime_adj(nullptr, 0));
  Asn1TimePtr revokedAt(X509_gmtime_adj(nullptr, -3600));
  const bool ok = OCSP_basic_add1_status(basic.get(), id, status, OCSP_REVOKED_STATUS_KEYCOMPROMISE,
                                         status == V_OCSP_CERTSTATUS_REVOKED ? revokedAt.get() : nullptr, now.get(),
                                         nullptr) != nullptr &&
                  OCSP_basic_sign(basic.get(), responder.certificate.get(), responder.key.get(), EVP_sha256(), nullptr,
                                  0) == 1;
  OCSP_CERTID_free(id);
  if (!ok) throw std::runtime_error("OCSP signing failed");
  OcspResponsePtr response(OCSP_response_create(OCSP_RESPONSE_STATUS_SUCCESSFUL, basic.get()));
  return toDer<OCSP_RESPONSE, i2d_OCSP_RESPONSE>(response.get());
}

inline std::string ocspResponseWithStatus(int responseStatus) {
  OcspResponsePtr response(OCSP_response_create(responseStatus, nullptr));
  return toDer<OCSP_RESPONSE, i2d_OCSP_RESPONSE>(response.get());
}

// The registration service's nonce: DER X509_SIG {sha256WithRSAEncryption, signature over data}.
inline std::string registrationNonce(std::string_view data, const Identity& signer) {
  EvpMdCtxPtr ctx(EVP_MD_CTX_new());
  std::size_t length = 0;
  if (EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, signer.key.get()) != 1 ||
      EVP_DigestSign(ctx.get(), nullptr, &length, asUnsigned(data), data.size()) != 1) {
    throw std::runtime_error("signing failed");
  }
  std::string signature(length, '\0');
  if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, asUnsigned(data),
                     data.size()) != 1) {
    throw std::runtime_error("signing failed");
  }
  signature.resize(length);
  X509SigPtr sig(X509_SIG_new());
  X509_ALGOR* algorithm = nullptr;
  ASN1_OCTET_STRING* digest = nullptr;
  X509_SIG_getm(sig.get(), &algorithm, &digest);
  X509_ALGOR_set0(algorithm, OBJ_nid2obj(NID_sha256WithRSAEncryption), V_ASN1_NULL, nullptr);
  ASN1_OCTET_STRING_set(digest, asUnsigned(signature), static_cast<int>(signature.size()));
  return toDer<X509_SIG, i2d_X509_SIG>(sig.get());
}

// A time-stamp token (DER PKCS #7) over data, with the given nonce bytes (none when empty).
inline std::string timeStampToken(std::string_view data, const Identity& tsa, const std::string& nonce) {
  TsReqPtr request(TS_REQ_new());
  TS_MSG_IMPRINT* imprint = TS_MSG_IMPRINT_new();
  X509_ALGOR* algorithm = X509_ALGOR_new();
  X509_ALGOR_set0(algorithm, OBJ_nid2obj(NID_sha256), V_ASN1_NULL, nullptr);
  unsigned char hash[32];
  SHA256(asUnsigned(data), data.size(), hash);
  TS_MSG_IMPRINT_set_algo(imprint, algorithm);
  TS_MSG_IMPRINT_set_msg(imprint, hash, sizeof hash);
  TS_REQ_set_version(request.get(), 1);
  TS_REQ_set_msg_imprint(request.get(), imprint);
  TS_MSG_IMPRINT_free(imprint);
  X509_ALGOR_free(algorithm);
  TS_REQ_set_cert_req(request.get(), 1);
  if (!nonce.empty()) {
    BignumPtr value(BN_bin2bn(asUnsigned(nonce), static_cast<int>(nonce.size()), nullptr));
    Asn1IntegerPtr integer(BN_to_ASN1_INTEGER(value.get(), nullptr));
    TS_REQ_set_nonce(request.get(), integer.get());
  }
  BioPtr requestBio(BIO_new(BIO_s_mem()));
  i2d_TS_REQ_bio(requestBio.get(), request.get());

  TsRespCtxPtr ctx(TS_RESP_CTX_new());
  ASN1_OBJECT* policy = OBJ_txt2obj("1.3.6.1.4.1.99999.1", 1);
  const bool ready = TS_RESP_CTX_set_signer_cert(ctx.get(), tsa.certificate.get()) == 1 &&
                     TS_RESP_CTX_set_signer_key(ctx.get(), tsa.key.get()) == 1 &&
                     TS_RESP_CTX_set_def_policy(ctx.get(), policy) == 1 &&
                     TS_RESP_CTX_add_md(ctx.get(), EVP_sha256()) == 1;
  ASN1_OBJECT_free(policy);
  if (!ready) throw std::runtime_error("TSA set-up failed");
  TsRespPtr response(TS_RESP_create_response(ctx.get(), requestBio.get()));
  if (!response || TS_RESP_get_token(response.get()) == nullptr) throw std::runtime_error("time stamp failed");
  return toDer<PKCS7, i2d_PKCS7>(TS_RESP_get_token(response.get()));
}

}  // namespace sorvimend::receipt_fixture
