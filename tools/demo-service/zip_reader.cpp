#include "tools/demo-service/zip_reader.h"

#include <array>
#include <cstdint>
#include <set>

namespace sorvimend::demo {
namespace {

constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::uint32_t kCentralHeader = 0x02014B50;
constexpr std::uint32_t kEndRecord = 0x06054B50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
// Containers are a few kilobytes; a generous bound keeps a forged entry count cheap.
constexpr std::size_t kMaxEntries = 64;

std::uint16_t u16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8));
}
std::uint32_t u32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(u16(b, at)) | (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

ZipResult fail(std::string problem) {
  ZipResult result;
  result.problem = std::move(problem);
  return result;
}

}  // namespace

std::uint32_t crc32(std::string_view data) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (char ch : data) crc = table[(crc ^ static_cast<std::uint8_t>(ch)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

ZipResult readZip(std::string_view archive) {
  if (archive.size() < kEndRecordSize) return fail("shorter than an end record");
  // The end record is the last 22 bytes unless a comment follows it; search back over at most a
  // comment's maximum length.
  std::size_t end = std::string_view::npos;
  const std::size_t lowest = archive.size() > kEndRecordSize + 0xFFFF ? archive.size() - kEndRecordSize - 0xFFFF : 0;
  for (std::size_t at = archive.size() - kEndRecordSize + 1; at-- > lowest;) {
    if (u32(archive, at) == kEndRecord && at + kEndRecordSize + u16(archive, at + 20) == archive.size()) {
      end = at;
      break;
    }
  }
  if (end == std::string_view::npos) return fail("no end of central directory record");
  if (u16(archive, end + 4) != 0 || u16(archive, end + 6) != 0) return fail("multi-disk archive");
  const std::size_t count = u16(archive, end + 10);
  if (u16(archive, end + 8) != count) return fail("entry counts disagree");
  if (count > kMaxEntries) return fail("too many entries");
  const std::size_t cdSize = u32(archive, end + 12);
  const std::size_t cdOffset = u32(archive, end + 16);
  if (cdOffset > end || cdSize != end - cdOffset) return fail("central directory out of place");

  ZipResult result;
  std::set<std::string> names;
  std::size_t at = cdOffset;
  for (std::size_t i = 0; i < count; ++i) {
    if (end - at < kCentralHeaderSize || u32(archive, at) != kCentralHeader) return fail("bad central header");
    const std::uint16_t flags = u16(archive, at + 8);
    const std::uint16_t method = u16(archive, at + 10);
    const std::uint32_t crc = u32(archive, at + 16);
    const std::uint32_t packed = u32(archive, at + 20);
    const std::uint32_t size = u32(archive, at + 24);
    const std::size_t nameLength = u16(archive, at + 28);
    const std::size_t extraLength = u16(archive, at + 30);
    const std::size_t commentLength = u16(archive, at + 32);
    const std::size_t localOffset = u32(archive, at + 42);
    const std::size_t recordLength = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (end - at < recordLength) return fail("central header runs past the directory");
    if (flags & 0x0001) return fail("encrypted entry");
    if (method != 0 || packed != size) return fail("compressed entry");
    ZipEntry entry;
    entry.name = std::string(archive.substr(at + kCentralHeaderSize, nameLength));
    at += recordLength;
    if (entry.name.empty() || entry.name.find('\0') != std::string::npos) return fail("bad entry name");
    if (!names.insert(entry.name).second) return fail("duplicate entry " + entry.name);

    if (localOffset >= cdOffset || cdOffset - localOffset < kLocalHeaderSize ||
        u32(archive, localOffset) != kLocalHeader)
      return fail("bad local header for " + entry.name);
    const std::size_t localNameLength = u16(archive, localOffset + 26);
    const std::size_t localExtraLength = u16(archive, localOffset + 28);
    const std::size_t dataStart = localOffset + kLocalHeaderSize + localNameLength + localExtraLength;
    if (dataStart > cdOffset || cdOffset - dataStart < size) return fail("entry data runs past the archive");
    if (archive.substr(localOffset + kLocalHeaderSize, localNameLength) != entry.name)
      return fail("local and central names differ for " + entry.name);
    // Without a data descriptor the local header carries the same CRC and sizes.
    const std::uint16_t localFlags = u16(archive, localOffset + 6);
    if (!(localFlags & 0x0008) && (u16(archive, localOffset + 8) != 0 || u32(archive, localOffset + 14) != crc ||
                                   u32(archive, localOffset + 18) != size || u32(archive, localOffset + 22) != size))
      return fail("local header disagrees for " + entry.name);
    entry.content = std::string(archive.substr(dataStart, size));
    if (crc32(entry.content) != crc) return fail("CRC mismatch for " + entry.name);
    entry.directory = entry.name.back() == '/';
    if (entry.directory && !entry.content.empty()) return fail("directory with content");
    entry.localHeaderOffset = localOffset;
    result.entries.push_back(std::move(entry));
  }
  return result;
}

}  // namespace sorvimend::demo
