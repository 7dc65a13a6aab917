#include "util/pkcs11/pkcs11_session.h"

#include <new>
#include <stdexcept>
#include <utility>

namespace sorvimend {

namespace {

// Resizes a buffer to what the module asked for, or says it could not.
template <class Buffer>
bool makeRoom(Buffer& buffer, CK_ULONG size, std::size_t maxSize) {
  if (size > maxSize) return false;
  try {
    buffer.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace

std::optional<Pkcs11Session> Pkcs11Session::open(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot,
                                                 CK_RV& rv) {
  CK_SESSION_HANDLE handle = CK_INVALID_HANDLE;
  rv = functions->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                                &handle);
  if (rv != CKR_OK) return std::nullopt;
  return Pkcs11Session(functions, slot, handle);
}

Pkcs11Session::Pkcs11Session(Pkcs11Session&& other) noexcept
    : functions_(other.functions_),
      slot_(other.slot_),
      handle_(other.handle_),
      open_(std::exchange(other.open_, false)),
      loggedIn_(std::exchange(other.loggedIn_, false)) {}

Pkcs11Session& Pkcs11Session::operator=(Pkcs11Session&& other) noexcept {
  if (this != &other) {
    close();
    functions_ = other.functions_;
    slot_ = other.slot_;
    handle_ = other.handle_;
    open_ = std::exchange(other.open_, false);
    loggedIn_ = std::exchange(other.loggedIn_, false);
  }
  return *this;
}

Pkcs11Session::~Pkcs11Session() { close(); }

void Pkcs11Session::close() noexcept {
  if (!open_) return;
  logout();
  functions_->C_CloseSession(handle_);
  open_ = false;
}

CK_RV Pkcs11Session::login(const unsigned char* pin, std::size_t pinLength) {
  // The standard's prototype is not const; no module has a reason to write the PIN.
  CK_RV rv = functions_->C_Login(handle_, CKU_USER, const_cast<unsigned char*>(pin),
                                 static_cast<CK_ULONG>(pinLength));
  if (rv == CKR_OK) loggedIn_ = true;
  return rv;
}

void Pkcs11Session::logout() {
  if (!loggedIn_) return;
  loggedIn_ = false;
  static_cast<void>(functions_->C_Logout(handle_));
}

CK_RV Pkcs11Session::findObjects(std::vector<CK_ATTRIBUTE>& match, CK_ULONG maxCount,
                                 std::vector<CK_OBJECT_HANDLE>& found) {
  found.clear();
  CK_RV rv = functions_->C_FindObjectsInit(handle_, match.data(),
                                           static_cast<CK_ULONG>(match.size()));
  if (rv != CKR_OK) return rv;
  found.resize(maxCount);
  CK_ULONG count = 0;
  rv = functions_->C_FindObjects(handle_, found.data(), maxCount, &count);
  // A module that claims more than it was given room for has written nothing we can trust.
  found.resize(rv == CKR_OK && count <= maxCount ? count : 0);
  CK_RV finalRv = functions_->C_FindObjectsFinal(handle_);
  return rv != CKR_OK ? rv : finalRv;
}

Pkcs11Fetch Pkcs11Session::attributeValue(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type,
                                          Bytes& value, std::size_t maxSize) {
  Pkcs11Fetch result;
  value.clear();
  CK_ATTRIBUTE attribute{type, nullptr, 0};
  result.rv = functions_->C_GetAttributeValue(handle_, object, &attribute, 1);
  if (result.rv != CKR_OK) return result;
  if (!makeRoom(value, attribute.ulValueLen, maxSize)) {
    result.outOfMemory = true;
    return result;
  }
  CK_ULONG room = attribute.ulValueLen;
  attribute.pValue = value.data();
  result.rv = functions_->C_GetAttributeValue(handle_, object, &attribute, 1);
  if (result.rv != CKR_OK) {
    value.clear();
    return result;
  }
  if (attribute.ulValueLen < room) value.resize(attribute.ulValueLen);
  return result;
}

Pkcs11Fetch Pkcs11Session::sign(CK_MECHANISM_TYPE mechanism, CK_OBJECT_HANDLE key,
                                std::string_view data, Bytes& signature, std::size_t maxSize) {
  Pkcs11Fetch result;
  signature.clear();
  CK_MECHANISM signMechanism{mechanism, nullptr, 0};
  result.rv = functions_->C_SignInit(handle_, &signMechanism, key);
  if (result.rv != CKR_OK) return result;
  Bytes input(data);  // the prototype wants a writable buffer
  auto* in = reinterpret_cast<unsigned char*>(input.data());
  CK_ULONG length = 0;
  result.rv = functions_->C_Sign(handle_, in, static_cast<CK_ULONG>(input.size()), nullptr, &length);
  if (result.rv != CKR_OK) return result;
  if (!makeRoom(signature, length, maxSize)) {
    // The operation stays active; the next C_SignInit of a module this broken fails too.
    result.outOfMemory = true;
    return result;
  }
  CK_ULONG room = length;
  result.rv = functions_->C_Sign(handle_, in, static_cast<CK_ULONG>(input.size()),
                                 reinterpret_cast<unsigned char*>(signature.data()), &length);
  if (result.rv != CKR_OK || length > room) {
    if (result.rv == CKR_OK) result.rv = CKR_GENERAL_ERROR;
    signature.clear();
    return result;
  }
  signature.resize(length);
  return result;
}

CK_RV Pkcs11Session::tokenFlags(CK_FLAGS& flags) {
  CK_TOKEN_INFO info{};
  CK_RV rv = functions_->C_GetTokenInfo(slot_, &info);
  flags = rv == CKR_OK ? info.flags : 0;
  return rv;
}

Pkcs11Fetch Pkcs11Session::mechanisms(std::vector<CK_MECHANISM_TYPE>& list, std::size_t maxCount) {
  Pkcs11Fetch result;
  list.clear();
  CK_ULONG count = 0;
  result.rv = functions_->C_GetMechanismList(slot_, nullptr, &count);
  if (result.rv != CKR_OK) return result;
  if (!makeRoom(list, count, maxCount)) {
    result.outOfMemory = true;
    return result;
  }
  CK_ULONG room = count;
  result.rv = functions_->C_GetMechanismList(slot_, list.data(), &count);
  if (result.rv != CKR_OK) {
    list.clear();
    return result;
  }
  list.resize(count < room ? count : room);
  return result;
}

}  // namespace sorvimend
