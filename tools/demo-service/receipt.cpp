#include "tools/demo-service/receipt.h"

#include <ctime>

#include <openssl/rand.h>

#include "util/bytes.h"
#include "util/openssl_error.h"
#include "util/sha256.h"

namespace sorvimend::demo {
namespace {

using TsMsgImprintPtr = std::unique_ptr<TS_MSG_IMPRINT, CFree<TS_MSG_IMPRINT, TS_MSG_IMPRINT_free>>;
using X509AlgorPtr = std::unique_ptr<X509_ALGOR, CFree<X509_ALGOR, X509_ALGOR_free>>;
using Asn1ObjectPtr = std::unique_ptr<ASN1_OBJECT, CFree<ASN1_OBJECT, ASN1_OBJECT_free>>;

template <class T, int (*Encode)(T*, unsigned char**)>
std::string der(T* object) {
  unsigned char* out = nullptr;
  const int length = Encode(object, &out);
  if (length <= 0) return {};
  OpenSslBytesPtr owned(out);
  return bytesFrom(out, static_cast<std::size_t>(length));
}

int encodeOcspResponse(OCSP_RESPONSE* r, unsigned char** out) { return i2d_OCSP_RESPONSE(r, out); }
int encodePkcs7(PKCS7* p, unsigned char** out) { return i2d_PKCS7(p, out); }
int encodeX509Sig(X509_SIG* s, unsigned char** out) { return i2d_X509_SIG(s, out); }
int encodeTsReq(TS_REQ* r, unsigned char** out) { return i2d_TS_REQ(r, out); }

// A serial number for each token; time stamps need unique serials, not secret ones.
ASN1_INTEGER* randomSerial(TS_RESP_CTX*, void*) {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) return nullptr;
  bytes[0] &= 0x7F;
  BignumPtr bn(BN_bin2bn(bytes, sizeof bytes, nullptr));
  return bn ? BN_to_ASN1_INTEGER(bn.get(), nullptr) : nullptr;
}

}  // namespace

std::string makeOcspResponse(X509* certificate, X509* issuer, const Signer& responder) {
  std::string result;
  OcspCertIdPtr id(OCSP_cert_to_id(EVP_sha1(), certificate, issuer));
  OcspBasicRespPtr basic(OCSP_BASICRESP_new());
  Asn1TimePtr now(X509_gmtime_adj(nullptr, 0));
  Asn1TimePtr next(X509_gmtime_adj(nullptr, 3600));
  if (id && basic && now && next &&
      OCSP_basic_add1_status(basic.get(), id.get(), V_OCSP_CERTSTATUS_GOOD, 0, nullptr, now.get(), next.get()) &&
      OCSP_basic_sign(basic.get(), responder.certificate.get(), responder.key.get(), EVP_sha256(), nullptr, 0) == 1) {
    OcspResponsePtr response(OCSP_response_create(OCSP_RESPONSE_STATUS_SUCCESSFUL, basic.get()));
    if (response) result = der<OCSP_RESPONSE, encodeOcspResponse>(response.get());
  }
  clearOpenSslErrors();
  return result;
}

std::string makeRegistrationNonce(std::string_view data, EVP_PKEY* registrationKey) {
  EvpMdCtxPtr ctx(EVP_MD_CTX_new());
  std::size_t length = 0;
  std::string signature;
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, registrationKey) != 1 ||
      EVP_DigestSign(ctx.get(), nullptr, &length, asUnsigned(data), data.size()) != 1) {
    clearOpenSslErrors();
    return {};
  }
  signature.resize(length);
  if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, asUnsigned(data),
                     data.size()) != 1) {
    clearOpenSslErrors();
    return {};
  }
  signature.resize(length);
  std::unique_ptr<X509_SIG, CFree<X509_SIG, X509_SIG_free>> sig(X509_SIG_new());
  X509_ALGOR* alg = nullptr;
  ASN1_OCTET_STRING* digest = nullptr;
  if (!sig) return {};
  X509_SIG_getm(sig.get(), &alg, &digest);
  if (!X509_ALGOR_set0(alg, OBJ_nid2obj(NID_sha256WithRSAEncryption), V_ASN1_NULL, nullptr) ||
      !ASN1_OCTET_STRING_set(digest, asUnsigned(signature), static_cast<int>(signature.size()))) {
    clearOpenSslErrors();
    return {};
  }
  return der<X509_SIG, encodeX509Sig>(sig.get());
}

std::string makeTimeStampToken(std::string_view imprintData, std::string_view nonceBytes, const Signer& tsa) {
  std::string result;
  const std::string digest = sha256(imprintData);
  TsReqPtr request(TS_REQ_new());
  TsMsgImprintPtr imprint(TS_MSG_IMPRINT_new());
  X509AlgorPtr algorithm(X509_ALGOR_new());
  BignumPtr nonceNumber(BN_bin2bn(asUnsigned(nonceBytes), static_cast<int>(nonceBytes.size()), nullptr));
  Asn1IntegerPtr nonce(nonceNumber ? BN_to_ASN1_INTEGER(nonceNumber.get(), nullptr) : nullptr);
  if (!request || !imprint || !algorithm || !nonce) return {};
  X509_ALGOR_set_md(algorithm.get(), EVP_sha256());
  if (!TS_REQ_set_version(request.get(), 1) || !TS_MSG_IMPRINT_set_algo(imprint.get(), algorithm.get()) ||
      !TS_MSG_IMPRINT_set_msg(imprint.get(), reinterpret_cast<unsigned char*>(const_cast<char*>(digest.data())),
                              static_cast<int>(digest.size())) ||
      !TS_REQ_set_msg_imprint(request.get(), imprint.get()) || !TS_REQ_set_nonce(request.get(), nonce.get()) ||
      !TS_REQ_set_cert_req(request.get(), 1)) {
    clearOpenSslErrors();
    return {};
  }
  const std::string requestDer = der<TS_REQ, encodeTsReq>(request.get());
  TsRespCtxPtr ctx(TS_RESP_CTX_new());
  Asn1ObjectPtr policy(OBJ_txt2obj("1.3.6.1.4.1.99999.1.1", 1));
  BioPtr requestBio(BIO_new_mem_buf(requestDer.data(), static_cast<int>(requestDer.size())));
  if (!ctx || !policy || !requestBio || requestDer.empty() ||
      !TS_RESP_CTX_set_signer_cert(ctx.get(), tsa.certificate.get()) ||
      !TS_RESP_CTX_set_signer_key(ctx.get(), tsa.key.get()) || !TS_RESP_CTX_set_def_policy(ctx.get(), policy.get()) ||
      !TS_RESP_CTX_add_md(ctx.get(), EVP_sha256()) ||
      !TS_RESP_CTX_set_signer_digest(ctx.get(), EVP_sha256())) {
    clearOpenSslErrors();
    return {};
  }
  TS_RESP_CTX_set_serial_cb(ctx.get(), randomSerial, nullptr);
  TsRespPtr response(TS_RESP_create_response(ctx.get(), requestBio.get()));
  if (response && ASN1_INTEGER_get(TS_STATUS_INFO_get0_status(TS_RESP_get_status_info(response.get()))) ==
                      TS_STATUS_GRANTED) {
    PKCS7* token = TS_RESP_get_token(response.get());
    if (token) result = der<PKCS7, encodePkcs7>(token);
  }
  clearOpenSslErrors();
  return result;
}

}  // namespace sorvimend::demo
