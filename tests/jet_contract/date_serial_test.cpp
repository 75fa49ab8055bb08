// The date serial of the Jet seam, both ways, which the engines, the start-up and the tools share.
#include <gtest/gtest.h>

#include "platform/jet.h"

namespace qano {
namespace {

TEST(DateSerial, CountsDaysFrom30December1899AndTheTimeAwayFromZeroBeforeIt) {
  struct Case {
    JetDateTime when;
    double serial;
  };
  const Case cases[] = {
      {{1899, 12, 30}, 0.0},
      {{1899, 12, 29, 6, 0, 0}, -1.25},
      {{1900, 3, 1}, 61.0},  // 1900 is no leap year
      {{1970, 1, 1}, 25569.0},
      {{2024, 2, 29, 18, 0, 0}, 45351.75},
      {{9999, 12, 31}, 2958465.0},
      {{100, 1, 1}, -657434.0},
      {{1899, 12, 30, 0, 0, 0, 500000000}, 0.5 / 86400.0},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(jet_date_time_valid(c.when)) << c.serial;
    EXPECT_EQ(jet_date_serial(c.when), c.serial) << c.when.year << "-" << c.when.month;
  }
  for (JetDateTime bad :
       {JetDateTime{99, 12, 31}, JetDateTime{10000, 1, 1}, JetDateTime{1900, 2, 29},
        JetDateTime{2024, 4, 31}, JetDateTime{2024, 13, 1}, JetDateTime{2024, 1, 1, 24, 0, 0},
        JetDateTime{2024, 1, 1, 0, 60, 0}, JetDateTime{2024, 1, 1, 0, 0, 0, 1000000000}}) {
    EXPECT_FALSE(jet_date_time_valid(bad)) << bad.year << "-" << bad.month << "-" << bad.day;
  }
}

TEST(DateSerial, EveryDayOfJetsRangeComesBackAsItsDate) {
  for (std::int64_t day = jet_day_number(100, 1, 1); day <= jet_day_number(9999, 12, 31); ++day) {
    const JetDateTime date = jet_calendar_day(day);
    ASSERT_TRUE(jet_date_time_valid(date)) << day;
    ASSERT_EQ(jet_day_number(date.year, date.month, date.day), day);
  }
}

}  // namespace
}  // namespace qano
