#pragma once
// The scripted client of the service tests: named calls of every method over the harness's TLS
// exchange, with replies read as JSON.

#include <optional>
#include <string>

#include <rapidjson/document.h>

#include "tests/tools/demo_service/harness.h"

namespace sorvimend::demo::testing {

struct Reply {
  bool received = false;  // a reply text came back at all
  std::string text;
  std::string error;  // the "error" string, empty when null
  rapidjson::Document doc;

  bool ok() const { return received && error.empty() && doc.IsObject() && doc.HasMember("result") && doc["result"].IsObject(); }
  std::string result(const char* name) const;  // a string member of "result", or ""
  bool has(const char* name) const;
};

Reply call(int port, const std::string& serverName, const std::string& method,
           const std::vector<std::pair<std::string, std::string>>& params, const ClientIdentity* client = nullptr);

constexpr const char* kChoicesName = "choices.sorvimend.test";
constexpr const char* kVotingName = "voting.sorvimend.test";
constexpr const char* kMidName = "mid.sorvimend.test";
constexpr const char* kSmartIdName = "smartid.sorvimend.test";

std::string phoneOf(const std::string& personalCode);  // the demo election's rule

// A Mobile-ID or Smart-ID identification run to its end: SessionID and AuthToken, or the first
// service error in error.
struct Identified {
  std::string sessionId;
  std::string authToken;
  std::string error;
  int polls = 0;
  Reply final;
};
Identified identify(int port, bool mobileId, const std::string& personalCode, const std::string& phone = {});

// Polls a provider session's status method until it is not POLL (at most 20 times).
Reply pollUntilDone(int port, const std::string& serverName, const std::string& method, const std::string& sessionCode,
                    const std::string& sessionId, int* polls = nullptr);

}  // namespace sorvimend::demo::testing
