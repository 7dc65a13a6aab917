#pragma once
// What a Mobile-ID or Smart-ID session needs between the service calls: the voter's input, the
// provider session's code and purpose, the four-digit verification code shown to the voter, and
// Smart-ID's data token. Holds no keys and talks to no one; the service operations fill it.

#include <optional>
#include <string>
#include <string_view>

namespace sorvimend {

// The session kind, which also selects the service kind of the request (MID 0, SMARTID 1).
enum class MobileMethod : int {
  MobileId = 0,
  SmartId = 1,
  IdCard = 4,  // no mobile session
};

// Identification methods as the wizard numbers them.
enum class IdentificationMethod : int {
  IdCard = 0,
  MobileId = 1,
  SmartId = 2,
};

enum class SessionPurpose : int {
  None = 0,
  Identification = 1,
  CertificateChoice = 2,
  Signing = 3,
};

// The code derived from a Base64 challenge or digest: the top six bits of the first byte and the
// low seven bits of the last, printed "%04d". Nothing when the input decodes to fewer than 2 bytes.
[[nodiscard]] std::optional<std::string> verificationCodeOf(std::string_view base64);

class MobileSession {
 public:
  // Mobile-ID gives kind 0, Smart-ID kind 1, anything else 4.
  void setIdentificationMethod(int method);
  [[nodiscard]] MobileMethod method() const { return method_; }

  void setPhoneNumber(std::string phoneNumber) { phoneNumber_ = std::move(phoneNumber); }
  [[nodiscard]] const std::string& phoneNumber() const { return phoneNumber_; }
  void setPersonalCode(std::string personalCode) { personalCode_ = std::move(personalCode); }
  [[nodiscard]] const std::string& personalCode() const { return personalCode_; }

  // A personal code of exactly 11 characters and, for Mobile-ID, a phone number longer than 4.
  [[nodiscard]] bool inputValid() const;
  // A non-empty number without "+" gets "+" before a leading 372, else "+372".
  void normalisePhoneNumber();

  // Stores code and purpose and derives the verification code from the Base64 challenge; false
  // (the previous verification code kept) when none can be derived.
  bool start(std::string sessionCode, SessionPurpose purpose, std::string_view challenge);
  // Replaces code and purpose; the verification code stays.
  void setSessionCode(std::string sessionCode, SessionPurpose purpose);
  [[nodiscard]] SessionPurpose purpose() const { return purpose_; }

  // Only for the current purpose; empty for any other.
  [[nodiscard]] std::string sessionCode(SessionPurpose purpose) const;
  [[nodiscard]] std::string verificationCode(SessionPurpose purpose) const;

  void setDataToken(std::string dataToken) { dataToken_ = std::move(dataToken); }
  [[nodiscard]] const std::string& dataToken() const { return dataToken_; }

 private:
  MobileMethod method_ = MobileMethod::IdCard;
  std::string phoneNumber_;
  std::string personalCode_;
  std::string sessionCode_;
  SessionPurpose purpose_ = SessionPurpose::None;
  std::string verificationCode_;
  std::string dataToken_;
};

}  // namespace sorvimend
