// The qanocheck command on damaged databases: the master database and the data database, each a
// small file made by the project's Jet 4 writer, cut short at every page boundary, and with
// random bytes (fixed seeds) written over the catalog page (page 2, MSysObjects). Every run must
// end with a clear failure (exit status 2, a number and a text on standard error) or with the
// result of the undamaged files; never with a signal, never hanging.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <string>

#include "tests/jet4/process.h"
#include "tools/dev/kit/shop_files.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using jet4::testing::ProcessResult;
using jet4::testing::run_process;
using testing::read_file;
using testing::ShopFiles;
using testing::TempPrefix;
using testing::WorkingDirectory;

constexpr std::size_t kPage = 4096;
// Far above what a run takes; the engine gives a single query 30 s before it calls a file
// damaged, and start-up runs six.
constexpr int kTimeLimitSeconds = 240;
constexpr int kTimedOut = 124;  // timeout(1)'s status when the limit passed

// Standard output without the stamps, which hold the time of day.
std::string without_stamps(const std::string& out) {
  static const std::regex stamp(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d)");
  return std::regex_replace(out, stamp, "<stamp>");
}

class DamagedDatabase : public ::testing::Test {
 protected:
  DamagedDatabase() { ShopFiles().write_into(prefix); }

  ProcessResult run() {
    WorkingDirectory here(prefix.c());
    return run_process({"timeout", "-k", "5", std::to_string(kTimeLimitSeconds), "env",
                        "WINEPREFIX=" + prefix.prefix(), "LC_ALL=C", QANOCHECK_PATH});
  }

  // Runs qanocheck with `bytes` as the file at `file` (under the prefix's root) and checks how
  // it ended; the intact file goes back afterwards. Returns the exit status.
  int run_with(const fs::path& file, const std::string& bytes, const std::string& what) {
    std::string intact = read_file(prefix.root() / file);
    prefix.write(file, bytes);
    ProcessResult r = run();
    prefix.write(file, intact);
    EXPECT_NE(r.exit_code, kTimedOut)
        << what << ": did not end within " << kTimeLimitSeconds << " s";
    EXPECT_LT(r.exit_code, 128) << what << ": ended by signal " << r.exit_code - 128;
    if (r.exit_code == 0) {
      EXPECT_EQ(without_stamps(r.out), intact_output)
          << what << ": a result, but not the right one";
      EXPECT_EQ(r.err, "") << what;
    } else {
      EXPECT_EQ(r.exit_code, 2) << what << ": " << r.out << r.err;
      static const std::regex clear(R"(^qanocheck: failure ([1-9][0-9]*): .+\n$)");
      std::smatch m;
      EXPECT_TRUE(std::regex_match(r.err, m, clear)) << what << ": " << r.err;
      last_number = m.empty() ? 0 : std::stoi(m[1].str());
    }
    return r.exit_code;
  }

  void SetUp() override {
    ProcessResult r = run();
    ASSERT_EQ(r.exit_code, 0) << r.err;
    intact_output = without_stamps(r.out);
  }

  TempPrefix prefix;
  std::string intact_output;
  int last_number = 0;  // the failure's number of the last run
};

const fs::path kMaster = "drive_c/team/super.mdb";
const fs::path kData = "drive_c/super/dati.mdb";

TEST_F(DamagedDatabase, CutShortAtEveryPageBoundaryIsAFailure) {
  for (const fs::path& file : {kMaster, kData}) {
    std::string bytes = read_file(prefix.root() / file);
    ASSERT_EQ(bytes.size() % kPage, 0u);
    ASSERT_GE(bytes.size() / kPage, 5u) << file << " is too small to tell anything";
    for (std::size_t pages = 0; pages < bytes.size() / kPage; ++pages) {
      std::string what = file.string() + " cut to " + std::to_string(pages) + " pages";
      EXPECT_EQ(run_with(file, bytes.substr(0, pages * kPage), what), 2) << what;
      EXPECT_EQ(last_number, 3343) << what << ": a damaged file, not a missing table or row";
    }
  }
}

TEST_F(DamagedDatabase, RandomBytesInTheCatalogPageEndInAFailureOrTheRightResult) {
  for (const fs::path& file : {kMaster, kData}) {
    const std::string intact = read_file(prefix.root() / file);
    int failures = 0;
    // The catalog's definition (its columns, their names, its page maps) fills page 2 from the
    // start; what follows it is unused.
    const std::size_t page = 2 * kPage;
    std::size_t used = kPage;
    while (used > 0 && intact[page + used - 1] == '\0') --used;
    ASSERT_GE(used, 256u) << file;
    for (unsigned seed = 1; seed <= 16; ++seed) {
      std::mt19937 random(seed * 2 + (file == kData ? 1 : 0));
      std::string bytes = intact;
      std::uniform_int_distribution<std::size_t> in_use(page, page + used - 1);
      std::uniform_int_distribution<int> byte(0, 255);
      if (seed % 3 == 0) {
        // A run of 64 random bytes.
        std::size_t at = std::min(in_use(random), page + used - 64);
        for (std::size_t i = 0; i < 64; ++i) bytes[at + i] = static_cast<char>(byte(random));
      } else {
        // A few scattered bytes.
        for (int n = 0; n < 8; ++n) bytes[in_use(random)] = static_cast<char>(byte(random));
      }
      std::string what = file.string() + " with seed " + std::to_string(seed);
      if (run_with(file, bytes, what) == 2) ++failures;
    }
    // Many of these damage what the queries need: the runs do reach the damage.
    EXPECT_GE(failures, 4) << file;
  }
}

}  // namespace
}  // namespace qano
