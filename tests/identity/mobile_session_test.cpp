#include "identity/mobile_session.h"

#include <gtest/gtest.h>

#include "util/base64.h"

namespace sorvimend {
namespace {

TEST(MobileSession, PhoneNumberNormalisation) {
  const std::pair<std::string, std::string> cases[] = {
      {"55500008", "+37255500008"},
      {"37255500008", "+37255500008"},
      {"+37255500008", "+37255500008"},
      {"+3581234567", "+3581234567"},
      {"", ""},
      {"37", "+37237"},
  };
  for (const auto& [input, expected] : cases) {
    MobileSession session;
    session.setPhoneNumber(input);
    session.normalisePhoneNumber();
    EXPECT_EQ(session.phoneNumber(), expected) << input;
  }
}

TEST(MobileSession, InputCheck) {
  struct Case {
    int method;
    std::string phone;
    std::string code;
    bool valid;
  };
  const Case cases[] = {
      {1, "+3725", "38001010008", true},
      {1, "+372", "38001010008", false},
      {1, "+37255500008", "3800101000", false},
      {1, "+37255500008", "380010100088", false},
      {2, "", "38001010008", true},   // Smart-ID asks no phone number
      {2, "", "3800101000\xC3\x84", true},  // eleven characters, twelve bytes
      {2, "", "", false},
  };
  for (const auto& c : cases) {
    MobileSession session;
    session.setIdentificationMethod(c.method);
    session.setPhoneNumber(c.phone);
    session.setPersonalCode(c.code);
    EXPECT_EQ(session.inputValid(), c.valid) << c.method << " " << c.phone << " " << c.code;
  }
}

TEST(MobileSession, MethodFromIdentification) {
  MobileSession session;
  const std::pair<int, MobileMethod> cases[] = {
      {1, MobileMethod::MobileId}, {2, MobileMethod::SmartId}, {0, MobileMethod::IdCard}, {7, MobileMethod::IdCard}};
  for (const auto& [method, kind] : cases) {
    session.setIdentificationMethod(method);
    EXPECT_EQ(session.method(), kind) << method;
  }
}

TEST(MobileSession, VerificationCode) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {std::string("\xFF\xFF", 2), "8191"},
      {std::string("\x00\x05", 2), "0005"},
      {std::string("\x04\x00\x00\x01", 4), "0129"},  // (1 << 7) | 1
      {std::string(32, '\x80'), "4096"},
      {std::string("\x42", 1), std::nullopt},
      {std::string(), std::nullopt},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(verificationCodeOf(base64EncodeLine(bytes)), expected);
  }
}

TEST(MobileSession, CodesBelongToTheirPurpose) {
  MobileSession session;
  ASSERT_TRUE(session.start("auth-code", SessionPurpose::Identification, base64EncodeLine("\xFF\xFF")));
  EXPECT_EQ(session.verificationCode(SessionPurpose::Identification), "8191");
  EXPECT_EQ(session.sessionCode(SessionPurpose::Identification), "auth-code");
  EXPECT_EQ(session.sessionCode(SessionPurpose::Signing), "");

  // A challenge of one byte keeps the previous verification code.
  EXPECT_FALSE(session.start("again", SessionPurpose::Identification, base64EncodeLine("x")));
  EXPECT_EQ(session.verificationCode(SessionPurpose::Identification), "8191");

  session.setSessionCode("choice-code", SessionPurpose::CertificateChoice);
  EXPECT_EQ(session.sessionCode(SessionPurpose::CertificateChoice), "choice-code");
  EXPECT_EQ(session.sessionCode(SessionPurpose::Identification), "");
  EXPECT_EQ(session.verificationCode(SessionPurpose::Identification), "");
  EXPECT_EQ(session.verificationCode(SessionPurpose::CertificateChoice), "8191");

  session.setSessionCode("sign-code", SessionPurpose::Signing);
  EXPECT_EQ(session.sessionCode(SessionPurpose::Signing), "sign-code");
  EXPECT_EQ(session.sessionCode(SessionPurpose::CertificateChoice), "");
}

}  // namespace
}  // namespace sorvimend
