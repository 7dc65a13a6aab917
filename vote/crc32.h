#pragma once
// CRC-32 of ZIP and zlib: reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF, final
// complement. The CRC of empty data is 0.

#include <cstdint>
#include <string_view>

namespace sorvimend {

[[nodiscard]] std::uint32_t crc32(std::string_view data);

}  // namespace sorvimend
