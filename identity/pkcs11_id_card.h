#pragma once
// The ID card reached through a PKCS#11 module loaded at run time. One per program. It keeps at
// most one module loaded; a selected token stays logged in until released or destroyed.

#include <memory>
#include <string>
#include <vector>

#include "identity/certificate_filter.h"
#include "identity/id_card.h"
#include "identity/pkcs11_token.h"
#include "util/pkcs11/pkcs11_module.h"

namespace sorvimend {

// The module files to try, in order: the configured ones (P11_LIBS_LINUX), with the value of
// EVOTE_PKCS11_LIB first when it is set and not empty.
[[nodiscard]] std::vector<std::string> modulePathList(std::vector<std::string> configured);

class Pkcs11IdCard final : public IdCard {
 public:
  explicit Pkcs11IdCard(std::vector<std::string> modulePaths);
  ~Pkcs11IdCard() override;
  // A copy would log out and unload what the original still uses.
  Pkcs11IdCard(const Pkcs11IdCard&) = delete;
  Pkcs11IdCard& operator=(const Pkcs11IdCard&) = delete;

  const CertificateInfo* authenticationToken() override;
  const CertificateInfo* signingToken() override;
  void release(bool signingOnly) override;
  [[nodiscard]] Bytes signingCertificate() override;
  [[nodiscard]] Bytes authenticationCertificate() override;
  std::string holderName() const override;
  std::string personalCode() const override;
  bool isRsa() const override;
  bool isEc() const override;
  int signatureBits() const override;
  [[nodiscard]] Bytes signWithSigningKey(std::string_view data) override;
  [[nodiscard]] Bytes signWithAuthenticationKey(std::string_view data) override;

  const std::vector<std::string>& modulePaths() const { return modulePaths_; }

 protected:
  void useIssuerCertificates(std::vector<X509Ptr> issuers) override;

 private:
  std::unique_ptr<Pkcs11Token>& tokenFor(CertificateUsage usage);
  const CertificateInfo* selectToken(CertificateUsage usage);
  std::unique_ptr<Pkcs11Token> findToken();
  [[nodiscard]] ErrorPtr prepare(Pkcs11Token& token);
  Bytes signWith(CertificateUsage usage, std::string_view data);
  void unloadModule();

  std::vector<std::string> modulePaths_;
  CertificateFilter filter_;
  // Tokens before the module in destruction order: their sessions need the module.
  std::unique_ptr<Pkcs11Module> module_;
  std::unique_ptr<Pkcs11Token> authenticationToken_;
  std::unique_ptr<Pkcs11Token> signingToken_;
};

}  // namespace sorvimend
