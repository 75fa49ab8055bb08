// The programs' text on a console and into a pipe: UTF-16 through WriteConsoleW on a console,
// UTF-8 bytes elsewhere.
#include "platform/win32/win32_console.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/win32/wide.h"

namespace qano::win32 {
namespace {

TEST(WholeUtf8Prefix, HoldsBackACharacterCutAtTheEnd) {
  struct Case {
    std::string bytes;
    std::size_t whole;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {"a\xC3", 1},                 // è cut after its first byte
      {"a\xC3\xA8", 3},             // è whole
      {"\xE4\xB8", 0},              // 中 cut
      {"\xF0\x9F\x98", 0},          // an emoji cut after three of four
      {"\xF0\x9F\x98\x80", 4},      // whole
      {"a\xA8", 2},                 // a stray continuation byte is not held
      {"a\xFF", 2},                 // nor an invalid byte
      {"\x80\x80\x80\x80\x80", 5},  // nor a run of continuation bytes
  };
  for (const Case& c : cases) EXPECT_EQ(whole_utf8_prefix(c.bytes), c.whole) << c.bytes;
}

TEST(WideTextBuffer, WritesWholeCharactersOnEachFlush) {
  std::wstring written;
  int writes = 0;
  {
    WideTextBuffer buffer([&](std::wstring_view text) {
      written += text;
      ++writes;
      return true;
    });
    std::ostream out(&buffer);
    out << "societ\xC3" << std::flush;  // the à is cut: "societ" goes, the cut byte waits
    EXPECT_EQ(written, L"societ");
    out << "\xA0 \xE2\x82\xAC" << std::flush;
    EXPECT_EQ(written, L"societ\u00e0 \u20ac");
    out << std::string(10000, 'x') << '\n';  // a long text goes before any flush
    EXPECT_GE(written.size(), 10000u);
    out << "\xE4";  // left at the end: shown as it is
  }
  EXPECT_EQ(written.substr(written.size() - 2), L"\n\ufffd");
  EXPECT_GE(writes, 3);
}

TEST(WideTextBuffer, AFailedWriteShowsOnTheStream) {
  WideTextBuffer buffer([](std::wstring_view) { return false; });
  std::ostream out(&buffer);
  out << "x" << std::flush;
  EXPECT_TRUE(out.bad());
}

}  // namespace
}  // namespace qano::win32
