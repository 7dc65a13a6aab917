// The card as the TLS client key: a real TLS 1.2 handshake with client authentication through
// the channel, the signature made by the SoftHSM2 card's authentication key.
#include <gtest/gtest.h>

#include "card_fixture.h"
#include "identity/id_card_code.h"
#include "net/tls_channel.h"
#include "tests/net/channel_test_support.h"
#include "tests/net/tls_test_server.h"

namespace sorvimend {
namespace {

using testing::CardTest;
using testing::kSoftHsm;

using CardTlsTest = CardTest;


TEST_F(CardTlsTest, CardKeyAuthenticatesTheClient) {
  for (const char* cardName : {"rsa", "ec"}) {
    SCOPED_TRACE(cardName);
    useCard(cardName);
    prompt.restart();
    prompt.script({{true, "1234"}});
    auto card = makeCard({kSoftHsm});
    ASSERT_NE(card->authenticationToken(), nullptr);

    test::TlsTestServer server({{"", {pkiPath("server-choices.pem"), pkiPath("server-choices.key.pem")}}},
                               true);
    server.setReply("{\"result\":\"ok\"}");
    auto channel = test::makeChannel({server.port()}, {readFile(pkiPath("root-ca.pem"))});
    Pkcs11IdCard* source = card.get();
    channel->requireClientCertificate([source]() -> ClientKeySource* { return source; });
    const test::ExchangeResult result = test::runExchange(*channel, ServiceKind::CHOICES, "{}");
    EXPECT_EQ(result.code, TransportCode::Done);
    EXPECT_EQ(result.reply, "{\"result\":\"ok\"}");
    EXPECT_EQ(server.lastClientCertificateDer(),
              readFile(pkiPath(std::string("voter1-auth-") + cardName + ".der")));
    EXPECT_FALSE(card->hasPendingError());
    EXPECT_EQ(prompt.askedFor.size(), 1u);  // logged in once, signs without asking again
  }
}

TEST_F(CardTlsTest, CancelledPinLeavesTheCardsErrorForTheCaller) {
  prompt.script({{false, ""}});
  auto card = makeCard({kSoftHsm});
  test::TlsTestServer server({{"", {pkiPath("server-choices.pem"), pkiPath("server-choices.key.pem")}}},
                             true);
  auto channel = test::makeChannel({server.port()}, {readFile(pkiPath("root-ca.pem"))});
  Pkcs11IdCard* source = card.get();
  channel->requireClientCertificate([source]() -> ClientKeySource* { return source; });
  const test::ExchangeResult result = test::runExchange(*channel, ServiceKind::CHOICES, "{}");
  EXPECT_NE(result.code, TransportCode::Done);
  ErrorPtr error = card->takePendingError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->detail(), static_cast<std::uint64_t>(IdCardCode::PinCancelled));
}

}  // namespace
}  // namespace sorvimend
