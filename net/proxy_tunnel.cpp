#include "net/proxy_tunnel.h"

#include <cstring>
#include <utility>
#include <vector>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include "util/base64.h"
#include "util/bytes.h"
#include "util/openssl_error.h"
#include "util/openssl_ptr.h"
#include "util/regex.h"

namespace sorvimend {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kNonceCount = "00000001";

std::string hexLower(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    out.push_back(digits[u >> 4]);
    out.push_back(digits[u & 0x0f]);
  }
  return out;
}

std::string hashHex(DigestHash hash, std::string_view data) {
  const EVP_MD* md = hash == DigestHash::Sha256 ? EVP_sha256() : EVP_md5();
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(data.data(), data.size(), out, &length, md, nullptr) != 1) {
    clearOpenSslErrors();
    return {};
  }
  return hexLower(std::string_view(reinterpret_cast<const char*>(out), length));
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

const Regex& statusPattern() {
  static const Regex pattern("HTTP/1.[01] (200|407) [a-zA-Z ]+");
  return pattern;
}

}  // namespace

std::optional<std::string> firstHeaderMatch(std::string_view answer, std::string_view pattern) {
  const Regex regex(pattern);
  std::vector<std::string> groups;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = answer.find("\r\n", start);
    if (end == std::string_view::npos) return std::nullopt;
    if (regex.fullMatch(answer.substr(start, end - start), &groups)) {
      return groups.empty() ? std::string() : std::move(groups[0]);
    }
    start = end + 2;
  }
}

bool proxyAnswerComplete(std::string_view answer) {
  const std::size_t headerEnd = answer.find(kHeaderEnd);
  if (headerEnd == std::string_view::npos) return false;
  const auto declared = firstHeaderMatch(answer, "Content-Length: ([0-9]+)");
  if (!declared) return true;
  std::string_view body = answer.substr(headerEnd + kHeaderEnd.size());
  const std::size_t zero = body.find('\0');
  if (zero != std::string_view::npos) body = body.substr(0, zero);
  // Compare as text without leading zeros, so a huge number cannot overflow anything.
  std::string_view digits = *declared;
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return digits == std::to_string(body.size());
}

std::optional<std::map<std::string, std::string>> digestParameters(std::string_view challenge) {
  static const Regex pair(".*?([a-zA-Z]+)=\"(.*?)\".*");
  std::map<std::string, std::string> parameters;
  std::string_view rest = challenge;
  std::vector<std::string> groups;
  while (pair.fullMatch(rest, &groups) && groups.size() >= 2) {
    const std::string& key = groups[0];
    const std::string& value = groups[1];
    std::size_t dropTo = 0;
    if (!value.empty()) {
      const std::size_t at = rest.find(value);
      if (at == std::string_view::npos) return std::nullopt;
      dropTo = at + value.size();
    } else {
      // An empty value would be found at the start and nothing dropped: step past the pair itself.
      const std::string emptyPair = key + "=\"\"";
      const std::size_t at = rest.find(emptyPair);
      if (at == std::string_view::npos) return std::nullopt;
      dropTo = at + emptyPair.size();
    }
    parameters[key] = value;
    rest.remove_prefix(dropTo);
  }
  return parameters;
}

std::string digestResponse(DigestHash hash, std::string_view user, std::string_view realm, std::string_view password,
                           std::string_view nonce, std::string_view nc, std::string_view cnonce,
                           std::string_view method, std::string_view uri) {
  std::string a1;
  a1.append(user).append(":").append(realm).append(":").append(password);
  std::string ha1 = hashHex(hash, a1);
  secureWipe(a1);
  std::string a2;
  a2.append(method).append(":").append(uri);
  const std::string ha2 = hashHex(hash, a2);
  std::string all;
  all.append(ha1).append(":").append(nonce).append(":").append(nc).append(":").append(cnonce).append(":auth:").append(ha2);
  secureWipe(ha1);
  std::string response = hashHex(hash, all);
  secureWipe(all);
  return response;
}

ProxyTunnel::ProxyTunnel(ServerEndpoint target, ServerEndpoint proxy)
    : target_(std::move(target)), proxy_(std::move(proxy)) {
  composeRequest();
}

ProxyTunnel::~ProxyTunnel() {
  wipeEndpoint(proxy_);
  secureWipe(authorization_);
  secureWipe(outgoing_);
}

void ProxyTunnel::composeRequest() {
  answer_.clear();
  secureWipe(outgoing_);
  outgoing_ = "CONNECT " + target_.hostPort + " HTTP/1.1\r\n";
  outgoing_ += "Host: " + target_.hostPort + "\r\n";
  outgoing_ += "Content-Length: 0\r\n";
  outgoing_ += "Proxy-Connection: Keep-Alive\r\n";
  outgoing_ += "Pragma: no-cache\r\n";
  if (!authorization_.empty()) {
    outgoing_ += "Proxy-Authorization: " + authScheme_ + " " + authorization_ + "\r\n";
  }
  outgoing_ += "\r\n";
}

void ProxyTunnel::handleAnswer(std::string_view chunk) {
  answer_.append(chunk);
  if (!proxyAnswerComplete(answer_)) {
    state_ = answer_.size() > kMaxAnswerSize ? TunnelState::Refused : TunnelState::Reading;
    return;
  }
  const std::string_view statusLine = std::string_view(answer_).substr(0, answer_.find("\r\n"));
  std::vector<std::string> groups;
  if (!statusPattern().fullMatch(statusLine, &groups) || groups.empty()) {
    state_ = TunnelState::Refused;
    return;
  }
  if (groups[0] == "200") {
    state_ = TunnelState::Open;
    return;
  }
  // A 407 after our credentials went out means they were refused.
  if (!authorization_.empty()) {
    state_ = TunnelState::Refused;
    return;
  }
  const auto scheme = firstHeaderMatch(answer_, "Proxy-Authenticate: ([a-zA-Z]+).*");
  bool answered = false;
  if (scheme && startsWith(*scheme, "Basic")) {
    answered = answerBasic();
  } else if (scheme && startsWith(*scheme, "Digest")) {
    answered = answerDigest();
  }
  state_ = answered ? TunnelState::Sending : TunnelState::Refused;
}

bool ProxyTunnel::answerBasic() {
  authScheme_ = "Basic";
  if (proxy_.credentials.empty()) return false;
  secureWipe(authorization_);
  authorization_ = base64EncodeLine(proxy_.credentials);
  composeRequest();
  return true;
}

bool ProxyTunnel::answerDigest() {
  authScheme_ = "Digest";
  const auto challenge = firstHeaderMatch(answer_, "Proxy-Authenticate:(.*)");
  if (!challenge) return false;
  const auto parameters = digestParameters(*challenge);
  if (!parameters) return false;
  const auto value = [&](const std::string& key) -> std::string {
    const auto it = parameters->find(key);
    return it == parameters->end() ? std::string() : it->second;
  };
  const std::string algorithm = value("algorithm");
  if (!algorithm.empty() && !startsWith(algorithm, "MD5") && !startsWith(algorithm, "SHA256")) return false;
  const DigestHash hash = startsWith(algorithm, "SHA256") ? DigestHash::Sha256 : DigestHash::Md5;
  if (!startsWith(value("qop"), "auth")) return false;

  unsigned char random[8];
  if (RAND_bytes(random, sizeof(random)) != 1) {
    clearOpenSslErrors();
    return false;
  }
  const std::string cnonce = hexLower(std::string_view(reinterpret_cast<const char*>(random), sizeof(random)));
  const std::string realm = value("realm");
  const std::string nonce = value("nonce");
  const std::string response = digestResponse(hash, proxy_.user, realm, proxy_.password, nonce, kNonceCount, cnonce,
                                              "CONNECT", target_.hostPort);
  if (response.empty()) return false;
  secureWipe(authorization_);
  authorization_ = "username=\"" + proxy_.user + "\", realm=\"" + realm + "\", nonce=\"" + nonce + "\", uri=\"" +
                   target_.hostPort + "\", cnonce=\"" + cnonce + "\", nc=" + std::string(kNonceCount) +
                   ", qop=auth, response=\"" + response + "\"";
  composeRequest();
  return true;
}

}  // namespace sorvimend
