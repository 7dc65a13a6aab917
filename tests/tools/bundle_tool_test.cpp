// Drives bin/bundle-tool and bin/sorvimend as an administrator's script would.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "resources/bundle_storage.h"

namespace sorvimend {
namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : value;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeAll(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

struct Outcome {
  int status;
  std::string out;
};

// Runs a shell command line, capturing standard output; standard error goes to a file.
Outcome run(const std::string& command) {
  Outcome result{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class BundleToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string build = env("SV_BUILD_DIR");
    const std::string source = env("SV_SOURCE_DIR");
    ASSERT_FALSE(build.empty());
    ASSERT_FALSE(source.empty());
    tool_ = build + "/bin/bundle-tool";
    program_ = build + "/bin/sorvimend";
    demo_ = source + "/demo/bundle.json";
    char pattern[] = "/tmp/bundle-tool-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { run("rm -rf '" + dir_ + "'"); }

  std::string tool(const std::string& args) { return "'" + tool_ + "' " + args + " 2>'" + dir_ + "/stderr'"; }
  std::string stderrText() { return readAll(dir_ + "/stderr"); }
  // A private copy of the built program, so that the tests never touch the build's own.
  std::string copyOfProgram() {
    const std::string copy = dir_ + "/sorvimend";
    EXPECT_EQ(run("cp -p '" + program_ + "' '" + copy + "'").status, 0);
    return copy;
  }

  std::string tool_, program_, demo_, dir_;
};

TEST_F(BundleToolTest, CheckPrintsTheLoadersMessage) {
  const std::string demo = readAll(demo_);
  ASSERT_FALSE(demo.empty());
  const auto group = demo.find("\"RES_UI\": {");
  ASSERT_NE(group, std::string::npos);
  std::string broken = demo;
  broken.insert(group + 11, "\n  \"ELECTION_ID\": \"DEMO2026\",");
  writeAll(dir_ + "/broken.json", broken);
  const Outcome result = run(tool("check '" + dir_ + "/broken.json'"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "Tundmatu ressurss: RES_UI_ELECTION_ID\n");

  writeAll(dir_ + "/empty.json", "");
  const Outcome empty = run(tool("check '" + dir_ + "/empty.json'"));
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.out, "Rakenduse tööks vajalikud ressursid on seadistamata (5).\n");
}

TEST_F(BundleToolTest, DemoBundleAndBuiltProgramPassTheCheck) {
  const Outcome bundle = run(tool("check '" + demo_ + "'"));
  EXPECT_EQ(bundle.status, 0) << bundle.out << stderrText();
  EXPECT_EQ(bundle.out, "");
  const Outcome program = run(tool("check '" + program_ + "'"));
  EXPECT_EQ(program.status, 0) << program.out << stderrText();
  EXPECT_EQ(program.out, "");
}

TEST_F(BundleToolTest, EmbedThenExtractGivesTheBundleBack) {
  const std::string program = copyOfProgram();
  ::chmod(program.c_str(), 0751);
  const std::string bundle = "{\"RES_APP\": {\"ELECTION_ID\": \"\xc3\xb5\xc3\xa4\xc3\xb6\xc3\xbc\"}}\n  ";
  writeAll(dir_ + "/small.json", bundle);
  ASSERT_EQ(run(tool("embed '" + dir_ + "/small.json' '" + program + "'")).status, 0) << stderrText();
  const Outcome extracted = run(tool("extract '" + program + "'"));
  EXPECT_EQ(extracted.status, 0);
  EXPECT_EQ(extracted.out, bundle);
  struct stat st {};
  ASSERT_EQ(::stat(program.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0751u);

  // The demo bundle, embedded again, reads back byte for byte and passes.
  ASSERT_EQ(run(tool("embed '" + demo_ + "' '" + program + "'")).status, 0);
  EXPECT_EQ(run(tool("extract '" + program + "'")).out, readAll(demo_));
  EXPECT_EQ(run(tool("check '" + program + "'")).status, 0);
  // Through a symbolic link the program itself is rewritten and the link kept.
  ASSERT_EQ(::symlink(program.c_str(), (dir_ + "/link").c_str()), 0);
  ASSERT_EQ(run(tool("embed '" + dir_ + "/small.json' '" + dir_ + "/link'")).status, 0);
  EXPECT_EQ(run(tool("extract '" + program + "'")).out, bundle);
  struct stat link {};
  ASSERT_EQ(::lstat((dir_ + "/link").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  // No temporary file is left beside the program.
  EXPECT_EQ(run("ls '" + dir_ + "' | grep -c bundle-").out, "0\n");
}

TEST_F(BundleToolTest, ProgramWithBrokenBundleExitsZero) {
  const std::string program = copyOfProgram();
  writeAll(dir_ + "/broken.json", "{\"RES_APP\": []}");
  ASSERT_EQ(run(tool("embed '" + dir_ + "/broken.json' '" + program + "'")).status, 0);
  const Outcome check = run(tool("check '" + program + "'"));
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, "Rakenduse tööks vajalikud ressursid on seadistamata (1).\n");
  // Arguments are ignored; without a display the failure page cannot open, and still 0.
  EXPECT_EQ(run("DISPLAY= '" + program + "' --any argument </dev/null >/dev/null 2>&1").status, 0);
}

TEST_F(BundleToolTest, ProgramReadsTheBytesOfItsFile) {
  const std::string probe = dir_ + "/probe";
  ASSERT_EQ(run("cp -p '" + env("SV_BUILD_DIR") + "/bin/embedded-bundle-probe' '" + probe + "'").status, 0);
  EXPECT_EQ(run("'" + probe + "'").out, "Rakenduse tööks vajalikud ressursid on seadistamata (5).\n");
  ASSERT_EQ(run(tool("embed '" + demo_ + "' '" + probe + "'")).status, 0) << stderrText();
  const Outcome loaded = run("'" + probe + "'");
  EXPECT_EQ(loaded.status, 0);
  EXPECT_EQ(loaded.out, "loaded\nDEMO2026\n");
  writeAll(dir_ + "/broken.json", "{\"RES_APP\": {\"HAVE_MOBID\": 1}}");
  ASSERT_EQ(run(tool("embed '" + dir_ + "/broken.json' '" + probe + "'")).status, 0);
  const Outcome broken = run("'" + probe + "'");
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.out, "Vigaste andmetega ressurss RES_APP_HAVE_MOBID.\n");
}

TEST_F(BundleToolTest, RefusesWhatDoesNotFit) {
  const std::string program = copyOfProgram();
  const std::string before = readAll(program);
  const struct {
    const char* name;
    std::string bundle;
  } cases[] = {
      {"larger than the region", "{" + std::string(kBundleRegionSize, ' ') + "}"},
      {"holds a zero byte", std::string("{}\0{}", 5)},
  };
  for (const auto& c : cases) {
    writeAll(dir_ + "/big.json", c.bundle);
    const Outcome result = run(tool("embed '" + dir_ + "/big.json' '" + program + "'"));
    EXPECT_NE(result.status, 0) << c.name;
    EXPECT_NE(stderrText().find("cannot embed"), std::string::npos) << c.name;
    EXPECT_TRUE(readAll(program) == before) << c.name;
  }
  // A bundle of exactly the region's size fits.
  writeAll(dir_ + "/exact.json", "{" + std::string(kBundleRegionSize - 2, ' ') + "}");
  EXPECT_EQ(run(tool("embed '" + dir_ + "/exact.json' '" + program + "'")).status, 0) << stderrText();
}

TEST_F(BundleToolTest, RefusesFilesWithoutExactlyOneRegion) {
  const std::string marker(reinterpret_cast<const char*>(kBundleMarker.data()), kBundleMarker.size());
  const std::string region = marker + std::string(kBundleRegionSize, '\0') + marker;
  const struct {
    const char* name;
    std::string image;
    bool ok;
  } cases[] = {
      {"no markers", "\x7f" "ELF not really a program", false},
      {"markers too close", "\x7f" "ELF" + marker + "abc" + marker, false},
      {"one region", "\x7f" "ELF" + region + "tail", true},
      {"two regions", "\x7f" "ELF" + region + region, false},
  };
  writeAll(dir_ + "/b.json", "{}");
  for (const auto& c : cases) {
    writeAll(dir_ + "/image", c.image);
    const Outcome result = run(tool("embed '" + dir_ + "/b.json' '" + dir_ + "/image'"));
    EXPECT_EQ(result.status == 0, c.ok) << c.name;
    if (!c.ok) {
      EXPECT_TRUE(readAll(dir_ + "/image") == c.image) << c.name;
      EXPECT_NE(run(tool("extract '" + dir_ + "/image'")).status, 0) << c.name;
      EXPECT_NE(run(tool("check '" + dir_ + "/image'")).status, 0) << c.name;
    } else {
      EXPECT_EQ(run(tool("extract '" + dir_ + "/image'")).out, "{}") << c.name;
      EXPECT_EQ(readAll(dir_ + "/image").size(), c.image.size()) << c.name;
    }
  }
}

TEST_F(BundleToolTest, ScrambleAndUnscrambleFiles) {
  const std::string plain = readAll(demo_) + "\x80\xff";
  writeAll(dir_ + "/plain", plain);
  ASSERT_EQ(run(tool("scramble '" + dir_ + "/plain' '" + dir_ + "/scrambled'")).status, 0);
  const std::string scrambled = readAll(dir_ + "/scrambled");
  EXPECT_EQ(scrambled.size(), plain.size());
  EXPECT_NE(scrambled, plain);
  ASSERT_EQ(run(tool("unscramble '" + dir_ + "/scrambled' '" + dir_ + "/back'")).status, 0);
  EXPECT_TRUE(readAll(dir_ + "/back") == plain);
  EXPECT_NE(run(tool("scramble '" + dir_ + "/missing' '" + dir_ + "/out'")).status, 0);
}

TEST_F(BundleToolTest, CatalogueListsEveryEntry) {
  const Outcome result = run(tool("catalogue"));
  EXPECT_EQ(result.status, 0);
  std::istringstream lines(result.out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) ++count;
  EXPECT_EQ(count, 180);
  EXPECT_NE(result.out.find("22\tRES_UI\tFONT_NAME\t1\t0\tno\n"), std::string::npos);
  EXPECT_NE(result.out.find("82\tRES_ROADMAP\tFONT_NAME\t1\t0\tno\n"), std::string::npos);
  EXPECT_NE(result.out.find("18\tRES_DATA\tIMG_IDCARD\t6\t0\tyes\n"), std::string::npos);
  EXPECT_NE(result.out.find("98\tRES_ERROR\tMASK\t1\t3\tno\n"), std::string::npos);
}

TEST_F(BundleToolTest, UsageErrors) {
  EXPECT_EQ(run(tool("")).status, 2);
  EXPECT_EQ(run(tool("frobnicate")).status, 2);
  EXPECT_EQ(run(tool("embed onlyone")).status, 2);
  EXPECT_EQ(run(tool("check")).status, 2);
}

}  // namespace
}  // namespace sorvimend
