#pragma once
// The proxy dialog as the transport sees it. The user interface implements it with a modal
// dialog; tests implement it with a script.

#include <string>

namespace sorvimend {

// The four fields the voter sees and may correct.
struct ProxyDialogFields {
  std::string host;
  std::string port;
  std::string user;
  std::string password;
};

enum class ProxyPromptResult {
  Confirmed,  // the fields, as edited, name the proxy
  Cancelled,  // no proxy: connect directly
  Closed,     // closed in another way: keep the address as it was
};

class ProxyPrompt {
 public:
  virtual ~ProxyPrompt() = default;
  // Shows the fields (filled in) and lets the voter edit them in place.
  [[nodiscard]] virtual ProxyPromptResult askProxy(ProxyDialogFields& fields) = 0;
};

}  // namespace sorvimend
