// The collector's container check on any archive bytes: a refusal or an acceptance, never a
// crash or an out-of-bounds read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/demo-service/container_check.h"
#include "tools/demo-service/zip_reader.h"
#include "util/openssl_ptr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  static X509StorePtr emptyStore(X509_STORE_new());
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  (void)demo::readZip(input);
  (void)demo::checkContainer(input, "E.Q.ballot", emptyStore.get());
  return 0;
}
