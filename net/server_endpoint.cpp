#include "net/server_endpoint.h"

#include <vector>

#include "util/bytes.h"
#include "util/regex.h"

namespace sorvimend {
namespace {

const Regex& urlPattern() {
  static const Regex pattern(
      "(?:([^:/?#]+)://)?(?:([^/?#]+):([^/?#]*)@)?(?:([^/?#:]+)(?::(\\d{2,5}))?)"
      "((?:/[^?#]*)?(?:\\?[^#]*)?(?:#.*)?)?");
  return pattern;
}

}  // namespace

void ServerEndpoint::clear() {
  url.clear();
  scheme.clear();
  user.clear();
  password.clear();
  credentials.clear();
  host.clear();
  port.clear();
  hostPort.clear();
}

void ServerEndpoint::parse(std::string_view text) {
  clear();
  std::vector<std::string> groups;
  if (!urlPattern().fullMatch(text, &groups) || groups.size() < 5) {
    for (auto& g : groups) secureWipe(g);
    return;
  }
  url.assign(text);
  scheme = std::move(groups[0]);
  user = std::move(groups[1]);
  password = std::move(groups[2]);
  host = std::move(groups[3]);
  port = std::move(groups[4]);
  for (auto& g : groups) secureWipe(g);
  if (scheme.empty()) scheme = "https";
  if (port.empty()) port = "443";
  hostPort = host + ":" + port;
  if (!user.empty()) credentials = user + ":" + password;
  if (scheme != "http" && scheme != "https") wipeEndpoint(*this);
}

void wipeEndpoint(ServerEndpoint& endpoint) noexcept {
  secureWipe(endpoint.url);
  secureWipe(endpoint.password);
  secureWipe(endpoint.credentials);
  endpoint.clear();
}

}  // namespace sorvimend
