#pragma once
// A stored (uncompressed) ZIP archive built in memory, entries in the order added. Writes local
// headers, the central directory and its end record only: no data descriptors, extra fields,
// comments, ZIP64 records or time stamps (time and date are zero).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/bytes.h"

namespace sorvimend {

struct ZipEntry {
  Bytes name;  // written unchanged; a directory's name ends with "/"
  Bytes content;
  std::uint32_t crc = 0;
  bool directory = false;
};

class ZipWriter {
 public:
  // An entry with empty content, crc 0 and the MS-DOS directory attribute.
  void addDirectory(std::string_view name);
  void addFile(std::string_view name, std::string_view content);

  // The whole archive. May be called again; the entries stay in place. Sizes, offsets and the
  // entry count are the low bits of the real figures (archives here are a few kilobytes).
  [[nodiscard]] Bytes write() const;

  [[nodiscard]] const std::vector<ZipEntry>& entries() const { return entries_; }

 private:
  std::vector<ZipEntry> entries_;
};

}  // namespace sorvimend
