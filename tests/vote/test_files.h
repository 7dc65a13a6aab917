#pragma once
// Small file and process helpers for the vote tests, which check our bytes with outside tools.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace sorvimend::testing {

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh empty folder under the build folder (or /tmp), removed by the destructor.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name) {
    const char* build = std::getenv("SV_BUILD_DIR");
    std::filesystem::path base = build ? std::filesystem::path(build) / "scratch" : std::filesystem::temp_directory_path();
    path_ = base / (name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The test PKI in the build folder, made on first use (tests/pki/make-pki.sh is idempotent).
// Empty when it cannot be made.
inline std::filesystem::path testPkiDir() {
  const char* source = std::getenv("SV_SOURCE_DIR");
  const char* build = std::getenv("SV_BUILD_DIR");
  if (!source || !build) return {};
  const std::filesystem::path out = std::filesystem::path(build) / "pki";
  const std::string command =
      "bash '" + std::string(source) + "/tests/pki/make-pki.sh' '" + out.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  return out;
}

struct CommandResult {
  int status = -1;
  std::string output;  // standard output, with standard error unless kept apart
};

inline CommandResult run(const std::string& command, bool withStandardError = true) {
  CommandResult result;
  FILE* pipe = ::popen((withStandardError ? command + " 2>&1" : command).c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::uint32_t readU32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at))) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + 1))) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + 2))) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + 3))) << 24;
}

inline std::uint16_t readU16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                    static_cast<unsigned char>(bytes.at(at + 1)) << 8);
}

}  // namespace sorvimend::testing
