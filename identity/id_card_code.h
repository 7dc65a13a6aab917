#pragma once
// The ID card's own failure codes. They reach the voter as the detail of the technical error
// code, so the numbers are fixed.

#include <cstdint>

namespace sorvimend {

enum class IdCardCode : std::uint32_t {
  ModuleCall = 0,          // a PKCS#11 call failed; its return value travels as the extra code
  NoToken = 1,             // no usable token found
  IssuerSignature = 3,     // certificate not signed by its issuer; issuer list unreadable
  IssuerUnusable = 4,      // issuer key unavailable, no issuer list, certificate undecodable
  CertificateUnusable = 5, // certificate object missing or unusable; another person's
  PinCancelled = 6,
  PinWrongTwice = 7,
  PinBlocked = 8,
  KeyTypeUnusable = 9,
  KeyNotFound = 10,
  MechanismMissing = 11,   // the token cannot sign with the key's mechanism
  ModuleLoad = 12,         // module file cannot be loaded or lacks C_GetFunctionList
  ModuleBlocked = 13,      // C_Initialize did not return in time
  MechanismListMemory = 14,
  CertificateMemory = 15,
  SignatureMemory = 16,
  SlotListMemory = 17,
};

}  // namespace sorvimend
