#pragma once
// Typed reads of the loaded bundle by ResourceId. They assume a successful load and never fail:
// an absent optional resource, a bundle not loaded, or a type an accessor does not serve reads as
// the empty value. Every result is a copy.

#include <cstdint>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "resources/resource_id.h"
#include "util/bytes.h"
#include "util/error_info.h"

namespace sorvimend {

// Loading (resources/resource_bundle.cpp). registerCatalogue() (resource_catalogue.h) first.
// Every failure is an ErrorInfo of class INTERNAL, detail 0, carrying the loader's message; after
// a failure the document is empty.
[[nodiscard]] ErrorPtr loadBundle();                           // the bytes embedded in the program
[[nodiscard]] ErrorPtr loadBundleText(std::string_view json);  // the same checks on plain JSON
void resetBundle();                                            // back to an empty document

// True when the bundle has the entry's group and the group has the entry's key.
[[nodiscard]] bool resourcePresent(ResourceId id);
// The string up to its first zero character; for the key and image types the Base64-decoded
// bytes; empty for null, absent or non-string values.
[[nodiscard]] Bytes resourceText(ResourceId id);
// resourceText when present, else empty (the optional images).
[[nodiscard]] Bytes resourceTextOrEmpty(ResourceId id);
// The number as a signed 32-bit integer (fractions truncated, out-of-range values saturated).
[[nodiscard]] std::int32_t resourceInteger(ResourceId id);
// The number as an FLTK colour: 0xRRGGBB00 direct, below 256 an index into the colour map.
[[nodiscard]] std::uint32_t resourceColour(ResourceId id);
// True exactly when the value is JSON true.
[[nodiscard]] bool resourceBoolean(ResourceId id);
// Text lists and certificate lists in array order; empty for null and for other types.
[[nodiscard]] std::vector<std::string> resourceTextList(ResourceId id);
// Question identifier -> question text, ordered by identifier; empty for other types.
[[nodiscard]] std::map<std::string, std::string> resourceQuestions(ResourceId id);

// Replaces every occurrence of placeholder in text, left to right; text inserted by this call is
// never searched again. An empty placeholder or text changes nothing.
void replaceAll(std::string& text, std::string_view placeholder, std::string_view replacement);
// Fills "%1%", "%2%", ... in ascending order, each pass over the whole current text, so "%2%"
// inside the value for "%1%" is filled by the second pass but "%1%" inside the value for "%2%"
// stays. No escaping.
[[nodiscard]] std::string fillMask(std::string mask, std::initializer_list<std::string_view> values);

// The validity period "YYYY-MM-DD - YYYY-MM-DD" (resources/period.cpp).
struct PeriodBounds {
  bool matched = false;  // the text had the form; the dates themselves may still be unreadable
  std::string start;
  std::string end;
};
[[nodiscard]] PeriodBounds periodBounds(std::string_view period);
// Each date is local midnight, standard time (mktime with tm_isdst = 0), at the start of the day.
// Out-of-month days carry into the next month. An unreadable period counts as outside: both
// checks are then true.
[[nodiscard]] bool clockBeforePeriod(std::string_view period, std::time_t now);
[[nodiscard]] bool clockAfterPeriod(std::string_view period, std::time_t now);
[[nodiscard]] bool clockBeforePeriod(std::string_view period);  // now from the resource clock
[[nodiscard]] bool clockAfterPeriod(std::string_view period);
// The clock of the two checks above: time(nullptr) unless a test sets another (an empty
// function restores it).
void setResourceClock(std::function<std::time_t()> clock);
[[nodiscard]] std::time_t resourceClockNow();

}  // namespace sorvimend
