// Text services on Windows: UTF-8 <-> UTF-16 and the ANSI code page through
// MultiByteToWideChar / WideCharToMultiByte, case mapping through LCMapStringEx.
#include "platform/text.h"

#include <windows.h>

#include <string>

#include "platform/win32/wide.h"

namespace qano::text {

namespace {

using win32::from_wide;
using win32::to_wide;

std::string map_case(std::string_view utf8, const wchar_t* locale, DWORD flags) {
  std::wstring w = to_wide(utf8);
  if (w.empty()) return std::string();
  int n = LCMapStringEx(locale, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                        nullptr, 0);
  if (n <= 0) return from_wide(w);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  LCMapStringEx(locale, flags, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                nullptr, 0);
  return from_wide(out);
}

}  // namespace

std::u16string to_utf16(std::string_view utf8) {
  const std::wstring wide = to_wide(utf8);
  return std::u16string(wide.begin(), wide.end());
}

std::string from_utf16(std::u16string_view utf16) {
  return from_wide(std::wstring(utf16.begin(), utf16.end()));
}

std::string fold(std::string_view utf8) {
  // The same lower-case form on every workstation, whatever its language.
  return map_case(utf8, LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE);
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a == b) return true;
  return fold(a) == fold(b);
}

std::string upper(std::string_view utf8) {
  return map_case(utf8, LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING);
}

std::string to_ansi(std::string_view utf8) {
  bool ascii = true;
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(utf8);
  return from_wide(to_wide(utf8), CP_ACP);
}

std::string from_ansi(std::string_view ansi) {
  return from_wide(to_wide(ansi, CP_ACP));
}

bool fits_ansi(std::string_view utf8) {
  if (!utf8.empty() && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                           static_cast<int>(utf8.size()), nullptr, 0) == 0) {
    return false;
  }
  return from_ansi(to_ansi(utf8)) == utf8;
}

}  // namespace qano::text
