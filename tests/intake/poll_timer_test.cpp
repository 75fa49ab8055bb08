// Timer2_Timer's schedule: two warm-up ticks, then an intake on every second tick.
#include "intake/poll_timer.h"

#include <gtest/gtest.h>

#include "tests/intake/shop.h"

namespace qano {
namespace {

TEST(PollTimer, IntakeOnTicksThreeFiveSevenNine) {
  struct Row {
    int tick;
    Integer before;
    bool intake;
    Integer after;
  };
  const Row rows[] = {
      {1, 0, false, 1}, {2, 1, false, 2}, {3, 2, true, 1},  {4, 1, false, 2}, {5, 2, true, 1},
      {6, 1, false, 2}, {7, 2, true, 1},  {8, 1, false, 2}, {9, 2, true, 1},
  };
  Integer conta_tick = 0;
  for (const Row& row : rows) {
    ASSERT_EQ(conta_tick, row.before) << "tick " << row.tick;
    int intakes = 0;
    Integer seen_inside = -1;
    poll_tick(conta_tick, [&] {
      ++intakes;
      seen_inside = conta_tick;
    });
    EXPECT_EQ(intakes, row.intake ? 1 : 0) << "tick " << row.tick;
    if (row.intake) {
      EXPECT_EQ(seen_inside, 2) << "reset only after the intake returned";
    }
    EXPECT_EQ(conta_tick, row.after) << "tick " << row.tick;
  }
}

TEST(PollTimer, AnIntakeThatFindsNothingStillCounts) {
  testing::Shop shop;
  Integer conta_tick = 0;
  std::vector<int> looked, started;
  for (int tick = 1; tick <= 9; ++tick) {
    if (tick == 4) shop.add_archive("acq_0001.zip");  // arrives between two intakes
    shop.platform.clear_journal();
    std::size_t starts = shop.platform.starts().size();
    poll_tick(conta_tick, [&] { shop.intake_once(); });
    if (!shop.platform.journal().empty()) looked.push_back(tick);
    if (shop.platform.starts().size() > starts) started.push_back(tick);
  }
  EXPECT_EQ(looked, (std::vector<int>{3, 5, 7, 9}));
  // Taken at the first intake after it arrived. The script ended without removing it: it is
  // never taken again as it is, or it would be filed twice.
  EXPECT_EQ(started, (std::vector<int>{5}));
}

TEST(PollTimer, AFailureInsideTheIntakeLeavesTheCountAtTwo) {
  testing::Shop shop;
  shop.add_archive("acq_1.zip");
  shop.add_companion();
  int fail_at_shell = 1;  // the first start fails
  shop.platform.before_call = [&](const std::string& call, const std::string& argument) {
    if (call == "shell" && argument.rfind("C:\\super", 0) == 0 && fail_at_shell-- > 0) {
      fail(failure::kFileNotFound,
           "File not found: cannot start 'C:\\super\\qanodivulgazioni.exe'");
    }
  };
  Integer conta_tick = 2;
  try {
    poll_tick(conta_tick, [&] { shop.intake_once(); });
    ADD_FAILURE() << "the failure was swallowed";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 53);
  }
  EXPECT_EQ(conta_tick, 2);
  // The next tick runs the intake again at once (and takes the next archive: the first one is
  // not taken twice).
  shop.add_archive("acq_2.zip");
  std::size_t starts = shop.platform.starts().size();
  poll_tick(conta_tick, [&] { shop.intake_once(); });
  EXPECT_EQ(conta_tick, 1);
  EXPECT_GT(shop.platform.starts().size(), starts);
}

}  // namespace
}  // namespace qano
