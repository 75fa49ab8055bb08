// The script writer on its own: which names it can write, how it quotes them, how a failed
// archive is set aside, and, for names drawn at random, that the command interpreter would read
// back exactly the intended commands.
#include "intake/unpack_script.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "intake/archive_intake.h"
#include "intake/claim.h"
#include "platform/text.h"
#include "tests/support/batch_line.h"
#include "tests/support/script_words.h"

namespace qano::intake {
namespace {

using qano::test::read_batch_line;

TEST(UnpackScript, NamesThatCanBeWrittenIntoTheScript) {
  struct Case {
    std::string name;
    bool can;
  };
  const Case cases[] = {
      {"acq_1.zip", true},
      {"acq 1 (2).zip", true},
      {"acq_a&b^c%d!e,f;g=h'i`j~k[l]{m}+n@o#p$q.zip", true},
      {"", false},
      {"acq_\"1\".zip", false},  // characters Windows forbids in a name
      {"acq_*.zip", false},
      {"acq_?.zip", false},
      {"acq_a:b.zip", false},
      {"acq_a\\b.zip", false},
      {"acq_a<b>.zip", false},
      {"acq_a|b.zip", false} /* '|' is forbidden too */,
      {"acq_\t.zip", false},  // control characters
      {"acq_\x7f.zip", false},
      {"acq_perch\xC3\xA9.zip", false},  // in the ANSI code page, but read back wrongly
      {"acq_\xCE\xA9mega.zip", false},   // not in the ANSI code page at all
      {"acq_\xFF.zip", false},           // not even UTF-8
  };
  for (const Case& c : cases) EXPECT_EQ(can_name_in_script(c.name), c.can) << c.name;
}

TEST(UnpackScript, OnlyLettersDigitsUnderscoreHyphenAndDotGoUnquoted) {
  EXPECT_TRUE(is_plain_name("ACQ_2024-01-05.v2.zip"));
  for (std::string name : {"acq 1.zip", "acq_~1.zip", "acq_'.zip", "acq_+.zip", "acq_,.zip"}) {
    EXPECT_FALSE(is_plain_name(name)) << name;
  }
  EXPECT_EQ(script_path("C:\\qano\\", "acq_1.zip"), "C:\\qano\\acq_1.zip");
  EXPECT_EQ(script_path("C:\\qano\\", "acq_%1%.zip"), "\"C:\\qano\\acq_%%1%%.zip\"");
  EXPECT_EQ(script_path("", "errore_acq 1.zip"), "\"errore_acq 1.zip\"");
}

TEST(UnpackScript, SetAsideNameAvoidsThoseAlreadyThere) {
  struct Case {
    std::vector<std::string> existing;
    std::string expected;
  };
  const Case cases[] = {
      {{}, "errore_acq_1.zip"},
      {{"ERRORE_ACQ_1.ZIP"}, "errore_2_acq_1.zip"},  // names compare without regard to case
      {{"errore_acq_1.zip", "errore_2_acq_1.zip", "errore_x_acq_1.zip"}, "errore_3_acq_1.zip"},
      {{"errore_2_acq_1.zip"}, "errore_acq_1.zip"},
  };
  for (const Case& c : cases) EXPECT_EQ(set_aside_name("acq_1.zip", c.existing), c.expected);
  EXPECT_EQ(set_aside_pattern("acq 1.zip"), "C:\\qano\\errore*_acq 1.zip");
  // What the pattern finds is exactly what a set-aside name can be.
  for (const char* name : {"errore_acq_1.zip", "errore_12_acq_1.zip"}) {
    EXPECT_TRUE(text::wildcard_match("errore*_acq_1.zip", name)) << name;
  }
  // A set-aside archive is no longer an incoming one.
  EXPECT_FALSE(text::wildcard_match("acq_*.zip", set_aside_name("acq_1.zip", {})));
}

TEST(UnpackScript, HalfArrivedArchivesWait) {
  struct Case {
    FileFacts facts;
    bool arrived;
  };
  const Case cases[] = {
      {{100, 3600.0, false}, true}, {{100, 2.0, false}, true},
      {{100, 1.99, false}, false},  {{100, 1.0, false}, false},
      {{100, 0.0, false}, false},   {{0, 3600.0, false}, false},
      {{100, 3600.0, true}, false}, {{100, -1.0, false}, false},
      {{100, -600.0, false}, true},  // stamped by a clock ahead of this one
  };
  for (const Case& c : cases) {
    EXPECT_EQ(has_arrived(c.facts), c.arrived)
        << c.facts.size << " bytes, " << c.facts.seconds_since_write << " s, in use "
        << c.facts.in_use;
  }
}

TEST(UnpackScript, TheInterpreterReadsBackExactlyTheIntendedCommandsForAnyName) {
  // Every character a Windows file name may hold in printable ASCII, the troublesome ones often.
  std::string alphabet;
  for (char c = 0x20; c < 0x7F; ++c) {
    if (std::string_view("\"*/:<>?\\|").find(c) == std::string_view::npos) alphabet += c;
  }
  alphabet += "%%%%&&^^(())!!  ,;=";
  std::mt19937 random(20261207);
  std::uniform_int_distribution<std::size_t> length(0, 24), pick(0, alphabet.size() - 1);
  for (int round = 0; round < 5000; ++round) {
    std::string name = "acq_";
    for (std::size_t n = length(random); n > 0; --n) name += alphabet[pick(random)];
    name += ".zip";
    ASSERT_TRUE(can_name_in_script(name)) << name;
    Claim claim{round % 2 == 0 ? "20261207-122127" : "20261207-122127-12", name};
    std::vector<std::string> lines = unpack_script(claim);
    std::vector<std::vector<std::string>> words = qano::test::script_words(claim);
    ASSERT_EQ(lines.size(), 5u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      auto read = read_batch_line(lines[i]);
      ASSERT_TRUE(read) << lines[i];
      EXPECT_EQ(*read, words[i]) << lines[i];
    }
    // The unzip command keeps its classic start, and only the one entry comes out.
    EXPECT_EQ(lines[2].rfind("c:\\programmi\\winzip\\wzunzip ", 0), 0u);
    EXPECT_TRUE(lines[2].ends_with(" acq_var.txt")) << lines[2];
  }
}

TEST(UnpackScript, ClaimIdsAreTheTimeOfTheClaimAndOnlyThoseAreTakenForClaims) {
  EXPECT_EQ(claim_id({2026, 12, 7}, {9, 5, 3}, 1), "20261207-090503");
  EXPECT_EQ(claim_id({2026, 12, 7}, {9, 5, 3}, 2), "20261207-090503-2");
  EXPECT_EQ(claim_id({2026, 12, 7}, {23, 59, 59}, kLastSerial).size(), kLongestClaimId);
  for (const char* id : {"20261207-090503", "20261207-090503-2", "20261207-090503-9999"}) {
    EXPECT_TRUE(is_claim_id(id)) << id;
  }
  for (const char* other : {"archiviati", "20261207-09050", "20261207_090503", "20261207-090503-",
                            "20261207-090503-x", "2026120a-090503"}) {
    EXPECT_FALSE(is_claim_id(other)) << other;
  }
}

}  // namespace
}  // namespace qano::intake
