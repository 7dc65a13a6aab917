#include "net/proxy_discovery.h"

#include <cstdlib>
#include <vector>

#include "util/bytes.h"
#include "util/regex.h"

namespace sorvimend {

ServerEndpoint parseProxyList(std::string_view value) {
  static const Regex entry("(?:(?:([^;=]+)=\\s*)?([^;=\\s]+))[\\s;]*");
  std::string_view rest = value;
  std::vector<std::string> groups;
  ServerEndpoint result;
  while (entry.findAndConsume(rest, &groups)) {
    if (groups.size() < 2) break;
    if (!groups[0].empty() && groups[0] != "https") continue;
    result.parse(groups[1]);
    secureWipe(groups[1]);
    if (result.hasHost()) return result;
  }
  for (auto& g : groups) secureWipe(g);
  result.clear();
  return result;
}

ServerEndpoint addressFromDialog(const ProxyDialogFields& fields) {
  ServerEndpoint address;
  if (fields.host.empty()) return address;
  std::string text;
  if (!fields.user.empty()) text = fields.user + ":" + fields.password + "@";
  text += fields.host + ":" + fields.port;
  address.parse(text);
  secureWipe(text);
  return address;
}

ServerEndpoint discoverProxy(const std::string& variableName, ProxyPrompt* prompt) {
  ServerEndpoint proxy;
  const char* value = variableName.empty() ? nullptr : std::getenv(variableName.c_str());
  if (value == nullptr) return proxy;
  proxy = parseProxyList(value);
  if (!proxy.hasHost() || prompt == nullptr) return proxy;
  ProxyDialogFields fields{proxy.host, proxy.port, proxy.user, proxy.password};
  switch (prompt->askProxy(fields)) {
    case ProxyPromptResult::Confirmed:
      wipeEndpoint(proxy);
      proxy = addressFromDialog(fields);
      break;
    case ProxyPromptResult::Cancelled:
      wipeEndpoint(proxy);
      break;
    case ProxyPromptResult::Closed:
      break;
  }
  secureWipe(fields.password);
  return proxy;
}

}  // namespace sorvimend
