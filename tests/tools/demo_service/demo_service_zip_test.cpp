// The service's own reading of container archives: stored ZIPs as the application writes them
// and as the zip command line writes them are read; damaged or hostile ones are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/tools/demo_service/harness.h"
#include "tools/demo-service/zip_reader.h"

namespace sorvimend::demo {
namespace {

void put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// A stored archive laid out as the application writes one (no times, no extras).
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out;
  std::vector<std::uint32_t> offsets;
  for (const auto& [name, content] : entries) {
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    put32(out, 0x04034B50);
    put16(out, 10);
    put16(out, 0);
    put16(out, 0);
    put32(out, 0);
    put32(out, crc32(content));
    put32(out, static_cast<std::uint32_t>(content.size()));
    put32(out, static_cast<std::uint32_t>(content.size()));
    put16(out, static_cast<std::uint32_t>(name.size()));
    put16(out, 0);
    out += name + content;
  }
  const auto cdStart = static_cast<std::uint32_t>(out.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& [name, content] = entries[i];
    put32(out, 0x02014B50);
    put16(out, 0);
    put16(out, 10);
    put16(out, 0);
    put16(out, 0);
    put32(out, 0);
    put32(out, crc32(content));
    put32(out, static_cast<std::uint32_t>(content.size()));
    put32(out, static_cast<std::uint32_t>(content.size()));
    put16(out, static_cast<std::uint32_t>(name.size()));
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put32(out, name.back() == '/' ? 0x10 : 0);
    put32(out, offsets[i]);
    out += name;
  }
  const auto cdSize = static_cast<std::uint32_t>(out.size()) - cdStart;
  put32(out, 0x06054B50);
  put16(out, 0);
  put16(out, 0);
  put16(out, static_cast<std::uint32_t>(entries.size()));
  put16(out, static_cast<std::uint32_t>(entries.size()));
  put32(out, cdSize);
  put32(out, cdStart);
  put16(out, 0);
  return out;
}

const std::vector<std::pair<std::string, std::string>> kEntries = {
    {"mimetype", "application/vnd.etsi.asic-e+zip"},
    {"META-INF/", ""},
    {"E.Q.ballot", std::string("\x30\x00\xFF", 3)},
};

TEST(DemoServiceZip, CrcMatchesThePublishedCheckValue) {
  EXPECT_EQ(crc32("123456789"), 0xCBF43926u);  // the CRC-32 check value of "123456789"
  EXPECT_EQ(crc32(""), 0u);
}

TEST(DemoServiceZip, ReadsStoredArchivesInOrder) {
  const ZipResult zip = readZip(storedZip(kEntries));
  ASSERT_EQ(zip.problem, "");
  ASSERT_EQ(zip.entries.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(zip.entries[i].name, kEntries[i].first);
    EXPECT_EQ(zip.entries[i].content, kEntries[i].second);
  }
  EXPECT_TRUE(zip.entries[1].directory);
  EXPECT_EQ(zip.entries[0].localHeaderOffset, 0u);
  EXPECT_EQ(readZip(storedZip({})).problem, "");
}

TEST(DemoServiceZip, ReadsWhatTheZipCommandStores) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("demo-zip-" + std::to_string(::getpid()));
  fs::create_directories(dir / "META-INF");
  std::ofstream(dir / "mimetype") << "application/vnd.etsi.asic-e+zip";
  std::ofstream(dir / "META-INF/manifest.xml") << std::string(2000, 'm');
  int status = 0;
  testing::shell("cd '" + dir.string() + "' && zip -q -X -0 a.zip mimetype META-INF/manifest.xml", &status);
  ASSERT_EQ(status, 0);
  ZipResult zip = readZip(testing::readText((dir / "a.zip").string()));
  EXPECT_EQ(zip.problem, "");
  ASSERT_EQ(zip.entries.size(), 2u);
  EXPECT_EQ(zip.entries[1].content, std::string(2000, 'm'));
  // Deflated entries are not what a container holds.
  testing::shell("cd '" + dir.string() + "' && zip -q -X -9 b.zip META-INF/manifest.xml", &status);
  zip = readZip(testing::readText((dir / "b.zip").string()));
  EXPECT_NE(zip.problem, "");
  fs::remove_all(dir);
}

TEST(DemoServiceZip, RefusesDamagedArchives) {
  const std::string good = storedZip(kEntries);
  const std::size_t cd = good.size() - 22 - (46 * 3 + 8 + 9 + 10);
  struct Case {
    const char* what;
    std::function<std::string()> make;
  };
  auto patched = [&](std::size_t at, std::string bytes) {
    std::string z = good;
    z.replace(at, bytes.size(), bytes);
    return z;
  };
  const Case cases[] = {
      {"empty", [] { return std::string(); }},
      {"truncated end record", [&] { return good.substr(0, good.size() - 1); }},
      {"truncated in the data", [&] { return good.substr(0, 40); }},
      {"content changed, CRC kept", [&] { return patched(30 + 8 + 2, "X"); }},
      {"entry count larger than the directory", [&] { return patched(good.size() - 22 + 8, std::string("\x09\x00\x09\x00", 4)); }},
      {"directory offset past the end", [&] { return patched(good.size() - 22 + 16, std::string("\xFF\xFF\x00\x00", 4)); }},
      {"local offset past the directory", [&] { return patched(cd + 42, std::string("\xFF\xFF\x00\x00", 4)); }},
      {"size larger than the archive", [&] { return patched(cd + 20, std::string("\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F", 8)); }},
      {"name length past the directory", [&] { return patched(cd + 28, std::string("\xFF\xFF", 2)); }},
      {"deflate method", [&] { return patched(cd + 10, std::string("\x08\x00", 2)); }},
      {"encrypted", [&] { return patched(cd + 8, std::string("\x01\x00", 2)); }},
      {"duplicate names", [] { return storedZip({{"a", "1"}, {"a", "2"}}); }},
      {"directory with content", [] { return storedZip({{"d/", "x"}}); }},
      {"not a zip", [] { return std::string(100, 'A'); }},
  };
  for (const auto& c : cases) EXPECT_NE(readZip(c.make()).problem, "") << c.what;
}

}  // namespace
}  // namespace sorvimend::demo
