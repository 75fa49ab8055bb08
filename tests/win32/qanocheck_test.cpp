// qanocheck.exe and jetquery.exe as a shop's IT runs them: on a workstation without the master
// database; through the Access driver (under Wine, the host's MDBTools driver registered under
// its name: tests/win32/access-shop.sh) to a complete start-up and to each early end; and on a
// workstation without an Access driver.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <regex>

#include "tests/win32/win32_support.h"

namespace qano {
namespace {

namespace fs = std::filesystem;
using testing::build_file;
using testing::read_file;
using testing::TempFolder;

struct Outcome {
  DWORD status = 0;
  std::string out;
  std::string err;
};

HANDLE inheritable_file(const fs::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs a program of the build in `folder` with arguments and waits for it.
Outcome run(const std::string& program, const fs::path& folder,
            const std::wstring& arguments = L"") {
  TempFolder outputs("qano outputs");
  HANDLE out = inheritable_file(outputs.path() / "out.txt");
  HANDLE err = inheritable_file(outputs.path() / "err.txt");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring path = testing::u8path(build_file(program)).wstring();
  std::wstring command = L"\"" + path + L"\"" + arguments;
  PROCESS_INFORMATION process{};
  Outcome outcome;
  if (CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     folder.c_str(), &startup, &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &outcome.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    outcome.status = 9999;
  }
  CloseHandle(out);
  CloseHandle(err);
  outcome.out = read_file(outputs.path() / "out.txt");
  outcome.err = read_file(outputs.path() / "err.txt");
  return outcome;
}

TEST(Qanocheck, WithoutTheMasterDatabaseItShowsTheMessageAndEndsStartUpEarly) {
  ASSERT_FALSE(fs::exists("C:\\team\\super.mdb"));
  ASSERT_FALSE(fs::exists("C:\\super")) << "the prefix is not fresh";
  // Started from a folder on C:, the drive whose \team\super.mdb it looks for.
  TempFolder folder;
  ASSERT_EQ(folder.dos().substr(0, 2), "C:");

  // Without the log's folder, start-up fails where the program would: at once.
  Outcome no_folder = run(QANO_QANOCHECK, folder.path());
  EXPECT_EQ(no_folder.status, 2u);
  EXPECT_EQ(no_folder.err, "qanocheck: failure 76: Path not found\r\n");

  fs::create_directories("C:\\super\\bkp");
  Outcome outcome = run(QANO_QANOCHECK, folder.path());
  fs::remove_all("C:\\super");
  EXPECT_EQ(outcome.status, 1u);
  EXPECT_EQ(outcome.err,
            "qanocheck: message box: ERRORE : FILE c:\\team\\super.mdb NON ESISTE \r\n");
  // The one log line start-up writes, then the settings, the drive letter among them; in
  // Windows' own text form, CR LF.
  std::string first_line = outcome.out.substr(0, outcome.out.find("\r\n"));
  EXPECT_TRUE(std::regex_match(first_line,
                               std::regex(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d- Avvio programma)")))
      << first_line;
  EXPECT_NE(outcome.out.find("\r\n\r\n"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("lettera_drive=\"c\""), std::string::npos) << outcome.out;
}

// Log lines and settings with today's stamps, date and year as placeholders, in Unix line ends.
std::string normalised(std::string text) {
  text = std::regex_replace(text, std::regex("\r\n"), "\n");
  text = std::regex_replace(text, std::regex(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d-)"), "<stamp>-");
  text = std::regex_replace(text, std::regex(R"(logqanocontrol_\d{8}\.txt)"),
                            "logqanocontrol_<day>.txt");
  return std::regex_replace(text, std::regex(R"(\nanno=\d{4}\n)"), "\nanno=<year>\n");
}

// The shop's C: for one start-up: the master database chosen from C:\road\db, the data database
// there, missing or damaged.
enum class Data { sound, missing, damaged };
void lay_out_shop(const std::string& master, Data data) {
  fs::remove_all("C:\\team");
  fs::remove_all("C:\\super");
  fs::create_directories("C:\\team");
  fs::create_directories("C:\\super\\bkp");
  fs::copy_file("C:\\road\\db\\" + master, "C:\\team\\super.mdb");
  if (data == Data::sound) fs::copy_file("C:\\road\\db\\dati.mdb", "C:\\super\\dati.mdb");
  if (data == Data::damaged) std::ofstream("C:\\super\\dati.mdb") << std::string(4096, 'x');
}

struct StartUp {
  const char* name;
  const char* master;
  Data data;
  DWORD status;
  std::string log_lines;  // what qanocheck shows before the settings
  std::string err;
};

// Started in C:\road, on C:, as from the shop's own folder: the databases come through the
// driver, each DOS path through its link.
TEST(ThroughTheAccessDriver, StartUpCompletesOrEndsWhereTheProgramWould) {
  const std::string opened =
      "<stamp>- Avvio programma\n"
      "<stamp>- Apro DB  C:\\super\\dati.mdb\n"
      "<stamp>- Apro DB  C:\\super\\vendite.mdb\n";
  const StartUp cases[] = {
      {"complete", "super.mdb", Data::sound, 0,
       opened + "<stamp>- Apro DB  c:\\team\\super.mdb\nDB OK  \nCONTROLLO DB SUPER OK\n"
                "<stamp>- Controllo  DB  OK\n",
       ""},
      {"no company", "super-senza-societa.mdb", Data::sound, 1,
       "<stamp>- Avvio programma\nERRORE : SOCIETA CON CODICE 1 NON ESISTE \n", ""},
      {"no inizio row", "super-senza-inizio.mdb", Data::sound, 1,
       opened + "ERRORE : SOCIETA CON CODICE 1 NON ESISTE \n", ""},
      {"no data database", "super.mdb", Data::missing, 1,
       opened + "<stamp>- Apro DB  c:\\team\\super.mdb\nERRORE : DB NON ESISTE \n", ""},
      {"damaged data database", "super.mdb", Data::damaged, 2,
       opened + "<stamp>- Apro DB  c:\\team\\super.mdb\nDB OK  \n",
       "qanocheck: failure 3343: Unrecognized database format 'C:\\SUPER\\DATI.MDB'."},
  };
  for (const StartUp& c : cases) {
    SCOPED_TRACE(c.name);
    lay_out_shop(c.master, c.data);
    Outcome outcome = run(QANO_QANOCHECK, "C:\\road");
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    std::string out = normalised(outcome.out);
    EXPECT_EQ(out.substr(0, out.find("\n\n") + 1), c.log_lines) << outcome.err;
    if (c.err.empty()) {
      EXPECT_EQ(outcome.err, "");
    } else {
      EXPECT_EQ(outcome.err.rfind(c.err, 0), 0u) << outcome.err;
    }
    if (c.status == 0) {
      // Every setting, as the shop's databases give them.
      EXPECT_EQ(out.substr(out.find("\n\n") + 2),
                "lettera_drive=\"c\"\n"
                "utenti_nrpos=3\n"
                "utenti_artico=\"S\"\n"
                "utenti_fid_rep=2\n"
                "utenti_chiusura=\"N\"\n"
                "pv_codice=12\n"
                "file_log=\"C:\\\\super\\\\bkp\\\\logqanocontrol_<day>.txt\"\n"
                "utenti_flag_cf=-1\n"
                "anno=<year>\n"
                "codice_societa=1\n"
                "db_dati=\"C:\\\\SUPER\\\\DATI.MDB\"\n"
                "db_vendite=\"C:\\\\super\\\\vendite.mdb\"\n"
                "cartella_dati=\"C:\\\\super\\\\\"\n"
                "automa_aaa=\"2026\"\n"
                "\n");  // and no archive in C:\qano
    }
  }
  fs::remove_all("C:\\team");
  fs::remove_all("C:\\super");
}

// The head of an Access 2000 file, enough for the engine to hand it to the driver.
std::string jet4_head() {
  std::string bytes(4096, '\0');
  const char signature[] = "\0\1\0\0Standard Jet DB";
  bytes.replace(0, sizeof signature, signature, sizeof signature);
  bytes[0x14] = 1;  // Jet 4
  return bytes;
}

TEST(WithoutAnAccessDriver, BothDriversAreTriedAndTheFailureNamesThem) {
  TempFolder folder;
  folder.write("db\\società.mdb", jet4_head());
  Outcome query = run(QANO_JETQUERY, folder.path(),
                      L" db\\societ\u00e0.mdb \"select * from societ\u00e0 where codute = 1 \"");
  EXPECT_EQ(query.status, 2u);
  EXPECT_EQ(query.out, "");
  EXPECT_EQ(query.err.rfind("jetquery: failure 3170: Could not find installable ISAM.", 0), 0u)
      << query.err;
  std::size_t first = query.err.find("'Microsoft Access Driver (*.mdb)'");
  std::size_t second = query.err.find("'Microsoft Access Driver (*.mdb, *.accdb)'");
  EXPECT_NE(first, std::string::npos) << query.err;
  EXPECT_NE(second, std::string::npos) << query.err;
  EXPECT_LT(first, second) << query.err;
}

}  // namespace
}  // namespace qano
