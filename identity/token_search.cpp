#include "identity/token_search.h"

#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

#include "identity/card_failure.h"

namespace sorvimend {

namespace {

// Bounds on what a module may ask us to allocate; no reader or card comes near them.
constexpr CK_ULONG kMaxSlots = 4096;
constexpr std::size_t kMaxCertificateBytes = 1024 * 1024;

ErrorPtr presentSlots(Pkcs11Module& module) {
  std::vector<CK_SLOT_ID>& slots = module.slots();
  slots.clear();
  CK_FUNCTION_LIST* functions = module.functions();
  CK_ULONG count = 0;
  CK_RV rv = functions->C_GetSlotList(CK_TRUE, nullptr, &count);
  if (rv != CKR_OK) return cardFailure(IdCardCode::ModuleCall, rv);
  if (count == 0) return cardFailure(IdCardCode::NoToken);
  if (count > kMaxSlots) return cardFailure(IdCardCode::SlotListMemory);
  try {
    slots.resize(count);
  } catch (const std::bad_alloc&) {
    return cardFailure(IdCardCode::SlotListMemory);
  }
  rv = functions->C_GetSlotList(CK_TRUE, slots.data(), &count);
  if (rv != CKR_OK) {
    slots.clear();
    return cardFailure(IdCardCode::ModuleCall, rv);
  }
  if (count < slots.size()) slots.resize(count);
  if (slots.empty()) return cardFailure(IdCardCode::NoToken);
  return nullptr;
}

// The token's X.509 certificate, parsed; an error when there is none or it cannot be read.
ErrorPtr readCertificate(Pkcs11Session& session, std::optional<CertificateInfo>& info) {
  CK_OBJECT_CLASS objectClass = CKO_CERTIFICATE;
  CK_CERTIFICATE_TYPE certificateType = CKC_X_509;
  std::vector<CK_ATTRIBUTE> match{
      {CKA_CLASS, &objectClass, sizeof objectClass},
      {CKA_CERTIFICATE_TYPE, &certificateType, sizeof certificateType},
  };
  std::vector<CK_OBJECT_HANDLE> found;
  CK_RV rv = session.findObjects(match, 1, found);
  if (rv != CKR_OK) return cardFailure(IdCardCode::ModuleCall, rv);
  if (found.empty()) return cardFailure(IdCardCode::CertificateUnusable);
  Bytes der;
  const Pkcs11Fetch fetch = session.attributeValue(found.front(), CKA_VALUE, der, kMaxCertificateBytes);
  if (fetch.outOfMemory) return cardFailure(IdCardCode::CertificateMemory);
  if (fetch.rv != CKR_OK) return cardFailure(IdCardCode::ModuleCall, fetch.rv);
  info = parseCertificateInfo(der);
  if (!info) return cardFailure(IdCardCode::CertificateUnusable);
  return nullptr;
}

ErrorPtr filterError(FilterVerdict verdict) {
  switch (verdict) {
    case FilterVerdict::IssuerUnusable: return cardFailure(IdCardCode::IssuerUnusable);
    case FilterVerdict::SignatureInvalid: return cardFailure(IdCardCode::IssuerSignature);
    case FilterVerdict::OtherPerson: return cardFailure(IdCardCode::CertificateUnusable);
    case FilterVerdict::Accepted:
    case FilterVerdict::NotAccepted: break;
  }
  return nullptr;
}

}  // namespace

TokenSearchResult searchTokens(Pkcs11Module& module, CertificateFilter& filter) {
  TokenSearchResult result;
  if ((result.error = presentSlots(module))) return result;
  for (const CK_SLOT_ID slot : module.slots()) {
    CK_RV rv = CKR_OK;
    std::optional<Pkcs11Session> session = Pkcs11Session::open(module.functions(), slot, rv);
    if (!session) {
      result.error = cardFailure(IdCardCode::ModuleCall, rv);
      return result;
    }
    // From here every way out closes the session (the wrapper logs out first if needed).
    std::optional<CertificateInfo> certificate;
    if ((result.error = readCertificate(*session, certificate))) return result;
    const FilterVerdict verdict = filter.apply(*certificate);
    if (verdict == FilterVerdict::NotAccepted) continue;
    if ((result.error = filterError(verdict))) return result;
    CK_FLAGS flags = 0;
    rv = session->tokenFlags(flags);
    if (rv != CKR_OK) {
      result.error = cardFailure(IdCardCode::ModuleCall, rv);
      return result;
    }
    const bool pinpad = (flags & CKF_PROTECTED_AUTHENTICATION_PATH) != 0;
    result.token = std::make_unique<Pkcs11Token>(std::move(*session), std::move(*certificate), pinpad);
    return result;
  }
  return result;
}

}  // namespace sorvimend
