// Every reader of the service's replies over the same bytes, each into a fresh record and once
// into a shared one (the polled operations read several replies into one record).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/service_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ServiceReply shared;
  auto both = [&](auto read) {
    ServiceReply fresh;
    (void)read(fresh);
    (void)read(shared);
  };
  both([&](ServiceReply& r) { return readVoterChoicesReply(r, text); });
  both([&](ServiceReply& r) {
    return readCardVoterChoicesReply(r, text, [](ServiceReply& c) { c.voterName = "holder"; });
  });
  both([&](ServiceReply& r) { return readVoteReply(r, text); });
  both([&](ServiceReply& r) { return readCertificateReply(r, text); });
  both([&](ServiceReply& r) { return readSessionReply(r, text, SessionMethod::Authenticate); });
  both([&](ServiceReply& r) { return readSessionReply(r, text, SessionMethod::CertificateChoice); });
  both([&](ServiceReply& r) { return readSessionReply(r, text, SessionMethod::Sign); });
  return 0;
}
