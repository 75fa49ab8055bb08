// elaboro_Divulgazioni and Qano_Articoli on the fake platform, with the script's part played as
// Wine's cmd and the unzip tool would play it (shop.h).
#include "intake/archive_intake.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "intake/companion.h"
#include "tests/intake/shop.h"

namespace qano {
namespace {

using intake::Fate;
using testing::ScriptEnd;
using testing::Shop;

constexpr const char* kScript = "C:\\qano\\agglis.bat";
constexpr const char* kLeftover = "C:\\qano\\acq_var.txt";
constexpr const char* kClaim = "C:\\qano\\qanocontrol\\20261207-122127";

std::string join_lines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

// The fate survey() gives the archive `name`; "none" when it is not shown.
std::string fate_of(Shop& shop, const std::string& name) {
  for (const intake::ArchiveFate& f : shop.intake->survey()) {
    if (f.name == name) return std::string(intake::fate_name(f.fate)) + ": " + f.reason;
  }
  return "none";
}

TEST(ArchiveIntake, NothingToTakeTouchesNothing) {
  struct Case {
    const char* name;
    bool exchange_folder;
    std::function<void(Shop&)> scene;
  };
  const Case cases[] = {
      {"no archive", true,
       [](Shop& s) {
         for (const char* other :
              {"acq_1.txt", "x.zip", "acq_1.zipx", "acq.zip", "errore_acq_1.zip"}) {
           s.platform.add_file(std::string("C:\\qano\\") + other, "x");
         }
       }},
      {"no exchange folder", false, [](Shop&) {}},
      {"hidden archive", true, [](Shop& s) { s.add_archive("acq_1.zip", {.hidden = true}); }},
      {"system archive", true, [](Shop& s) { s.add_archive("acq_1.zip", {.system = true}); }},
      {"a folder named like an archive", true,
       [](Shop& s) { s.platform.add_folder("C:\\qano\\acq_1.zip"); }},
      {"a link named like an archive", true,
       [](Shop& s) { s.platform.add_entry("C:\\qano\\acq_1.zip", EntryKind::link); }},
      {"an empty archive", true, [](Shop& s) { s.platform.add_file("C:\\qano\\acq_1.zip", ""); }},
      {"an archive written a second ago", true,
       [](Shop& s) {
         s.add_archive("acq_1.zip");
         s.platform.set_facts("C:\\qano\\acq_1.zip", {100, 1.0, false});
       }},
      {"an archive held by its writer", true,
       [](Shop& s) {
         s.add_archive("acq_1.zip");
         s.platform.set_facts("C:\\qano\\acq_1.zip", {100, 3600.0, true});
       }},
      {"an archive that cannot be read", true,
       [](Shop& s) { s.add_archive("acq_1.zip", {.unreadable = true}); }},
      {"an archive that cannot be moved", true,
       [](Shop& s) { s.add_archive("acq_1.zip", {.immovable = true}); }},
      {"names the interpreter would misread", true,
       [](Shop& s) {
         s.add_archive("acq_\xCE\xA9mega.zip");   // not in the ANSI code page
         s.add_archive("acq_perch\xC3\xA9.zip");  // in it, but read back in the OEM code page
       }},
      {"a name too long for its claim's paths", true,
       [](Shop& s) { s.add_archive("acq_" + std::string(200, 'a') + ".zip"); }},
  };
  for (const Case& c : cases) {
    Shop shop(c.exchange_folder);
    if (c.exchange_folder) {
      shop.platform.add_file(kScript, "old script\r\n");
      shop.platform.add_file(kLeftover, "old invoices\r\n");
    }
    shop.add_companion();
    c.scene(shop);
    std::vector<Entry> before = shop.platform.entries("C:\\qano\\*");
    shop.platform.clear_journal();

    shop.intake_once();

    EXPECT_EQ(shop.effects(), std::vector<std::string>{}) << c.name;
    EXPECT_TRUE(shop.platform.starts().empty()) << c.name;
    EXPECT_EQ(shop.platform.open_numbers(), std::vector<int>{2}) << c.name << ": log still open";
    EXPECT_EQ(shop.platform.entries("C:\\qano\\*").size(), before.size()) << c.name;
    if (c.exchange_folder) {
      EXPECT_EQ(shop.script(), "old script\r\n") << c.name;
      EXPECT_EQ(shop.platform.bytes(kLeftover), "old invoices\r\n") << c.name;
    }
  }
}

TEST(ArchiveIntake, RoadOfOneArchive) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.add_companion();
  shop.platform.add_file(kScript, "an older, longer script\r\nthat is truncated\r\n");
  shop.platform.add_file(kLeftover, "what an earlier version unpacked\r\n");
  // The script must be complete and closed when it starts.
  std::string script_at_start;
  std::vector<int> open_at_start{-1};
  shop.platform.before_call = [&](const std::string& call, const std::string& argument) {
    if (call == "shell" && argument.rfind(kScript, 0) == 0) {
      script_at_start = shop.script();
      open_at_start = shop.platform.open_numbers();
    }
  };

  shop.intake_once();

  const std::string claimed = std::string(kClaim) + "\\acq_1.zip";
  const std::string lines = join_lines({
      "REM echo off",
      "cd c:\\qano\\qanocontrol\\20261207-122127",
      "c:\\programmi\\winzip\\wzunzip c:\\qano\\qanocontrol\\20261207-122127\\acq_1.zip "
      "acq_var.txt",
      "if not errorlevel 1 move /y c:\\qano\\qanocontrol\\20261207-122127\\acq_1.zip "
      "c:\\qano\\qanocontrol\\archiviati\\20261207-122127_acq_1.zip",
      "if exist c:\\qano\\qanocontrol\\archiviati\\20261207-122127_acq_1.zip move /y "
      "c:\\qano\\qanocontrol\\20261207-122127\\acq_var.txt c:\\qano\\fatture\\acq_var.txt",
  });
  std::vector<std::string> effects = shop.effects();
  std::vector<std::string> expected = {
      "remove_entry C:\\qano\\acq_var.txt",
      "make_folder C:\\qano\\qanocontrol",
      "make_folder C:\\qano\\qanocontrol\\archiviati",
      std::string("make_folder ") + kClaim,
      "move_file C:\\qano\\acq_1.zip -> " + claimed,
      "open_output 3 C:\\qano\\agglis.bat",
  };
  ASSERT_GE(effects.size(), expected.size() + 8);
  EXPECT_EQ(std::vector<std::string>(effects.begin(), effects.begin() + 6), expected);
  EXPECT_EQ(
      std::vector<std::string>(effects.end() - 3, effects.end()),
      (std::vector<std::string>{"close_all", std::string("shell C:\\qano\\agglis.bat 3 ") + kClaim,
                                "shell C:\\super\\qanodivulgazioni.exe 1"}));
  EXPECT_EQ(shop.script(), lines);
  EXPECT_EQ(script_at_start, lines);
  EXPECT_EQ(open_at_start, std::vector<int>{});
  EXPECT_EQ(shop.platform.open_numbers(), std::vector<int>{}) << "the log is closed too";
  EXPECT_FALSE(shop.platform.exists(kLeftover));
  EXPECT_FALSE(shop.platform.exists("C:\\qano\\acq_1.zip")) << "claimed before anything else";
  EXPECT_TRUE(shop.platform.exists(claimed));
  ASSERT_EQ(shop.platform.starts().size(), 2u);
  EXPECT_EQ(shop.platform.starts()[0].style, WindowStyle::maximized);
  EXPECT_EQ(shop.platform.starts()[1].style, WindowStyle::normal);
  EXPECT_EQ(shop.platform.starts()[1].folder, "");

  // The script files it; the next look tidies the claim away and keeps the archive.
  shop.play_script(ScriptEnd::filed, "the invoices\r\n");
  shop.intake_once();
  EXPECT_EQ(shop.platform.bytes(Shop::kInvoices), "the invoices\r\n");
  EXPECT_EQ(shop.filed(), std::vector<std::string>{"20261207-122127_acq_1.zip"});
  EXPECT_FALSE(shop.platform.folder_exists(kClaim));
  EXPECT_EQ(shop.scripts(), 1u);
}

TEST(ArchiveIntake, OddNamesAreQuotedInEveryLineThatNamesThem) {
  struct Case {
    std::string name;
    std::string written;  // the archive's name as the script writes it inside its quoted paths
  };
  const Case cases[] = {
      {"acq_1 di 2.zip", "acq_1 di 2.zip"}, {"acq_a&b.zip", "acq_a&b.zip"},
      {"acq_50%.zip", "acq_50%%.zip"},      {"acq_%PATH%.zip", "acq_%%PATH%%.zip"},
      {"acq_(2).zip", "acq_(2).zip"},       {"acq_x) & del C.zip", "acq_x) & del C.zip"},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.add_archive(c.name);
    shop.intake_once();
    const std::string claimed = "\"c:\\qano\\qanocontrol\\20261207-122127\\" + c.written + "\"";
    const std::string filed =
        "\"c:\\qano\\qanocontrol\\archiviati\\20261207-122127_" + c.written + "\"";
    EXPECT_EQ(shop.script_line(3), "c:\\programmi\\winzip\\wzunzip " + claimed + " acq_var.txt")
        << c.name;
    EXPECT_EQ(shop.script_line(4), "if not errorlevel 1 move /y " + claimed + " " + filed)
        << c.name;
    EXPECT_EQ(shop.script_line(5), "if exist " + filed +
                                       " move /y c:\\qano\\qanocontrol\\20261207-122127\\"
                                       "acq_var.txt c:\\qano\\fatture\\acq_var.txt")
        << c.name;
  }
}

TEST(ArchiveIntake, NamesThatCannotBeWrittenAreLeftAndTheNextArchiveIsTaken) {
  Shop shop;
  shop.add_archive("acq_\xCE\xA9mega.zip");   // sorts first: Ω folds to ω, after ASCII
  shop.add_archive("acq_perch\xC3\xA9.zip");  // "perché"
  shop.platform.add_entry("C:\\qano\\acq_0.zip", EntryKind::link);
  shop.add_archive("acq_a.zip", {.unreadable = true});
  shop.add_archive("acq_b.zip");
  EXPECT_EQ(fate_of(shop, "acq_0.zip"),
            "left: it is a link: what it points to is not the exchange folder's");
  EXPECT_EQ(fate_of(shop, "acq_a.zip"), "left: it cannot be read: Permission denied");
  EXPECT_EQ(fate_of(shop, "acq_b.zip"), "next: ");
  shop.intake_once();
  EXPECT_EQ(shop.last_claim().archive, "acq_b.zip");
  EXPECT_EQ(shop.script().find('\xC3'), std::string::npos);
  for (const char* left :
       {"acq_\xCE\xA9mega.zip", "acq_perch\xC3\xA9.zip", "acq_0.zip", "acq_a.zip"}) {
    EXPECT_TRUE(shop.platform.exists(std::string("C:\\qano\\") + left)) << left;
  }
}

TEST(ArchiveIntake, CompanionStartsRightAfterTheScriptOrNotAtAll) {
  struct Case {
    const char* name;
    std::function<void(Shop&)> scene;
    std::size_t starts;
  };
  const Case cases[] = {
      {"present", [](Shop& s) { s.add_companion(); }, 2},
      {"missing", [](Shop&) {}, 1},
      {"hidden", [](Shop& s) { s.platform.add_file(kCompanionProgram, "MZ", {.hidden = true}); },
       1},
      {"a folder of that name", [](Shop& s) { s.platform.add_folder(kCompanionProgram); }, 1},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.add_archive("acq_1.zip");
    c.scene(shop);
    shop.intake_once();
    ASSERT_EQ(shop.platform.starts().size(), c.starts) << c.name;
    EXPECT_EQ(shop.platform.starts()[0].path, kScript) << c.name;
    if (c.starts == 2) {
      EXPECT_EQ(shop.effects().back(), "shell C:\\super\\qanodivulgazioni.exe 1") << c.name;
    }
  }
}

TEST(ArchiveIntake, ACompanionThatCannotStartIsAFailureAfterTheScriptStarted) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.add_companion();
  shop.platform.refuse_start(kCompanionProgram);
  try {
    shop.intake_once();
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 53);
  }
  ASSERT_EQ(shop.platform.starts().size(), 1u);
}

TEST(ArchiveIntake, SeveralArchivesAreTakenOnePerLookInNameOrderAndEachIsKept) {
  Shop shop;
  for (const char* name : {"acq_c.zip", "acq_b.zip", "ACQ_A.ZIP", "acq_\xCE\xA9.zip"}) {
    shop.add_archive(name);
  }
  std::vector<std::string> taken;
  for (int look = 0; look < 8; ++look) {
    std::size_t scripts = shop.scripts();
    shop.intake_once();
    if (shop.scripts() == scripts) continue;
    taken.push_back(shop.last_claim().archive);
    // Each claim's invoices are taken by the suite before the next look.
    shop.play_script(taken.size() == 2 ? ScriptEnd::unzip_failed : ScriptEnd::filed);
    if (shop.platform.exists(Shop::kInvoices)) shop.suite_takes_invoices();
  }
  EXPECT_EQ(taken, (std::vector<std::string>{"ACQ_A.ZIP", "acq_b.zip", "acq_c.zip"}));
  // The one that failed to unpack is given back as errore_, the others are kept; none deleted.
  EXPECT_EQ(shop.platform.dir_all("C:\\qano\\*.zip"),
            (std::vector<std::string>{"acq_\xCE\xA9.zip", "errore_acq_b.zip"}));
  std::vector<std::string> kept;
  for (const std::string& name : shop.filed()) kept.push_back(name.substr(name.find('_') + 1));
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"ACQ_A.ZIP", "acq_c.zip"}));
  EXPECT_EQ(shop.platform.entries("C:\\qano\\qanocontrol\\*").size(), 1u) << "only archiviati";
}

TEST(ArchiveIntake, ANewDeliveryUnderTheSameNameDuringASlowUnpackIsANewArchive) {
  Shop shop;
  shop.platform.set_processes_linger(true);
  shop.add_archive("acq_1.zip");
  shop.intake_once();
  ASSERT_EQ(shop.scripts(), 1u);
  intake::Claim first = shop.last_claim();
  // While the script still unpacks, the sender delivers a new acq_1.zip: nothing happens to it.
  shop.platform.add_file("C:\\qano\\acq_1.zip", "PK the second delivery");
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 1u);
  EXPECT_EQ(fate_of(shop, "acq_1.zip"), "waits: the last script still runs");
  // The script ends having filed the first; the second is claimed next, not deleted.
  shop.play_script(ScriptEnd::filed);
  shop.suite_takes_invoices();
  shop.intake_once();
  ASSERT_EQ(shop.scripts(), 2u);
  EXPECT_NE(shop.last_claim().id, first.id);
  EXPECT_EQ(shop.platform.bytes(shop.last_claim().claimed()), "PK the second delivery");
}

TEST(ArchiveIntake, AnArchiveThatDidNotUnpackWholeGoesBackUnderAFreeSetAsideName) {
  struct Case {
    std::vector<std::string> taken;  // entries already in C:\qano
    std::string expected;
  };
  const Case cases[] = {
      {{}, "errore_acq_1.zip"},
      {{"errore_acq_1.zip", "ERRORE_2_ACQ_1.ZIP"}, "errore_3_acq_1.zip"},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.add_archive("acq_1.zip");
    for (const std::string& name : c.taken) shop.platform.add_file("C:\\qano\\" + name, "x");
    shop.platform.add_folder("C:\\qano\\errore_9_acq_1.zip");
    shop.intake_once();
    intake::Claim claim = shop.last_claim();
    shop.play_script(ScriptEnd::unzip_failed);
    shop.intake_once();
    EXPECT_EQ(shop.platform.bytes("C:\\qano\\" + c.expected), "PK\x03\x04 invoices of acq_1.zip");
    EXPECT_FALSE(shop.platform.folder_exists(claim.folder())) << "the half unpacked file goes";
    EXPECT_FALSE(shop.platform.exists(Shop::kInvoices)) << "nothing cut short is filed";
    EXPECT_TRUE(shop.filed().empty());
    shop.intake_once();
    EXPECT_EQ(shop.scripts(), 1u) << "a set-aside archive is not taken again";
  }
}

TEST(ArchiveIntake, AClaimLeftByAStoppedRunIsUnpackedAgainOrFinishedNeverFiledTwice) {
  struct Case {
    const char* name;
    ScriptEnd end;
    std::size_t scripts_after_restart;
    std::string next_waits;  // why acq_2.zip waits meanwhile, before the claim's id
  };
  const Case cases[] = {
      {"stopped while unzipping", ScriptEnd::unzip_failed, 2, "behind the claim "},
      {"stopped between keeping and filing", ScriptEnd::kept, 1, "the invoices of claim "},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.add_companion();
    shop.add_archive("acq_1.zip");
    shop.add_archive("acq_2.zip");
    shop.intake_once();
    intake::Claim claim = shop.last_claim();
    shop.play_script(c.end, "whole invoices\r\n");
    shop.restart();
    EXPECT_EQ(fate_of(shop, "acq_2.zip").rfind("waits: " + c.next_waits + claim.id, 0), 0u)
        << c.name << ": " << fate_of(shop, "acq_2.zip");
    shop.intake_once();
    EXPECT_EQ(shop.scripts(), c.scripts_after_restart) << c.name;
    if (c.end == ScriptEnd::unzip_failed) {
      // Its own script again, on the same claim, with the companion; no new claim.
      EXPECT_EQ(shop.last_claim().id, claim.id) << c.name;
      EXPECT_FALSE(shop.platform.exists(claim.unpacked())) << c.name << ": unzipped afresh";
      EXPECT_EQ(shop.platform.starts().back().path, kCompanionProgram) << c.name;
      EXPECT_TRUE(shop.platform.exists("C:\\qano\\acq_2.zip")) << c.name;
      // Failing again in this run, it is set aside.
      shop.play_script(ScriptEnd::unzip_failed);
      shop.intake_once();
      EXPECT_TRUE(shop.platform.exists("C:\\qano\\errore_acq_1.zip")) << c.name;
    } else {
      // The archive is kept: the intake files the invoices itself.
      EXPECT_EQ(shop.platform.bytes(Shop::kInvoices), "whole invoices\r\n") << c.name;
      EXPECT_FALSE(shop.platform.folder_exists(claim.folder())) << c.name;
      EXPECT_EQ(shop.filed().size(), 1u) << c.name;
    }
  }
}

TEST(ArchiveIntake, TheNextFilingWaitsAMinuteForTheSuiteToTakeTheLastInvoices) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.add_archive("acq_2.zip");
  shop.intake_once();
  shop.play_script(ScriptEnd::filed, "first\r\n");
  EXPECT_EQ(fate_of(shop, "acq_2.zip")
                .rfind("waits: the invoices of the last filing are still "
                       "in C:\\qano\\fatture\\acq_var.txt",
                       0),
            0u);
  for (int look = 1; look <= intake::kHoldLooks; ++look) {
    shop.intake_once();
    EXPECT_EQ(shop.scripts(), 1u) << "look " << look;
  }
  // The suite never took them: the filing goes on, and the first archive stays kept.
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 2u);
  EXPECT_EQ(shop.filed().size(), 1u);
  // Taken at once when the suite has had them.
  shop.add_archive("acq_3.zip");
  shop.play_script(ScriptEnd::filed, "second\r\n");
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 2u);
  shop.suite_takes_invoices();
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 3u);
}

TEST(ArchiveIntake, WhatStandsInTheInvoicesPlaceHoldsTheArchiveBack) {
  struct Case {
    const char* name;
    std::function<void(Shop&)> scene;
    std::string reason;
  };
  const Case cases[] = {
      {"no invoices folder", [](Shop& s) { s.platform.kill("C:\\qano\\fatture"); },
       "the invoices folder C:\\qano\\fatture is missing"},
      {"a link", [](Shop& s) { s.platform.add_entry(Shop::kInvoices, EntryKind::link); },
       "a link stands at C:\\qano\\fatture\\acq_var.txt"},
      {"a folder", [](Shop& s) { s.platform.add_folder(Shop::kInvoices); },
       "a folder stands at C:\\qano\\fatture\\acq_var.txt"},
  };
  for (const Case& c : cases) {
    Shop shop(c.name != std::string("no invoices folder"));
    shop.add_archive("acq_1.zip");
    if (c.name != std::string("no invoices folder")) c.scene(shop);
    for (int look = 0; look < 10; ++look) shop.intake_once();
    EXPECT_EQ(shop.scripts(), 0u) << c.name;
    EXPECT_TRUE(shop.platform.exists("C:\\qano\\acq_1.zip")) << c.name << ": not even claimed";
    EXPECT_EQ(fate_of(shop, "acq_1.zip").rfind("waits: " + c.reason, 0), 0u)
        << fate_of(shop, "acq_1.zip");
  }
}

TEST(ArchiveIntake, AnArchiveWhoseWriterCannotBeSeenIsTakenOnceItHasStoodStillForALook) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  FileFacts growing{100, 3600.0, false, 1, false, true};
  shop.platform.set_facts("C:\\qano\\acq_1.zip", growing);
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 0u);
  growing.size = 200;  // it grew since
  growing.write_stamp = 2;
  shop.platform.set_facts("C:\\qano\\acq_1.zip", growing);
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 0u);
  shop.intake_once();  // unchanged through a whole look
  EXPECT_EQ(shop.scripts(), 1u);
}

TEST(ArchiveIntake, AnArchiveWhoseMoveIsRefusedIsLeftAndTheNextOneTaken) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.add_archive("acq_2.zip");
  // Something that cannot be seen beforehand refuses the move of acq_1.zip.
  FakeAttributes immovable{.immovable = true};
  shop.platform.before_call = [&](const std::string& call, const std::string& argument) {
    if (call == "move_file" && argument.rfind("C:\\qano\\acq_1.zip", 0) == 0) {
      shop.add_archive("acq_1.zip", immovable);
    }
  };
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 0u);
  EXPECT_TRUE(shop.platform.entries("C:\\qano\\qanocontrol\\2*").empty()) << "no empty claim";
  shop.platform.before_call = nullptr;
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 1u);
  EXPECT_EQ(shop.last_claim().archive, "acq_2.zip");
}

TEST(ArchiveIntake, SomethingOtherThanAFolderAtTheProgramsOwnFolderHoldsEveryArchiveBack) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.platform.add_entry("C:\\qano\\qanocontrol", EntryKind::link);
  shop.intake_once();
  EXPECT_EQ(shop.scripts(), 0u);
  EXPECT_EQ(fate_of(shop, "acq_1.zip"),
            "waits: a link stands at C:\\qano\\qanocontrol, the program's own folder");
}

TEST(ArchiveIntake, AFailureStopsTheIntakeWhereItHappensAndTheClaimIsTakenUpAgain) {
  for (const char* call : {"open_output", "shell"}) {
    Shop shop;
    shop.add_archive("acq_1.zip");
    shop.add_companion();
    bool armed = true;
    shop.platform.before_call = [&](const std::string& c, const std::string&) {
      if (armed && c == call) {
        armed = false;
        fail(failure::kPermissionDenied);
      }
    };
    EXPECT_THROW(shop.intake_once(), Failure) << call;
    EXPECT_TRUE(shop.platform.starts().empty()) << call;
    // The program stops on the failure; at its next start the claim goes on.
    shop.restart();
    shop.intake_once();
    EXPECT_EQ(shop.platform.starts().size(), 2u) << call;
    EXPECT_EQ(shop.last_claim().id, "20261207-122127") << call;
  }
}

TEST(ArchiveIntake, AScriptCutShortIsDeletedNeverStarted) {
  // The disk fills up while the script is written: what was written must not stay behind as
  // agglis.bat, where a person, or a script that ends inside its last line, could run it.
  for (int failing = 1; failing <= 5; ++failing) {
    Shop shop;
    shop.add_archive("acq_1.zip");
    shop.add_companion();
    shop.platform.add_file(kScript, "an earlier script\r\n");
    int writes = 0;
    shop.platform.before_call = [&](const std::string& call, const std::string& argument) {
      if (call == "write_line" && argument.rfind("3 ", 0) == 0 && ++writes == failing) {
        fail(failure::kDiskFull);
      }
      if (call == "kill" && failing == 5) fail(failure::kPermissionDenied);
    };
    try {
      shop.intake_once();
      ADD_FAILURE() << "write " << failing << " did not fail";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), failure::kDiskFull) << "the failure that cut the script short";
      EXPECT_EQ(f.text(), "Disk full: 'C:\\qano\\agglis.bat'") << "it names the file";
    }
    if (failing < 5) {
      EXPECT_FALSE(shop.platform.exists(kScript)) << failing;
    }
    EXPECT_TRUE(shop.platform.open_numbers().empty()) << failing;
    EXPECT_TRUE(shop.platform.starts().empty()) << failing;
  }
}

TEST(ArchiveIntake, AFileAnotherProgramHoldsMakesItsStepWaitNeverStop) {
  struct Case {
    const char* held;
    std::string reason;
  };
  const Case cases[] = {
      {kLeftover, "waits: C:\\qano\\acq_var.txt is held by another program"},
      {kScript, "waits: C:\\qano\\agglis.bat is held by a running script or another program"},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.add_archive("acq_1.zip");
    shop.platform.add_file(c.held, "x");
    shop.platform.set_facts(c.held, {1, 3600.0, true});
    EXPECT_EQ(fate_of(shop, "acq_1.zip"), c.reason) << c.held;
    shop.intake_once();
    EXPECT_EQ(shop.scripts(), 0u) << c.held;
    EXPECT_TRUE(shop.platform.exists("C:\\qano\\acq_1.zip")) << c.held << ": not even claimed";
    // Let go, it is taken at the next look.
    shop.platform.set_facts(c.held, {1, 3600.0, false});
    shop.intake_once();
    EXPECT_EQ(shop.scripts(), 1u) << c.held;
  }
}

TEST(ArchiveIntake, AHeldCompanionIsStartedOnceAtALaterLookEvenAfterARestart) {
  Shop shop;
  shop.add_companion();
  shop.add_archive("acq_1.zip");
  shop.platform.set_facts(kCompanionProgram, {2, 3600.0, true});  // the suite's updater
  shop.intake_once();
  ASSERT_EQ(shop.platform.starts().size(), 1u) << "the script only";
  intake::Claim claim = shop.last_claim();
  shop.play_script(ScriptEnd::filed);
  EXPECT_EQ(fate_of(shop, "acq_1.zip"),
            "waits: its companion C:\\super\\qanodivulgazioni.exe is held by another program: it "
            "is started once it is free");
  shop.intake_once();
  EXPECT_EQ(shop.platform.starts().size(), 1u) << "still held";
  // The program starts again, the updater lets go: the owed start is made, once.
  shop.restart();
  shop.platform.set_facts(kCompanionProgram, {2, 3600.0, false});
  for (int look = 0; look < 3; ++look) shop.intake_once();
  ASSERT_EQ(shop.platform.starts().size(), 2u);
  EXPECT_EQ(shop.platform.starts()[1].path, kCompanionProgram);
  EXPECT_EQ(shop.platform.starts()[1].style, WindowStyle::normal);
  EXPECT_TRUE(shop.platform.entries("C:\\qano\\qanocontrol\\*.companion").empty());
  EXPECT_EQ(shop.filed().size(), 1u) << claim.id;
}

}  // namespace
}  // namespace qano
