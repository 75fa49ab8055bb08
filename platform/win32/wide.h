// UTF-8 (the program's text) to and from UTF-16 (the Win32 API's), for platform/win32 only.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

namespace qano::win32 {

// The failure of a text conversion that the system refuses: 5, "Invalid procedure call or
// argument", as for a conversion function given what it cannot take.
inline constexpr int kConversionFailure = 5;

// The code page that CP_ACP, CP_OEMCP or CP_THREAD_ACP stands for on this workstation; any other
// code page as it is. A workstation set to "Use Unicode UTF-8 for worldwide language support"
// has 65001 (CP_UTF8) as its ANSI and OEM code pages.
inline UINT resolved_code_page(UINT code_page) {
  switch (code_page) {
    case CP_ACP:
      return GetACP();
    case CP_OEMCP:
      return GetOEMCP();
    case CP_THREAD_ACP: {
      wchar_t digits[8] = {};
      if (GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, digits, 8) > 0) {
        UINT cp = static_cast<UINT>(std::wcstoul(digits, nullptr, 10));
        if (cp != CP_ACP) return cp;
      }
      return GetACP();
    }
    default:
      return code_page;
  }
}

// Whether WideCharToMultiByte takes flags and a default character for the code page. UTF-8 and
// UTF-7 take neither (the call fails with ERROR_INVALID_PARAMETER or ERROR_INVALID_FLAGS), nor do
// the ISO-2022 and ISCII pages and Symbol.
inline bool takes_replacement(UINT code_page) {
  return !(code_page == CP_UTF8 || code_page == CP_UTF7 || code_page == 42 ||
           (code_page >= 50220 && code_page <= 50229) ||
           (code_page >= 57002 && code_page <= 57011));
}

// A conversion that the system refused: a failure, never an empty text (a log line written empty
// would be lost without a word).
[[noreturn]] inline void conversion_failed(const char* direction, UINT code_page) {
  const DWORD error = GetLastError();
  throw Failure(kConversionFailure,
                std::string("Invalid procedure call or argument: cannot convert a text ") +
                    direction + " code page " + std::to_string(code_page) + " (system error " +
                    std::to_string(error) + ")");
}

// From UTF-8 (the default) or another code page to UTF-16; each invalid byte becomes U+FFFD.
inline std::wstring to_wide(std::string_view text, UINT code_page = CP_UTF8) {
  if (text.empty()) return std::wstring();
  const UINT cp = resolved_code_page(code_page);
  const int size = static_cast<int>(text.size());
  int n = MultiByteToWideChar(cp, 0, text.data(), size, nullptr, 0);
  if (n <= 0) conversion_failed("from", cp);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  if (MultiByteToWideChar(cp, 0, text.data(), size, out.data(), n) != n) {
    conversion_failed("from", cp);
  }
  return out;
}

// To UTF-8 (the default) or to another code page such as the ANSI one (CP_ACP). Where the code
// page allows it, each character that it lacks becomes '?', never a look-alike ("best fit");
// UTF-8 lacks none.
inline std::string from_wide(std::wstring_view wide, UINT code_page = CP_UTF8) {
  if (wide.empty()) return std::string();
  const UINT cp = resolved_code_page(code_page);
  const bool replace = takes_replacement(cp);
  const DWORD flags = replace ? WC_NO_BEST_FIT_CHARS : 0;
  const char* replacement = replace ? "?" : nullptr;
  const int size = static_cast<int>(wide.size());
  int n = WideCharToMultiByte(cp, flags, wide.data(), size, nullptr, 0, replacement, nullptr);
  if (n <= 0) conversion_failed("to", cp);
  std::string out(static_cast<std::size_t>(n), '\0');
  if (WideCharToMultiByte(cp, flags, wide.data(), size, out.data(), n, replacement, nullptr) != n) {
    conversion_failed("to", cp);
  }
  return out;
}

// The system's text for an error code, without its line end; "error N" when it has none.
inline std::string error_text(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  try {
    if (n > 0) text = from_wide(std::wstring_view(buffer, n));
  } catch (const Failure&) {
    text.clear();  // told by its number below
  }
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(error) : text;
}

// The same with every "%1" of the system's text filled with `insert` (a path, as a rule).
inline std::string error_text(DWORD error, const std::string& insert) {
  std::string text = error_text(error);
  for (std::size_t at = text.find("%1"); at != std::string::npos;
       at = text.find("%1", at + insert.size())) {
    text.replace(at, 2, insert);
  }
  return text;
}

// A command line as the user typed it, whatever the console's code page: wmain's arguments in
// UTF-8, with an argv-style array (ended by a null) pointing into them.
struct Utf8Arguments {
  std::vector<std::string> texts;
  std::vector<char*> argv;
};
inline Utf8Arguments utf8_arguments(int argc, wchar_t** wide_argv) {
  Utf8Arguments args;
  for (int i = 0; i < argc; ++i) args.texts.push_back(from_wide(wide_argv[i]));
  for (std::string& text : args.texts) args.argv.push_back(text.data());
  args.argv.push_back(nullptr);
  return args;
}

}  // namespace qano::win32
