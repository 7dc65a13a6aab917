#pragma once
// The in-memory bundle document that the accessors read, and the loader's steps that tools and
// tests use directly. The loading functions themselves are declared in resource_access.h.

#include <string_view>

#include <rapidjson/document.h>

#include "util/error_info.h"

namespace sorvimend {

// The process-wide document: an empty object until a load succeeds, and after any failure.
[[nodiscard]] const rapidjson::Document& bundleDocument();

// Unscrambles the N stored bytes and loads them as loadBundle() does (the bundle tool's check of
// a built program goes through here).
[[nodiscard]] ErrorPtr loadScrambledBundle(std::string_view scrambled);

}  // namespace sorvimend
