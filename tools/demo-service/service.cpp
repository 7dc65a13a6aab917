#include "tools/demo-service/service.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include <openssl/rand.h>

#include "tools/demo-service/container_check.h"
#include "util/base64.h"
#include "util/cert_set.h"
#include "util/openssl_error.h"

namespace sorvimend::demo {
namespace {

constexpr const char* kBadRequest = "BAD_REQUEST";
constexpr const char* kUnauthenticated = "UNAUTHENTICATED";

std::string randomHex(std::size_t bytes) {
  std::string raw(bytes, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(raw.data()), static_cast<int>(bytes)) != 1) return {};
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (char c : raw) {
    out.push_back(digits[(static_cast<unsigned char>(c) >> 4) & 0xF]);
    out.push_back(digits[static_cast<unsigned char>(c) & 0xF]);
  }
  return out;
}

std::string randomBase64(std::size_t bytes) {
  std::string raw(bytes, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(raw.data()), static_cast<int>(bytes)) != 1) return {};
  return base64EncodeLine(raw);
}

const std::string* param(const Request& r, const char* name) {
  auto it = r.params.find(name);
  return it == r.params.end() ? nullptr : &it->second;
}

// The personal code in a voter certificate's subject serialNumber ("PNOEE-38001010008").
std::string personalCodeOf(X509* cert) {
  X509_NAME* subject = X509_get_subject_name(cert);
  const int index = X509_NAME_get_index_by_NID(subject, NID_serialNumber, -1);
  if (index < 0) return {};
  ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index));
  std::string text(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                   static_cast<std::size_t>(ASN1_STRING_length(value)));
  constexpr std::string_view prefix = "PNOEE-";
  return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : std::string();
}

// The simulated phone signs a digest: PKCS #1 v1.5 with DigestInfo for RSA, r || s for ECDSA.
std::string phoneSignature(const Signer& signer, const std::string& digest) {
  EVP_PKEY* key = signer.key.get();
  EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new(key, nullptr));
  std::size_t length = 0;
  std::string sig;
  const bool rsa = EVP_PKEY_base_id(key) == EVP_PKEY_RSA;
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 ||
      (rsa && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256()) != 1 ||
      EVP_PKEY_sign(ctx.get(), nullptr, &length, asUnsigned(digest), digest.size()) != 1) {
    clearOpenSslErrors();
    return {};
  }
  sig.resize(length);
  if (EVP_PKEY_sign(ctx.get(), reinterpret_cast<unsigned char*>(sig.data()), &length, asUnsigned(digest),
                    digest.size()) != 1) {
    clearOpenSslErrors();
    return {};
  }
  sig.resize(length);
  if (rsa) return sig;
  const unsigned char* p = asUnsigned(sig);
  EcdsaSigPtr ecdsa(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(sig.size())));
  if (!ecdsa) return {};
  const int half = (EVP_PKEY_get_bits(key) + 7) / 8;
  std::string raw(static_cast<std::size_t>(2 * half), '\0');
  auto* out = reinterpret_cast<unsigned char*>(raw.data());
  if (BN_bn2binpad(ECDSA_SIG_get0_r(ecdsa.get()), out, half) != half ||
      BN_bn2binpad(ECDSA_SIG_get0_s(ecdsa.get()), out + half, half) != half)
    return {};
  return raw;
}

X509* issuerOf(const Election& election, X509* cert) {
  for (const auto& issuer : election.issuers)
    if (X509_check_issued(issuer.get(), cert) == X509_V_OK) return issuer.get();
  return nullptr;
}

const char* meansName(int means) {
  static const char* const names[] = {"tls", "mid", "smartid"};
  return names[means];
}

}  // namespace

Service::Service(const Election& election, std::string stateDir, int polls)
    : election_(election), stateDir_(std::move(stateDir)), polls_(polls) {}

bool Service::openState(std::string& problem) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(stateDir_) / "containers", ec);
  if (ec) {
    problem = "cannot create " + stateDir_ + "/containers: " + ec.message();
    return false;
  }
  std::ofstream log(stateDir_ + "/votes.jsonl", std::ios::app);
  if (!log) {
    problem = "cannot write " + stateDir_ + "/votes.jsonl";
    return false;
  }
  return true;
}

std::string Service::handle(const Request& request, const Peer& peer) {
  // Every request of the application carries the operating-system description first.
  if (!param(request, "OS")) return errorReply(kBadRequest);
  const std::string& m = request.method;
  std::lock_guard<std::mutex> lock(mutex_);
  if (m == "VoterChoices") return voterChoices(request, peer);
  if (m == "Authenticate") return authenticate(request);
  if (m == "AuthenticateStatus") return status(request, Purpose::Authentication);
  if (m == "GetCertificate") return getCertificate(request);
  if (m == "GetCertificateChoice") return getCertificateChoice(request);
  if (m == "GetCertificateChoiceStatus") return status(request, Purpose::CertificateChoice);
  if (m == "Sign") return sign(request);
  if (m == "SignStatus") return status(request, Purpose::Signing);
  if (m == "Vote") return vote(request, peer);
  return errorReply(kBadRequest);
}

std::string Service::cardHolder(const Peer& peer, std::string& error) const {
  if (peer.clientCertificate.empty()) {
    error = kUnauthenticated;
    return {};
  }
  X509Ptr cert = certificateFromDer(peer.clientCertificate);
  X509StoreCtxPtr ctx(X509_STORE_CTX_new());
  const bool chained = cert && ctx &&
                       X509_STORE_CTX_init(ctx.get(), election_.voterCas.get(), cert.get(), nullptr) == 1 &&
                       X509_STORE_CTX_set_purpose(ctx.get(), X509_PURPOSE_SSL_CLIENT) == 1 &&
                       X509_verify_cert(ctx.get()) == 1;
  clearOpenSslErrors();
  const std::string code = chained ? personalCodeOf(cert.get()) : std::string();
  if (code.empty()) error = "BAD_CERTIFICATE";
  return code;
}

Service::Session* Service::ticketSession(const Request& r, std::string& error) {
  const std::string* token = param(r, "AuthToken");
  const std::string* sessionId = param(r, "SessionID");
  if (!token || !sessionId) {
    error = kBadRequest;
    return nullptr;
  }
  auto t = tokens_.find(*token);
  if (t == tokens_.end() || t->second != *sessionId) {
    error = kUnauthenticated;
    return nullptr;
  }
  return &sessions_.at(t->second);
}

std::string Service::startProvider(const std::string& sessionId, Purpose purpose, std::string hash) {
  std::string code;
  do {
    code = randomHex(12);
  } while (provider_.count(code));
  provider_[code] = ProviderSession{sessionId, purpose, 0, std::move(hash)};
  return code;
}

std::string Service::choicesReply(const Session& session, const Voter& voter, bool withSessionId) const {
  ReplyBuilder result;
  if (withSessionId) result.add("SessionID", session.id);
  result.add("Choices", voter.district).add("List", base64EncodeLine(election_.choices.at(voter.district)));
  if (voter.scenario == Scenario::VotedBefore || voted_.count(voter.personalCode)) result.addBool("Voted", true);
  return result.text();
}

std::string Service::voterChoices(const Request& r, const Peer& peer) {
  const std::string* method = param(r, "AuthMethod");
  if (!method) return errorReply(kBadRequest);
  std::string error;
  if (*method == "tls") {
    const std::string code = cardHolder(peer, error);
    if (code.empty()) return errorReply(error);
    auto voter = election_.voters.find(code);
    if (voter == election_.voters.end() || voter->second.scenario == Scenario::Ineligible)
      return errorReply("INELIGIBLE_VOTER");
    Session session{randomHex(16), code, Means::Card, {}, {}, {}};
    const std::string reply = choicesReply(session, voter->second, true);
    sessions_[session.id] = std::move(session);
    return reply;
  }
  if (*method != "ticket") return errorReply(kBadRequest);
  Session* session = ticketSession(r, error);
  if (!session) return errorReply(error);
  const Voter& voter = election_.voters.at(session->personalCode);
  if (voter.scenario == Scenario::Ineligible) return errorReply("INELIGIBLE_VOTER");
  return choicesReply(*session, voter, true);
}

std::string Service::authenticate(const Request& r) {
  const std::string* phone = param(r, "phoneno");
  const std::string* idcode = param(r, "idcode");
  const std::string* identifier = param(r, "Identifier");
  Means means;
  const std::string* code;
  if (phone && idcode && !identifier) {
    means = Means::MobileId;
    code = idcode;
  } else if (identifier && !phone && !idcode) {
    means = Means::SmartId;
    code = identifier;
  } else {
    return errorReply(kBadRequest);
  }
  const char* notUser = means == Means::MobileId ? "MID_NOT_USER" : "SMARTID_ACCOUNT";
  auto voter = election_.voters.find(*code);
  if (voter == election_.voters.end() || voter->second.scenario == Scenario::NotUser ||
      (means == Means::MobileId && voter->second.phone != *phone))
    return errorReply(notUser);
  Session session{randomHex(16), *code, means, {}, {}, {}};
  const std::string sessionCode = startProvider(session.id, Purpose::Authentication);
  const std::string reply = ReplyBuilder()
                                .add("SessionID", session.id)
                                .add("SessionCode", sessionCode)
                                .add("Challenge", randomBase64(32))
                                .text();
  sessions_[session.id] = std::move(session);
  return reply;
}

std::string Service::status(const Request& r, Purpose purpose) {
  const std::string* code = param(r, "SessionCode");
  const std::string* sessionId = param(r, "SessionID");
  if (!code || !sessionId) return errorReply(kBadRequest);
  auto it = provider_.find(*code);
  if (it == provider_.end() || it->second.sessionId != *sessionId || it->second.purpose != purpose)
    return errorReply(kBadRequest);
  ProviderSession& ps = it->second;
  Session& session = sessions_.at(ps.sessionId);
  const Voter& voter = election_.voters.at(session.personalCode);
  const bool mid = session.means == Means::MobileId;

  const bool cancels = (purpose == Purpose::Authentication && voter.scenario == Scenario::AuthCancelled) ||
                       (purpose == Purpose::Signing && voter.scenario == Scenario::SignCancelled);
  if (cancels && ps.pollsDone >= 2) {
    provider_.erase(it);
    return errorReply(mid ? "MID_CANCELED" : "SMARTID_CANCELED");
  }
  if (cancels || ps.pollsDone < polls_) {
    ++ps.pollsDone;
    return ReplyBuilder().add("Status", "POLL").text();
  }

  ReplyBuilder result;
  result.add("Status", "OK");
  if (purpose == Purpose::Authentication) {
    std::string token;
    do {
      token = randomHex(24);
    } while (tokens_.count(token));
    session.authToken = token;
    tokens_[token] = session.id;
    result.add("GivenName", voter.givenName)
        .add("Surname", voter.surname)
        .add("PersonalCode", voter.personalCode)
        .add("AuthToken", token);
  } else if (purpose == Purpose::CertificateChoice) {
    session.issuedCertificate = certificateDer(voter.smartIdSigner->certificate.get());
    session.dataToken = randomHex(16);
    result.add("Certificate", base64EncodeLine(session.issuedCertificate)).add("DataToken", session.dataToken);
  } else {
    const Signer& signer = mid ? *voter.midSigner : *voter.smartIdSigner;
    const std::string signature = phoneSignature(signer, ps.hash);
    if (signature.empty()) return errorReply(mid ? "MID_GENERAL" : "SMARTID_GENERAL");
    result.add("Signature", base64EncodeLine(signature));
  }
  provider_.erase(it);
  return result.text();
}

std::string Service::getCertificate(const Request& r) {
  std::string error;
  Session* session = ticketSession(r, error);
  if (!session) return errorReply(error);
  const std::string* phone = param(r, "PhoneNo");
  const Voter& voter = election_.voters.at(session->personalCode);
  if (!phone || session->means != Means::MobileId || *phone != voter.phone) return errorReply(kBadRequest);
  session->issuedCertificate = certificateDer(voter.midSigner->certificate.get());
  return ReplyBuilder().add("Certificate", base64EncodeLine(session->issuedCertificate)).text();
}

std::string Service::getCertificateChoice(const Request& r) {
  std::string error;
  Session* session = ticketSession(r, error);
  if (!session) return errorReply(error);
  if (session->means != Means::SmartId) return errorReply(kBadRequest);
  const std::string code = startProvider(session->id, Purpose::CertificateChoice);
  return ReplyBuilder().add("SessionID", session->id).add("SessionCode", code).text();
}

std::string Service::sign(const Request& r) {
  std::string error;
  Session* session = ticketSession(r, error);
  if (!session) return errorReply(error);
  const std::string* hash = param(r, "Hash");
  const std::string* hashType = param(r, "HashType");
  if (!hash || !hashType || *hashType != "SHA256" || session->issuedCertificate.empty())
    return errorReply(kBadRequest);
  const std::string digest = base64Decode(*hash);
  if (digest.size() != 32 || base64EncodeLine(digest) != *hash) return errorReply(kBadRequest);
  const Voter& voter = election_.voters.at(session->personalCode);
  if (session->means == Means::MobileId) {
    const std::string* phone = param(r, "PhoneNo");
    if (!phone || *phone != voter.phone || param(r, "DataToken")) return errorReply(kBadRequest);
  } else if (session->means == Means::SmartId) {
    const std::string* dataToken = param(r, "DataToken");
    if (!dataToken || *dataToken != session->dataToken || param(r, "PhoneNo")) return errorReply(kBadRequest);
  } else {
    return errorReply(kBadRequest);
  }
  const std::string code = startProvider(session->id, Purpose::Signing, digest);
  return ReplyBuilder().add("SessionID", session->id).add("SessionCode", code).text();
}

std::string Service::vote(const Request& r, const Peer& peer) {
  const std::string* method = param(r, "AuthMethod");
  const std::string* choices = param(r, "Choices");
  const std::string* type = param(r, "Type");
  const std::string* container = param(r, "Vote");
  const std::string* sessionId = param(r, "SessionID");
  if (!method || !choices || !type || !container || !sessionId || *type != "bdoc") return errorReply(kBadRequest);
  std::string error;
  Session* session = nullptr;
  std::string cardCode;
  if (*method == "tls") {
    cardCode = cardHolder(peer, error);
    if (cardCode.empty()) return errorReply(error);
    auto s = sessions_.find(*sessionId);
    if (s == sessions_.end() || s->second.means != Means::Card || s->second.personalCode != cardCode)
      return errorReply(kUnauthenticated);
    session = &s->second;
  } else if (*method == "ticket") {
    session = ticketSession(r, error);
    if (!session) return errorReply(error);
    if (session->means == Means::Card) return errorReply(kBadRequest);
  } else {
    return errorReply(kBadRequest);
  }
  const Voter& voter = election_.voters.at(session->personalCode);
  if (voter.scenario == Scenario::VotingEnd) return errorReply("VOTING_END");
  if (voter.scenario == Scenario::Ineligible) return errorReply("INELIGIBLE_VOTER");
  if (voter.scenario == Scenario::OutdatedChoices || *choices != voter.district) return errorReply("OUTDATED_CHOICES");

  const std::string archive = base64Decode(*container);
  ContainerCheck check = checkContainer(archive, election_.ballotName(), election_.voterCas.get());
  if (!check.errorCode.empty()) {
    std::fprintf(stderr, "demo-service: vote of %s refused: %s\n", voter.personalCode.c_str(), check.problem.c_str());
    return errorReply(check.errorCode);
  }
  X509Ptr signer = certificateFromDer(check.signerCertificateDer);
  // The signer must be the person who authenticated: with the card, the same personal code in
  // both certificates; with a phone, the very certificate handed out for this session.
  if (session->means == Means::Card ? personalCodeOf(signer.get()) != cardCode
                                    : check.signerCertificateDer != session->issuedCertificate)
    return errorReply("IDENTITY_MISMATCH");
  const auto plaintext = election_.secretKey->decrypt(check.ballot);
  // The log is JSON: a plaintext that is not UTF-8 cannot be any choice and is refused.
  if (!plaintext || !isUtf8(*plaintext)) {
    std::fprintf(stderr, "demo-service: vote of %s refused: the ballot does not decrypt\n", voter.personalCode.c_str());
    return errorReply(kBadRequest);
  }

  X509* issuer = issuerOf(election_, signer.get());
  if (!issuer) return errorReply("BAD_CERTIFICATE");
  X509* ocspSubject = signer.get();
  X509* ocspIssuer = issuer;
  if (voter.scenario == Scenario::BrokenOcsp) {
    ocspSubject = election_.ocspResponder.certificate.get();
    ocspIssuer = issuerOf(election_, ocspSubject);
    if (!ocspIssuer) return errorReply("INTERNAL_SERVER_ERROR");
  }
  const std::string ocsp = makeOcspResponse(ocspSubject, ocspIssuer, election_.ocspResponder);
  const std::string& element = check.signatureValueElement;
  const std::string nonce = makeRegistrationNonce(
      voter.scenario == Scenario::BrokenRegistration ? element + " " : element, election_.registration.key.get());
  const std::string token = nonce.empty() ? std::string()
                                          : makeTimeStampToken(voter.scenario == Scenario::BrokenTimeStamp
                                                                   ? element + " "
                                                                   : element,
                                                               nonce, election_.tsa);
  if (ocsp.empty() || token.empty()) return errorReply("INTERNAL_SERVER_ERROR");

  const bool testVote = voter.scenario == Scenario::TestVote;
  const std::string voteId = randomHex(16);
  const bool known = election_.plaintexts.at(voter.district).count(*plaintext) > 0;
  const std::string problem = record(*session, voter, voteId, testVote, known, *plaintext, archive);
  if (!problem.empty()) {
    std::fprintf(stderr, "demo-service: %s\n", problem.c_str());
    return errorReply("INTERNAL_SERVER_ERROR");
  }
  voted_.insert(voter.personalCode);
  return ReplyBuilder()
      .add("SessionID", session->id)
      .add("VoteID", voteId)
      .addBool("TestVote", testVote)
      .addObject("Qualification", ReplyBuilder().add("ocsp", base64EncodeLine(ocsp)).add("tspreg", base64EncodeLine(token)))
      .text();
}

std::string Service::record(const Session& session, const Voter& voter, const std::string& voteId, bool testVote,
                            bool known, const std::string& plaintext, const std::string& container) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(stateDir_) / "containers";
  const fs::path file = dir / (voteId + ".asice");
  const fs::path partial = dir / (voteId + ".partial");
  {
    std::ofstream out(partial, std::ios::binary);
    out.write(container.data(), static_cast<std::streamsize>(container.size()));
    if (!out.flush()) return "cannot write " + partial.string();
  }
  std::error_code ec;
  fs::rename(partial, file, ec);
  if (ec) return "cannot rename " + partial.string() + ": " + ec.message();

  char when[32] = "";
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  if (gmtime_r(&now, &utc)) std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
  const std::string line = "{\"VoteID\":" + jsonQuote(voteId) + ",\"SessionID\":" + jsonQuote(session.id) +
                           ",\"PersonalCode\":" + jsonQuote(voter.personalCode) +
                           ",\"District\":" + jsonQuote(voter.district) + ",\"TestVote\":" +
                           (testVote ? "true" : "false") + ",\"AuthMethod\":" +
                           jsonQuote(meansName(static_cast<int>(session.means))) + ",\"Time\":" + jsonQuote(when) +
                           ",\"Container\":" + jsonQuote("containers/" + file.filename().string()) +
                           ",\"Valid\":" + (known ? "true" : "false") + ",\"Plaintext\":" + jsonQuote(plaintext) + "}\n";
  std::ofstream log(fs::path(stateDir_) / "votes.jsonl", std::ios::app | std::ios::binary);
  log << line;
  if (!log.flush()) return "cannot append to votes.jsonl";
  return {};
}

}  // namespace sorvimend::demo
