#include "identity/pkcs11_token.h"

#include <algorithm>
#include <vector>

#include "identity/card_failure.h"
#include "identity/pin_prompt.h"

namespace sorvimend {

namespace {

// Far beyond any card's signature or mechanism list; a module reporting more is broken.
constexpr std::size_t kMaxSignatureBytes = 64 * 1024;
constexpr std::size_t kMaxMechanisms = 64 * 1024;

// Ends the prompt on every way out of login.
class PromptSession {
 public:
  PromptSession(PinPrompt& prompt, bool pinpad) : prompt_(prompt) { prompt_.begin(pinpad); }
  ~PromptSession() { prompt_.end(); }
  PromptSession(const PromptSession&) = delete;
  PromptSession& operator=(const PromptSession&) = delete;

 private:
  PinPrompt& prompt_;
};

}  // namespace

ErrorPtr Pkcs11Token::login(PinPrompt* prompt) {
  if (session_.loggedIn()) return nullptr;
  if (prompt == nullptr) return cardFailure(IdCardCode::PinCancelled);
  PromptSession promptSession(*prompt, pinpad_);
  for (int attempt = 0;; ++attempt) {
    bool ok = false;
    prompt->ask(certificate_, ok, attempt > 0);
    if (!ok) return cardFailure(IdCardCode::PinCancelled);
    // The PIN is passed straight from the prompt's buffer: no copy to forget to wipe.
    const CK_RV rv = session_.login(prompt->pin(), prompt->pinLength());
    switch (rv) {
      case CKR_OK: return nullptr;
      case CKR_PIN_INCORRECT:
        if (attempt == 0) continue;
        return cardFailure(IdCardCode::PinWrongTwice, rv);
      case CKR_PIN_LOCKED: return cardFailure(IdCardCode::PinBlocked, rv);
      default: return cardFailure(IdCardCode::ModuleCall, rv);
    }
  }
}

ErrorPtr Pkcs11Token::findPrivateKey() {
  CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
  CK_BBOOL onToken = CK_TRUE;
  CK_KEY_TYPE keyType = 0;
  switch (certificate_.keyType) {
    case KeyType::Rsa: keyType = CKK_RSA; break;
    case KeyType::Ec: keyType = CKK_EC; break;
    case KeyType::None: return cardFailure(IdCardCode::KeyTypeUnusable);
  }
  std::vector<CK_ATTRIBUTE> match{
      {CKA_CLASS, &keyClass, sizeof keyClass},
      {CKA_TOKEN, &onToken, sizeof onToken},
      {CKA_KEY_TYPE, &keyType, sizeof keyType},
  };
  std::vector<CK_OBJECT_HANDLE> found;
  const CK_RV rv = session_.findObjects(match, 1, found);
  if (rv != CKR_OK) return cardFailure(IdCardCode::ModuleCall, rv);
  if (found.size() != 1) return cardFailure(IdCardCode::KeyNotFound);
  privateKey_ = found.front();
  return nullptr;
}

ErrorPtr Pkcs11Token::checkMechanism() {
  std::vector<CK_MECHANISM_TYPE> mechanisms;
  const Pkcs11Fetch fetch = session_.mechanisms(mechanisms, kMaxMechanisms);
  if (fetch.outOfMemory) return cardFailure(IdCardCode::MechanismListMemory);
  if (fetch.rv != CKR_OK) return cardFailure(IdCardCode::ModuleCall, fetch.rv);
  // Ask for what this key signs with: requiring ECDSA of every token would refuse RSA cards.
  const CK_MECHANISM_TYPE wanted = certificate_.keyType == KeyType::Rsa ? CKM_RSA_PKCS : CKM_ECDSA;
  if (std::find(mechanisms.begin(), mechanisms.end(), wanted) == mechanisms.end()) {
    return cardFailure(IdCardCode::MechanismMissing);
  }
  return nullptr;
}

ErrorPtr Pkcs11Token::sign(std::string_view data, Bytes& signature) {
  const CK_MECHANISM_TYPE mechanism =
      certificate_.keyType == KeyType::Rsa ? CKM_RSA_PKCS : CKM_ECDSA;
  const Pkcs11Fetch fetch = session_.sign(mechanism, privateKey_, data, signature, kMaxSignatureBytes);
  if (fetch.outOfMemory) return cardFailure(IdCardCode::SignatureMemory);
  if (fetch.rv != CKR_OK) return cardFailure(IdCardCode::ModuleCall, fetch.rv);
  return nullptr;
}

}  // namespace sorvimend
