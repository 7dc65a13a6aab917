#include "identity/id_card_error.h"

#include "resources/resource_access.h"

namespace sorvimend {

ResourceId idCardMessageId(std::uint64_t code) {
  switch (code) {
    case 1:
    case 19: return ResourceId::STR_ERR_IDPROV_INIT;
    case 6:
    case 36: return ResourceId::STR_ERR_IDPROV_CANCEL;
    case 7:
    case 39: return ResourceId::STR_ERR_IDPROV_WRONG_PIN;
    case 8:
    case 38: return ResourceId::STR_ERR_IDPROV_BLOCKED;
    case 12: return ResourceId::STR_ERR_IDPROV_DLOPEN;
    case 13: return ResourceId::STR_ERR_IDPROV_LOCKED;
    default: return ResourceId::None;
  }
}

namespace {

std::string messageFor(std::uint64_t code) {
  const ResourceId id = idCardMessageId(code);
  return id == ResourceId::None ? std::string() : resourceText(id);
}

}  // namespace

IdCardError::IdCardError(std::uint64_t code, std::uint64_t pkcs11Result)
    : ErrorInfo(ErrorClass::Id, messageFor(code), code, pkcs11Result) {}

}  // namespace sorvimend
