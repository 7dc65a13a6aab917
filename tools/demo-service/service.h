#pragma once
// The voting service's answers: one request in, one reply text out. Holds the sessions of every
// voter (service sessions, Mobile-ID and Smart-ID provider sessions, authentication tokens) and
// records accepted votes in the state folder. Thread-safe: connections are served in parallel.
// Does not read the network; the TLS server hands it the parsed request and the peer.

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "tools/demo-service/election.h"
#include "tools/demo-service/wire.h"

namespace sorvimend::demo {

struct Peer {
  std::string serverName;        // the SNI the client announced
  std::string clientCertificate;  // DER, empty when the client presented none
};

class Service {
 public:
  // polls: how many POLL answers a provider session gives before its final answer.
  Service(const Election& election, std::string stateDir, int polls);

  // False (with a reason) when the state folder cannot be used.
  [[nodiscard]] bool openState(std::string& problem);

  [[nodiscard]] std::string handle(const Request& request, const Peer& peer);

 private:
  enum class Means { Card, MobileId, SmartId };
  enum class Purpose { Authentication = 1, CertificateChoice = 2, Signing = 3 };

  struct Session {
    std::string id;
    std::string personalCode;
    Means means = Means::Card;
    std::string authToken;
    std::string issuedCertificate;  // DER of the certificate handed out for signing
    std::string dataToken;          // Smart-ID
  };
  struct ProviderSession {
    std::string sessionId;
    Purpose purpose = Purpose::Authentication;
    int pollsDone = 0;
    std::string hash;  // what the phone is asked to sign
  };
  struct Outcome;

  std::string voterChoices(const Request& r, const Peer& peer);
  std::string authenticate(const Request& r);
  std::string status(const Request& r, Purpose purpose);
  std::string getCertificate(const Request& r);
  std::string getCertificateChoice(const Request& r);
  std::string sign(const Request& r);
  std::string vote(const Request& r, const Peer& peer);

  // The voter's personal code from a client certificate issued under the voters' CAs; sets
  // error to the service code when there is none.
  std::string cardHolder(const Peer& peer, std::string& error) const;
  Session* ticketSession(const Request& r, std::string& error);
  std::string startProvider(const std::string& sessionId, Purpose purpose, std::string hash = {});
  std::string choicesReply(const Session& session, const Voter& voter, bool withSessionId) const;
  std::string record(const Session& session, const Voter& voter, const std::string& voteId, bool testVote,
                     bool known, const std::string& plaintext, const std::string& container);

  const Election& election_;
  std::string stateDir_;
  int polls_;
  std::mutex mutex_;
  std::map<std::string, Session> sessions_;          // by SessionID
  std::map<std::string, std::string> tokens_;        // AuthToken -> SessionID
  std::map<std::string, ProviderSession> provider_;  // by SessionCode
  std::set<std::string> voted_;                      // personal codes with an accepted vote
};

}  // namespace sorvimend::demo
