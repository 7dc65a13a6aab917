// The bundle loader on arbitrary text: as plain JSON and through the scrambled storage form, which
// must give the same verdict; a bundle that loads is then read through every accessor.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "resources/resource_access.h"
#include "resources/resource_bundle.h"
#include "resources/resource_catalogue.h"
#include "resources/scrambler.h"

namespace {

void readEverything() {
  using namespace sorvimend;
  for (const auto& [id, entry] : resourceCatalogue().entries()) {
    (void)resourcePresent(id);
    (void)resourceText(id);
    (void)resourceTextOrEmpty(id);
    (void)resourceInteger(id);
    (void)resourceColour(id);
    (void)resourceBoolean(id);
    (void)resourceTextList(id);
    (void)resourceQuestions(id);
  }
  const std::string period = resourceText(ResourceId::RES_APP_VALID_PERIOD);
  (void)clockBeforePeriod(period, 0);
  (void)clockAfterPeriod(period, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  static const bool registered = [] {
    registerCatalogue();
    return true;
  }();
  (void)registered;

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ErrorPtr plain = loadBundleText(text);
  if (!plain) readEverything();
  ErrorPtr stored = loadScrambledBundle(scrambleBytes(text, ScrambleMode::Scramble));
  if ((plain == nullptr) != (stored == nullptr)) std::abort();
  if (plain && plain->message() != stored->message()) std::abort();
  resetBundle();
  return 0;
}
