// A PKCS#11 module for tests, written from the published v2.40 interface: it passes every call
// to a real module (SV_FAKE_P11_TARGET, SoftHSM2 in our tests) and bends the few behaviours that
// the real one lacks. SV_FAKE_P11_MODE is a comma-separated list, read at C_GetFunctionList:
//   hang      C_Initialize never returns (another program holds the card)
//   noslots   C_GetSlotList reports no slot
//   pinpad    tokens report a protected authentication path; C_Login wants a null PIN and logs
//             in with SV_FAKE_P11_PINPAD_PIN instead, as a reader's keypad would
//   locked    C_Login answers CKR_PIN_LOCKED
//   noecdsa   the mechanism list lacks CKM_ECDSA
//   norsa     the mechanism list lacks CKM_RSA_PKCS
//   loginerror  C_Login answers CKR_DEVICE_ERROR
//   hidekeys  searches for private keys find nothing
//   hugesig   C_Sign asks for a 1 GiB signature buffer
//   holes     the function list has no C_Logout
// The test reads what happened through the svFake* functions below.
#include <pkcs11.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

CK_FUNCTION_LIST fakeList;
CK_FUNCTION_LIST* target = nullptr;
std::string targetPath;
std::string mode;
unsigned long loginCalls = 0;
long alarmSecondsAtInitialize = -1;
bool hidingSearch = false;

bool modeHas(const char* flag) {
  const std::string wanted(flag);
  std::size_t start = 0;
  while (start <= mode.size()) {
    std::size_t end = mode.find(',', start);
    if (end == std::string::npos) end = mode.size();
    if (mode.compare(start, end - start, wanted) == 0) return true;
    start = end + 1;
  }
  return false;
}

CK_RV fakeInitialize(void* args) {
  // Peeks at the caller's guard alarm without disturbing it.
  const unsigned left = alarm(0);
  if (left != 0) alarm(left);
  alarmSecondsAtInitialize = static_cast<long>(left);
  if (modeHas("hang")) {
    for (;;) pause();
  }
  return target->C_Initialize(args);
}

CK_RV fakeGetSlotList(unsigned char present, CK_SLOT_ID* list, unsigned long* count) {
  if (modeHas("noslots")) {
    *count = 0;
    return CKR_OK;
  }
  return target->C_GetSlotList(present, list, count);
}

CK_RV fakeGetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
  const CK_RV rv = target->C_GetTokenInfo(slot, info);
  if (rv == CKR_OK && modeHas("pinpad")) info->flags |= CKF_PROTECTED_AUTHENTICATION_PATH;
  return rv;
}

CK_RV fakeLogin(CK_SESSION_HANDLE session, CK_USER_TYPE user, unsigned char* pin,
                unsigned long length) {
  ++loginCalls;
  if (modeHas("locked")) return CKR_PIN_LOCKED;
  if (modeHas("loginerror")) return CKR_DEVICE_ERROR;
  if (modeHas("pinpad")) {
    if (pin != nullptr || length != 0) return CKR_ARGUMENTS_BAD;
    const char* keypad = std::getenv("SV_FAKE_P11_PINPAD_PIN");
    if (keypad == nullptr) return CKR_FUNCTION_CANCELED;
    std::string typed(keypad);
    return target->C_Login(session, user, reinterpret_cast<unsigned char*>(typed.data()),
                           typed.size());
  }
  return target->C_Login(session, user, pin, length);
}

CK_RV fakeGetMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* list, unsigned long* count) {
  unsigned long all = 0;
  CK_RV rv = target->C_GetMechanismList(slot, nullptr, &all);
  if (rv != CKR_OK) return rv;
  std::vector<CK_MECHANISM_TYPE> mechanisms(all);
  rv = target->C_GetMechanismList(slot, mechanisms.data(), &all);
  if (rv != CKR_OK) return rv;
  mechanisms.resize(all);
  auto drop = [&](CK_MECHANISM_TYPE unwanted) {
    mechanisms.erase(std::remove(mechanisms.begin(), mechanisms.end(), unwanted), mechanisms.end());
  };
  if (modeHas("noecdsa")) drop(CKM_ECDSA);
  if (modeHas("norsa")) drop(CKM_RSA_PKCS);
  const unsigned long room = *count;
  *count = mechanisms.size();
  if (list == nullptr) return CKR_OK;
  if (room < mechanisms.size()) return CKR_BUFFER_TOO_SMALL;
  std::copy(mechanisms.begin(), mechanisms.end(), list);
  return CKR_OK;
}

CK_RV fakeFindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE* match, unsigned long count) {
  hidingSearch = false;
  if (modeHas("hidekeys")) {
    for (unsigned long i = 0; i < count; ++i) {
      if (match[i].type == CKA_CLASS && match[i].ulValueLen == sizeof(CK_OBJECT_CLASS) &&
          *static_cast<CK_OBJECT_CLASS*>(match[i].pValue) == CKO_PRIVATE_KEY) {
        hidingSearch = true;
      }
    }
  }
  return target->C_FindObjectsInit(session, match, count);
}

CK_RV fakeFindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE* found, unsigned long room,
                      unsigned long* count) {
  const CK_RV rv = target->C_FindObjects(session, found, room, count);
  if (rv == CKR_OK && hidingSearch) *count = 0;
  return rv;
}

CK_RV fakeSign(CK_SESSION_HANDLE session, unsigned char* data, unsigned long length,
               unsigned char* signature, unsigned long* signatureLength) {
  if (modeHas("hugesig") && signature == nullptr) {
    *signatureLength = 1UL << 30;
    return CKR_OK;
  }
  return target->C_Sign(session, data, length, signature, signatureLength);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) CK_RV C_GetFunctionList(CK_FUNCTION_LIST** list) {
  if (list == nullptr) return CKR_ARGUMENTS_BAD;
  const char* chosenMode = std::getenv("SV_FAKE_P11_MODE");
  mode = chosenMode != nullptr ? chosenMode : "";
  const char* path = std::getenv("SV_FAKE_P11_TARGET");
  if (target == nullptr || path == nullptr || targetPath != path) {
    // Real modules stay loaded for the life of the process: their state outlives our loads.
    target = nullptr;
    targetPath = path != nullptr ? path : "";
    void* library = path != nullptr ? dlopen(path, RTLD_NOW) : nullptr;
    auto getList = library != nullptr
                       ? reinterpret_cast<CK_C_GetFunctionList>(dlsym(library, "C_GetFunctionList"))
                       : nullptr;
    if (getList == nullptr || getList(&target) != CKR_OK || target == nullptr) {
      target = nullptr;
      return CKR_GENERAL_ERROR;
    }
  }
  std::memcpy(&fakeList, target, sizeof fakeList);
  fakeList.C_Initialize = fakeInitialize;
  fakeList.C_GetSlotList = fakeGetSlotList;
  fakeList.C_GetTokenInfo = fakeGetTokenInfo;
  fakeList.C_Login = fakeLogin;
  fakeList.C_GetMechanismList = fakeGetMechanismList;
  fakeList.C_FindObjectsInit = fakeFindObjectsInit;
  fakeList.C_FindObjects = fakeFindObjects;
  fakeList.C_Sign = fakeSign;
  if (modeHas("holes")) fakeList.C_Logout = nullptr;
  *list = &fakeList;
  return CKR_OK;
}

__attribute__((visibility("default"))) unsigned long svFakeLoginCalls() { return loginCalls; }
__attribute__((visibility("default"))) long svFakeAlarmSecondsAtInitialize() {
  return alarmSecondsAtInitialize;
}
__attribute__((visibility("default"))) void svFakeReset() {
  loginCalls = 0;
  alarmSecondsAtInitialize = -1;
}

}  // extern "C"
