// The conversions of platform/win32/wide.h on the code pages a workstation may have as its ANSI
// code page: Windows-1252, and UTF-8 ("Use Unicode UTF-8 for worldwide language support").
#include <gtest/gtest.h>

#include "platform/failure.h"
#include "platform/win32/wide.h"

namespace qano::win32 {
namespace {

TEST(CodePages, OneCharacterOfEachKindInEachCodePage) {
  const std::wstring line = L"Apro DB c:\\societ\u00e0\\\u20ac \u4e2d";
  struct Case {
    UINT code_page;
    std::string bytes;
  } cases[] = {
      {1252, "Apro DB c:\\societ\xE0\\\x80 ?"},
      {CP_UTF8, "Apro DB c:\\societ\xC3\xA0\\\xE2\x82\xAC \xE4\xB8\xAD"},
      {850, "Apro DB c:\\societ\x85\\? ?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(from_wide(line, c.code_page), c.bytes) << c.code_page;
    if (c.code_page == CP_UTF8) {
      EXPECT_EQ(to_wide(c.bytes, c.code_page), line);
    }
  }
}

TEST(CodePages, TheAnsiCodePageIsTheWorkstations) {
  EXPECT_EQ(resolved_code_page(CP_ACP), GetACP());
  EXPECT_EQ(resolved_code_page(CP_OEMCP), GetOEMCP());
  EXPECT_EQ(resolved_code_page(1252), 1252u);
  EXPECT_EQ(from_wide(L"\u00e8", CP_ACP), from_wide(L"\u00e8", GetACP()));
}

TEST(CodePages, ARefusedConversionIsAFailureNotAnEmptyText) {
  // Windows refuses flags and a default character for code page 65001 (Wine lets them pass): the
  // helper gives neither for it.
  EXPECT_FALSE(takes_replacement(CP_UTF8));
  EXPECT_TRUE(takes_replacement(1252));
  // A code page that the system does not have: a failure with its number, never "".
  try {
    from_wide(L"\u00e8", 12345);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 5);
    EXPECT_NE(f.text().find("12345"), std::string::npos) << f.text();
  }
  EXPECT_THROW(to_wide("\xE8", 12345), Failure);
  EXPECT_EQ(from_wide(L"", 12345), "");
}

}  // namespace
}  // namespace qano::win32
