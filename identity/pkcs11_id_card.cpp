#include "identity/pkcs11_id_card.h"

#include <cstdlib>

#include "identity/card_failure.h"
#include "identity/token_search.h"

namespace sorvimend {

namespace {

// Set at all, whatever the value: the variable's presence is the switch.
bool environmentSet(const char* name) { return std::getenv(name) != nullptr; }

}  // namespace

std::vector<std::string> modulePathList(std::vector<std::string> configured) {
  const char* chosen = std::getenv("EVOTE_PKCS11_LIB");
  // An empty value names no file (dlopen would hand back the program itself).
  if (chosen != nullptr && *chosen != '\0') configured.insert(configured.begin(), chosen);
  return configured;
}

Pkcs11IdCard::Pkcs11IdCard(std::vector<std::string> modulePaths)
    : modulePaths_(std::move(modulePaths)) {}

Pkcs11IdCard::~Pkcs11IdCard() { release(false); }

void Pkcs11IdCard::useIssuerCertificates(std::vector<X509Ptr> issuers) {
  filter_.setIssuers(std::move(issuers));
}

std::unique_ptr<Pkcs11Token>& Pkcs11IdCard::tokenFor(CertificateUsage usage) {
  return usage == CertificateUsage::Signing ? signingToken_ : authenticationToken_;
}

const CertificateInfo* Pkcs11IdCard::authenticationToken() {
  return selectToken(CertificateUsage::Authentication);
}

const CertificateInfo* Pkcs11IdCard::signingToken() {
  return selectToken(CertificateUsage::Signing);
}

const CertificateInfo* Pkcs11IdCard::selectToken(CertificateUsage usage) {
  filter_.setWantedUsage(usage);
  if (!tokenFor(usage)) {
    std::unique_ptr<Pkcs11Token> found = findToken();
    if (!found) {
      // What failed on the way (a module, a call, a refused certificate) is of no use to the
      // voter: there is simply no card to use.
      setPendingError(cardFailure(IdCardCode::NoToken));
      return nullptr;
    }
    tokenFor(usage) = std::move(found);
  }
  std::unique_ptr<Pkcs11Token>& token = tokenFor(usage);
  if (ErrorPtr error = prepare(*token)) {
    token.reset();  // logs out and closes its session
    setPendingError(std::move(error));
    return nullptr;
  }
  return &token->certificate();
}

std::unique_ptr<Pkcs11Token> Pkcs11IdCard::findToken() {
  for (const std::string& path : modulePaths_) {
    if (!module_) {
      ModuleLoadResult loaded = Pkcs11Module::load(path, !environmentSet("EVOTE_NO_LOCK_DETECTION"));
      if (!loaded.module) continue;
      module_ = std::move(loaded.module);
    }
    if (!environmentSet("EVOTE_NO_SLOT_DETECTION")) {
      // A module without any slot means no reader: no other module is asked.
      CK_ULONG count = 0;
      const CK_RV rv = module_->functions()->C_GetSlotList(CK_FALSE, nullptr, &count);
      if (rv != CKR_OK || count == 0) {
        unloadModule();
        return nullptr;
      }
    }
    TokenSearchResult search = searchTokens(*module_, filter_);
    if (search.token) return std::move(search.token);
    unloadModule();
  }
  return nullptr;
}

ErrorPtr Pkcs11IdCard::prepare(Pkcs11Token& token) {
  if (!token.loggedIn()) {
    if (ErrorPtr error = token.login(pinPrompt())) return error;
  }
  if (ErrorPtr error = token.findPrivateKey()) return error;
  return token.checkMechanism();
}

void Pkcs11IdCard::unloadModule() {
  // Finalising ends every session of the module: a token still holding one would later close a
  // session of a module that is gone.
  signingToken_.reset();
  authenticationToken_.reset();
  module_.reset();
}

void Pkcs11IdCard::release(bool signingOnly) {
  signingToken_.reset();
  if (signingOnly) return;
  authenticationToken_.reset();
  module_.reset();
}

Bytes Pkcs11IdCard::signingCertificate() {
  const CertificateInfo* certificate = signingToken_ ? &signingToken_->certificate() : signingToken();
  return certificate != nullptr ? certificate->der : Bytes();
}

Bytes Pkcs11IdCard::authenticationCertificate() {
  const CertificateInfo* certificate =
      authenticationToken_ ? &authenticationToken_->certificate() : authenticationToken();
  return certificate != nullptr ? certificate->der : Bytes();
}

std::string Pkcs11IdCard::holderName() const {
  if (!authenticationToken_) return {};
  const CertificateInfo& certificate = authenticationToken_->certificate();
  return certificate.givenName + " " + certificate.surname;
}

std::string Pkcs11IdCard::personalCode() const {
  return authenticationToken_ ? authenticationToken_->certificate().personalCode : std::string();
}

bool Pkcs11IdCard::isRsa() const {
  return authenticationToken_ && authenticationToken_->certificate().keyType == KeyType::Rsa;
}

bool Pkcs11IdCard::isEc() const {
  return authenticationToken_ && authenticationToken_->certificate().keyType == KeyType::Ec;
}

int Pkcs11IdCard::signatureBits() const {
  return authenticationToken_ ? authenticationToken_->certificate().signatureBits : 0;
}

Bytes Pkcs11IdCard::signWith(CertificateUsage usage, std::string_view data) {
  if (!tokenFor(usage) && selectToken(usage) == nullptr) return {};
  Bytes signature;
  if (ErrorPtr error = tokenFor(usage)->sign(data, signature)) {
    setPendingError(std::move(error));
    return {};
  }
  return signature;
}

Bytes Pkcs11IdCard::signWithSigningKey(std::string_view data) {
  return signWith(CertificateUsage::Signing, data);
}

Bytes Pkcs11IdCard::signWithAuthenticationKey(std::string_view data) {
  return signWith(CertificateUsage::Authentication, data);
}

}  // namespace sorvimend
