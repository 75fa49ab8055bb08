#include "startup/activity_log.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "platform/forwarding_platform.h"

namespace qano {
namespace {

class ActivityLogTest : public ::testing::Test {
 protected:
  ActivityLogTest() : log(platform) {
    platform.add_folder("C:\\super\\bkp");
    platform.set_today(Date{2026, 12, 7});
    platform.set_time(TimeOfDay{12, 21, 27});
  }
  FakePlatform platform;
  ActivityLog log;
  SessionSettings settings;
};

TEST_F(ActivityLogTest, WritesEveryRecordExactly) {
  log.open(settings);
  EXPECT_EQ(settings.file_log, "C:\\super\\bkp\\logqanocontrol_07122026.txt");
  log.stamped(ActivityLog::kProgramStarted);
  log.database_opened("C:\\super\\dati.mdb");
  log.plain(ActivityLog::kDataDatabaseFound);
  log.plain(ActivityLog::kUserSettingsRead);
  log.stamped(ActivityLog::kChecksComplete);
  log.plain(ActivityLog::kCompanyMissing);
  log.plain(ActivityLog::kDataDatabaseMissing);
  EXPECT_EQ(platform.bytes(settings.file_log),
            "07/12/2026-12:21:27- Avvio programma\r\n"
            "07/12/2026-12:21:27- Apro DB  C:\\super\\dati.mdb\r\n"
            "DB OK  \r\n"
            "CONTROLLO DB SUPER OK\r\n"
            "07/12/2026-12:21:27- Controllo  DB  OK\r\n"
            "ERRORE : SOCIETA CON CODICE 1 NON ESISTE \r\n"
            "ERRORE : DB NON ESISTE \r\n");
  EXPECT_EQ(platform.open_numbers(), std::vector<int>{2});  // no close of its own
}

// A workstation whose short date is month first, without leading zeros.
class MonthFirst : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;
  std::string short_date(const Date& d) override {
    return std::to_string(d.month) + "/" + std::to_string(d.day) + "/" + std::to_string(d.year);
  }
};

TEST_F(ActivityLogTest, TheNameIsDayMonthYearWhateverTheShortDate) {
  platform.set_today(Date{2026, 12, 9});
  MonthFirst month_first(platform);
  ActivityLog us_log(month_first);
  us_log.open(settings);
  EXPECT_EQ(settings.file_log, "C:\\super\\bkp\\logqanocontrol_09122026.txt");
  us_log.stamped(ActivityLog::kProgramStarted);
  EXPECT_EQ(platform.bytes(settings.file_log), "12/9/2026-12:21:27- Avvio programma\r\n");
}

TEST_F(ActivityLogTest, APathWithLineBreaksStaysOneRecord) {
  log.open(settings);
  log.database_opened("C:\\super\r\n07/12/2026-12:21:27- Controllo  DB  OK\tx.mdb");
  EXPECT_EQ(
      platform.bytes(settings.file_log),
      "07/12/2026-12:21:27- Apro DB  C:\\super??07/12/2026-12:21:27- Controllo  DB  OK?x.mdb\r\n");
}

TEST_F(ActivityLogTest, SameDayAppendsNewDayMakesANewFile) {
  log.open(settings);
  log.stamped(ActivityLog::kProgramStarted);
  platform.close_all();

  platform.set_time(TimeOfDay{18, 0, 1});
  SessionSettings second;
  log.open(second);
  log.stamped(ActivityLog::kProgramStarted);
  platform.close_all();
  EXPECT_EQ(second.file_log, settings.file_log);
  EXPECT_EQ(platform.bytes(settings.file_log),
            "07/12/2026-12:21:27- Avvio programma\r\n07/12/2026-18:00:01- Avvio programma\r\n");

  platform.set_today(Date{2026, 12, 8});
  SessionSettings third;
  log.open(third);
  log.stamped(ActivityLog::kProgramStarted);
  EXPECT_EQ(third.file_log, "C:\\super\\bkp\\logqanocontrol_08122026.txt");
  EXPECT_EQ(platform.bytes(third.file_log), "08/12/2026-18:00:01- Avvio programma\r\n");
  EXPECT_EQ(platform.bytes(settings.file_log).size(), 76u);  // yesterday's file untouched
}

TEST_F(ActivityLogTest, HiddenLogOfTheSameDayIsAppendedNotTruncated) {
  platform.add_file("C:\\super\\bkp\\logqanocontrol_07122026.txt", "earlier\r\n",
                    FakeAttributes{.hidden = true});
  log.open(settings);
  log.plain("later");
  EXPECT_EQ(platform.bytes(settings.file_log), "earlier\r\nlater\r\n");
}

TEST(ActivityLogFolder, MissingFolderIsFailure76AndCreatesNothing) {
  FakePlatform platform;
  ActivityLog log(platform);
  SessionSettings settings;
  try {
    log.open(settings);
    FAIL() << "opened a log in a missing folder";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 76);
  }
  EXPECT_FALSE(platform.exists(settings.file_log));
  EXPECT_TRUE(platform.dir_all("C:\\super\\*").empty());
  EXPECT_TRUE(platform.open_numbers().empty());
}

TEST(OneChar, KeepsTheFirstCharacterEmptyBecomesBlankNulBefore) {
  OneChar c;
  EXPECT_EQ(c.str(), std::string(1, '\0'));
  struct Case {
    std::string assigned;
    std::string kept;
  };
  const Case cases[] = {{"ab", "a"}, {"", " "},     {"x", "x"},
                        {"èz", "è"}, {"€uro", "€"}, {" y", " "}};
  for (const Case& k : cases) {
    c = k.assigned;
    EXPECT_EQ(c.str(), k.kept) << k.assigned;
  }
}

TEST(SessionSettings, InitialValues) {
  SessionSettings s;
  EXPECT_EQ(s.lettera_drive.str(), std::string(1, '\0'));
  EXPECT_EQ(s.utenti_artico.str(), std::string(1, '\0'));
  EXPECT_EQ(s.utenti_chiusura.str(), std::string(1, '\0'));
  EXPECT_EQ(s.utenti_nrpos, 0);
  EXPECT_EQ(s.utenti_fid_rep, 0);
  EXPECT_EQ(s.pv_codice, 0);
  EXPECT_EQ(s.utenti_flag_cf, kFalse);
  EXPECT_EQ(s.anno, 0);
  EXPECT_EQ(s.codice_societa, 0);
  EXPECT_TRUE(s.file_log.empty() && s.db_dati.empty() && s.db_vendite.empty());
  static_assert(sizeof(s.utenti_flag_cf) == 2 && kTrue == -1);
  static_assert(sizeof(s.utenti_fid_rep) == 2 && sizeof(s.utenti_nrpos) == 4);
}

}  // namespace
}  // namespace qano
