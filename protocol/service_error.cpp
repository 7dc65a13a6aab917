#include "protocol/service_error.h"

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"

namespace sorvimend {

ErrorPtr networkError(const std::string& networkMessage, TransportCode code) {
  return makeError(ErrorClass::Network, networkMessage, static_cast<std::uint64_t>(codeNumber(code)));
}

ErrorPtr networkError(const std::string& networkMessage, RequestResult result) {
  return makeError(ErrorClass::Network, networkMessage, static_cast<std::uint64_t>(result));
}

ErrorPtr serverError(ParseCode code) {
  return makeError(ErrorClass::Server, std::string(), static_cast<std::uint64_t>(code));
}

ErrorPtr serviceError(const ServiceReply& reply) {
  const ResourceId id = resourceCatalogue().serviceErrorMessageId(reply.errorCode);
  std::string message = id == ResourceId::None ? std::string() : resourceText(id);
  return makeError(ErrorClass::Protocol, std::move(message), static_cast<std::uint64_t>(reply.status));
}

}  // namespace sorvimend
