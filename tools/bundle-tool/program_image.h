#pragma once
// Files as the commands read and write them, and the bundle region inside a built program.

#include <cstddef>
#include <optional>
#include <string>

#include "util/bytes.h"

namespace sorvimend::bundletool {

// The whole file, or nothing (with a message on standard error).
[[nodiscard]] std::optional<Bytes> readFile(const std::string& path);

// Writes a temporary file in the same folder and renames it over path, so that path holds either
// the old or the new content, never a part. An existing file keeps its mode bits. False (with a
// message) on failure, leaving path untouched.
[[nodiscard]] bool replaceFile(const std::string& path, const Bytes& content);

// Where the N bundle bytes of a program start: just after an opening marker that is followed,
// N bytes later, by a closing marker. Nothing when there is no such place or more than one; the
// message says which.
[[nodiscard]] std::optional<std::size_t> findBundleRegion(const Bytes& image, std::string* message);

// The N-byte region content for a bundle: the text padded with zero bytes, then scrambled.
// Nothing (with a message) when the text does not fit or holds a zero byte of its own.
[[nodiscard]] std::optional<Bytes> regionFor(const Bytes& bundleText, std::string* message);

// The bundle text back from the region: unscrambled, up to the first zero byte.
[[nodiscard]] Bytes bundleFromRegion(std::string_view region);

}  // namespace sorvimend::bundletool
