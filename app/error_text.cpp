#include "app/error_text.h"

#include <cinttypes>
#include <cstdio>

#include "resources/resource_access.h"

namespace sorvimend {

std::string technicalErrorCode(const ErrorInfo& error) {
  std::string text = "Tehnilise vea kood: 0x";
  text += std::to_string(error.errorClass());
  text += "-";
  text += std::to_string(error.detail());
  if (error.extra() != 0) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "-0x%" PRIx64, error.extra());
    text += hex;
  }
  return text;
}

ResourceId errorClassNameId(std::int32_t errorClass) {
  switch (errorClass) {
    case static_cast<std::int32_t>(ErrorClass::System): return ResourceId::RES_ERROR_SYSTEM;
    case static_cast<std::int32_t>(ErrorClass::Internal): return ResourceId::RES_ERROR_INTERNAL;
    case static_cast<std::int32_t>(ErrorClass::Network): return ResourceId::RES_ERROR_NETWORK;
    case static_cast<std::int32_t>(ErrorClass::Server): return ResourceId::RES_ERROR_SERVER;
    case static_cast<std::int32_t>(ErrorClass::Protocol): return ResourceId::RES_ERROR_PROTOCOL;
    case static_cast<std::int32_t>(ErrorClass::Verify): return ResourceId::RES_ERROR_VERIFY;
    case static_cast<std::int32_t>(ErrorClass::Id): return ResourceId::RES_ERROR_ID;
    case static_cast<std::int32_t>(ErrorClass::Environment): return ResourceId::RES_ERROR_ENVIRONMENT;
    default: return ResourceId::RES_ERROR_INTERNAL;
  }
}

std::string errorViewText(const ErrorInfo* error) {
  const std::string className =
      resourceText(error == nullptr ? ResourceId::RES_ERROR_INTERNAL : errorClassNameId(error->errorClass()));
  if (error == nullptr) return fillMask(resourceText(ResourceId::RES_ERROR_MASK), {className, "", ""});
  return fillMask(resourceText(ResourceId::RES_ERROR_MASK), {className, error->message(), technicalErrorCode(*error)});
}

}  // namespace sorvimend
