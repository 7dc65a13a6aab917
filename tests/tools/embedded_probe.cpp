// A program that loads its own embedded bundle as sorvimend does and says what the loader said:
// the tool tests embed bundles into it to show that the program reads the bytes of the file, not
// the zeros the compiler saw.

#include <cstdio>

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"

int main() {
  using namespace sorvimend;
  registerCatalogue();
  ErrorPtr error = loadBundle();
  std::printf("%s\n", error ? error->message().c_str() : "loaded");
  if (!error) std::printf("%s\n", resourceText(ResourceId::RES_APP_ELECTION_ID).c_str());
  resetBundle();
  return error ? 1 : 0;
}
