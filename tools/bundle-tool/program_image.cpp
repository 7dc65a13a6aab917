#include "program_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "resources/bundle_storage.h"
#include "resources/scrambler.h"

namespace sorvimend::bundletool {

std::optional<Bytes> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bundle-tool: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    return std::nullopt;
  }
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) {
    std::fprintf(stderr, "bundle-tool: cannot read %s\n", path.c_str());
    return std::nullopt;
  }
  return content.str();
}

bool replaceFile(const std::string& givenPath, const Bytes& content) {
  // Through a symbolic link the file it names is replaced, and the link stays.
  std::string path = givenPath;
  if (char* resolved = ::realpath(givenPath.c_str(), nullptr)) {
    path = resolved;
    std::free(resolved);
  }
  struct stat old {};
  const bool existed = ::stat(path.c_str(), &old) == 0;
  std::vector<char> temp(path.begin(), path.end());
  const char suffix[] = ".bundle-XXXXXX";
  temp.insert(temp.end(), suffix, suffix + sizeof suffix);  // with the terminating zero
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    std::fprintf(stderr, "bundle-tool: cannot create a file beside %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = !existed || ::fchmod(fd, old.st_mode & 07777) == 0;
  std::size_t written = 0;
  while (ok && written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  const int savedErrno = errno;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temp.data(), path.c_str()) == 0) return true;
  std::fprintf(stderr, "bundle-tool: cannot write %s: %s\n", path.c_str(), std::strerror(ok ? errno : savedErrno));
  ::unlink(temp.data());
  return false;
}

std::optional<std::size_t> findBundleRegion(const Bytes& image, std::string* message) {
  const std::string_view marker(reinterpret_cast<const char*>(kBundleMarker.data()), kBundleMarker.size());
  const std::size_t span = marker.size() + kBundleRegionSize + marker.size();
  std::optional<std::size_t> found;
  int count = 0;
  const std::string_view view(image);
  for (std::size_t at = view.find(marker); at != std::string_view::npos && at + span <= view.size();
       at = view.find(marker, at + 1)) {
    if (view.substr(at + marker.size() + kBundleRegionSize, marker.size()) != marker) continue;
    ++count;
    found = at + marker.size();
  }
  if (count == 1) return found;
  if (message != nullptr) {
    *message = count == 0 ? "no bundle region (markers " + std::to_string(kBundleRegionSize) + " bytes apart) found"
                          : "the bundle region markers were found " + std::to_string(count) + " times";
  }
  return std::nullopt;
}

std::optional<Bytes> regionFor(const Bytes& bundleText, std::string* message) {
  if (bundleText.size() > kBundleRegionSize) {
    if (message != nullptr) {
      *message = "the bundle has " + std::to_string(bundleText.size()) + " bytes; the region holds " +
                 std::to_string(kBundleRegionSize);
    }
    return std::nullopt;
  }
  if (bundleText.find('\0') != Bytes::npos) {
    // The loader stops at the first zero byte: the rest would be lost without a word.
    if (message != nullptr) *message = "the bundle holds a zero byte";
    return std::nullopt;
  }
  Bytes padded = bundleText;
  padded.resize(kBundleRegionSize, '\0');
  return scrambleBytes(padded, ScrambleMode::Scramble);
}

Bytes bundleFromRegion(std::string_view region) {
  Bytes plain = scrambleBytes(region, ScrambleMode::Unscramble);
  const auto zero = plain.find('\0');
  if (zero != Bytes::npos) plain.resize(zero);
  return plain;
}

}  // namespace sorvimend::bundletool
