#pragma once
// Reads the stored ZIP archive of a vote container. Only what a container may hold is accepted:
// stored entries, no encryption, no ZIP64, no duplicate names; every size, offset and CRC is
// checked against the bytes, so a hostile archive yields a refusal, never a read out of bounds.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvimend::demo {

struct ZipEntry {
  std::string name;
  std::string content;
  bool directory = false;  // the name ends with "/"
  std::size_t localHeaderOffset = 0;
};

struct ZipResult {
  std::vector<ZipEntry> entries;  // in central directory order
  std::string problem;            // empty when the archive was read
};

[[nodiscard]] ZipResult readZip(std::string_view archive);

[[nodiscard]] std::uint32_t crc32(std::string_view data);

}  // namespace sorvimend::demo
