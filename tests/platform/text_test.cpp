#include "platform/text.h"

#include <gtest/gtest.h>

#include "platform/support/files/dos_path.h"
#include "platform/support/files/name_order.h"

namespace qano {
namespace {

TEST(Text, WildcardsMatchDosStyle) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"acq_*.zip", "acq_0001.zip", true},  {"acq_*.zip", "ACQ_0001.ZIP", true},
      {"acq_*.zip", "acq_.zip", true},      {"acq_*.zip", "acq_1.zip.part", false},
      {"acq_*.zip", "xacq_1.zip", false},   {"acq_?.zip", "acq_ä.zip", true},
      {"acq_?.zip", "acq_12.zip", false},   {"*", "anything", true},
      {"*a*b*c", "xaxbxc", true},           {"*a*b*c", "xaxbxcx", false},
      {"società.txt", "SOCIETÀ.TXT", true}, {"dati.mdb", "dati.mdb ", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text::wildcard_match(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  }
}

TEST(Text, Utf8SequencesAreWholeOrNone) {
  EXPECT_EQ(text::utf8_sequence_length("a", 0), 1u);
  EXPECT_EQ(text::utf8_sequence_length("x\xC3\xA0", 1), 2u);     // à
  EXPECT_EQ(text::utf8_sequence_length("\xE2\x82\xAC", 0), 3u);  // €
  EXPECT_EQ(text::utf8_sequence_length("\xF0\x9F\x98\x80", 0), 4u);
  EXPECT_EQ(text::utf8_sequence_length("\xE2\x82", 0), 0u);  // cut short at the end
  EXPECT_EQ(text::utf8_sequence_length("\xC3"
                                       "a",
                                       0),
            0u);                                         // broken by a plain byte
  EXPECT_EQ(text::utf8_sequence_length("\x80", 0), 0u);  // a continuation byte alone
  EXPECT_EQ(text::utf8_sequence_length("\xFF", 0), 0u);
}

TEST(Text, AnsiCodePage) {
  EXPECT_EQ(text::to_ansi("è€àù"), "\xE8\x80\xE0\xF9");
  EXPECT_EQ(text::to_ansi("a中b"), "a?b");
  EXPECT_EQ(text::to_ansi("a\xFF"
                          "b"),
            "a?b");  // not UTF-8 at all
  EXPECT_EQ(text::from_ansi("\xE8\x80"), "è€");
  EXPECT_TRUE(text::fits_ansi("acq_è€.zip"));
  EXPECT_FALSE(text::fits_ansi("acq_中.zip"));
  EXPECT_FALSE(text::fits_ansi("acq_\xFF.zip"));
}

TEST(Text, CaseMapping) {
  EXPECT_TRUE(text::equal_ignoring_case("SOCIETÀ", "società"));
  EXPECT_FALSE(text::equal_ignoring_case("dati.mdb", "dati.mdb "));
  EXPECT_EQ(text::upper("c:\\super\\dati.mdb"), "C:\\SUPER\\DATI.MDB");
}

TEST(DosPath, Parts) {
  DosPath p = parse_dos_path("C:\\qano\\acq_*.zip");
  EXPECT_EQ(p.drive, 'c');
  EXPECT_TRUE(p.rooted);
  EXPECT_EQ(p.components, (std::vector<std::string>{"qano", "acq_*.zip"}));
  EXPECT_EQ(p.leaf(), "acq_*.zip");
  EXPECT_EQ(p.parent().components, std::vector<std::string>{"qano"});

  DosPath unc = parse_dos_path("\\\\server\\share\\dati.mdb");
  EXPECT_EQ(unc.unc_server, "server");
  EXPECT_EQ(unc.unc_share, "share");
  EXPECT_EQ(unc.components, std::vector<std::string>{"dati.mdb"});

  DosPath relative = parse_dos_path("dati.mdb");
  EXPECT_EQ(relative.drive, 0);
  EXPECT_FALSE(relative.rooted);
  EXPECT_EQ(parse_dos_path("\\super\\x").rooted, true);
}

TEST(DosPath, BlanksAndDotsAtTheEndAreDroppedAsWindowsDrops) {
  using Parts = std::vector<std::string>;
  EXPECT_EQ(parse_dos_path("C:\\SUPER\\DATI.MDB  ").components, (Parts{"SUPER", "DATI.MDB"}));
  EXPECT_EQ(parse_dos_path("C:\\super\\dati.mdb. .").components, (Parts{"super", "dati.mdb"}));
  EXPECT_EQ(parse_dos_path("C:\\super\\ .").components, Parts{"super"});
  // Only at the end of the path: inside it, and before the name, blanks are part of the names.
  EXPECT_EQ(parse_dos_path("C:\\super \\ dati.mdb").components, (Parts{"super ", " dati.mdb"}));
  EXPECT_EQ(parse_dos_path("C:\\super \\").components, Parts{"super "});
  EXPECT_EQ(parse_dos_path("C:\\super\\..").components, (Parts{"super", ".."}));
}

// Every platform lists a folder in this order: case ignored, then by the bytes, so that case
// twins keep one order whatever the folder's own.
TEST(Text, NamesAndEntriesInTheListingsOrder) {
  std::vector<std::string> names = {"b", "ACQ_2.zip", "a", "acq_1.zip", "A", "Società", "SOCIETÀ"};
  sort_names(names);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "acq_1.zip", "ACQ_2.zip", "b", "SOCIETÀ",
                                             "Società"}));
  std::vector<Entry> entries = {{"acq_var.txt"}, {"ACQ_VAR.TXT"}, {"agglis.bat"}};
  sort_entries(entries);
  EXPECT_EQ(entries[0].name, "ACQ_VAR.TXT");
  EXPECT_EQ(entries[1].name, "acq_var.txt");
  EXPECT_EQ(entries[2].name, "agglis.bat");
}

}  // namespace
}  // namespace qano
