#pragma once
// One network address parsed from URL-form text: a voting-service server or the HTTPS proxy.
// Either empty (every field empty) or valid (scheme, host, port and hostPort set).

#include <string>
#include <string_view>

namespace sorvimend {

struct ServerEndpoint {
  std::string url;          // the text as given to parse
  std::string scheme;       // "http" or "https"
  std::string user;
  std::string password;
  std::string credentials;  // user ":" password when user is set
  std::string host;         // host name or dotted IPv4 address
  std::string port;         // decimal text, "443" by default
  std::string hostPort;     // host ":" port

  // Clears the record and fills it from text. A text that does not have URL form, or names a
  // scheme other than "http"/"https", leaves the record empty. Path, query and fragment are dropped.
  void parse(std::string_view text);
  void clear();
  [[nodiscard]] bool hasHost() const { return !host.empty(); }

  [[nodiscard]] static ServerEndpoint fromText(std::string_view text) {
    ServerEndpoint endpoint;
    endpoint.parse(text);
    return endpoint;
  }

  friend bool operator==(const ServerEndpoint& a, const ServerEndpoint& b) {
    return a.url == b.url && a.scheme == b.scheme && a.user == b.user && a.password == b.password &&
           a.credentials == b.credentials && a.host == b.host && a.port == b.port && a.hostPort == b.hostPort;
  }
  friend bool operator!=(const ServerEndpoint& a, const ServerEndpoint& b) { return !(a == b); }
};

// Wipes the password and credentials before clearing: a proxy address carries a secret.
void wipeEndpoint(ServerEndpoint& endpoint) noexcept;

}  // namespace sorvimend
