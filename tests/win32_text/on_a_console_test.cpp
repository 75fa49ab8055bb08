// The programs' text on a real console: the console's own characters, read back from its screen
// buffer, whatever its code page; and the same program's text into a pipe, as UTF-8.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_console.h"

namespace qano::win32 {
namespace {

// A console of this test program's own, read back from its screen buffer.
class OnAConsole : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeConsole();
    if (!AllocConsole())
      GTEST_SKIP() << "no console can be made here (error " << GetLastError() << ")";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    console_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console_, INVALID_HANDLE_VALUE);
    // Wine makes a working console only on a display: the test runs on one of its own.
    ASSERT_TRUE(is_console(console_))
        << "the console made does not answer (error " << GetLastError() << ")";
  }
  void TearDown() override {
    if (console_ != INVALID_HANDLE_VALUE) CloseHandle(console_);
    FreeConsole();
  }
  // The first row of the screen buffer, without its trailing blanks.
  std::wstring row(SHORT y) const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(console_, &info);
    std::wstring cells(static_cast<std::size_t>(info.dwSize.X), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(console_, cells.data(), static_cast<DWORD>(cells.size()),
                                COORD{0, y}, &read);
    cells.resize(read);
    while (!cells.empty() && cells.back() == L' ') cells.pop_back();
    return cells;
  }

  HANDLE console_ = INVALID_HANDLE_VALUE;
};

TEST_F(OnAConsole, ShowsTheTextAsWrittenWhateverTheConsolesCodePage) {
  SetConsoleOutputCP(850);
  WideTextBuffer buffer([this](std::wstring_view text) { return write_console(console_, text); });
  std::ostream out(&buffer);
  out << "Apro DB  c:\\societ\xC3\xA0\\dati.mdb \xE2\x82\xAC" << std::flush;
  EXPECT_EQ(row(0), L"Apro DB  c:\\societ\u00e0\\dati.mdb \u20ac");
}

TEST_F(OnAConsole, AProgramWritesToItsConsoleAndIntoAPipe) {
  // jetquery's failure for a file that is not there names the file, accents and all.
  const std::string jetquery = QANO_JETQUERY;
  std::wstring command =
      L"\"" + to_wide(jetquery) + L"\" \"c:\\societ\u00e0\\no.mdb\" \"select * from t\"";

  auto run = [&](HANDLE output) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    std::wstring line = command;
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &process));
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  };

  run(console_);
  std::wstring shown;
  for (SHORT y = 0; y < 3; ++y) shown += row(y);
  EXPECT_NE(shown.find(L"jetquery: failure 3024: Could not find file 'c:\\societ\u00e0\\no.mdb'"),
            std::wstring::npos)
      << from_wide(shown);

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 0));
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  run(write_end);
  CloseHandle(write_end);
  std::string bytes;
  char chunk[512];
  DWORD got = 0;
  while (ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0)
    bytes.append(chunk, got);
  CloseHandle(read_end);
  EXPECT_NE(bytes.find("Could not find file 'c:\\societ\xC3\xA0\\no.mdb'"), std::string::npos)
      << bytes;
}

}  // namespace
}  // namespace qano::win32
