#pragma once
// One token of a loaded module with the certificate that selected it: its session, login, key
// search and signing. Each operation returns an ID-card error (empty on success).

#include <pkcs11.h>

#include <string_view>

#include "identity/certificate_info.h"
#include "util/bytes.h"
#include "util/error_info.h"
#include "util/pkcs11/pkcs11_session.h"

namespace sorvimend {

class PinPrompt;

class Pkcs11Token {
 public:
  Pkcs11Token(Pkcs11Session session, CertificateInfo certificate, bool pinpad)
      : session_(std::move(session)), certificate_(std::move(certificate)), pinpad_(pinpad) {}

  const CertificateInfo& certificate() const { return certificate_; }
  bool loggedIn() const { return session_.loggedIn(); }
  bool pinpad() const { return pinpad_; }
  CK_SLOT_ID slot() const { return session_.slot(); }

  // Asks for the PIN (once more after a wrong one) and logs in as the user. Codes: 6 cancelled
  // (also without a prompt), 7 wrong twice, 8 blocked, 0 another module failure.
  [[nodiscard]] ErrorPtr login(PinPrompt* prompt);
  void logout() { session_.logout(); }

  // The token's private key of the certificate's key type. Codes: 9 key type, 10 not exactly one
  // key, 0 module failure.
  [[nodiscard]] ErrorPtr findPrivateKey();

  // The token can sign with the mechanism of the certificate's key (ECDSA for EC, PKCS #1 v1.5 for
  // RSA). Codes: 11 missing, 14 no memory for the list, 0 module failure.
  [[nodiscard]] ErrorPtr checkMechanism();

  // Raw signature by the private key (EC as r‖s). Codes: 16 no memory, 0 module failure.
  [[nodiscard]] ErrorPtr sign(std::string_view data, Bytes& signature);

 private:
  Pkcs11Session session_;
  CertificateInfo certificate_;
  bool pinpad_;
  CK_OBJECT_HANDLE privateKey_ = CK_INVALID_HANDLE;
};

}  // namespace sorvimend
