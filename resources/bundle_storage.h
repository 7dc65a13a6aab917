#pragma once
// The region of the program image that holds the scrambled bundle:
//   12-byte opening marker | N scrambled bytes | 12-byte closing marker | aa aa aa aa
// N is SORVIMEND_BUNDLE_REGION_SIZE. The bundle tool rewrites the N bytes in the built file, so
// the program must read them at run time, never as constants the compiler saw.

#include <array>
#include <cstddef>

#include "util/bytes.h"

#ifndef SORVIMEND_BUNDLE_REGION_SIZE
#error "SORVIMEND_BUNDLE_REGION_SIZE must be defined by the build"
#endif

namespace sorvimend {

inline constexpr std::size_t kBundleRegionSize = SORVIMEND_BUNDLE_REGION_SIZE;
inline constexpr std::array<unsigned char, 12> kBundleMarker = {0xa0, 0xa0, 0xa0, 0xa0, 0xfa, 0xfa,
                                                                0xfa, 0xfa, 0xff, 0xff, 0xff, 0xff};
inline constexpr std::array<unsigned char, 4> kBundleTail = {0xaa, 0xaa, 0xaa, 0xaa};

// A copy of the N bytes between the markers, as the built file holds them.
[[nodiscard]] Bytes embeddedBundleBytes();

}  // namespace sorvimend
