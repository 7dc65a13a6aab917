#include "tests/tools/demo_service/client.h"

namespace sorvimend::demo::testing {

std::string Reply::result(const char* name) const {
  if (!ok()) return {};
  const auto& r = doc["result"];
  auto it = r.FindMember(name);
  return it != r.MemberEnd() && it->value.IsString() ? std::string(it->value.GetString(), it->value.GetStringLength())
                                                     : std::string();
}

bool Reply::has(const char* name) const { return ok() && doc["result"].HasMember(name); }

Reply call(int port, const std::string& serverName, const std::string& method,
           const std::vector<std::pair<std::string, std::string>>& params, const ClientIdentity* client) {
  Reply reply;
  auto text = exchange(port, serverName, request(method, params), client);
  if (!text) return reply;
  reply.received = true;
  reply.text = *text;
  reply.doc.Parse(text->data(), text->size());
  if (!reply.doc.HasParseError() && reply.doc.IsObject() && reply.doc.HasMember("error") &&
      reply.doc["error"].IsString())
    reply.error = reply.doc["error"].GetString();
  return reply;
}

std::string phoneOf(const std::string& personalCode) { return "+3725550" + personalCode.substr(personalCode.size() - 4); }

Reply pollUntilDone(int port, const std::string& serverName, const std::string& method, const std::string& sessionCode,
                    const std::string& sessionId, int* polls) {
  Reply r;
  for (int i = 0; i < 20; ++i) {
    r = call(port, serverName, method, {{"OS", "Linux"}, {"SessionCode", sessionCode}, {"SessionID", sessionId}});
    if (r.result("Status") != "POLL") break;
    if (polls) ++*polls;
  }
  return r;
}

Identified identify(int port, bool mobileId, const std::string& personalCode, const std::string& phone) {
  Identified id;
  const char* name = mobileId ? kMidName : kSmartIdName;
  Reply start = mobileId ? call(port, name, "Authenticate",
                                {{"OS", "Linux"}, {"phoneno", phone.empty() ? phoneOf(personalCode) : phone},
                                 {"idcode", personalCode}})
                         : call(port, name, "Authenticate", {{"OS", "Linux"}, {"Identifier", personalCode}});
  if (!start.ok()) {
    id.error = start.received ? start.error : "no reply";
    return id;
  }
  id.sessionId = start.result("SessionID");
  id.final = pollUntilDone(port, name, "AuthenticateStatus", start.result("SessionCode"), id.sessionId, &id.polls);
  if (!id.final.ok()) {
    id.error = id.final.received ? id.final.error : "no reply";
    return id;
  }
  id.authToken = id.final.result("AuthToken");
  return id;
}

}  // namespace sorvimend::demo::testing
