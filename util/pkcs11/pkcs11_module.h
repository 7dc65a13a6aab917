#pragma once
// A PKCS#11 module loaded at run time (the ID card's middleware). Only the v2 function list is
// used; nothing is assumed about the module's insides. Compiled into sv_identity, the one user.

#include <pkcs11.h>

#include <memory>
#include <string>
#include <vector>

namespace sorvimend {

// How loading ended. The caller turns these into its own codes.
enum class ModuleLoadStatus {
  Loaded,
  OpenFailed,          // dlopen failed or the file lacks C_GetFunctionList
  CallFailed,          // C_GetFunctionList or C_Initialize returned the value in rv, or the
                       // list lacks a function the card calls (CKR_GENERAL_ERROR)
  InitializeTimedOut,  // C_Initialize did not return before the guard's alarm
};

class Pkcs11Module;

struct ModuleLoadResult {
  ModuleLoadStatus status = ModuleLoadStatus::OpenFailed;
  CK_RV rv = CKR_OK;
  std::unique_ptr<Pkcs11Module> module;  // set only when Loaded
};

// Owns the library handle and the initialised module: the destructor calls C_Finalize and
// unloads it, which ends every session the module still has open. Sessions borrow the function
// list and must be closed before the module goes. Not copyable or movable: sessions point at it.
class Pkcs11Module {
 public:
  // Seconds that C_Initialize may take before the module is taken to be blocked by another
  // program holding the card.
  static constexpr unsigned kInitializeGuardSeconds = 15;

  // Loads path with lazy binding and initialises the module (null argument). With guardInitialize
  // a SIGALRM alarm interrupts a C_Initialize that does not return within the guard time. On any
  // failure the library is unloaded again. Only one guarded load may run at a time (one thread).
  [[nodiscard]] static ModuleLoadResult load(const std::string& path, bool guardInitialize,
                                             unsigned guardSeconds = kInitializeGuardSeconds);

  // Only load() can make one (the key is private to the class).
  struct ConstructionKey {
   private:
    friend class Pkcs11Module;
    ConstructionKey() {}  // user-provided, so no outsider can brace-initialise one
  };
  struct LibraryClose {
    void operator()(void* handle) const noexcept;
  };
  using LibraryHandle = std::unique_ptr<void, LibraryClose>;
  Pkcs11Module(ConstructionKey, LibraryHandle library, CK_FUNCTION_LIST* functions)
      : library_(std::move(library)), functions_(functions) {}

  ~Pkcs11Module();
  Pkcs11Module(const Pkcs11Module&) = delete;
  Pkcs11Module& operator=(const Pkcs11Module&) = delete;

  CK_FUNCTION_LIST* functions() const { return functions_; }

  // The slot list kept for the token search.
  std::vector<CK_SLOT_ID>& slots() { return slots_; }

 private:
  LibraryHandle library_;
  CK_FUNCTION_LIST* functions_;
  std::vector<CK_SLOT_ID> slots_;
};

}  // namespace sorvimend
