#include "resources/period.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource_access.h"
#include "util/regex.h"

namespace sorvimend {
namespace {

const Regex& periodPattern() {
  static const Regex pattern("^(\\d{4}-\\d{2}-\\d{2}) - (\\d{4}-\\d{2}-\\d{2})$");
  return pattern;
}

// Local midnight, standard time, at the start of the day; nothing when the date does not read.
std::optional<std::time_t> dayStart(const std::string& date) {
  std::tm broken;
  std::memset(&broken, 0, sizeof broken);
  const char* end = strptime(date.c_str(), "%Y-%m-%d", &broken);
  if (end == nullptr || *end != '\0') return std::nullopt;
  broken.tm_isdst = 0;
  const std::time_t point = std::mktime(&broken);
  if (point == static_cast<std::time_t>(-1)) return std::nullopt;
  return point;
}

std::function<std::time_t()>& clockFunction() {
  static std::function<std::time_t()> clock;
  return clock;
}

}  // namespace

PeriodBounds periodBounds(std::string_view period) {
  PeriodBounds bounds;
  std::vector<std::string> groups;
  if (periodPattern().fullMatch(period, &groups) && groups.size() == 2) {
    bounds.matched = true;
    bounds.start = std::move(groups[0]);
    bounds.end = std::move(groups[1]);
  }
  return bounds;
}

std::optional<PeriodPoints> periodPoints(std::string_view period) {
  const PeriodBounds bounds = periodBounds(period);
  if (!bounds.matched) return std::nullopt;
  const auto start = dayStart(bounds.start);
  const auto end = dayStart(bounds.end);
  if (!start || !end || !(*start < *end)) return std::nullopt;
  return PeriodPoints{*start, *end};
}

bool clockBeforePeriod(std::string_view period, std::time_t now) {
  const auto points = periodPoints(period);
  return !points || now < points->start;
}

bool clockAfterPeriod(std::string_view period, std::time_t now) {
  const auto points = periodPoints(period);
  return !points || now > points->end;
}

bool clockBeforePeriod(std::string_view period) { return clockBeforePeriod(period, resourceClockNow()); }

bool clockAfterPeriod(std::string_view period) { return clockAfterPeriod(period, resourceClockNow()); }

void setResourceClock(std::function<std::time_t()> clock) { clockFunction() = std::move(clock); }

std::time_t resourceClockNow() {
  const auto& clock = clockFunction();
  return clock ? clock() : std::time(nullptr);
}

}  // namespace sorvimend
