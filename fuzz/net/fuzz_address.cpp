// URL-form addresses and proxy lists. Checks the record's invariant: empty, or scheme, host,
// port and hostPort all set and consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/proxy_discovery.h"
#include "net/server_endpoint.h"

namespace {

void checkInvariant(const sorvimend::ServerEndpoint& e) {
  if (e == sorvimend::ServerEndpoint{}) return;
  if (e.scheme.empty() || e.host.empty() || e.port.empty() || e.hostPort != e.host + ":" + e.port) std::abort();
  if (e.scheme != "http" && e.scheme != "https") std::abort();
  if (e.user.empty() != e.credentials.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkInvariant(sorvimend::ServerEndpoint::fromText(text));
  const sorvimend::ServerEndpoint proxy = sorvimend::parseProxyList(text);
  checkInvariant(proxy);
  if (!proxy.hasHost() && proxy != sorvimend::ServerEndpoint{}) std::abort();
  return 0;
}
