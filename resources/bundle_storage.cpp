#include "resources/bundle_storage.h"

namespace sorvimend {
namespace {

struct BundleRegion {
  unsigned char opening[12];
  unsigned char scrambled[kBundleRegionSize];
  unsigned char closing[12];
  unsigned char tail[4];
};
static_assert(sizeof(BundleRegion) == 12 + kBundleRegionSize + 12 + 4, "the region has no padding");

// Read-only data; 'used' keeps it even where nothing seems to read it. The markers are spelled
// out here rather than copied from kBundleMarker so the image holds them in this one place.
__attribute__((used)) const BundleRegion kRegion = {
    {0xa0, 0xa0, 0xa0, 0xa0, 0xfa, 0xfa, 0xfa, 0xfa, 0xff, 0xff, 0xff, 0xff},
    {},
    {0xa0, 0xa0, 0xa0, 0xa0, 0xfa, 0xfa, 0xfa, 0xfa, 0xff, 0xff, 0xff, 0xff},
    {0xaa, 0xaa, 0xaa, 0xaa},
};

}  // namespace

Bytes embeddedBundleBytes() {
  // Through a volatile pointer: the compiler saw zeros here, the file holds the bundle.
  const volatile unsigned char* source = kRegion.scrambled;
  Bytes copy(kBundleRegionSize, '\0');
  for (std::size_t i = 0; i < kBundleRegionSize; ++i) copy[i] = static_cast<char>(source[i]);
  return copy;
}

}  // namespace sorvimend
