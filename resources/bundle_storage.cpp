#include "resources/bundle_storage.h"

namespace sorvimend {

struct BundleRegion {
  unsigned char opening[12];
  unsigned char scrambled[kBundleRegionSize];
  unsigned char closing[12];
  unsigned char tail[4];
};
static_assert(sizeof(BundleRegion) == 12 + kBundleRegionSize + 12 + 4, "the region has no padding");

// Read-only data; 'used' keeps it even where nothing seems to read it. External linkage makes
// the compiler describe it by its address in the debug information: a file-local constant
// would be copied there whole, a second region that the bundle tool could not tell apart.
extern const BundleRegion kEmbeddedBundleRegion;
__attribute__((used)) const BundleRegion kEmbeddedBundleRegion = {
    {0xa0, 0xa0, 0xa0, 0xa0, 0xfa, 0xfa, 0xfa, 0xfa, 0xff, 0xff, 0xff, 0xff},
    {},
    {0xa0, 0xa0, 0xa0, 0xa0, 0xfa, 0xfa, 0xfa, 0xfa, 0xff, 0xff, 0xff, 0xff},
    {0xaa, 0xaa, 0xaa, 0xaa},
};

Bytes embeddedBundleBytes() {
  // Through a volatile pointer: the compiler saw zeros here, the file holds the bundle.
  const volatile unsigned char* source = kEmbeddedBundleRegion.scrambled;
  Bytes copy(kBundleRegionSize, '\0');
  for (std::size_t i = 0; i < kBundleRegionSize; ++i) copy[i] = static_cast<char>(source[i]);
  return copy;
}

}  // namespace sorvimend
