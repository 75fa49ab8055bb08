#include "startup/startup.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "platform/fake/fake_platform.h"
#include "tests/support/startup_queries.h"

namespace qano {
namespace {

using Row = std::vector<JetValue>;
using Table = FakePlatform::Table;

JetValue code(std::int64_t n) {
  return JetValue::integer(JetType::long_integer, n);
}
JetValue text(const std::string& s) {
  return JetValue::text(s);
}
JetValue null_text() {
  return JetValue::null(JetType::text);
}

const std::string kLogPath = "C:\\super\\bkp\\logqanocontrol_07122026.txt";
const std::string kStamp = "07/12/2026-12:21:27";
std::string stamped(const std::string& s) {
  return kStamp + s + "\r\n";
}
const std::string kStartLine = stamped("- Avvio programma");
const std::string kCompanyMissingLine = "ERRORE : SOCIETA CON CODICE 1 NON ESISTE \r\n";

// A shop as start-up finds it: the master database on c:, the data database it names, and the
// log folder. Each test changes what it needs.
struct Shop {
  std::string drive_text = "c:";
  bool log_folder = true;
  bool master = true;
  bool automa_table = true;
  std::vector<Row> company_rows{{code(1), text("C:\\super\\dati.mdb")}};
  std::vector<Row> inizio_rows{{code(1)}};
  // From this query on (counted from 1) the company table holds `later_company_rows`.
  int company_changes_at_query = 0;
  std::vector<Row> later_company_rows;
  std::string data_path = "C:\\super\\dati.mdb";
  std::vector<Row> automa_rows{{code(1), text("12")}};
  std::vector<std::pair<std::string, JetType>> utenti_columns{{"codutente", JetType::long_integer},
                                                              {"nrpos", JetType::long_integer},
                                                              {"artico", JetType::text},
                                                              {"chiusura", JetType::text},
                                                              {"fid_rep", JetType::text},
                                                              {"Flag_CF", JetType::text}};
  std::vector<Row> utenti_rows{{code(1), code(3), text("N"), text("S"), text("2"), text("S")}};
  std::vector<Row> pv_rows{{code(4), text("0")}, {code(7), text("1")}, {code(9), text("1")}};

  // The utenti row with one column replaced.
  Shop& utenti(std::size_t column, JetValue value, JetType type) {
    utenti_rows[0][column] = std::move(value);
    utenti_columns[column].second = type;
    return *this;
  }
};

Table master_table(std::vector<Row> rows) {
  return Table{
      "società", {{"codute", JetType::long_integer}, {"database", JetType::text}}, std::move(rows)};
}

// One start-up on a fresh fake platform.
struct StartupRun {
  explicit StartupRun(const Shop& shop, SessionSettings initial = {})
      : settings(std::move(initial)) {
    if (shop.log_folder) platform.add_folder("C:\\super\\bkp");
    platform.add_drive('d');
    Table inizio{"inizio", {{"codute", JetType::long_integer}}, shop.inizio_rows};
    if (shop.master)
      platform.add_database("C:\\team\\super.mdb", {master_table(shop.company_rows), inizio});
    if (!shop.data_path.empty()) {
      std::vector<Table> tables{
          Table{"utenti", shop.utenti_columns, shop.utenti_rows},
          Table{
              "pv", {{"codice", JetType::long_integer}, {"proprio", JetType::text}}, shop.pv_rows}};
      if (shop.automa_table) {
        tables.push_back(Table{"automa",
                               {{"codice", JetType::long_integer}, {"aaa", JetType::text}},
                               shop.automa_rows});
      }
      platform.add_database(shop.data_path, std::move(tables));
    }
    if (shop.company_changes_at_query > 0) {
      platform.before_call = [this, shop, inizio](const std::string& call, const std::string&) {
        if (call == "query" && ++queries_seen == shop.company_changes_at_query) {
          platform.add_database("C:\\team\\super.mdb",
                                {master_table(shop.later_company_rows), inizio});
        }
      };
    }
    try {
      end = start_up(platform, settings, window, var, shop.drive_text);
    } catch (const Failure& f) {
      failure = f;
    }
  }
  std::string log() const { return platform.bytes(kLogPath); }
  std::vector<std::string> sql_sent() const {
    std::vector<std::string> list;
    for (const auto& [database, sql] : platform.queries()) list.push_back(database + " | " + sql);
    return list;
  }

  FakePlatform platform;
  SessionSettings settings;
  StartupWindowFields window;
  RecordSourceGateway var{platform};
  std::optional<StartupEnd> end;
  std::optional<Failure> failure;
  int queries_seen = 0;
};

void expect_utenti_untouched(const SessionSettings& s) {
  EXPECT_EQ(s.utenti_nrpos, 0);
  EXPECT_EQ(s.utenti_artico, std::string(1, '\0'));
  EXPECT_EQ(s.utenti_chiusura, std::string(1, '\0'));
  EXPECT_EQ(s.utenti_fid_rep, 0);
  EXPECT_EQ(s.utenti_flag_cf, kFalse);
}
void expect_untouched_from_data_on(const StartupRun& r) {
  EXPECT_EQ(r.window.automa_aaa, "");
  expect_utenti_untouched(r.settings);
  EXPECT_EQ(r.settings.pv_codice, 0);
}
void expect_untouched_from_paths_on(const StartupRun& r) {
  EXPECT_EQ(r.window.cartella_dati, "");
  EXPECT_EQ(r.settings.db_dati, "");
  EXPECT_EQ(r.settings.db_vendite, "");
  EXPECT_EQ(r.settings.anno, 0);
  expect_untouched_from_data_on(r);
}

TEST(Startup, CompleteStartUp) {
  StartupRun r{Shop{}};
  EXPECT_EQ(r.end, StartupEnd::complete);
  EXPECT_EQ(r.log(), kStartLine + stamped("- Apro DB  C:\\super\\dati.mdb") +
                         stamped("- Apro DB  C:\\super\\vendite.mdb") +
                         stamped("- Apro DB  c:\\team\\super.mdb") +
                         "DB OK  \r\nCONTROLLO DB SUPER OK\r\n" + stamped("- Controllo  DB  OK"));
  const SessionSettings& s = r.settings;
  EXPECT_EQ(s.lettera_drive, "c");
  EXPECT_EQ(s.file_log, kLogPath);
  EXPECT_EQ(s.codice_societa, 1);
  EXPECT_EQ(s.anno, 2026);
  EXPECT_EQ(r.window.cartella_dati, "C:\\super\\");
  EXPECT_EQ(s.db_dati, "C:\\SUPER\\DATI.MDB");
  EXPECT_EQ(s.db_vendite, "C:\\super\\vendite.mdb");
  EXPECT_EQ(r.window.automa_aaa, "12");
  EXPECT_EQ(s.utenti_nrpos, 3);
  EXPECT_EQ(s.utenti_artico, "N");
  EXPECT_EQ(s.utenti_chiusura, "S");
  EXPECT_EQ(s.utenti_fid_rep, 2);
  EXPECT_EQ(s.utenti_flag_cf, kTrue);
  EXPECT_EQ(s.pv_codice, 7);  // the first row whose proprio is '1'

  // What holds after every completed start-up.
  ASSERT_FALSE(r.window.cartella_dati.empty());
  EXPECT_EQ(r.window.cartella_dati.back(), '\\');
  EXPECT_EQ(s.db_vendite, r.window.cartella_dati + "vendite.mdb");
  EXPECT_TRUE(r.platform.exists(s.db_dati));
  // The log stays open for the intake's close-all; the control stays on the last query.
  EXPECT_EQ(r.platform.open_numbers(), std::vector<int>{2});
  EXPECT_EQ(r.var.DatabaseName, "C:\\SUPER\\DATI.MDB");
  EXPECT_EQ(r.var.RecordSource, "select * from pv where proprio = '1' ");
  EXPECT_TRUE(r.platform.message_boxes().empty());
}

TEST(Startup, QueriesInOrderWithTheirExactTexts) {
  StartupRun r{Shop{}};
  EXPECT_EQ(r.sql_sent(), testing::kCompleteStartupQueries);
}

TEST(Startup, StepsInOrder) {
  StartupRun r{Shop{}};
  std::vector<std::string> steps;
  for (const std::string& call : r.platform.journal()) {
    if (call == "today" || call == "time_of_day") continue;
    steps.push_back(call.substr(0, call.find(" | ")));
  }
  const std::string w = "write_line 2 ";
  EXPECT_EQ(steps, (std::vector<std::string>{
                       "open_append 2 " + kLogPath,
                       w + kStamp + "- Avvio programma",
                       "dir c:\\team\\super.mdb",
                       "query c:\\team\\super.mdb",
                       w + kStamp + "- Apro DB  C:\\super\\dati.mdb",
                       w + kStamp + "- Apro DB  C:\\super\\vendite.mdb",
                       "query c:\\team\\super.mdb",
                       w + kStamp + "- Apro DB  c:\\team\\super.mdb",
                       "query c:\\team\\super.mdb",
                       "dir C:\\SUPER\\DATI.MDB",
                       w + "DB OK  ",
                       "query C:\\SUPER\\DATI.MDB",
                       "query C:\\SUPER\\DATI.MDB",
                       w + "CONTROLLO DB SUPER OK",
                       w + kStamp + "- Controllo  DB  OK",
                       "query C:\\SUPER\\DATI.MDB",
                   }));
}

TEST(Startup, MissingMasterDatabaseShowsAMessageAndLogsOnlyTheStart) {
  Shop shop;
  shop.master = false;
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::master_missing);
  EXPECT_EQ(r.platform.message_boxes(),
            std::vector<std::string>{"ERRORE : FILE c:\\team\\super.mdb NON ESISTE "});
  EXPECT_EQ(r.log(), kStartLine);
  EXPECT_TRUE(r.platform.queries().empty());
  EXPECT_EQ(r.settings.file_log, kLogPath);
  EXPECT_EQ(r.settings.codice_societa, 1);
  EXPECT_EQ(r.settings.lettera_drive, "c");
  expect_untouched_from_paths_on(r);
}

TEST(Startup, TheMasterIsLookedForOnTheDriveAsTheListGivesIt) {
  Shop shop;
  shop.drive_text = "D: [DATI]";
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::master_missing);
  EXPECT_EQ(r.settings.lettera_drive, "D");
  EXPECT_EQ(r.platform.message_boxes(),
            std::vector<std::string>{"ERRORE : FILE D:\\team\\super.mdb NON ESISTE "});
}

TEST(Startup, MissingCompanyRowAtTheFirstRead) {
  Shop shop;
  shop.company_rows = {{code(2), text("C:\\super\\dati.mdb")}};
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::company_missing);
  EXPECT_EQ(r.log(), kStartLine + kCompanyMissingLine);
  expect_untouched_from_paths_on(r);
  EXPECT_TRUE(r.platform.message_boxes().empty());
}

TEST(Startup, MissingInizioRow) {
  Shop shop;
  shop.inizio_rows = {{code(2)}};
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::inizio_missing);
  EXPECT_EQ(r.log(), kStartLine + stamped("- Apro DB  C:\\super\\dati.mdb") +
                         stamped("- Apro DB  C:\\super\\vendite.mdb") + kCompanyMissingLine);
  EXPECT_EQ(r.settings.anno, 2026);
  EXPECT_EQ(r.window.cartella_dati, "C:\\super\\");
  EXPECT_EQ(r.settings.db_dati, "C:\\super\\dati.mdb");  // as derived, not yet replaced
  expect_untouched_from_data_on(r);
}

TEST(Startup, MissingCompanyRowAtTheSecondRead) {
  Shop shop;
  shop.company_changes_at_query = 3;
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::company_missing);
  EXPECT_EQ(r.log(), kStartLine + stamped("- Apro DB  C:\\super\\dati.mdb") +
                         stamped("- Apro DB  C:\\super\\vendite.mdb") +
                         stamped("- Apro DB  c:\\team\\super.mdb") + kCompanyMissingLine);
  EXPECT_EQ(r.settings.anno, 2026);
  EXPECT_EQ(r.settings.db_dati, "C:\\super\\dati.mdb");
  expect_untouched_from_data_on(r);
}

TEST(Startup, MissingDataDatabase) {
  Shop shop;
  shop.company_rows = {{code(1), text("C:\\altro\\dati.mdb")}};
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::data_missing);
  EXPECT_EQ(r.log(), kStartLine + stamped("- Apro DB  C:\\altro\\dati.mdb") +
                         stamped("- Apro DB  C:\\altro\\vendite.mdb") +
                         stamped("- Apro DB  c:\\team\\super.mdb") + "ERRORE : DB NON ESISTE \r\n");
  EXPECT_EQ(r.settings.db_dati, "C:\\ALTRO\\DATI.MDB");
  EXPECT_EQ(r.settings.anno, 2026);
  expect_untouched_from_data_on(r);
}

// The company row names the data file; the data path is that name upper-cased, the folder and
// the sales database come from it as written, whatever the data file is called.
TEST(Startup, TheDataPathIsTheCompanyRowUpperCased) {
  const struct {
    const char* row;
    const char* folder;
    const char* data;
    const char* sales;
    const char* logged;  // the data database as the log names it, in the ANSI code page
    const char* never;   // the upper-cased path is logged nowhere
  } cases[] = {
      {"c:\\società\\Dati.mdb", "c:\\società\\", "C:\\SOCIETÀ\\DATI.MDB",
       "c:\\società\\vendite.mdb", "- Apro DB  c:\\societ\xe0\\dati.mdb\r\n", "SOCIET"},
      {"C:\\super\\archivio.mdb", "C:\\super\\", "C:\\SUPER\\ARCHIVIO.MDB",
       "C:\\super\\vendite.mdb", "- Apro DB  C:\\super\\dati.mdb\r\n", "SUPER\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    Shop shop;
    shop.company_rows = {{code(1), text(c.row)}};
    shop.data_path = c.data;
    StartupRun r{shop};
    EXPECT_EQ(r.end, StartupEnd::complete);
    EXPECT_EQ(r.window.cartella_dati, c.folder);
    EXPECT_EQ(r.settings.db_vendite, c.sales);
    EXPECT_EQ(r.settings.db_dati, c.data);
    EXPECT_EQ(r.platform.queries().back().first, c.data);
    EXPECT_NE(r.log().find(c.logged), std::string::npos);
    EXPECT_EQ(r.log().find(c.never), std::string::npos);
  }
}

// Blanks inside a folder's name and at its ends stay in the logged paths, every one of them;
// only those around the data file's name go.
TEST(Startup, APathWithBlanksIsLoggedExactlyAsDerived) {
  Shop shop;
  shop.company_rows = {{code(1), text("C:\\mio  negozio \\ archivi\\  Dati.mdb ")}};
  shop.data_path = "C:\\MIO  NEGOZIO \\ ARCHIVI\\  DATI.MDB ";
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::complete);
  EXPECT_EQ(r.log(), kStartLine + stamped("- Apro DB  C:\\mio  negozio \\ archivi\\dati.mdb") +
                         stamped("- Apro DB  C:\\mio  negozio \\ archivi\\vendite.mdb") +
                         stamped("- Apro DB  c:\\team\\super.mdb") +
                         "DB OK  \r\nCONTROLLO DB SUPER OK\r\n" + stamped("- Controllo  DB  OK"));
}

TEST(Startup, AnEmptyDatabaseTextTakesTheDefaultFolderAndFindsNoFile) {
  Shop shop;
  shop.company_rows = {{code(1), text("")}};
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::data_missing);
  EXPECT_EQ(r.window.cartella_dati, "c:\\super\\");
  EXPECT_EQ(r.settings.db_vendite, "c:\\super\\vendite.mdb");
  EXPECT_EQ(r.settings.db_dati, "");
}

TEST(Startup, NoUtentiRowStillLogsTheChecks) {
  Shop shop;
  shop.utenti_rows[0][0] = code(2);
  SessionSettings initial;
  initial.utenti_flag_cf = kTrue;  // only a found row resets it
  StartupRun r{shop, initial};
  EXPECT_EQ(r.end, StartupEnd::complete);
  EXPECT_NE(r.log().find("CONTROLLO DB SUPER OK\r\n" + stamped("- Controllo  DB  OK")),
            std::string::npos);
  EXPECT_EQ(r.settings.utenti_flag_cf, kTrue);
  EXPECT_EQ(r.settings.utenti_nrpos, 0);
  EXPECT_EQ(r.settings.utenti_fid_rep, 0);
  EXPECT_EQ(r.settings.utenti_artico, std::string(1, '\0'));
  EXPECT_EQ(r.settings.utenti_chiusura, std::string(1, '\0'));
  EXPECT_EQ(r.window.automa_aaa, "12");
  EXPECT_EQ(r.settings.pv_codice, 7);
}

TEST(Startup, NoOwnPointOfSaleLeavesTheCode) {
  Shop shop;
  shop.pv_rows = {{code(4), text("0")}, {code(5), text("2")}};
  StartupRun r{shop};
  EXPECT_EQ(r.end, StartupEnd::complete);
  EXPECT_EQ(r.settings.pv_codice, 0);
}

TEST(Startup, NoAutomaRowGivesZero) {
  Shop shop;
  shop.automa_rows = {};
  StartupRun r{shop};
  EXPECT_EQ(r.window.automa_aaa, "0");
}

TEST(Startup, NullsInTheDataColumnsLeaveTheirSettings) {
  Shop shop;
  shop.automa_rows = {{code(1), null_text()}};
  shop.utenti_rows = {{code(1), JetValue::null(JetType::long_integer), null_text(), null_text(),
                       null_text(), null_text()}};
  shop.pv_rows = {{JetValue::null(JetType::long_integer), text("1")}};
  SessionSettings initial;
  initial.utenti_nrpos = 5;
  initial.utenti_fid_rep = 6;
  initial.utenti_flag_cf = kTrue;
  initial.pv_codice = 8;
  StartupRun r{shop, initial};
  EXPECT_EQ(r.end, StartupEnd::complete);
  EXPECT_EQ(r.window.automa_aaa, "0");
  EXPECT_EQ(r.settings.utenti_nrpos, 5);
  EXPECT_EQ(r.settings.utenti_artico, std::string(1, '\0'));
  EXPECT_EQ(r.settings.utenti_chiusura, std::string(1, '\0'));
  EXPECT_EQ(r.settings.utenti_fid_rep, 6);
  EXPECT_EQ(r.settings.utenti_flag_cf, kFalse);  // reset by the row, Null is not "S"
  EXPECT_EQ(r.settings.pv_codice, 8);
}

TEST(Startup, ANullDatabaseIsInvalidUseOfNull) {
  Shop first;
  first.company_rows = {{code(1), null_text()}};
  StartupRun r1{first};
  ASSERT_TRUE(r1.failure);
  EXPECT_EQ(r1.failure->number(), 94);
  EXPECT_EQ(r1.failure->text(), "Invalid use of Null");
  EXPECT_EQ(r1.log(), kStartLine);
  EXPECT_EQ(r1.window.cartella_dati, "");

  Shop second;
  second.company_changes_at_query = 3;
  second.later_company_rows = {{code(1), null_text()}};
  StartupRun r2{second};
  ASSERT_TRUE(r2.failure);
  EXPECT_EQ(r2.failure->number(), 94);
  EXPECT_EQ(r2.log(), kStartLine + stamped("- Apro DB  C:\\super\\dati.mdb") +
                          stamped("- Apro DB  C:\\super\\vendite.mdb") +
                          stamped("- Apro DB  c:\\team\\super.mdb"));
  EXPECT_EQ(r2.settings.db_dati, "C:\\super\\dati.mdb");
}

TEST(Startup, OneCharacterColumns) {
  struct Case {
    JetValue value;
    JetType type;
    std::string kept;
  };
  const Case cases[] = {
      {text("AB"), JetType::text, "A"},
      {text(""), JetType::text, " "},
      {text("àb"), JetType::text, "à"},
      {code(42), JetType::long_integer, "4"},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.utenti(2, c.value, c.type).utenti(3, c.value, c.type);
    StartupRun r{shop};
    EXPECT_EQ(r.settings.utenti_artico, c.kept);
    EXPECT_EQ(r.settings.utenti_chiusura, c.kept);
  }
}

TEST(Startup, FlagCfIsTrueOnlyForExactlyS) {
  struct Case {
    JetValue value;
    Boolean flag;
  };
  const Case cases[] = {
      {text("S"), kTrue},   {text("s"), kFalse},   {text("S "), kFalse}, {text(" S"), kFalse},
      {text("SI"), kFalse}, {null_text(), kFalse}, {text(""), kFalse},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.utenti(5, c.value, JetType::text);
    StartupRun r{shop};
    EXPECT_EQ(r.settings.utenti_flag_cf, c.flag)
        << (c.value.is_null() ? "Null" : "\"" + c.value.as_text() + "\"");
  }
  Shop boolean_column;
  boolean_column.utenti(5, JetValue::boolean(true), JetType::boolean);
  EXPECT_EQ(StartupRun{boolean_column}.settings.utenti_flag_cf, kFalse);
}

TEST(Startup, FidRepIsTheLeadingNumberRounded) {
  struct Case {
    JetValue value;
    JetType type;
    Integer fid_rep;
  };
  const Case cases[] = {
      {text("3.5"), JetType::text, 4},
      {text("2.5"), JetType::text, 2},
      {text("abc"), JetType::text, 0},
      {text("-2.5x"), JetType::text, -2},
      {text("3,5"), JetType::text, 3},  // "." is the only decimal point of a text
      {JetValue::real(JetType::double_precision, 3.5), JetType::double_precision, 4},
      {JetValue::integer(JetType::integer, 12), JetType::integer, 12},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.utenti(4, c.value, c.type);
    StartupRun r{shop};
    EXPECT_EQ(r.end, StartupEnd::complete);
    EXPECT_EQ(r.settings.utenti_fid_rep, c.fid_rep);
  }
  Shop too_big;
  too_big.utenti(4, text("40000"), JetType::text);
  StartupRun r{too_big};
  ASSERT_TRUE(r.failure);
  EXPECT_EQ(r.failure->number(), 6);
  EXPECT_EQ(r.failure->text(), "Overflow");
}

TEST(Startup, AutomaValueIsTheTextOfItsLeadingNumber) {
  struct Case {
    JetValue value;
    JetType type;
    std::string aaa;
  };
  const Case cases[] = {
      {text("12abc"), JetType::text, "12"},
      {text("1 5"), JetType::text, "15"},
      {text("abc"), JetType::text, "0"},
      {text("2.50"), JetType::text, "2,5"},
      {text("&H1F"), JetType::text, "31"},
      {JetValue::real(JetType::double_precision, 3.5), JetType::double_precision, "3,5"},
      {code(2027), JetType::long_integer, "2027"},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.automa_rows = {{code(1), c.value}};
    StartupRun r{shop};
    EXPECT_EQ(r.window.automa_aaa, c.aaa);
  }
}

TEST(Startup, NrposConvertedToLong) {
  struct Case {
    JetValue value;
    JetType type;
    Long nrpos;
    int failure;
  };
  const Case cases[] = {
      {JetValue::real(JetType::double_precision, 3.5), JetType::double_precision, 4, 0},
      {JetValue::real(JetType::double_precision, 2.5), JetType::double_precision, 2, 0},
      {text("12"), JetType::text, 12, 0},
      {text("3,5"), JetType::text, 4, 0},
      {text("cassa"), JetType::text, 0, 13},
      {text("3.5"), JetType::text, 35, 0},
      {text("99999999999"), JetType::text, 0, 6},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.utenti(1, c.value, c.type);
    StartupRun r{shop};
    EXPECT_EQ(r.failure ? r.failure->number() : 0, c.failure);
    EXPECT_EQ(r.settings.utenti_nrpos, c.nrpos);
  }
}

TEST(Startup, PvCodeConvertedToLong) {
  Shop shop;
  shop.pv_rows = {{text("15"), text("1")}};
  StartupRun r{shop};
  EXPECT_EQ(r.settings.pv_codice, 15);
}

TEST(Startup, FailuresPropagateAndWhatWasLoggedStays) {
  Shop no_log_folder;
  no_log_folder.log_folder = false;
  StartupRun r1{no_log_folder};
  ASSERT_TRUE(r1.failure);
  EXPECT_EQ(r1.failure->number(), 76);
  EXPECT_TRUE(r1.platform.queries().empty());

  Shop no_automa;
  no_automa.automa_table = false;
  StartupRun r2{no_automa};
  ASSERT_TRUE(r2.failure);
  EXPECT_EQ(r2.failure->number(), 3078);
  EXPECT_TRUE(r2.log().ends_with("DB OK  \r\n"));
  EXPECT_EQ(r2.window.automa_aaa, "");

  Shop no_column;
  no_column.utenti_columns[2].first = "articolo";
  StartupRun r3{no_column};
  ASSERT_TRUE(r3.failure);
  EXPECT_EQ(r3.failure->number(), 3265);
  EXPECT_EQ(r3.settings.utenti_nrpos, 3);  // read before the missing column
}

}  // namespace
}  // namespace qano
