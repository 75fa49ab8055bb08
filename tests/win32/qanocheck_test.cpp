// qanocheck.exe and jetquery.exe as a shop's IT runs them: on a workstation without the master
// database, and on one without an Access driver (Wine's ODBC has none).
#include <gtest/gtest.h>
#include <windows.h>

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
