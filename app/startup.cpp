#include "app/startup.h"

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "resources/resource_validator.h"

namespace sorvimend {

ErrorPtr startResources() {
  registerCatalogue();
  return loadBundle();
}

void stopResources() {
  resetBundle();
  releaseValidators();
}

}  // namespace sorvimend
