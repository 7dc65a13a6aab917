#include "vote/zip_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/vote/test_files.h"
#include "vote/crc32.h"

namespace sorvimend {
namespace {

using testing::readU16;
using testing::readU32;

TEST(Crc32, KnownValues) {
  struct Case {
    std::string data;
    std::uint32_t crc;
  };
  const std::vector<Case> cases = {
      {"", 0x00000000U},
      {"123456789", 0xCBF43926U},  // the published CRC-32 check value
      {"a", 0xE8B7BE43U},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339U},
      {std::string(1, '\0'), 0xD202EF8DU},
  };
  for (const Case& c : cases) EXPECT_EQ(crc32(c.data), c.crc) << c.data;
}

TEST(ZipWriter, EmptyArchiveIsTheEndRecordAlone) {
  const Bytes zip = ZipWriter().write();
  ASSERT_EQ(zip.size(), 22U);
  EXPECT_EQ(readU32(zip, 0), 0x06054B50U);
  for (std::size_t at = 4; at < 22; at += 2) EXPECT_EQ(readU16(zip, at), 0) << at;
}

// Walks the records of a written archive and checks every field against the entries.
void checkRecords(const ZipWriter& writer) {
  const Bytes zip = writer.write();
  const auto& entries = writer.entries();
  std::vector<std::uint32_t> offsets;
  std::size_t at = 0;
  for (const ZipEntry& e : entries) {
    SCOPED_TRACE(e.name);
    offsets.push_back(static_cast<std::uint32_t>(at));
    EXPECT_EQ(readU32(zip, at), 0x04034B50U);
    EXPECT_EQ(readU16(zip, at + 4), 10);
    for (std::size_t f : {6, 8, 10, 12}) EXPECT_EQ(readU16(zip, at + f), 0) << f;
    EXPECT_EQ(readU32(zip, at + 14), e.crc);
    EXPECT_EQ(readU32(zip, at + 18), e.content.size());
    EXPECT_EQ(readU32(zip, at + 22), e.content.size());
    EXPECT_EQ(readU16(zip, at + 26), e.name.size());
    EXPECT_EQ(readU16(zip, at + 28), 0);
    EXPECT_EQ(zip.substr(at + 30, e.name.size()), e.name);
    EXPECT_EQ(zip.substr(at + 30 + e.name.size(), e.content.size()), e.content);
    at += 30 + e.name.size() + e.content.size();
  }
  const std::size_t centralStart = at;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ZipEntry& e = entries[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(readU32(zip, at), 0x02014B50U);
    EXPECT_EQ(readU16(zip, at + 4), 0);
    EXPECT_EQ(readU16(zip, at + 6), 10);
    for (std::size_t f : {8, 10, 12, 14}) EXPECT_EQ(readU16(zip, at + f), 0) << f;
    EXPECT_EQ(readU32(zip, at + 16), e.crc);
    EXPECT_EQ(readU32(zip, at + 20), e.content.size());
    EXPECT_EQ(readU32(zip, at + 24), e.content.size());
    EXPECT_EQ(readU16(zip, at + 28), e.name.size());
    for (std::size_t f : {30, 32, 34, 36}) EXPECT_EQ(readU16(zip, at + f), 0) << f;
    EXPECT_EQ(readU32(zip, at + 38), e.directory ? 0x10U : 0U);
    EXPECT_EQ(readU32(zip, at + 42), offsets[i]);
    EXPECT_EQ(zip.substr(at + 46, e.name.size()), e.name);
    at += 46 + e.name.size();
  }
  EXPECT_EQ(readU32(zip, at), 0x06054B50U);
  EXPECT_EQ(readU16(zip, at + 4), 0);
  EXPECT_EQ(readU16(zip, at + 6), 0);
  EXPECT_EQ(readU16(zip, at + 8), entries.size());
  EXPECT_EQ(readU16(zip, at + 10), entries.size());
  EXPECT_EQ(readU32(zip, at + 12), at - centralStart);
  EXPECT_EQ(readU32(zip, at + 16), centralStart);
  EXPECT_EQ(readU16(zip, at + 20), 0);
  EXPECT_EQ(at + 22, zip.size());
}

TEST(ZipWriter, RecordsOfEveryEntryKind) {
  ZipWriter writer;
  writer.addFile("mimetype", "application/vnd.etsi.asic-e+zip");
  writer.addDirectory("META-INF/");
  writer.addFile("empty.txt", "");
  writer.addFile("binary", std::string("\0\x01\xFF\x80 zero inside", 17));
  ASSERT_EQ(writer.entries().size(), 4U);
  EXPECT_EQ(writer.entries()[0].crc, crc32("application/vnd.etsi.asic-e+zip"));
  EXPECT_TRUE(writer.entries()[1].directory);
  EXPECT_EQ(writer.entries()[1].crc, 0U);
  EXPECT_EQ(writer.entries()[2].crc, 0U);
  EXPECT_FALSE(writer.entries()[2].directory);
  checkRecords(writer);

  const Bytes zip = writer.write();
  EXPECT_EQ(zip.substr(30, 8), "mimetype");
  EXPECT_EQ(zip.substr(38, 31), "application/vnd.etsi.asic-e+zip");
  EXPECT_EQ(writer.write(), zip) << "writing again gives the same archive";
}

TEST(ZipWriter, StandardReaderListsAndExtractsEveryEntry) {
  testing::ScratchDir dir("zip-writer");
  ZipWriter writer;
  std::string big;
  for (int i = 0; i < 70000; ++i) big.push_back(static_cast<char>((i * 7919) & 0xFF));
  const std::vector<std::pair<std::string, std::string>> files = {
      {"mimetype", "application/vnd.etsi.asic-e+zip"},
      {"META-INF/manifest.xml", "<manifest/>\n"},
      {"E1.Q1.ballot", std::string("\x30\x82\x00\x00\xFF", 5)},
      {"large.bin", big},
      {"META-INF/signatures0.xml", ""},
  };
  writer.addFile(files[0].first, files[0].second);
  writer.addDirectory("META-INF/");
  for (std::size_t i = 1; i < files.size(); ++i) writer.addFile(files[i].first, files[i].second);
  const auto archive = dir.path() / "test.zip";
  testing::writeFile(archive, writer.write());

  const auto tested = testing::run("unzip -t '" + archive.string() + "'");
  ASSERT_EQ(tested.status, 0) << tested.output;
  EXPECT_NE(tested.output.find("No errors detected"), std::string::npos) << tested.output;

  // zipinfo -1 lists names in central directory order: the order added.
  const auto listed = testing::run("zipinfo -1 '" + archive.string() + "'");
  ASSERT_EQ(listed.status, 0) << listed.output;
  EXPECT_EQ(listed.output,
            "mimetype\nMETA-INF/\nMETA-INF/manifest.xml\nE1.Q1.ballot\nlarge.bin\nMETA-INF/signatures0.xml\n");

  const auto out = dir.path() / "out";
  const auto extracted = testing::run("unzip -q '" + archive.string() + "' -d '" + out.string() + "'");
  ASSERT_EQ(extracted.status, 0) << extracted.output;
  EXPECT_TRUE(std::filesystem::is_directory(out / "META-INF"));
  for (const auto& [name, content] : files) EXPECT_EQ(testing::readFile(out / name), content) << name;
}

}  // namespace
}  // namespace sorvimend
