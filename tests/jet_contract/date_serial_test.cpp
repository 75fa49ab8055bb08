// The date serial of the Jet seam, both ways, which the engines, the start-up and the tools share.
#include <gtest/gtest.h>

#include <array>

#include "platform/jet/jet.h"

namespace qano {
namespace {

// year, month, day, hour, minute, second, nanosecond
using When = std::array<std::int64_t, 7>;

bool valid(const When& w) {
  return jet_date_time_valid(static_cast<int>(w[0]), static_cast<int>(w[1]), static_cast<int>(w[2]),
                             static_cast<int>(w[3]), static_cast<int>(w[4]), static_cast<int>(w[5]),
                             w[6]);
}

TEST(DateSerial, CountsDaysFrom30December1899AndTheTimeAwayFromZeroBeforeIt) {
  const std::pair<When, double> cases[] = {
      {{1899, 12, 30}, 0.0},
      {{1899, 12, 29, 6}, -1.25},
      {{1900, 3, 1}, 61.0},  // 1900 is no leap year
      {{1970, 1, 1}, 25569.0},
      {{2024, 2, 29, 18}, 45351.75},
      {{9999, 12, 31}, 2958465.0},
      {{100, 1, 1}, -657434.0},
      {{1899, 12, 30, 0, 0, 0, 500000000}, 0.5 / 86400.0},
  };
  for (const auto& [w, serial] : cases) {
    EXPECT_TRUE(valid(w)) << serial;
    EXPECT_EQ(jet_date_serial(static_cast<int>(w[0]), static_cast<int>(w[1]),
                              static_cast<int>(w[2]), static_cast<int>(w[3]),
                              static_cast<int>(w[4]), static_cast<int>(w[5]), w[6]),
              serial);
  }
  const When impossible[] = {
      {99, 12, 31},  {10000, 1, 1},    {1900, 2, 29},       {2024, 4, 31},
      {2024, 13, 1}, {2024, 1, 1, 24}, {2024, 1, 1, 0, 60}, {2024, 1, 1, 0, 0, 0, 1000000000}};
  for (const When& w : impossible) EXPECT_FALSE(valid(w)) << w[0] << "-" << w[1] << "-" << w[2];
}

TEST(DateSerial, EveryDayOfJetsRangeComesBackAsItsDate) {
  for (std::int64_t day = jet_day_number(100, 1, 1); day <= jet_day_number(9999, 12, 31); ++day) {
    const JetDay date = jet_calendar_day(day);
    ASSERT_TRUE(jet_date_time_valid(date.year, date.month, date.day)) << day;
    ASSERT_EQ(jet_day_number(date.year, date.month, date.day), day);
  }
}

}  // namespace
}  // namespace qano
