// The qanocheck command as the shop's IT runs it: a process in a working directory of a Wine
// prefix, with real Access files, reading what it prints and its exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

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
using testing::table_of;
using testing::TempPrefix;
using testing::WorkingDirectory;

// Standard output with each line's stamp written as <stamp>, the log's day as <day> and the year
// as <year>, once they are checked against each other.
std::string normalised(const std::string& out) {
  static const std::regex stamp(R"(^(\d\d)/(\d\d)/(\d{4})-\d\d:\d\d:\d\d)");
  static const std::regex day(R"(logqanocontrol_(\d{8})\.txt)");
  static const std::regex year(R"(^anno=(\d{4})$)");
  std::string result;
  std::string log_day;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, stamp)) {
      std::string ddmmyyyy = m[1].str() + m[2].str() + m[3].str();
      if (log_day.empty()) log_day = ddmmyyyy;
      EXPECT_EQ(ddmmyyyy, log_day) << "one day for every stamp";
      line = "<stamp>" + line.substr(static_cast<std::size_t>(m[0].length()));
    } else if (std::regex_search(line, m, day)) {
      if (!log_day.empty()) {
        EXPECT_EQ(m[1].str(), log_day) << "the log is named after its day";
      }
      log_day = m[1].str();
      line = std::regex_replace(line, day, "logqanocontrol_<day>.txt");
    } else if (std::regex_search(line, m, year)) {
      if (!log_day.empty()) {
        EXPECT_EQ(m[1].str(), log_day.substr(4));
      }
      line = "anno=<year>";
    }
    result += line + "\n";
  }
  return result;
}

const std::string kCompleteOutput = R"(<stamp>- Avvio programma
<stamp>- Apro DB  C:\super\dati.mdb
<stamp>- Apro DB  C:\super\vendite.mdb
<stamp>- Apro DB  c:\team\super.mdb
DB OK  
CONTROLLO DB SUPER OK
<stamp>- Controllo  DB  OK

lettera_drive="c"
utenti_nrpos=3
utenti_artico="N"
utenti_fid_rep=2
utenti_chiusura="S"
pv_codice=7
file_log="C:\\super\\bkp\\logqanocontrol_<day>.txt"
utenti_flag_cf=-1
anno=<year>
codice_societa=1
db_dati="C:\\SUPER\\DATI.MDB"
db_vendite="C:\\super\\vendite.mdb"
cartella_dati="C:\\super\\"
automa_aaa="12"

)";

class QanocheckCommand : public ::testing::Test {
 protected:
  // Runs qanocheck in `working_directory` (drive c:'s folder when empty) with the prefix as
  // WINEPREFIX and the C locale.
  ProcessResult run(const fs::path& working_directory = {},
                    const std::vector<std::string>& arguments = {}) {
    shop.write_into(prefix);
    WorkingDirectory here(working_directory.empty() ? prefix.c() : working_directory);
    std::vector<std::string> argv = {"env", "WINEPREFIX=" + prefix.prefix(), "LC_ALL=C",
                                     QANOCHECK_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run_process(argv);
  }
  std::vector<std::string> files_in_log_folder() const {
    std::vector<std::string> names;
    fs::path folder = prefix.c() / "super/bkp";
    if (!fs::exists(folder)) return names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
  }

  TempPrefix prefix;
  ShopFiles shop;
};

TEST_F(QanocheckCommand, CompletedStartUpShowsTheLogLinesAndEverySettingAndWritesNoLog) {
  ProcessResult r = run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(normalised(r.out), kCompleteOutput);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(files_in_log_folder().empty());
}

TEST_F(QanocheckCommand, TheArchiveViewTellsEachArchivesFateAndTouchesNothing) {
  fs::path qano = prefix.c() / "qano";
  auto old = [&](const std::string& name) {
    prefix.write(qano / name, "PK");
    fs::last_write_time(qano / name, fs::file_time_type::clock::now() - std::chrono::hours(1));
  };
  fs::create_directories(qano / "fatture");
  old("ACQ_2.zip");
  old("acq_1.zip");
  old("acq_perch\xC3\xA9.zip");
  prefix.write(qano / "acq_3.zip", "PK");  // just written
  prefix.write(qano / "acq_4.zip", "");    // empty
  ProcessResult r = run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::string out = normalised(r.out);
  std::string view = out.substr(out.rfind("\n\n") + 2);
  EXPECT_EQ(view,
            "archive=\"acq_1.zip\" next\n"
            "archive=\"ACQ_2.zip\" waits: behind acq_1.zip\n"
            "archive=\"acq_3.zip\" waits: behind acq_1.zip\n"
            "archive=\"acq_4.zip\" waits: behind acq_1.zip\n"
            "archive=\"acq_perch\xC3\xA9.zip\" left: its name has letters outside plain ASCII; "
            "rename it to take it\n");
  EXPECT_FALSE(fs::exists(qano / "agglis.bat"));
  EXPECT_FALSE(fs::exists(qano / "qanocontrol"));

  // A claim that a stopped run left comes first; the last filing's invoices not yet taken by
  // the suite hold the new archives back, and the view says so at the next one.
  prefix.write(qano / "qanocontrol" / "20261207-122127" / "acq_0.zip", "PK");
  view = normalised(run().out);
  view = view.substr(view.rfind("\n\n") + 2);
  const std::string held =
      "the invoices of the last filing are still in C:\\qano\\fatture\\acq_var.txt: the suite "
      "has not taken them yet (the next filing waits a minute at most)";
  EXPECT_EQ(view,
            "archive=\"acq_0.zip\" claim=\"20261207-122127\" next: claimed before, its unpacking "
            "did not end: it is unpacked again\n"
            "archive=\"acq_1.zip\" waits: behind the claim 20261207-122127\n"
            "archive=\"ACQ_2.zip\" waits: behind the claim 20261207-122127\n"
            "archive=\"acq_3.zip\" waits: it was written less than 2 s ago\n"
            "archive=\"acq_4.zip\" waits: it is empty\n"
            "archive=\"acq_perch\xC3\xA9.zip\" left: its name has letters outside plain ASCII; "
            "rename it to take it\n");
  // Once that claim is done, its invoices still there hold the next one back.
  fs::remove_all(qano / "qanocontrol");
  prefix.write(qano / "fatture" / "acq_var.txt", "invoices");
  view = normalised(run().out);
  view = view.substr(view.rfind("\n\n") + 2);
  EXPECT_EQ(
      view.substr(0, view.find("archive=\"acq_3.zip\"")),
      "archive=\"acq_1.zip\" waits: " + held + "\narchive=\"ACQ_2.zip\" waits: " + held + "\n");
  EXPECT_TRUE(fs::exists(qano / "fatture" / "acq_var.txt")) << "qanocheck changes nothing";
}

TEST_F(QanocheckCommand, AnExistingLogIsLeftAsItWas) {
  // The first run names today's log; the program has written to it before.
  ProcessResult first = run();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(first.out, m, std::regex(R"(logqanocontrol_\d{8}\.txt)")));
  fs::path log = prefix.c() / "super/bkp" / m[0].str();
  prefix.write(log, "07/12/2026-12:21:27- Avvio programma\r\n");
  fs::last_write_time(log, fs::last_write_time(log) - std::chrono::hours(1));
  auto written = fs::last_write_time(log);

  ProcessResult r = run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_file(log), "07/12/2026-12:21:27- Avvio programma\r\n");
  EXPECT_EQ(fs::last_write_time(log), written);
  EXPECT_EQ(files_in_log_folder(), std::vector<std::string>{m[0].str()});
}

TEST_F(QanocheckCommand, MissingMasterEndsEarlyWithTheMessageBoxOnStandardError) {
  // Run from drive d:, where there is no master database.
  prefix.map_drive('d', prefix.root() / "negozio");
  fs::create_directories(prefix.root() / "negozio/cassa");
  ProcessResult r = run(prefix.root() / "negozio/cassa");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "qanocheck: message box: ERRORE : FILE d:\\team\\super.mdb NON ESISTE \n");
  EXPECT_EQ(normalised(r.out), R"(<stamp>- Avvio programma

lettera_drive="d"
utenti_nrpos=0
utenti_artico="\u0000"
utenti_fid_rep=0
utenti_chiusura="\u0000"
pv_codice=0
file_log="C:\\super\\bkp\\logqanocontrol_<day>.txt"
utenti_flag_cf=0
anno=0
codice_societa=1
db_dati=""
db_vendite=""
cartella_dati=""
automa_aaa=""

)");
}

TEST_F(QanocheckCommand, LogLinesShowWhatTheLogFileWouldHold) {
  // A folder name the log's code page cannot write, and no data database there.
  shop.master = testing::master_database("C:\\Ωmega\\dati.mdb");
  ProcessResult r = run();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "");
  std::string out = normalised(r.out);
  EXPECT_NE(out.find("<stamp>- Apro DB  C:\\?mega\\dati.mdb\n"
                     "<stamp>- Apro DB  C:\\?mega\\vendite.mdb\n"
                     "<stamp>- Apro DB  c:\\team\\super.mdb\n"
                     "ERRORE : DB NON ESISTE \n\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\ndb_dati=\"C:\\\\ΩMEGA\\\\DATI.MDB\"\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\ncartella_dati=\"C:\\\\Ωmega\\\\\"\n"), std::string::npos) << out;
}

TEST_F(QanocheckCommand, ADamagedMasterIsAFailureWithTheEngineNumber) {
  shop.master.reset();
  prefix.write("drive_c/team/super.mdb", std::string(4096, 'x'));
  ProcessResult r = run();
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err.rfind("qanocheck: failure 3343: Unrecognized database format "
                        "'c:\\team\\super.mdb'.",
                        0),
            0u)
      << r.err;
  // The settings show how far start-up came.
  EXPECT_EQ(normalised(r.out).substr(0, 44), "<stamp>- Avvio programma\n\nlettera_drive=\"c\"\n");
}

// Five descriptors: the standard streams and two more. A sound master database is then a machine
// out of descriptors, never a damaged file.
TEST_F(QanocheckCommand, AMachineOutOfDescriptorsIsFailure67NotADamagedDatabase) {
#ifdef QANO_SANITIZED
  // A sanitized qanocheck checks memory through descriptors of its own: with five it reports a
  // fault of its own making. The normal build runs this test.
  GTEST_SKIP() << "needs free descriptors for the sanitizers; runs in the normal build";
#endif
  shop.write_into(prefix);
  WorkingDirectory here(prefix.c());
  ProcessResult r =
      run_process({"sh", "-c", "ulimit -n 5 && exec env WINEPREFIX=\"$1\" LC_ALL=C \"$2\"", "sh",
                   prefix.prefix(), QANOCHECK_PATH});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err.rfind("qanocheck: failure 67: Too many files", 0), 0u) << r.err;
}

TEST_F(QanocheckCommand, AValueThatCannotBeConvertedIsAFailureAfterTheLinesBeforeIt) {
  testing::set_column(table_of(*shop.data, "utenti"), "nrpos", jet4::ColumnType::Text, 10,
                      std::string("abc"));
  ProcessResult r = run();
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "qanocheck: failure 13: Type mismatch\n");
  std::string out = normalised(r.out);
  EXPECT_NE(out.find("<stamp>- Apro DB  c:\\team\\super.mdb\nDB OK  \n\nlettera_drive=\"c\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\nautoma_aaa=\"12\"\n"), std::string::npos) << out;
}

TEST_F(QanocheckCommand, AMissingLogFolderIsTheProgramsFailureAndNothingIsCreated) {
  shop.log_folder = false;
  ProcessResult r = run();
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "qanocheck: failure 76: Path not found\n");
  EXPECT_FALSE(fs::exists(prefix.c() / "super/bkp"));
  std::string out = normalised(r.out);
  EXPECT_EQ(out.substr(0, 24), "\nlettera_drive=\"\\u0000\"\n");
  EXPECT_NE(out.find("\nfile_log=\"C:\\\\super\\\\bkp\\\\logqanocontrol_<day>.txt\"\n"),
            std::string::npos)
      << out;
}

TEST_F(QanocheckCommand, APrefixWithoutDrivesIsPointedOut) {
  ProcessResult r = run_process(
      {"env", "WINEPREFIX=" + (prefix.root() / "nowhere").string(), "LC_ALL=C", QANOCHECK_PATH});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "qanocheck: note: the Wine prefix " + (prefix.root() / "nowhere").string() +
                       " has no drives (no dosdevices/x: links)\n"
                       "qanocheck: failure 76: Path not found\n");
}

TEST_F(QanocheckCommand, HelpAndAnArgumentItDoesNotKnow) {
  ProcessResult help = run({}, {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("Usage: qanocheck [--help | --version]\n", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");

  ProcessResult wrong = run({}, {"--log"});
  EXPECT_EQ(wrong.exit_code, 64);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err.rfind("qanocheck: unknown argument '--log'\nUsage: qanocheck", 0), 0u)
      << wrong.err;
}

TEST_F(QanocheckCommand, AReportThatCannotBeWrittenIsAFailure) {
  shop.write_into(prefix);
  WorkingDirectory here(prefix.c());
  // Standard output on a full disk, and closed.
  for (const char* redirect : {">/dev/full", ">&-"}) {
    for (const std::string& command :
         {std::string(QANOCHECK_PATH), std::string(JETQUERY_PATH) + " --help"}) {
      ProcessResult r = run_process({"env", "WINEPREFIX=" + prefix.prefix(), "LC_ALL=C", "sh", "-c",
                                     command + " " + redirect + "; echo status $? >&2"});
      EXPECT_NE(r.err.find("the report could not be written to standard output"), std::string::npos)
          << command << " " << redirect << ": " << r.err;
      EXPECT_TRUE(r.err.ends_with("status 2\n")) << command << " " << redirect << ": " << r.err;
    }
  }
}

}  // namespace
}  // namespace qano
