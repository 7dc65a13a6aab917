#include "identity/pkcs11_id_card.h"

#include <gtest/gtest.h>

#include <openssl/ecdsa.h>

#include <cstdlib>
#include <fstream>

#include "card_fixture.h"
#include "identity/id_card_code.h"
#include "identity/id_card_error.h"
#include "resources/resource_access.h"
#include "util/base64.h"
#include "util/openssl_ptr.h"
#include "util/sha256.h"

namespace sorvimend {
namespace {

using testing::CardTest;
using testing::kSoftHsm;

constexpr CK_RV kNoModuleResult = CKR_OK;

// Class ID, the code as detail, the module's result as extra, the message the code chooses.
void expectCardError(const ErrorPtr& error, IdCardCode code, CK_RV moduleResult,
                     const std::string& context = {}) {
  ASSERT_TRUE(error) << context;
  EXPECT_EQ(error->errorClass(), static_cast<int>(ErrorClass::Id)) << context;
  EXPECT_EQ(error->detail(), static_cast<std::uint64_t>(code)) << context;
  EXPECT_EQ(error->extra(), moduleResult) << context;
  const ResourceId message = idCardMessageId(static_cast<std::uint64_t>(code));
  if (message == ResourceId::None) {
    EXPECT_EQ(error->message(), "") << context;
  } else {
    EXPECT_FALSE(error->message().empty()) << context;
    EXPECT_EQ(error->message(), resourceText(message)) << context;
  }
}

using IdCardSelectionTest = CardTest;

TEST_F(IdCardSelectionTest, FindsBothTokensOfRsaAndEcCards) {
  const struct {
    const char* card;
    bool rsa;
    int signatureBits;
  } cases[] = {{"rsa", true, 2048}, {"ec", false, 832}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.card);
    useCard(c.card);
    prompt.restart();
    prompt.script({{true, "1234"}, {true, "12345"}});
    auto card = makeCard({kSoftHsm});
    const std::string suffix = c.rsa ? "-rsa.der" : "-ec.der";

    const CertificateInfo* authentication = card->authenticationToken();
    ASSERT_NE(authentication, nullptr);
    EXPECT_EQ(authentication->usage, CertificateUsage::Authentication);
    EXPECT_EQ(card->authenticationCertificate(), readFile(pkiPath("voter1-auth" + suffix)));
    EXPECT_EQ(card->holderName(), "MARI-LIIS M\xC3\x84NNIK");
    EXPECT_EQ(card->personalCode(), "38001010008");
    EXPECT_EQ(card->isRsa(), c.rsa);
    EXPECT_EQ(card->isEc(), !c.rsa);
    EXPECT_EQ(card->signatureBits(), c.signatureBits);

    const CertificateInfo* signing = card->signingToken();
    ASSERT_NE(signing, nullptr);
    EXPECT_EQ(signing->usage, CertificateUsage::Signing);
    EXPECT_EQ(card->signingCertificate(), readFile(pkiPath("voter1-sign" + suffix)));

    // Selected tokens stay logged in: no further PIN.
    EXPECT_NE(card->authenticationToken(), nullptr);
    EXPECT_NE(card->signingToken(), nullptr);
    EXPECT_FALSE(card->hasPendingError());
    EXPECT_EQ(prompt.askedFor, (std::vector<CertificateUsage>{CertificateUsage::Authentication,
                                                              CertificateUsage::Signing}));
    EXPECT_EQ(prompt.retries, (std::vector<bool>{false, false}));
    EXPECT_EQ(prompt.ends, 2);
  }
}

TEST_F(IdCardSelectionTest, SigningTokenOfAnotherPersonOrIssuerIsRefused) {
  for (const char* cardName : {"other-signer", "foreign-issuer"}) {
    SCOPED_TRACE(cardName);
    useCard(cardName);
    prompt.restart();
    prompt.script({{true, "1234"}, {true, "1234"}});
    auto card = makeCard({kSoftHsm});
    ASSERT_NE(card->authenticationToken(), nullptr);
    EXPECT_EQ(card->signingToken(), nullptr);
    expectCardError(card->takePendingError(), IdCardCode::NoToken, kNoModuleResult);
    EXPECT_FALSE(card->hasPendingError());  // taking clears it
    // Only PIN1 was ever asked for.
    EXPECT_EQ(prompt.askedFor, std::vector<CertificateUsage>{CertificateUsage::Authentication});
    // The failed search unloaded the module, taking the authentication token with it; selecting
    // it again loads the module anew (and asks PIN1 again).
    ASSERT_NE(card->authenticationToken(), nullptr);
    EXPECT_EQ(card->personalCode(), "38001010008");
  }
}

TEST_F(IdCardSelectionTest, ThePersonFirstAcceptedIsRememberedForTheWholeRun) {
  prompt.script({{true, "12345"}});
  auto card = makeCard({kSoftHsm});
  ASSERT_NE(card->signingToken(), nullptr);  // voter 1
  card->release(false);
  useCard("voter2");  // another person's card, both tokens
  EXPECT_EQ(card->authenticationToken(), nullptr);
  expectCardError(card->takePendingError(), IdCardCode::NoToken, kNoModuleResult);
  EXPECT_EQ(card->signingToken(), nullptr);
  expectCardError(card->takePendingError(), IdCardCode::NoToken, kNoModuleResult);
  EXPECT_EQ(prompt.askedFor.size(), 1u);
}

TEST_F(IdCardSelectionTest, ModulePathListTriesEveryPathInOrder) {
  setenv("EVOTE_PKCS11_LIB", "/nonexistent/libpkcs11.so", 1);
  const std::vector<std::string> paths = modulePathList({kSoftHsm});
  ASSERT_EQ(paths, (std::vector<std::string>{"/nonexistent/libpkcs11.so", kSoftHsm}));
  prompt.script({{true, "1234"}});
  auto card = makeCard(paths);
  EXPECT_NE(card->authenticationToken(), nullptr);

  // Nothing that loads: no token.
  auto broken = makeCard(modulePathList({noFunctionListPath(), "/nonexistent/other.so"}));
  EXPECT_EQ(broken->authenticationToken(), nullptr);
  expectCardError(broken->takePendingError(), IdCardCode::NoToken, kNoModuleResult);

  setenv("EVOTE_PKCS11_LIB", "", 1);
  EXPECT_EQ(modulePathList({kSoftHsm}), std::vector<std::string>{kSoftHsm});
  unsetenv("EVOTE_PKCS11_LIB");
  EXPECT_EQ(modulePathList({"a.so", "b.so"}), (std::vector<std::string>{"a.so", "b.so"}));
}

TEST_F(IdCardSelectionTest, ModuleWithoutSlotsEndsTheSearchUnlessSlotDetectionIsOff) {
  setenv("SV_FAKE_P11_MODE", "noslots", 1);
  prompt.script({{true, "1234"}});
  auto card = makeCard({fakeModulePath(), kSoftHsm});
  EXPECT_EQ(card->authenticationToken(), nullptr);
  expectCardError(card->takePendingError(), IdCardCode::NoToken, kNoModuleResult);
  EXPECT_TRUE(prompt.askedFor.empty());

  setenv("EVOTE_NO_SLOT_DETECTION", "0", 1);  // set at all is enough
  EXPECT_NE(card->authenticationToken(), nullptr);
  EXPECT_EQ(prompt.askedFor.size(), 1u);
}

TEST_F(IdCardSelectionTest, IssuerListMustBeReadable) {
  Pkcs11IdCard card({kSoftHsm});
  expectCardError(card.setIssuerCertificates({readFile(pkiPath("voter-ca.pem")), "no PEM here"}),
                  IdCardCode::IssuerSignature, kNoModuleResult);
  EXPECT_FALSE(card.setIssuerCertificates({}));

  // A card without a trusted issuer list accepts nothing.
  Pkcs11IdCard untrusting({kSoftHsm});
  untrusting.setPinPrompt(&prompt);
  EXPECT_EQ(untrusting.authenticationToken(), nullptr);
  expectCardError(untrusting.takePendingError(), IdCardCode::NoToken, kNoModuleResult);
}

using IdCardLoginTest = CardTest;

TEST_F(IdCardLoginTest, PinFlowOutcomes) {
  using Answer = testing::ScriptedPinPrompt::Answer;
  const struct {
    const char* what;
    const char* mode;
    std::vector<Answer> answers;
    bool selected;
    IdCardCode code;
    CK_RV moduleResult;
    std::vector<bool> retries;
    unsigned long loginCalls;
  } cases[] = {
      {"right PIN", "", {{true, "1234"}}, true, IdCardCode::ModuleCall, CKR_OK, {false}, 1},
      {"wrong, then right", "", {{true, "0000"}, {true, "1234"}}, true, IdCardCode::ModuleCall,
       CKR_OK, {false, true}, 2},
      {"wrong twice", "", {{true, "0000"}, {true, "4321"}}, false, IdCardCode::PinWrongTwice,
       CKR_PIN_INCORRECT, {false, true}, 2},
      {"too short counts as wrong", "", {{true, "1"}, {true, "12"}}, false,
       IdCardCode::PinWrongTwice, CKR_PIN_INCORRECT, {false, true}, 2},
      {"cancelled", "", {{false, ""}}, false, IdCardCode::PinCancelled, CKR_OK, {false}, 0},
      {"cancelled after a wrong PIN", "", {{true, "0000"}, {false, ""}}, false,
       IdCardCode::PinCancelled, CKR_OK, {false, true}, 1},
      {"blocked", "locked", {{true, "1234"}}, false, IdCardCode::PinBlocked, CKR_PIN_LOCKED,
       {false}, 1},
      {"reader failure", "loginerror", {{true, "1234"}}, false, IdCardCode::ModuleCall,
       CKR_DEVICE_ERROR, {false}, 1},
      {"logged in, but no private key", "hidekeys", {{true, "1234"}}, false,
       IdCardCode::KeyNotFound, CKR_OK, {false}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    setenv("SV_FAKE_P11_MODE", c.mode, 1);
    fake.reset();
    prompt.restart();
    prompt.script(c.answers);
    auto card = makeCard({fakeModulePath()});
    const bool selected = card->authenticationToken() != nullptr;
    EXPECT_EQ(selected, c.selected);
    if (c.selected) {
      EXPECT_FALSE(card->hasPendingError());
    } else {
      expectCardError(card->takePendingError(), c.code, c.moduleResult, c.what);
    }
    EXPECT_EQ(prompt.retries, c.retries);
    EXPECT_EQ(fake.loginCalls(), c.loginCalls);
    EXPECT_EQ(prompt.pinpadAtBegin, std::vector<bool>{false});
    EXPECT_EQ(prompt.ends, 1);
  }
}

TEST_F(IdCardLoginTest, WithoutAPromptLoginCountsAsCancelled) {
  Pkcs11IdCard card({kSoftHsm});
  ASSERT_FALSE(card.setIssuerCertificates({readFile(pkiPath("voter-ca.pem"))}));
  EXPECT_EQ(card.authenticationToken(), nullptr);
  expectCardError(card.takePendingError(), IdCardCode::PinCancelled, kNoModuleResult);
}

TEST_F(IdCardLoginTest, PinpadReaderTakesThePinItself) {
  setenv("SV_FAKE_P11_MODE", "pinpad", 1);
  setenv("SV_FAKE_P11_PINPAD_PIN", "1234", 1);
  prompt.script({{true, ""}});
  auto card = makeCard({fakeModulePath()});
  EXPECT_NE(card->authenticationToken(), nullptr);
  EXPECT_EQ(prompt.pinpadAtBegin, std::vector<bool>{true});
  EXPECT_EQ(fake.loginCalls(), 1u);
}

TEST_F(IdCardLoginTest, TokenMustSignWithTheMechanismOfItsKey) {
  const struct {
    const char* card;
    const char* mode;
    bool selected;
  } cases[] = {
      {"ec", "noecdsa", false},
      {"ec", "norsa", true},
      {"rsa", "norsa", false},
      {"rsa", "noecdsa", true},  // an RSA card needs no ECDSA
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.card) + " " + c.mode);
    useCard(c.card);
    setenv("SV_FAKE_P11_MODE", c.mode, 1);
    prompt.restart();
    prompt.script({{true, "1234"}, {true, "1234"}});
    auto card = makeCard({fakeModulePath()});
    EXPECT_EQ(card->authenticationToken() != nullptr, c.selected);
    if (!c.selected) {
      expectCardError(card->takePendingError(), IdCardCode::MechanismMissing, kNoModuleResult);
      // The token was dropped: the next selection logs in again.
      EXPECT_EQ(card->authenticationToken(), nullptr);
      EXPECT_EQ(prompt.askedFor.size(), 2u);
    }
  }
}

using IdCardSigningTest = CardTest;

// r‖s as the card gives it, in the DER form the openssl command line reads.
std::string ecdsaDer(const std::string& raw) {
  const std::size_t half = raw.size() / 2;
  EcdsaSigPtr signature(ECDSA_SIG_new());
  ECDSA_SIG_set0(signature.get(), BN_bin2bn(asUnsigned(raw), static_cast<int>(half), nullptr),
                 BN_bin2bn(asUnsigned(raw) + half, static_cast<int>(half), nullptr));
  unsigned char* der = nullptr;
  const int length = i2d_ECDSA_SIG(signature.get(), &der);
  OpenSslBytesPtr owned(der);
  return std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The openssl command line verifies a SHA-256 signature over data with the certificate's key.
bool opensslVerifies(const std::string& certificatePem, const std::string& data,
                     const std::string& derSignature, const std::string& stem) {
  const std::string dir = std::string(std::getenv("SV_BUILD_DIR")) + "/identity-cards/" + stem;
  writeFile(dir + ".data", data);
  writeFile(dir + ".sig", derSignature);
  const std::string command = "openssl x509 -in '" + certificatePem + "' -pubkey -noout > '" + dir +
                              ".pub' && openssl dgst -sha256 -verify '" + dir + ".pub' -signature '" +
                              dir + ".sig' '" + dir + ".data' > /dev/null";
  return std::system(command.c_str()) == 0;
}

TEST_F(IdCardSigningTest, SignedDigestVerifiesWithTheSigningCertificate) {
  const struct {
    const char* card;
    const char* signingCertificate;
    bool rsa;
  } cases[] = {
      {"rsa", "voter1-sign-rsa.pem", true},
      {"ec", "voter1-sign-ec.pem", false},
      // EC authentication, RSA signing: the DigestInfo must follow the signing key.
      {"mixed", "voter1-sign-rsa.pem", true},
  };
  const std::string data = "<ds:SignedInfo>the vote</ds:SignedInfo>";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.card);
    useCard(c.card);
    prompt.restart();
    prompt.script({{true, "1234"}, {true, "12345"}});
    auto card = makeCard({kSoftHsm});
    ASSERT_NE(card->authenticationToken(), nullptr);
    const std::string text = card->signDigest(sha256(data));
    ASSERT_FALSE(text.empty());
    EXPECT_FALSE(card->hasPendingError());
    // Base64 in lines of 64 characters.
    EXPECT_EQ(text.find('\n') == std::string::npos ? text.size() : text.find('\n'),
              std::min<std::size_t>(text.size(), 64));
    const std::string raw = base64Decode(text);
    EXPECT_EQ(raw.size(), c.rsa ? 256u : 96u);
    EXPECT_TRUE(opensslVerifies(pkiPath(c.signingCertificate), data,
                                c.rsa ? raw : ecdsaDer(raw), c.card));
  }
}

TEST_F(IdCardSigningTest, AuthenticationKeySignsWhatTheTlsLayerHands) {
  const std::string data = "handshake transcript";
  const std::string digest = sha256(data);
  const std::string digestInfo =
      std::string("\x30\x31\x30\x0d\x06\x09\x60\x86\x48\x01\x65\x03\x04\x02\x01\x05\x00\x04\x20", 19) +
      digest;
  for (const char* cardName : {"rsa", "ec"}) {
    SCOPED_TRACE(cardName);
    const bool rsa = std::string(cardName) == "rsa";
    useCard(cardName);
    prompt.restart();
    prompt.script({{true, "1234"}});
    auto card = makeCard({kSoftHsm});
    // Selects the token itself when needed.
    const std::string raw = card->signWithAuthenticationKey(rsa ? digestInfo : digest);
    ASSERT_FALSE(raw.empty());
    EXPECT_TRUE(opensslVerifies(pkiPath(std::string("voter1-auth-") + cardName + ".pem"), data,
                                rsa ? raw : ecdsaDer(raw), std::string("auth-") + cardName));
  }
}

TEST_F(IdCardSigningTest, SignatureTooLargeForMemoryIsRefused) {
  setenv("SV_FAKE_P11_MODE", "hugesig", 1);
  prompt.script({{true, "12345"}});
  auto card = makeCard({fakeModulePath()});
  EXPECT_EQ(card->signWithSigningKey(std::string(32, 'd')), "");
  expectCardError(card->takePendingError(), IdCardCode::SignatureMemory, kNoModuleResult);
}

TEST_F(IdCardSigningTest, ReleaseForgetsTokensAndPins) {
  prompt.script({{true, "1234"}, {true, "12345"}, {true, "12345"}, {true, "1234"}});
  auto card = makeCard({kSoftHsm});
  ASSERT_NE(card->authenticationToken(), nullptr);
  ASSERT_NE(card->signingToken(), nullptr);
  card->release(true);
  EXPECT_EQ(card->holderName(), "MARI-LIIS M\xC3\x84NNIK");  // authentication kept
  ASSERT_NE(card->signingToken(), nullptr);                  // PIN2 again
  card->release(false);
  EXPECT_EQ(card->holderName(), "");
  EXPECT_EQ(card->signatureBits(), 0);
  ASSERT_NE(card->authenticationToken(), nullptr);           // PIN1 again
  EXPECT_EQ(prompt.askedFor.size(), 4u);
}

TEST_F(IdCardSigningTest, FailedSelectionLeavesSigningEmpty) {
  useCard("other-signer");
  prompt.script({{true, "1234"}});
  auto card = makeCard({kSoftHsm});
  ASSERT_NE(card->authenticationToken(), nullptr);
  EXPECT_EQ(card->signDigest(sha256("x")), "");
  expectCardError(card->takePendingError(), IdCardCode::NoToken, kNoModuleResult);
  EXPECT_EQ(card->signWithSigningKey("x"), "");
  expectCardError(card->takePendingError(), IdCardCode::NoToken, kNoModuleResult);
  EXPECT_EQ(card->signingCertificate(), "");
}

TEST_F(IdCardSigningTest, ProcessWideCardReplacesTheOneBefore) {
  registerIdCard(std::make_unique<Pkcs11IdCard>(std::vector<std::string>{kSoftHsm}));
  IdCard* first = idCard();
  ASSERT_NE(first, nullptr);
  registerIdCard(std::make_unique<Pkcs11IdCard>(std::vector<std::string>{}));
  EXPECT_NE(idCard(), nullptr);
  registerIdCard(nullptr);
  EXPECT_EQ(idCard(), nullptr);
}

}  // namespace
}  // namespace sorvimend
