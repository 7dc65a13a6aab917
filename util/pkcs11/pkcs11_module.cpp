#include "util/pkcs11/pkcs11_module.h"

#include <dlfcn.h>
#include <setjmp.h>
#include <signal.h>
#include <unistd.h>

namespace sorvimend {

namespace {

// The jump target is valid only while a guarded C_Initialize runs; the handler checks the flag so
// that a late alarm never jumps into a frame that has gone.
sigjmp_buf initializeJump;
volatile sig_atomic_t initializeInProgress = 0;

extern "C" void onInitializeAlarm(int) {
  if (initializeInProgress != 0) siglongjmp(initializeJump, 1);
}

void disarmGuard() {
  initializeInProgress = 0;
  alarm(0);
  signal(SIGALRM, SIG_IGN);
}

// Every entry the card calls: a hole in the list would be a call through a null pointer.
bool hasWhatTheCardCalls(const CK_FUNCTION_LIST& f) {
  return f.C_Initialize && f.C_Finalize && f.C_GetSlotList && f.C_GetTokenInfo &&
         f.C_GetMechanismList && f.C_OpenSession && f.C_CloseSession && f.C_Login && f.C_Logout &&
         f.C_FindObjectsInit && f.C_FindObjects && f.C_FindObjectsFinal && f.C_GetAttributeValue &&
         f.C_SignInit && f.C_Sign;
}

}  // namespace

void Pkcs11Module::LibraryClose::operator()(void* handle) const noexcept { dlclose(handle); }

Pkcs11Module::~Pkcs11Module() { functions_->C_Finalize(nullptr); }

ModuleLoadResult Pkcs11Module::load(const std::string& path, bool guardInitialize,
                                    unsigned guardSeconds) {
  ModuleLoadResult result;
  LibraryHandle library(dlopen(path.c_str(), RTLD_LAZY));
  if (!library) return result;
  auto getFunctionList =
      reinterpret_cast<CK_C_GetFunctionList>(dlsym(library.get(), "C_GetFunctionList"));
  if (getFunctionList == nullptr) return result;

  CK_FUNCTION_LIST* functions = nullptr;
  result.rv = getFunctionList(&functions);
  if (result.rv != CKR_OK || functions == nullptr || !hasWhatTheCardCalls(*functions)) {
    // A module that says OK but hands over no usable list is as broken as one that says why.
    if (result.rv == CKR_OK) result.rv = CKR_GENERAL_ERROR;
    result.status = ModuleLoadStatus::CallFailed;
    return result;
  }

  if (guardInitialize) {
    struct sigaction action {};
    action.sa_handler = onInitializeAlarm;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    // Saving the signal mask matters: the jump leaves the handler with SIGALRM still blocked.
    if (sigsetjmp(initializeJump, 1) != 0) {
      disarmGuard();
      result.status = ModuleLoadStatus::InitializeTimedOut;
      result.rv = CKR_OK;
      return result;  // the library is closed here; the stuck call's frames are abandoned
    }
    initializeInProgress = 1;
    alarm(guardSeconds);
  }
  CK_RV rv = functions->C_Initialize(nullptr);
  if (guardInitialize) disarmGuard();
  if (rv != CKR_OK) {
    result.status = ModuleLoadStatus::CallFailed;
    result.rv = rv;
    return result;
  }
  result.status = ModuleLoadStatus::Loaded;
  result.rv = CKR_OK;
  result.module = std::make_unique<Pkcs11Module>(ConstructionKey(), std::move(library), functions);
  return result;
}

}  // namespace sorvimend
