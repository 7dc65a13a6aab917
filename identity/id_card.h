#pragma once
// The voter's ID card as the rest of the program sees it: an authentication key (PIN1) for TLS
// client authentication and a signing key (PIN2) for the vote. Failures are kept as a pending
// error: an operation that fails stores it and returns an empty result, and the caller takes it.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "identity/certificate_info.h"
#include "util/bytes.h"
#include "util/client_key.h"
#include "util/error_info.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

class PinPrompt;

class IdCard : public ClientKeySource {
 public:
  // Selects the token with the authentication certificate, asking for PIN1 when not yet logged
  // in. The selected token's certificate, or null with the failure pending.
  virtual const CertificateInfo* authenticationToken() = 0;
  // The same for the signing certificate and PIN2.
  virtual const CertificateInfo* signingToken() = 0;
  // Logs out and forgets the signing token; unless signingOnly, the authentication token too, and
  // the module is unloaded.
  virtual void release(bool signingOnly) = 0;
  // DER of the signing token's certificate (selected first when needed); empty on failure.
  [[nodiscard]] virtual Bytes signingCertificate() = 0;
  // DER of the authentication token's certificate (selected first when needed); empty on failure.
  [[nodiscard]] Bytes authenticationCertificate() override = 0;
  // Given name, one space, surname of the authentication certificate (empty without one).
  virtual std::string holderName() const = 0;
  virtual std::string personalCode() const = 0;
  virtual bool isRsa() const = 0;
  virtual bool isEc() const = 0;
  // Of the authentication certificate's key; 0 without one.
  virtual int signatureBits() const = 0;
  // Base64 (64-column lines) of the signing key's signature over a SHA-256 digest; an RSA key
  // signs the DigestInfo of the digest. Empty on failure.
  [[nodiscard]] virtual std::string signDigest(std::string_view digest);
  // Raw signatures (EC as r‖s); each selects its token first when needed. Empty on failure.
  [[nodiscard]] virtual Bytes signWithSigningKey(std::string_view data) = 0;
  [[nodiscard]] Bytes signWithAuthenticationKey(std::string_view data) override = 0;
  // The trusted issuers of card certificates (PEM texts, as the bundle holds them). An error
  // (ID-card code 3) when a text holds no readable certificate.
  [[nodiscard]] virtual ErrorPtr setIssuerCertificates(const std::vector<std::string>& pemTexts);

  ~IdCard() override = default;

  // Who asks for PINs; not owned (it lives until the process ends). Without one, a PIN entry
  // counts as cancelled.
  void setPinPrompt(PinPrompt* prompt) { pinPrompt_ = prompt; }

  bool hasPendingError() const { return pendingError_ != nullptr; }
  // Takes the pending error (empty when none); taking clears it.
  [[nodiscard]] ErrorPtr takePendingError() { return std::move(pendingError_); }

 protected:
  IdCard() = default;
  void setPendingError(ErrorPtr error) { pendingError_ = std::move(error); }
  PinPrompt* pinPrompt() const { return pinPrompt_; }
  virtual void useIssuerCertificates(std::vector<X509Ptr> issuers) = 0;

 private:
  ErrorPtr pendingError_;
  PinPrompt* pinPrompt_ = nullptr;
};

// The process-wide ID-card object. Registering a new one destroys the one held before.
IdCard* idCard();
void registerIdCard(std::unique_ptr<IdCard> card);

}  // namespace sorvimend
