#include "vote/zip_writer.h"

#include "vote/crc32.h"

namespace sorvimend {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50U;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50U;
constexpr std::uint32_t kEndOfCentralDirectorySignature = 0x06054B50U;
constexpr std::uint16_t kVersionNeeded = 10;
constexpr std::uint16_t kVersionMadeBy = 0;
constexpr std::uint32_t kDosDirectoryAttribute = 0x10U;

void putU16(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFFU));
  out.push_back(static_cast<char>((value >> 8) & 0xFFU));
}

void putU32(Bytes& out, std::uint32_t value) {
  putU16(out, static_cast<std::uint16_t>(value & 0xFFFFU));
  putU16(out, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t low32(std::size_t n) { return static_cast<std::uint32_t>(n & 0xFFFFFFFFU); }
std::uint16_t low16(std::size_t n) { return static_cast<std::uint16_t>(n & 0xFFFFU); }

}  // namespace

void ZipWriter::addDirectory(std::string_view name) {
  entries_.push_back(ZipEntry{Bytes(name), Bytes(), 0, true});
}

void ZipWriter::addFile(std::string_view name, std::string_view content) {
  entries_.push_back(ZipEntry{Bytes(name), Bytes(content), crc32(content), false});
}

Bytes ZipWriter::write() const {
  Bytes out;
  std::vector<std::uint32_t> offsets;
  offsets.reserve(entries_.size());

  for (const ZipEntry& entry : entries_) {
    offsets.push_back(low32(out.size()));
    putU32(out, kLocalHeaderSignature);
    putU16(out, kVersionNeeded);
    putU16(out, 0);  // flags
    putU16(out, 0);  // stored
    putU16(out, 0);  // time
    putU16(out, 0);  // date
    putU32(out, entry.crc);
    putU32(out, low32(entry.content.size()));
    putU32(out, low32(entry.content.size()));
    putU16(out, low16(entry.name.size()));
    putU16(out, 0);  // extra field length
    out += entry.name;
    out += entry.content;
  }

  const std::size_t centralStart = out.size();
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const ZipEntry& entry = entries_[i];
    putU32(out, kCentralHeaderSignature);
    putU16(out, kVersionMadeBy);
    putU16(out, kVersionNeeded);
    putU16(out, 0);  // flags
    putU16(out, 0);  // stored
    putU16(out, 0);  // time
    putU16(out, 0);  // date
    putU32(out, entry.crc);
    putU32(out, low32(entry.content.size()));
    putU32(out, low32(entry.content.size()));
    putU16(out, low16(entry.name.size()));
    putU16(out, 0);  // extra field length
    putU16(out, 0);  // comment length
    putU16(out, 0);  // disk number start
    putU16(out, 0);  // internal attributes
    putU32(out, entry.directory ? kDosDirectoryAttribute : 0U);
    putU32(out, offsets[i]);
    out += entry.name;
  }

  const std::size_t centralSize = out.size() - centralStart;
  putU32(out, kEndOfCentralDirectorySignature);
  putU16(out, 0);  // this disk
  putU16(out, 0);  // disk with the central directory
  putU16(out, low16(entries_.size()));
  putU16(out, low16(entries_.size()));
  putU32(out, low32(centralSize));
  putU32(out, low32(centralStart));
  putU16(out, 0);  // comment length
  return out;
}

}  // namespace sorvimend
