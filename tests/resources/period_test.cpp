#include "resources/period.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "resources/resource_access.h"

namespace sorvimend {
namespace {

// Europe/Tallinn: standard time UTC+2, summer time UTC+3. The checks use standard time, so in
// summer the boundary lies an hour before local wall-clock midnight.
class PeriodTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TZ");
    hadTz_ = old != nullptr;
    if (hadTz_) oldTz_ = old;
    setenv("TZ", "Europe/Tallinn", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_) {
      setenv("TZ", oldTz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    setResourceClock({});
  }

 private:
  bool hadTz_ = false;
  std::string oldTz_;
};

// Seconds since the epoch of a UTC date and time (timegm is independent of TZ).
std::time_t utc(int year, int month, int day, int hour = 0) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  return timegm(&t);
}

TEST_F(PeriodTest, BoundsOfTheText) {
  const PeriodBounds good = periodBounds("2026-01-01 - 2027-12-31");
  EXPECT_TRUE(good.matched);
  EXPECT_EQ(good.start, "2026-01-01");
  EXPECT_EQ(good.end, "2027-12-31");
  EXPECT_FALSE(periodBounds("2026-01-01 - 2027-12-3").matched);
  EXPECT_FALSE(periodBounds("x2026-01-01 - 2027-12-31").matched);
  EXPECT_FALSE(periodBounds("").matched);
  // The form matches; the dates are read later.
  EXPECT_TRUE(periodBounds("2026-99-01 - 2027-12-31").matched);
}

TEST_F(PeriodTest, PointsAreLocalStandardMidnight) {
  const auto winter = periodPoints("2026-01-10 - 2026-07-10");
  ASSERT_TRUE(winter.has_value());
  EXPECT_EQ(winter->start, utc(2026, 1, 9, 22));  // 00:00 at UTC+2
  // Summer: standard time still UTC+2, so 22:00 UTC the day before (01:00 summer time).
  EXPECT_EQ(winter->end, utc(2026, 7, 9, 22));
  const auto carried = periodPoints("2026-02-30 - 2026-03-05");
  ASSERT_TRUE(carried.has_value());
  EXPECT_EQ(carried->start, utc(2026, 3, 1, 22));  // 2 March
}

TEST_F(PeriodTest, ClockChecksAtTheBoundaries) {
  const char* period = "2026-01-10 - 2026-07-10";
  const std::time_t start = utc(2026, 1, 9, 22);
  const std::time_t end = utc(2026, 7, 9, 22);
  const struct {
    std::time_t now;
    bool before;
    bool after;
  } cases[] = {
      {start - 1, true, false}, {start, false, false}, {start + 1, false, false},
      {end - 1, false, false},  {end, false, false},   {end + 1, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(clockBeforePeriod(period, c.now), c.before) << c.now;
    EXPECT_EQ(clockAfterPeriod(period, c.now), c.after) << c.now;
  }
}

TEST_F(PeriodTest, InjectedClockIsUsed) {
  const char* period = "2026-01-10 - 2026-07-10";
  setResourceClock([] { return utc(2026, 1, 9, 21); });
  EXPECT_TRUE(clockBeforePeriod(period));
  EXPECT_FALSE(clockAfterPeriod(period));
  setResourceClock([] { return utc(2026, 7, 9, 23); });
  EXPECT_FALSE(clockBeforePeriod(period));
  EXPECT_TRUE(clockAfterPeriod(period));
  setResourceClock({});
  EXPECT_GT(resourceClockNow(), utc(2026, 1, 1));
}

TEST_F(PeriodTest, UnreadablePeriodCountsAsOutside) {
  for (const char* period : {"", "2026-13-01 - 2027-01-01", "2027-01-01 - 2026-01-01"}) {
    EXPECT_TRUE(clockBeforePeriod(period, utc(2026, 6, 1))) << period;
    EXPECT_TRUE(clockAfterPeriod(period, utc(2026, 6, 1))) << period;
  }
}

}  // namespace
}  // namespace sorvimend
