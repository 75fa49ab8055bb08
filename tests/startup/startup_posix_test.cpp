// The whole start-up on the Linux platform: a temporary prefix, real Access files written by the
// project's Jet 4 writer, read through mdbtools, and the real log file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>

#include "platform/forwarding_platform.h"
#include "platform/host_platform.h"
#include "platform/posix/posix_platform.h"
#include "startup/startup.h"
#include "tools/dev/kit/shop_files.h"
#include "tools/dev/kit/temp_prefix.h"
#include "tools/ship/qanocheck/settings_report.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using jet4::ColumnType;
using testing::read_file;
using testing::ShopFiles;
using testing::table_of;
using testing::TempPrefix;
using testing::WorkingDirectory;

// Every field as "name" -> printed value.
using Fields = std::map<std::string, std::string>;

Fields fields_of(const SessionSettings& s, const StartupWindowFields& w) {
  Fields f;
  for (const std::string& line : settings_lines(s, w)) {
    std::size_t eq = line.find('=');
    f[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return f;
}

Fields merged(Fields base, const Fields& changes) {
  for (const auto& [name, value] : changes) base[name] = value;
  return base;
}

const std::string kNul = quoted(std::string(1, '\0'));

// The log as it stands once the start line is written, and no further field set.
const Fields kStarted =
    merged(fields_of(SessionSettings{}, StartupWindowFields{}),
           {{"lettera_drive", quoted("c")}, {"codice_societa", "1"}, {"file_log", "<file_log>"}});
// Once the paths are resolved and the year taken.
const Fields kPathsKnown = merged(kStarted, {{"cartella_dati", quoted("C:\\super\\")},
                                             {"db_dati", quoted("C:\\super\\dati.mdb")},
                                             {"db_vendite", quoted("C:\\super\\vendite.mdb")},
                                             {"anno", "<anno>"}});
// What the default shop gives.
const Fields kComplete = merged(kPathsKnown, {{"db_dati", quoted("C:\\SUPER\\DATI.MDB")},
                                              {"automa_aaa", quoted("12")},
                                              {"utenti_nrpos", "3"},
                                              {"utenti_artico", quoted("N")},
                                              {"utenti_chiusura", quoted("S")},
                                              {"utenti_fid_rep", "2"},
                                              {"utenti_flag_cf", "-1"},
                                              {"pv_codice", "7"}});
const Fields kUtentiUntouched = {{"utenti_nrpos", "0"},
                                 {"utenti_artico", kNul},
                                 {"utenti_chiusura", kNul},
                                 {"utenti_fid_rep", "0"},
                                 {"utenti_flag_cf", "0"}};

// The log's lines, each stamp written as <stamp>.
const std::string kStartLine = "<stamp>- Avvio programma\r\n";
const std::string kPathLines =
    "<stamp>- Apro DB  C:\\super\\dati.mdb\r\n<stamp>- Apro DB  C:\\super\\vendite.mdb\r\n";
const std::string kMasterLine = "<stamp>- Apro DB  c:\\team\\super.mdb\r\n";
const std::string kCompanyMissing = "ERRORE : SOCIETA CON CODICE 1 NON ESISTE \r\n";
const std::string kCompleteLog =
    kStartLine + kPathLines + kMasterLine +
    "DB OK  \r\nCONTROLLO DB SUPER OK\r\n<stamp>- Controllo  DB  OK\r\n";

// The real platform, its message boxes kept, as a window host would show them.
class BoxesKept : public ForwardingPlatform {
 public:
  BoxesKept(Platform& inner, std::vector<std::string>& boxes)
      : ForwardingPlatform(inner), boxes_(boxes) {}
  void message_box(const std::string& text) override { boxes_.push_back(text); }

 private:
  std::vector<std::string>& boxes_;
};

class StartupOnLinux : public ::testing::Test {
 protected:
  StartupOnLinux() { platform.set_jet_engine(make_host_jet_engine()); }

  // One start-up from a working directory on drive c:, as the program runs it.
  void run(const fs::path& working_directory = {}) {
    shop.write_into(prefix);
    WorkingDirectory here(working_directory.empty() ? prefix.c() : working_directory);
    BoxesKept kept(platform, boxes);
    RecordSourceGateway var(kept);
    days.push_back(platform.short_date(platform.today()));
    try {
      end = start_up(kept, settings, window, var, platform.current_drive());
    } catch (const Failure& f) {
      failure = f;
    }
    days.push_back(platform.short_date(platform.today()));
    platform.close_all();
  }

  // The day of the run as the log's name has it (ddmmyyyy), checked against the clock.
  std::string log_day() const {
    const std::string prefix_text = "C:\\super\\bkp\\logqanocontrol_";
    EXPECT_EQ(settings.file_log.substr(0, prefix_text.size()), prefix_text);
    std::string day = settings.file_log.substr(prefix_text.size(), 8);
    bool known = false;
    for (const std::string& d : days) known |= d.substr(0, 2) + d.substr(3, 2) + d.substr(6) == day;
    EXPECT_TRUE(known) << settings.file_log;
    EXPECT_EQ(settings.file_log.substr(prefix_text.size() + 8), ".txt");
    return day;
  }

  // The log file's bytes, each line's stamp checked (today, dd/mm/yyyy-HH:MM:SS) and written as
  // <stamp>.
  std::string log() {
    std::optional<std::string> file = platform.native_path(settings.file_log);
    if (!file || !fs::exists(*file)) return "(no log file)";
    std::string bytes = read_file(*file);
    static const std::regex stamp(R"(^(\d\d/\d\d/\d{4})-\d\d:\d\d:\d\d)");
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
      std::size_t end_of_line = bytes.find("\r\n", at);
      std::size_t next = end_of_line == std::string::npos ? bytes.size() : end_of_line + 2;
      std::string line = bytes.substr(at, next - at);
      at = next;
      std::smatch m;
      if (std::regex_search(line, m, stamp)) {
        EXPECT_NE(std::find(days.begin(), days.end(), m[1].str()), days.end()) << line;
        line = "<stamp>" + line.substr(static_cast<std::size_t>(m[0].length()));
      }
      out += line;
    }
    return out;
  }

  // The fields, with <file_log> and <anno> standing for the day's values.
  Fields expected(const Fields& wanted) const {
    std::string day = log_day();
    Fields f = wanted;
    if (f["file_log"] == "<file_log>") f["file_log"] = quoted(settings.file_log);
    if (f["anno"] == "<anno>") f["anno"] = day.substr(4);
    return f;
  }
  Fields fields() const { return fields_of(settings, window); }

  TempPrefix prefix;
  ShopFiles shop;
  PosixPlatform platform{PosixOptions{prefix.prefix(), "C"}};
  SessionSettings settings;
  StartupWindowFields window;
  std::vector<std::string> boxes;
  std::vector<std::string> days;
  std::optional<StartupEnd> end;
  std::optional<Failure> failure;
};

TEST_F(StartupOnLinux, CompleteStartUp) {
  run();
  ASSERT_FALSE(failure) << failure->what();
  EXPECT_EQ(end, StartupEnd::complete);
  EXPECT_EQ(log(), kCompleteLog);
  EXPECT_EQ(fields(), expected(kComplete));
  EXPECT_TRUE(boxes.empty());
  // The log lies where its name says, on the real drive.
  EXPECT_TRUE(fs::exists(prefix.c() / "super/bkp" / ("logqanocontrol_" + log_day() + ".txt")));
}

TEST_F(StartupOnLinux, TwoStartUpsOnOneDayAppendToTheSameLog) {
  run();
  SessionSettings first = settings;
  settings = {};
  window = {};
  run();
  EXPECT_EQ(settings.file_log, first.file_log);
  EXPECT_EQ(log(), kCompleteLog + kCompleteLog);
}

struct EarlyEnd {
  const char* name;
  std::function<void(ShopFiles&)> change;
  StartupEnd end;
  std::string log;
  Fields fields;
  std::vector<std::string> boxes = {};
};

void PrintTo(const EarlyEnd& c, std::ostream* os) {
  *os << c.name;
}

class StartupEnds : public StartupOnLinux, public ::testing::WithParamInterface<EarlyEnd> {};

TEST_P(StartupEnds, LogsAndSetsWhatItReached) {
  const EarlyEnd& c = GetParam();
  c.change(shop);
  run();
  ASSERT_FALSE(failure) << failure->what();
  EXPECT_EQ(end, c.end);
  EXPECT_EQ(log(), c.log);
  EXPECT_EQ(fields(), expected(c.fields));
  EXPECT_EQ(boxes, c.boxes);
}

INSTANTIATE_TEST_SUITE_P(
    EachEnd, StartupEnds,
    ::testing::Values(
        EarlyEnd{"MissingMaster",
                 [](ShopFiles& s) { s.master.reset(); },
                 StartupEnd::master_missing,
                 kStartLine,
                 kStarted,
                 {"ERRORE : FILE c:\\team\\super.mdb NON ESISTE "}},
        EarlyEnd{"NoCompanyRow",
                 [](ShopFiles& s) { testing::drop_code_1(table_of(*s.master, "società")); },
                 StartupEnd::company_missing, kStartLine + kCompanyMissing, kStarted},
        EarlyEnd{"NoInizioRow",
                 [](ShopFiles& s) { testing::drop_code_1(table_of(*s.master, "inizio")); },
                 StartupEnd::inizio_missing, kStartLine + kPathLines + kCompanyMissing,
                 kPathsKnown},
        EarlyEnd{"MissingDataFile", [](ShopFiles& s) { s.data.reset(); }, StartupEnd::data_missing,
                 kStartLine + kPathLines + kMasterLine + "ERRORE : DB NON ESISTE \r\n",
                 merged(kPathsKnown, {{"db_dati", quoted("C:\\SUPER\\DATI.MDB")}})},
        EarlyEnd{"NoUtentiRow",
                 [](ShopFiles& s) { testing::drop_code_1(table_of(*s.data, "utenti")); },
                 StartupEnd::complete, kCompleteLog, merged(kComplete, kUtentiUntouched)},
        EarlyEnd{"NoOwnPointOfSale",
                 [](ShopFiles& s) {
                   for (auto& row : table_of(*s.data, "pv").rows) {
                     if (row[1] == jet4::Value(std::string("1"))) row[1] = std::string("2");
                   }
                 },
                 StartupEnd::complete, kCompleteLog, merged(kComplete, {{"pv_codice", "0"}})},
        EarlyEnd{"NoAutomaRow",
                 [](ShopFiles& s) { testing::drop_code_1(table_of(*s.data, "automa")); },
                 StartupEnd::complete, kCompleteLog, merged(kComplete, {{"automa_aaa", "\"0\""}})},
        // The Null tests keep every Null out of the conversions: nothing changes.
        EarlyEnd{"NullsInEveryColumnRead",
                 [](ShopFiles& s) {
                   jet4::Table& utenti = table_of(*s.data, "utenti");
                   for (const char* c : {"nrpos", "artico", "chiusura", "fid_rep", "Flag_CF"}) {
                     auto type =
                         std::string(c) == "nrpos" ? ColumnType::LongInteger : ColumnType::Text;
                     testing::set_column(utenti, c, type, 10, jet4::null);
                   }
                   testing::set_column(table_of(*s.data, "automa"), "aaa", ColumnType::Text, 50,
                                       jet4::null);
                   for (auto& row : table_of(*s.data, "pv").rows) {
                     if (row[1] == jet4::Value(std::string("1"))) row[0] = jet4::null;
                   }
                 },
                 StartupEnd::complete, kCompleteLog,
                 merged(merged(kComplete, kUtentiUntouched),
                        {{"automa_aaa", "\"0\""}, {"pv_codice", "0"}})}),
    [](const auto& info) { return std::string(info.param.name); });

// One column of the row read, of one Jet type, and what start-up makes of it: a field's printed
// value, or the number of the failure that stops the program.
struct ColumnCase {
  const char* name;
  const char* table;
  const char* column;
  ColumnType type;
  jet4::Value value;
  const char* field;
  std::string printed;  // empty when the program stops
  int failure = 0;
};

void PrintTo(const ColumnCase& c, std::ostream* os) {
  *os << c.name;
}

class ColumnValues : public StartupOnLinux, public ::testing::WithParamInterface<ColumnCase> {};

TEST_P(ColumnValues, ConvertAsTheProgramReadsThem) {
  const ColumnCase& c = GetParam();
  testing::set_column(table_of(*shop.data, c.table), c.column, c.type, 50, c.value);
  run();
  if (c.failure != 0) {
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number(), c.failure) << failure->text();
    // Stopped while loading: nothing after the data database's check was logged.
    EXPECT_EQ(log(), kStartLine + kPathLines + kMasterLine + "DB OK  \r\n");
    return;
  }
  ASSERT_FALSE(failure) << failure->what();
  EXPECT_EQ(end, StartupEnd::complete);
  EXPECT_EQ(fields().at(c.field), c.printed);
}

jet4::Value txt(const char* s) {
  return std::string(s);
}
jet4::Value num(std::int64_t v) {
  return v;
}
jet4::Value dbl(double v) {
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Automa, ColumnValues,
    ::testing::Values(
        ColumnCase{"Text12abc", "automa", "aaa", ColumnType::Text, txt("12abc"), "automa_aaa",
                   quoted("12")},
        ColumnCase{"TextWithBlankInside", "automa", "aaa", ColumnType::Text, txt("1 5"),
                   "automa_aaa", quoted("15")},
        ColumnCase{"TextNoNumber", "automa", "aaa", ColumnType::Text, txt("abc"), "automa_aaa",
                   quoted("0")},
        ColumnCase{"TextEmpty", "automa", "aaa", ColumnType::Text, txt(""), "automa_aaa",
                   quoted("0")},
        // "." is the point the leading number reads; the text form has the shop's comma.
        ColumnCase{"TextWithPoint", "automa", "aaa", ColumnType::Text, txt("3.5"), "automa_aaa",
                   quoted("3,5")},
        ColumnCase{"TextWithComma", "automa", "aaa", ColumnType::Text, txt("3,5"), "automa_aaa",
                   quoted("3")},
        ColumnCase{"Long", "automa", "aaa", ColumnType::LongInteger, num(7), "automa_aaa",
                   quoted("7")},
        ColumnCase{"Double", "automa", "aaa", ColumnType::Double, dbl(12.5), "automa_aaa",
                   quoted("12,5")},
        ColumnCase{"SingleKeepsItsDigits", "automa", "aaa", ColumnType::Single, dbl(0.1),
                   "automa_aaa", quoted("0,1")},
        ColumnCase{"Currency", "automa", "aaa", ColumnType::Currency, jet4::Currency::parse("1.25"),
                   "automa_aaa", quoted("1,25")}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Nrpos, ColumnValues,
    ::testing::Values(
        ColumnCase{"Long", "utenti", "nrpos", ColumnType::LongInteger, num(5), "utenti_nrpos", "5"},
        ColumnCase{"Integer", "utenti", "nrpos", ColumnType::Integer, num(-5), "utenti_nrpos",
                   "-5"},
        ColumnCase{"Double3_5", "utenti", "nrpos", ColumnType::Double, dbl(3.5), "utenti_nrpos",
                   "4"},
        ColumnCase{"Double2_5", "utenti", "nrpos", ColumnType::Double, dbl(2.5), "utenti_nrpos",
                   "2"},
        ColumnCase{"Currency2_5", "utenti", "nrpos", ColumnType::Currency,
                   jet4::Currency::parse("2.5"), "utenti_nrpos", "2"},
        ColumnCase{"Text", "utenti", "nrpos", ColumnType::Text, txt("12"), "utenti_nrpos", "12"},
        ColumnCase{"TextWithBlanks", "utenti", "nrpos", ColumnType::Text, txt(" 7 "),
                   "utenti_nrpos", "7"},
        ColumnCase{"TextDecimalComma", "utenti", "nrpos", ColumnType::Text, txt("3,5"),
                   "utenti_nrpos", "4"},
        ColumnCase{"TextGrouped", "utenti", "nrpos", ColumnType::Text, txt("1.234"), "utenti_nrpos",
                   "1234"},
        // "." groups thousands on the shop's workstation, wherever it stands: 3.5 is 35 there.
        ColumnCase{"TextWithPoint", "utenti", "nrpos", ColumnType::Text, txt("3.5"), "utenti_nrpos",
                   "35"},
        ColumnCase{"TextNoNumber", "utenti", "nrpos", ColumnType::Text, txt("abc"), "", "", 13},
        ColumnCase{"TextEmpty", "utenti", "nrpos", ColumnType::Text, txt(""), "", "", 13},
        ColumnCase{"DoubleBeyondLong", "utenti", "nrpos", ColumnType::Double, dbl(3e9), "", "", 6}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ArticoChiusura, ColumnValues,
    ::testing::Values(ColumnCase{"ArticoTwoCharacters", "utenti", "artico", ColumnType::Text,
                                 txt("AB"), "utenti_artico", quoted("A")},
                      ColumnCase{"ArticoZeroLength", "utenti", "artico", ColumnType::Text, txt(""),
                                 "utenti_artico", quoted(" ")},
                      ColumnCase{"ArticoAccented", "utenti", "artico", ColumnType::Text, txt("èx"),
                                 "utenti_artico", quoted("è")},
                      ColumnCase{"ArticoNumber", "utenti", "artico", ColumnType::LongInteger,
                                 num(42), "utenti_artico", quoted("4")},
                      ColumnCase{"ChiusuraTwoCharacters", "utenti", "chiusura", ColumnType::Text,
                                 txt("NO"), "utenti_chiusura", quoted("N")},
                      ColumnCase{"ChiusuraZeroLength", "utenti", "chiusura", ColumnType::Text,
                                 txt(""), "utenti_chiusura", quoted(" ")},
                      ColumnCase{"ChiusuraByte", "utenti", "chiusura", ColumnType::Byte, num(1),
                                 "utenti_chiusura", quoted("1")}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    FidRep, ColumnValues,
    ::testing::Values(ColumnCase{"Text3_5", "utenti", "fid_rep", ColumnType::Text, txt("3.5"),
                                 "utenti_fid_rep", "4"},
                      ColumnCase{"Text2_5", "utenti", "fid_rep", ColumnType::Text, txt("2.5"),
                                 "utenti_fid_rep", "2"},
                      ColumnCase{"TextAbc", "utenti", "fid_rep", ColumnType::Text, txt("abc"),
                                 "utenti_fid_rep", "0"},
                      ColumnCase{"TextMinus3_5", "utenti", "fid_rep", ColumnType::Text, txt("-3.5"),
                                 "utenti_fid_rep", "-4"},
                      ColumnCase{"TextDecimalCommaStops", "utenti", "fid_rep", ColumnType::Text,
                                 txt("1,5"), "utenti_fid_rep", "1"},
                      ColumnCase{"Double3_5", "utenti", "fid_rep", ColumnType::Double, dbl(3.5),
                                 "utenti_fid_rep", "4"},
                      ColumnCase{"Double2_5", "utenti", "fid_rep", ColumnType::Double, dbl(2.5),
                                 "utenti_fid_rep", "2"},
                      ColumnCase{"Long", "utenti", "fid_rep", ColumnType::LongInteger, num(7),
                                 "utenti_fid_rep", "7"},
                      ColumnCase{"TextBeyondInteger", "utenti", "fid_rep", ColumnType::Text,
                                 txt("70000"), "", "", 6}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    FlagCF, ColumnValues,
    ::testing::Values(ColumnCase{"CapitalS", "utenti", "Flag_CF", ColumnType::Text, txt("S"),
                                 "utenti_flag_cf", "-1"},
                      ColumnCase{"SmallS", "utenti", "Flag_CF", ColumnType::Text, txt("s"),
                                 "utenti_flag_cf", "0"},
                      ColumnCase{"SWithTrailingBlank", "utenti", "Flag_CF", ColumnType::Text,
                                 txt("S "), "utenti_flag_cf", "0"},
                      ColumnCase{"SWithLeadingBlank", "utenti", "Flag_CF", ColumnType::Text,
                                 txt(" S"), "utenti_flag_cf", "0"},
                      ColumnCase{"N", "utenti", "Flag_CF", ColumnType::Text, txt("N"),
                                 "utenti_flag_cf", "0"},
                      ColumnCase{"Null", "utenti", "Flag_CF", ColumnType::Text, jet4::null,
                                 "utenti_flag_cf", "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupOnLinux, ANullDataPathInTheCompanyRowStopsTheProgram) {
  testing::set_column(table_of(*shop.master, "società"), "database", ColumnType::Text, 255,
                      jet4::null);
  run();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->number(), 94);
  EXPECT_EQ(log(), kStartLine);
}

TEST_F(StartupOnLinux, MasterOnTheCurrentDriveDataInAFolderWithAnAccentedName) {
  // The program runs from drive d:, which holds the master; the company row names the data
  // database in another spelling of its folder.
  fs::path d = prefix.root() / "negozio";
  prefix.map_drive('d', d);
  shop.master_file = "negozio/team/super.mdb";
  shop.master = testing::master_database("D:\\Archivi\\Società\\Dati.mdb");
  shop.data_file = "negozio/archivi/SOCIETÀ/dati.mdb";
  fs::create_directories(d / "cassa");
  run(d / "cassa");
  ASSERT_FALSE(failure) << failure->what();
  EXPECT_EQ(end, StartupEnd::complete);
  // The log keeps its place on c: and holds the paths in Windows-1252.
  EXPECT_EQ(log(), kStartLine +
                       "<stamp>- Apro DB  D:\\Archivi\\Societ\xE0\\dati.mdb\r\n"
                       "<stamp>- Apro DB  D:\\Archivi\\Societ\xE0\\vendite.mdb\r\n"
                       "<stamp>- Apro DB  d:\\team\\super.mdb\r\n"
                       "DB OK  \r\nCONTROLLO DB SUPER OK\r\n<stamp>- Controllo  DB  OK\r\n");
  EXPECT_EQ(
      fields(),
      expected(merged(kComplete, {{"lettera_drive", quoted("d")},
                                  {"cartella_dati", quoted("D:\\Archivi\\Società\\")},
                                  {"db_dati", quoted("D:\\ARCHIVI\\SOCIETÀ\\DATI.MDB")},
                                  {"db_vendite", quoted("D:\\Archivi\\Società\\vendite.mdb")}})));
}

TEST_F(StartupOnLinux, DataOnAShareOfTheNetwork) {
  // The share as the prefix maps it: dosdevices/unc/<server>/<share>.
  shop.master = testing::master_database("\\\\Negozio\\Archivi\\Dati.mdb");
  shop.data_file = "dosdevices/unc/negozio/archivi/dati.mdb";
  run();
  ASSERT_FALSE(failure) << failure->what();
  EXPECT_EQ(end, StartupEnd::complete);
  EXPECT_EQ(log(), kStartLine +
                       "<stamp>- Apro DB  \\\\Negozio\\Archivi\\dati.mdb\r\n"
                       "<stamp>- Apro DB  \\\\Negozio\\Archivi\\vendite.mdb\r\n" +
                       kMasterLine +
                       "DB OK  \r\nCONTROLLO DB SUPER OK\r\n<stamp>- Controllo  DB  OK\r\n");
  EXPECT_EQ(
      fields(),
      expected(merged(kComplete, {{"cartella_dati", quoted("\\\\Negozio\\Archivi\\")},
                                  {"db_dati", quoted("\\\\NEGOZIO\\ARCHIVI\\DATI.MDB")},
                                  {"db_vendite", quoted("\\\\Negozio\\Archivi\\vendite.mdb")}})));
}

TEST_F(StartupOnLinux, BlanksAfterTheDataFileNameAreNoPartOfTheFileLookedFor) {
  // As on Windows, where a path loses the blanks and dots at its end.
  shop.master = testing::master_database("C:\\super\\dati.mdb  ");
  run();
  ASSERT_FALSE(failure) << failure->what();
  EXPECT_EQ(end, StartupEnd::complete);
  EXPECT_EQ(log(), kCompleteLog);
  EXPECT_EQ(settings.db_dati, "C:\\SUPER\\DATI.MDB  ");
}

TEST_F(StartupOnLinux, ABlankBeforeTheDataFileNameIsPartOfTheFileLookedFor) {
  shop.master = testing::master_database("C:\\super\\ dati.mdb");
  run();
  ASSERT_FALSE(failure) << failure->what();
  EXPECT_EQ(end, StartupEnd::data_missing);
  EXPECT_EQ(settings.db_dati, "C:\\SUPER\\ DATI.MDB");
  EXPECT_EQ(window.cartella_dati, "C:\\super\\");
}

TEST_F(StartupOnLinux, ADamagedMasterStopsTheProgramWithItsEngineNumber) {
  shop.master.reset();
  prefix.write("drive_c/team/super.mdb", std::string(4096, 'x'));
  run();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->number(), 3343);
  // The engine names the file as the program knows it.
  EXPECT_NE(failure->text().find("'c:\\team\\super.mdb'"), std::string::npos) << failure->text();
  EXPECT_EQ(log(), kStartLine);
}

TEST_F(StartupOnLinux, AMissingTableStopsTheProgram) {
  shop.data->tables.erase(shop.data->tables.begin());  // automa
  run();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->number(), 3078);
  EXPECT_EQ(log(), kStartLine + kPathLines + kMasterLine + "DB OK  \r\n");
}

TEST_F(StartupOnLinux, AMissingLogFolderStopsTheProgramBeforeAnythingElse) {
  shop.log_folder = false;
  run();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->number(), 76);
  EXPECT_FALSE(fs::exists(prefix.c() / "super/bkp"));
  EXPECT_EQ(fields(),
            expected(merged(kStarted, {{"lettera_drive", kNul}, {"codice_societa", "0"}})));
}

}  // namespace
}  // namespace qano
