#include "identity/mobile_session.h"

#include <cstdio>

#include "util/base64.h"

namespace sorvimend {

namespace {

// Characters, not bytes: the input views count what the voter typed.
std::size_t utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

std::optional<std::string> verificationCodeOf(std::string_view base64) {
  const Bytes d = base64Decode(base64);
  if (d.size() < 2) return std::nullopt;
  const unsigned first = static_cast<unsigned char>(d.front());
  const unsigned last = static_cast<unsigned char>(d.back());
  const unsigned value = ((first >> 2) << 7) | (last & 0x7F);
  char text[8];
  std::snprintf(text, sizeof text, "%04u", value);
  return std::string(text);
}

void MobileSession::setIdentificationMethod(int method) {
  switch (static_cast<IdentificationMethod>(method)) {
    case IdentificationMethod::MobileId: method_ = MobileMethod::MobileId; return;
    case IdentificationMethod::SmartId: method_ = MobileMethod::SmartId; return;
    case IdentificationMethod::IdCard: break;
  }
  method_ = MobileMethod::IdCard;
}

bool MobileSession::inputValid() const {
  if (utf8Length(personalCode_) != 11) return false;
  return method_ != MobileMethod::MobileId || utf8Length(phoneNumber_) > 4;
}

void MobileSession::normalisePhoneNumber() {
  if (phoneNumber_.empty() || phoneNumber_.front() == '+') return;
  phoneNumber_.insert(0, phoneNumber_.compare(0, 3, "372") == 0 ? "+" : "+372");
}

bool MobileSession::start(std::string sessionCode, SessionPurpose purpose, std::string_view challenge) {
  sessionCode_ = std::move(sessionCode);
  purpose_ = purpose;
  auto code = verificationCodeOf(challenge);
  if (!code) return false;
  verificationCode_ = std::move(*code);
  return true;
}

void MobileSession::setSessionCode(std::string sessionCode, SessionPurpose purpose) {
  sessionCode_ = std::move(sessionCode);
  purpose_ = purpose;
}

std::string MobileSession::sessionCode(SessionPurpose purpose) const {
  return purpose == purpose_ ? sessionCode_ : std::string();
}

std::string MobileSession::verificationCode(SessionPurpose purpose) const {
  return purpose == purpose_ ? verificationCode_ : std::string();
}

}  // namespace sorvimend
