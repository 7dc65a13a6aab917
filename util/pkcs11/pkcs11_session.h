#pragma once
// One open session on one slot of a loaded module (util/pkcs11/pkcs11_module.h), with the few
// calls the ID card needs. Every call returns the module's CK_RV unchanged; the caller decides
// what it means. Compiled into sv_identity, the one user.

#include <pkcs11.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "util/bytes.h"

namespace sorvimend {

// Outcome of a call that also allocates what the module asked for.
struct Pkcs11Fetch {
  CK_RV rv = CKR_OK;
  bool outOfMemory = false;  // the size asked for could not be had (or was beyond all reason)
  bool ok() const { return rv == CKR_OK && !outOfMemory; }
};

// Closing logs out first when logged in. Move-only: a copy would close a session that the
// original still uses. The module must outlive the session.
class Pkcs11Session {
 public:
  // A serial read-write session without callback. Empty when C_OpenSession fails (its result in
  // rv).
  [[nodiscard]] static std::optional<Pkcs11Session> open(CK_FUNCTION_LIST* functions,
                                                         CK_SLOT_ID slot, CK_RV& rv);

  Pkcs11Session(Pkcs11Session&& other) noexcept;
  Pkcs11Session& operator=(Pkcs11Session&& other) noexcept;
  Pkcs11Session(const Pkcs11Session&) = delete;
  Pkcs11Session& operator=(const Pkcs11Session&) = delete;
  ~Pkcs11Session();

  CK_SLOT_ID slot() const { return slot_; }
  bool loggedIn() const { return loggedIn_; }

  // C_Login as the normal user; a null PIN with length 0 lets a protected authentication path
  // (pinpad) take the PIN itself. Expect CKR_PIN_INCORRECT, CKR_PIN_LOCKED and others.
  [[nodiscard]] CK_RV login(const unsigned char* pin, std::size_t pinLength);
  // C_Logout when logged in; the result is of no use to anyone (not logged in, removed card).
  void logout();

  // Handles of at most maxCount objects matching the template (Init, Find, Final).
  [[nodiscard]] CK_RV findObjects(std::vector<CK_ATTRIBUTE>& match, CK_ULONG maxCount,
                                  std::vector<CK_OBJECT_HANDLE>& found);
  // One attribute's value: length first, then the bytes.
  [[nodiscard]] Pkcs11Fetch attributeValue(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type,
                                           Bytes& value, std::size_t maxSize);
  // C_SignInit without mechanism parameters, C_Sign for the length, C_Sign into the buffer.
  [[nodiscard]] Pkcs11Fetch sign(CK_MECHANISM_TYPE mechanism, CK_OBJECT_HANDLE key,
                                 std::string_view data, Bytes& signature, std::size_t maxSize);
  // The flags of C_GetTokenInfo for this slot.
  [[nodiscard]] CK_RV tokenFlags(CK_FLAGS& flags);
  // C_GetMechanismList for this slot: count first, then the list.
  [[nodiscard]] Pkcs11Fetch mechanisms(std::vector<CK_MECHANISM_TYPE>& list,
                                       std::size_t maxCount);

 private:
  Pkcs11Session(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot, CK_SESSION_HANDLE handle)
      : functions_(functions), slot_(slot), handle_(handle) {}
  void close() noexcept;

  CK_FUNCTION_LIST* functions_;
  CK_SLOT_ID slot_;
  CK_SESSION_HANDLE handle_;
  bool open_ = true;
  bool loggedIn_ = false;
};

}  // namespace sorvimend
