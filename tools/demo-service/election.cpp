#include "tools/demo-service/election.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include <openssl/pem.h>
#include <rapidjson/document.h>

#include "util/bytes.h"
#include "util/cert_set.h"

namespace sorvimend::demo {
namespace {

const std::map<std::string, Scenario>& scenarioNames() {
  static const std::map<std::string, Scenario> names = {
      {"normal", Scenario::Normal},
      {"not-user", Scenario::NotUser},
      {"auth-cancelled", Scenario::AuthCancelled},
      {"voted-before", Scenario::VotedBefore},
      {"ineligible", Scenario::Ineligible},
      {"outdated-choices", Scenario::OutdatedChoices},
      {"sign-cancelled", Scenario::SignCancelled},
      {"broken-timestamp", Scenario::BrokenTimeStamp},
      {"broken-registration", Scenario::BrokenRegistration},
      {"broken-ocsp", Scenario::BrokenOcsp},
      {"test-vote", Scenario::TestVote},
      {"voting-end", Scenario::VotingEnd},
  };
  return names;
}

class Loader {
 public:
  Loader(std::string dir, std::string& problem) : dir_(std::move(dir)), problem_(problem) {}

  bool fail(const std::string& what) {
    if (problem_.empty()) problem_ = what;
    return false;
  }

  std::string path(const std::string& relative) const {
    return !relative.empty() && relative[0] == '/' ? relative : dir_ + "/" + relative;
  }

  std::optional<std::string> file(const std::string& relative) {
    auto content = readFile(path(relative));
    if (!content) fail("cannot read " + path(relative));
    return content;
  }

  static const char* text(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject()) return nullptr;
    auto it = object.FindMember(name);
    return it != object.MemberEnd() && it->value.IsString() ? it->value.GetString() : nullptr;
  }

  bool signer(const rapidjson::Value& object, Signer& out, const std::string& what) {
    const char* certName = text(object, "certificate");
    const char* keyName = text(object, "key");
    if (!certName || !keyName) return fail(what + ": certificate and key needed");
    auto certPem = file(certName);
    auto keyPem = file(keyName);
    if (!certPem || !keyPem) return false;
    out.certificate = certificateFromPem(*certPem);
    BioPtr bio(BIO_new_mem_buf(keyPem->data(), static_cast<int>(keyPem->size())));
    out.key.reset(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!out.certificate || !out.key || X509_check_private_key(out.certificate.get(), out.key.get()) != 1)
      return fail(what + ": certificate or key unreadable, or they do not belong together");
    return true;
  }

  std::shared_ptr<Signer> sharedSigner(const rapidjson::Value& object, const std::string& what) {
    auto s = std::make_shared<Signer>();
    return signer(object, *s, what) ? s : nullptr;
  }

 private:
  std::string dir_;
  std::string& problem_;
};

}  // namespace

std::optional<Scenario> scenarioByName(const std::string& name) {
  auto it = scenarioNames().find(name);
  if (it == scenarioNames().end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return out.str();
}

bool isUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra;
    std::uint32_t value;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      value = c & 0x07;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    static const std::uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < smallest[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

std::unique_ptr<Election> loadElection(const std::string& dir, std::string& problem) {
  problem.clear();
  Loader load(dir, problem);
  auto configText = load.file("election.json");
  if (!configText) return nullptr;
  rapidjson::Document config;
  config.Parse(configText->data(), configText->size());
  if (config.HasParseError() || !config.IsObject()) {
    load.fail("election.json is not a JSON object");
    return nullptr;
  }
  auto election = std::make_unique<Election>();
  const char* electionId = Loader::text(config, "electionId");
  const char* questionId = Loader::text(config, "questionId");
  if (!electionId || !questionId) {
    load.fail("election.json: electionId and questionId needed");
    return nullptr;
  }
  election->electionId = electionId;
  election->questionId = questionId;

  const auto servers = config.FindMember("servers");
  if (servers == config.MemberEnd() || !servers->value.IsArray() || servers->value.Empty()) {
    load.fail("election.json: servers needed");
    return nullptr;
  }
  for (const auto& s : servers->value.GetArray()) {
    const char* name = Loader::text(s, "name");
    const char* cert = Loader::text(s, "certificate");
    const char* key = Loader::text(s, "key");
    if (!name || !cert || !key) {
      load.fail("election.json: a server needs name, certificate and key");
      return nullptr;
    }
    auto certPem = load.file(cert);
    auto keyPem = load.file(key);
    if (!certPem || !keyPem) return nullptr;
    election->servers.push_back(ServerIdentity{name, *certPem, *keyPem});
  }

  const auto cas = config.FindMember("voterCas");
  if (cas == config.MemberEnd() || !cas->value.IsArray()) {
    load.fail("election.json: voterCas needed");
    return nullptr;
  }
  std::vector<std::string> caPems;
  for (const auto& c : cas->value.GetArray()) {
    if (!c.IsString()) {
      load.fail("election.json: voterCas holds file names");
      return nullptr;
    }
    auto pem = load.file(c.GetString());
    if (!pem) return nullptr;
    caPems.push_back(*pem);
  }
  election->issuers = certificatesFromPem(caPems);
  election->voterCas = trustStoreFromPem(caPems);
  if (election->issuers.size() != caPems.size() || !election->voterCas) {
    load.fail("election.json: a voter CA certificate is unreadable");
    return nullptr;
  }

  auto member = [&](const char* name) -> const rapidjson::Value& {
    static const rapidjson::Value null;
    auto it = config.FindMember(name);
    return it == config.MemberEnd() ? null : it->value;
  };
  if (!load.signer(member("ocspResponder"), election->ocspResponder, "ocspResponder") ||
      !load.signer(member("tsa"), election->tsa, "tsa") ||
      !load.signer(member("registration"), election->registration, "registration"))
    return nullptr;

  const char* publicKey = Loader::text(config, "electionPublicKey");
  const char* secretKey = Loader::text(config, "electionSecretKey");
  if (!publicKey || !secretKey) {
    load.fail("election.json: electionPublicKey and electionSecretKey needed");
    return nullptr;
  }
  auto publicDer = load.file(publicKey);
  auto secretHex = load.file(secretKey);
  if (!publicDer || !secretHex) return nullptr;
  auto key = ElGamalSecretKey::load(*publicDer, *secretHex);
  secureWipe(*secretHex);
  if (!key) {
    load.fail("the election key pair does not load or does not match");
    return nullptr;
  }
  if (key->electionId() != election->electionId) {
    load.fail("the election key belongs to election " + key->electionId());
    return nullptr;
  }
  election->secretKey = std::make_unique<ElGamalSecretKey>(std::move(*key));

  const auto& districts = member("districts");
  if (!districts.IsObject()) {
    load.fail("election.json: districts needed");
    return nullptr;
  }
  for (const auto& d : districts.GetObject()) {
    if (!d.value.IsString()) {
      load.fail("election.json: a district names its choices file");
      return nullptr;
    }
    auto doc = load.file(d.value.GetString());
    if (!doc) return nullptr;
    rapidjson::Document parsed;
    parsed.Parse(doc->data(), doc->size());
    if (parsed.HasParseError() || !parsed.IsObject()) {
      load.fail(std::string("the choices of ") + d.name.GetString() + " are not a JSON object");
      return nullptr;
    }
    auto& known = election->plaintexts[d.name.GetString()];
    for (const auto& list : parsed.GetObject()) {
      if (!list.value.IsObject()) continue;
      const std::string listName(list.name.GetString(), list.name.GetStringLength());
      for (const auto& choice : list.value.GetObject()) {
        if (!choice.value.IsString()) continue;
        known.insert(std::string(choice.name.GetString(), choice.name.GetStringLength()) + '\x1f' + listName +
                     '\x1f' + std::string(choice.value.GetString(), choice.value.GetStringLength()));
      }
    }
    election->choices[d.name.GetString()] = *doc;
  }

  auto sub = [](const rapidjson::Value& object, const char* name) -> const rapidjson::Value& {
    static const rapidjson::Value null;
    if (!object.IsObject()) return null;
    auto it = object.FindMember(name);
    return it == object.MemberEnd() ? null : it->value;
  };
  const auto& phoneSigners = member("phoneSigners");
  std::shared_ptr<Signer> defaultMid = load.sharedSigner(sub(phoneSigners, "mid"), "phoneSigners.mid");
  std::shared_ptr<Signer> defaultSmartId = load.sharedSigner(sub(phoneSigners, "smartid"), "phoneSigners.smartid");
  if (!defaultMid || !defaultSmartId) return nullptr;

  const auto& voters = member("voters");
  if (!voters.IsArray()) {
    load.fail("election.json: voters needed");
    return nullptr;
  }
  for (const auto& v : voters.GetArray()) {
    Voter voter;
    const char* code = Loader::text(v, "personalCode");
    const char* given = Loader::text(v, "givenName");
    const char* surname = Loader::text(v, "surname");
    const char* phone = Loader::text(v, "phone");
    const char* district = Loader::text(v, "district");
    const char* scenario = Loader::text(v, "scenario");
    if (!code || !given || !surname || !phone || !district) {
      load.fail("election.json: a voter needs personalCode, givenName, surname, phone and district");
      return nullptr;
    }
    voter.personalCode = code;
    voter.givenName = given;
    voter.surname = surname;
    voter.phone = phone;
    voter.district = district;
    if (!election->choices.count(voter.district)) {
      load.fail("voter " + voter.personalCode + " is in an unknown district");
      return nullptr;
    }
    auto sc = scenarioByName(scenario ? scenario : "normal");
    if (!sc) {
      load.fail("voter " + voter.personalCode + " has an unknown scenario");
      return nullptr;
    }
    voter.scenario = *sc;
    voter.midSigner = v.HasMember("midSigner") ? load.sharedSigner(v["midSigner"], "midSigner") : defaultMid;
    voter.smartIdSigner =
        v.HasMember("smartIdSigner") ? load.sharedSigner(v["smartIdSigner"], "smartIdSigner") : defaultSmartId;
    if (!voter.midSigner || !voter.smartIdSigner) return nullptr;
    election->voters[voter.personalCode] = std::move(voter);
  }
  return election;
}

}  // namespace sorvimend::demo
