// UTF-8 (the program's text) to and from UTF-16 (the Win32 API's), for platform/win32 only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qano::win32 {

// Each invalid byte becomes U+FFFD.
inline std::wstring to_wide(std::string_view utf8, UINT code_page = CP_UTF8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(code_page, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(code_page, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  }
  return out;
}

// To UTF-8, or to the ANSI code page (CP_ACP), where each character that the code page lacks
// becomes '?', never a look-alike ("best fit").
inline std::string from_wide(std::wstring_view wide, UINT code_page = CP_UTF8) {
  if (wide.empty()) return std::string();
  const DWORD flags = code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* replacement = code_page == CP_UTF8 ? nullptr : "?";
  int n = WideCharToMultiByte(code_page, flags, wide.data(), static_cast<int>(wide.size()), nullptr,
                              0, replacement, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(code_page, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        replacement, nullptr);
  }
  return out;
}

// The system's text for an error code, without its line end; "error N" when it has none.
inline std::string error_text(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n > 0 ? from_wide(std::wstring_view(buffer, n)) : std::string();
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
