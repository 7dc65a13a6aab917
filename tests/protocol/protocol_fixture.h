#pragma once
// Test doubles for the service operations: the demo bundle loaded, a protocol client whose
// exchanges are scripted (the requests are still built by the real client), and an ID card whose
// failures can be planted.

#include <cstdlib>
#include <deque>
#include <functional>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "identity/id_card.h"
#include "identity/id_card_error.h"
#include "protocol/rpc_client.h"
#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"

namespace sorvimend::protocol_test {

inline std::string demoBundleText() {
  const char* source = std::getenv("SV_SOURCE_DIR");
  if (!source) throw std::runtime_error("SV_SOURCE_DIR must be set");
  std::ifstream in(std::string(source) + "/demo/bundle.json", std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Loads the demo bundle, changed by edit first when one is given.
inline void loadDemoBundle(const std::function<void(rapidjson::Document&)>& edit = {}) {
  std::string json = demoBundleText();
  if (edit) {
    rapidjson::Document document;
    document.Parse(json.data(), json.size());
    edit(document);
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    json.assign(buffer.GetString(), buffer.GetSize());
  }
  registerCatalogue();
  if (auto error = loadBundleText(json)) throw std::runtime_error("demo bundle: " + error->message());
}

inline void setText(rapidjson::Document& document, const char* group, const char* key, const std::string& value) {
  document[group][key].SetString(value.data(), static_cast<rapidjson::SizeType>(value.size()), document.GetAllocator());
}

inline void setList(rapidjson::Document& document, const char* group, const char* key,
                    const std::vector<std::string>& values) {
  rapidjson::Value list(rapidjson::kArrayType);
  for (const auto& value : values) {
    list.PushBack(rapidjson::Value(value.data(), static_cast<rapidjson::SizeType>(value.size()), document.GetAllocator()),
                  document.GetAllocator());
  }
  document[group][key] = list;
}

inline TransportConfig testConfig() {
  TransportConfig config;
  config.choicesSni = "choices.sorvimend.test";
  config.votingSni = "voting.sorvimend.test";
  config.midSni = "mid.sorvimend.test";
  config.smartIdSni = "smartid.sorvimend.test";
  config.maxMessageSize = 1 << 20;
  config.sslTimeout = 1;
  config.sslRetryTimeout = 1;
  return config;
}

// Every step answers the next scripted result; requests are recorded as the channel got them.
class ScriptedRpcClient : public RpcClient {
 public:
  ScriptedRpcClient()
      : RpcClient(testConfig(), std::make_unique<TlsChannel>(TlsChannel::ConcreteServers{}, 1 << 20)) {}

  void answer(TransportCode code, std::string text = {}) { script_.emplace_back(code, std::move(text)); }
  void answer(std::string text) { answer(TransportCode::Done, std::move(text)); }

  TransportCode step(std::string& reply) override {
    if (script_.empty()) return TransportCode::Pending;
    auto [code, text] = std::move(script_.front());
    script_.pop_front();
    if (code == TransportCode::Done) reply = std::move(text);
    return code;
  }
  void applyProxyEnvironment() override { ++proxyLookups; }

  // The request of the exchange started last.
  std::string lastRequest() const {
    auto* exchange = const_cast<ScriptedRpcClient*>(this)->channel().exchange();
    return exchange ? exchange->request : std::string();
  }

  int proxyLookups = 0;

 private:
  std::deque<std::pair<TransportCode, std::string>> script_;
};

// A card that answers from fixed values and fails where a test plants a failure.
class FakeCard : public IdCard {
 public:
  void fail(std::uint64_t code, std::uint64_t pkcs11Result = 0) {
    setPendingError(std::make_unique<IdCardError>(code, pkcs11Result));
  }
  const CertificateInfo* authenticationToken() override { return cardCall() ? &info : nullptr; }
  const CertificateInfo* signingToken() override { return cardCall() ? &info : nullptr; }
  void release(bool) override {}
  Bytes signingCertificate() override { return cardCall() ? signing : Bytes(); }
  Bytes authenticationCertificate() override { return {}; }
  std::string holderName() const override { return "MARI-LIIS M\xC3\x84NNIK"; }
  std::string personalCode() const override { return "38001010008"; }
  bool isRsa() const override { return true; }
  bool isEc() const override { return false; }
  int signatureBits() const override { return 2048; }
  Bytes signWithSigningKey(std::string_view) override { return cardCall() ? Bytes("sig") : Bytes(); }
  Bytes signWithAuthenticationKey(std::string_view) override { return {}; }

  CertificateInfo info;
  Bytes signing;
  int failAtCall = -1;  // the card call (from 0) that fails with failCode
  std::uint64_t failCode = 1;

 protected:
  void useIssuerCertificates(std::vector<X509Ptr>) override {}

 private:
  // False, with the failure pending, at the planted call.
  bool cardCall() {
    if (calls_++ != failAtCall) return true;
    fail(failCode);
    return false;
  }
  int calls_ = 0;
};

}  // namespace sorvimend::protocol_test
