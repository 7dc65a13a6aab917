#pragma once
// The error records of the service operations, one builder per kind of failure.

#include <string>

#include "net/transport_code.h"
#include "protocol/rpc_client.h"
#include "protocol/service_reply.h"
#include "util/error_info.h"

namespace sorvimend {

// NETWORK: the operation's network message and the transport code (or 31 for a refused request).
[[nodiscard]] ErrorPtr networkError(const std::string& networkMessage, TransportCode code);
[[nodiscard]] ErrorPtr networkError(const std::string& networkMessage, RequestResult result);
// SERVER: empty message, the parse code.
[[nodiscard]] ErrorPtr serverError(ParseCode code);
// PROTOCOL: the RES_SERVER text of the reply's error code (empty when the catalogue lacks it),
// the reply's status as detail (1 for a service error, 2 for a POLL where an answer was due).
[[nodiscard]] ErrorPtr serviceError(const ServiceReply& reply);

}  // namespace sorvimend
