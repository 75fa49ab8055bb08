// elaboro_Divulgazioni and Qano_Articoli on the fake platform.
#include "intake/archive_intake.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "intake/companion.h"
#include "tests/intake/shop.h"

namespace qano {
namespace {

using testing::Shop;

constexpr const char* kScript = "C:\\qano\\agglis.bat";
constexpr const char* kLeftover = "C:\\qano\\acq_var.txt";

std::string join_lines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

// The script as the shop's IT reads it, line by line.
std::string script_for(const std::string& line3, const std::string& line5) {
  return join_lines({"REM echo off", "cd c:\\qano", line3,
                     "copy C:\\qano\\acq_var.txt c:\\qano\\fatture\\acq_var.txt", line5});
}

const std::string kScriptForAcq1 = script_for(
    "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_1.zip",
    "if errorlevel 1 (ren C:\\qano\\acq_1.zip errore_acq_1.zip) else Del C:\\qano\\acq_1.zip");

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
      {"names the interpreter would misread", true,
       [](Shop& s) {
         s.add_archive("acq_\xCE\xA9mega.zip");   // not in the ANSI code page
         s.add_archive("acq_perch\xC3\xA9.zip");  // in it, but read back in the OEM code page
       }},
      {"a name too long to set aside", true,
       [](Shop& s) { s.add_archive("acq_" + std::string(241, 'a') + ".zip"); }},
  };
  for (const Case& c : cases) {
    Shop shop(c.exchange_folder);
    if (c.exchange_folder) {
      shop.platform.add_file(kScript, "old script\r\n");
      shop.platform.add_file(kLeftover, "old invoices\r\n");
    }
    shop.add_companion();
    c.scene(shop);
    std::vector<std::string> archives = shop.platform.dir_all("C:\\qano\\acq_*");
    shop.platform.clear_journal();

    shop.intake_once();

    EXPECT_EQ(shop.effects(), std::vector<std::string>{}) << c.name;
    EXPECT_TRUE(shop.platform.starts().empty()) << c.name;
    EXPECT_EQ(shop.platform.open_numbers(), std::vector<int>{2}) << c.name << ": log still open";
    EXPECT_EQ(shop.platform.dir_all("C:\\qano\\acq_*"), archives) << c.name;
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
  shop.platform.add_file(kLeftover, "what an earlier script unpacked\r\n");
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

  EXPECT_EQ(shop.effects(),
            (std::vector<std::string>{
                "remove_entry C:\\qano\\acq_var.txt",
                "open_output 3 C:\\qano\\agglis.bat",
                "write_line 3 REM echo off",
                "write_line 3 cd c:\\qano",
                "write_line 3 c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_1.zip",
                "write_line 3 copy C:\\qano\\acq_var.txt c:\\qano\\fatture\\acq_var.txt",
                "write_line 3 if errorlevel 1 (ren C:\\qano\\acq_1.zip errore_acq_1.zip) else Del "
                "C:\\qano\\acq_1.zip",
                "close_all",
                "shell C:\\qano\\agglis.bat 3 C:\\qano",
                "shell C:\\super\\qanodivulgazioni.exe 1",
            }));
  EXPECT_EQ(shop.script(), kScriptForAcq1);
  EXPECT_EQ(shop.script().size(), 212u);
  EXPECT_EQ(script_at_start, kScriptForAcq1);
  EXPECT_EQ(open_at_start, std::vector<int>{});
  EXPECT_EQ(shop.platform.open_numbers(), std::vector<int>{}) << "the log is closed too";
  EXPECT_FALSE(shop.platform.exists(kLeftover));
  EXPECT_TRUE(shop.platform.exists("C:\\qano\\acq_1.zip")) << "only the script deletes it";
  ASSERT_EQ(shop.platform.starts().size(), 2u);
  EXPECT_EQ(shop.platform.starts()[0].style, WindowStyle::maximized);
  EXPECT_EQ(shop.platform.starts()[1].style, WindowStyle::normal);
  EXPECT_EQ(shop.platform.starts()[1].folder, "");
}

TEST(ArchiveIntake, ExactScriptForNamesTheInterpreterWouldOtherwiseMisread) {
  struct Case {
    std::string name;
    std::string line3;
    std::string line5;
  };
  const Case cases[] = {
      {"acq_1 di 2.zip", "c:\\programmi\\winzip\\wzunzip \"c:\\qano\\acq_1 di 2.zip\"",
       "if errorlevel 1 (ren \"C:\\qano\\acq_1 di 2.zip\" \"errore_acq_1 di 2.zip\") else Del "
       "\"C:\\qano\\acq_1 di 2.zip\""},
      {"acq_a&b.zip", "c:\\programmi\\winzip\\wzunzip \"c:\\qano\\acq_a&b.zip\"",
       "if errorlevel 1 (ren \"C:\\qano\\acq_a&b.zip\" \"errore_acq_a&b.zip\") else Del "
       "\"C:\\qano\\acq_a&b.zip\""},
      {"acq_50%.zip", "c:\\programmi\\winzip\\wzunzip \"c:\\qano\\acq_50%%.zip\"",
       "if errorlevel 1 (ren \"C:\\qano\\acq_50%%.zip\" \"errore_acq_50%%.zip\") else Del "
       "\"C:\\qano\\acq_50%%.zip\""},
      {"acq_%PATH%.zip", "c:\\programmi\\winzip\\wzunzip \"c:\\qano\\acq_%%PATH%%.zip\"",
       "if errorlevel 1 (ren \"C:\\qano\\acq_%%PATH%%.zip\" \"errore_acq_%%PATH%%.zip\") else "
       "Del \"C:\\qano\\acq_%%PATH%%.zip\""},
      {"acq_^1.zip", "c:\\programmi\\winzip\\wzunzip \"c:\\qano\\acq_^1.zip\"",
       "if errorlevel 1 (ren \"C:\\qano\\acq_^1.zip\" \"errore_acq_^1.zip\") else Del "
       "\"C:\\qano\\acq_^1.zip\""},
      {"acq_(2).zip", "c:\\programmi\\winzip\\wzunzip \"c:\\qano\\acq_(2).zip\"",
       "if errorlevel 1 (ren \"C:\\qano\\acq_(2).zip\" \"errore_acq_(2).zip\") else Del "
       "\"C:\\qano\\acq_(2).zip\""},
      {"acq_x) & del C.zip", "c:\\programmi\\winzip\\wzunzip \"c:\\qano\\acq_x) & del C.zip\"",
       "if errorlevel 1 (ren \"C:\\qano\\acq_x) & del C.zip\" \"errore_acq_x) & del C.zip\") "
       "else Del \"C:\\qano\\acq_x) & del C.zip\""},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.add_archive(c.name);
    shop.intake_once();
    EXPECT_EQ(shop.script(), script_for(c.line3, c.line5)) << c.name;
    EXPECT_EQ(shop.platform.starts().size(), 1u) << c.name;
    // No leftover acq_var.txt, so nothing is deleted before the script is written.
    EXPECT_EQ(shop.effects().front(), "open_output 3 C:\\qano\\agglis.bat") << c.name;
  }
}

TEST(ArchiveIntake, NamesOutsideAsciiAreLeftForAPersonAndTheNextArchiveIsTaken) {
  Shop shop;
  shop.add_archive("acq_\xCE\xA9mega.zip");   // sorts first: Ω folds to ω, after ASCII
  shop.add_archive("acq_perch\xC3\xA9.zip");  // "perché"
  shop.add_archive("acq_b.zip");
  shop.intake_once();
  EXPECT_EQ(shop.script_line(3), "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_b.zip");
  EXPECT_EQ(shop.script().find('\xC3'), std::string::npos);
  EXPECT_EQ(shop.script().find('?'), std::string::npos);
  EXPECT_TRUE(shop.platform.exists("C:\\qano\\acq_\xCE\xA9mega.zip"));
  EXPECT_TRUE(shop.platform.exists("C:\\qano\\acq_perch\xC3\xA9.zip"));
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
    std::vector<std::string> effects = shop.effects();
    ASSERT_EQ(shop.platform.starts().size(), c.starts) << c.name;
    EXPECT_EQ(shop.platform.starts()[0].path, kScript) << c.name;
    if (c.starts == 2) {
      EXPECT_EQ(effects.end()[-2], "shell C:\\qano\\agglis.bat 3 C:\\qano") << c.name;
      EXPECT_EQ(effects.end()[-1], "shell C:\\super\\qanodivulgazioni.exe 1") << c.name;
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
  EXPECT_EQ(shop.script(), kScriptForAcq1);
}

TEST(ArchiveIntake, SeveralArchivesAreTakenOnePerIntakeInNameOrder) {
  Shop shop;
  for (const char* name : {"acq_c.zip", "acq_b.zip", "ACQ_A.ZIP", "acq_\xCE\xA9.zip"}) {
    shop.add_archive(name);
  }
  std::vector<std::string> taken;
  for (int intake = 0; intake < 5; ++intake) {
    std::size_t starts = shop.platform.starts().size();
    shop.intake_once();
    if (shop.platform.starts().size() == starts) continue;
    std::string line3 = shop.script_line(3);
    std::string name = line3.substr(line3.rfind('\\') + 1);
    taken.push_back(name);
    // The script deletes or sets aside only its own archive.
    std::string line5 = shop.script_line(5);
    EXPECT_EQ(line5.find('*'), std::string::npos) << line5;
    EXPECT_EQ(line5, "if errorlevel 1 (ren C:\\qano\\" + name + " errore_" + name +
                         ") else Del C:\\qano\\" + name);
    // What the script does: the second archive fails to unpack and is set aside, the others go.
    if (taken.size() == 2) {
      shop.platform.add_file("C:\\qano\\errore_" + name, "PK");
    }
    shop.platform.kill("C:\\qano\\" + name);
  }
  EXPECT_EQ(taken, (std::vector<std::string>{"ACQ_A.ZIP", "acq_b.zip", "acq_c.zip"}));
  EXPECT_EQ(shop.platform.dir_all("C:\\qano\\*.zip"),
            (std::vector<std::string>{"acq_\xCE\xA9.zip", "errore_acq_b.zip"}));
}

TEST(ArchiveIntake, AnArchiveStillArrivingWaitsWhileTheNextReadyOneIsTaken) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.add_archive("acq_2.zip");
  shop.platform.set_facts("C:\\qano\\acq_1.zip", {4096, 1.0, false});
  shop.intake_once();
  EXPECT_EQ(shop.script_line(3), "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_2.zip");
  shop.platform.kill("C:\\qano\\acq_2.zip");  // the script's work
  // Ten seconds later it has arrived.
  shop.platform.set_facts("C:\\qano\\acq_1.zip", {8192, 11.0, false});
  shop.intake_once();
  EXPECT_EQ(shop.script_line(3), "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_1.zip");
  EXPECT_EQ(shop.platform.starts().size(), 2u);
}

TEST(ArchiveIntake, NothingHappensWhileTheLastScriptStillRuns) {
  Shop shop;
  shop.add_companion();
  shop.add_archive("acq_1.zip");
  shop.platform.set_processes_linger(true);
  shop.intake_once();
  ASSERT_EQ(shop.platform.starts().size(), 2u);
  TaskId script = shop.platform.starts()[0].task;
  std::string written = shop.script();

  // Ten seconds later the archive is still there and the script still unpacks it.
  shop.platform.add_file(kLeftover, "being unpacked");
  shop.add_archive("acq_2.zip");
  shop.platform.clear_journal();
  shop.intake_once();
  EXPECT_EQ(shop.platform.journal(), std::vector<std::string>{});
  EXPECT_EQ(shop.platform.starts().size(), 2u);
  EXPECT_EQ(shop.script(), written);
  EXPECT_TRUE(shop.platform.exists(kLeftover));

  // Once the script has ended (its archive gone), the next intake goes on; a companion that
  // still runs does not hold it back.
  shop.platform.finish(script);
  shop.platform.kill("C:\\qano\\acq_1.zip");
  shop.intake_once();
  ASSERT_EQ(shop.platform.starts().size(), 4u);
  EXPECT_EQ(shop.script_line(3), "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_2.zip");
  EXPECT_FALSE(shop.platform.exists(kLeftover));
}

TEST(ArchiveIntake, ASetAsideNameAlreadyTakenIsNotReused) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.platform.add_file("C:\\qano\\errore_acq_1.zip", "an earlier failure");
  shop.platform.add_file("C:\\qano\\ERRORE_2_ACQ_1.ZIP", "another one");
  shop.intake_once();
  EXPECT_EQ(shop.script_line(5),
            "if errorlevel 1 (ren C:\\qano\\acq_1.zip errore_3_acq_1.zip) else Del "
            "C:\\qano\\acq_1.zip");
}

TEST(ArchiveIntake, EveryEntryCountsAsATakenSetAsideName) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.platform.add_file("C:\\qano\\errore_acq_1.zip", "x", {.hidden = true});
  shop.platform.add_folder("C:\\qano\\errore_2_acq_1.zip");
  shop.platform.add_file("C:\\qano\\errore_3_acq_1.zip", "x", {.system = true});
  shop.intake_once();
  EXPECT_EQ(shop.script_line(5),
            "if errorlevel 1 (ren C:\\qano\\acq_1.zip errore_4_acq_1.zip) else Del "
            "C:\\qano\\acq_1.zip");
}

TEST(ArchiveIntake, AReadOnlyArchiveIsMadeDeletableBeforeItsScriptRuns) {
  Shop shop;
  shop.add_archive("acq_1.zip", {.read_only = true});
  shop.intake_once();
  std::vector<std::string> effects = shop.effects();
  ASSERT_FALSE(effects.empty());
  EXPECT_EQ(effects.front(), "clear_read_only C:\\qano\\acq_1.zip");
  EXPECT_EQ(shop.platform.starts().size(), 1u);
}

TEST(ArchiveIntake, AnArchiveItsScriptCouldNotRemoveIsNeverTakenAgainUnchanged) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.add_archive("acq_2.zip");
  shop.intake_once();  // the script runs and ends, but acq_1.zip stays (held, read-only, ...)
  ASSERT_EQ(shop.platform.starts().size(), 1u);
  std::vector<intake::ArchiveFate> fates = shop.intake.survey();
  ASSERT_EQ(fates.size(), 2u);
  EXPECT_EQ(fates[0].fate, intake::Fate::left);
  EXPECT_EQ(fates[0].reason, "a script filed it or set it aside but could not remove it");
  EXPECT_EQ(fates[1].fate, intake::Fate::next);
  shop.intake_once();
  EXPECT_EQ(shop.script_line(3), "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_2.zip");
  shop.platform.kill("C:\\qano\\acq_2.zip");
  shop.intake_once();
  EXPECT_EQ(shop.platform.starts().size(), 2u) << "acq_1.zip is left for a person";
  // A new archive under the same name is another archive.
  shop.platform.set_facts("C:\\qano\\acq_1.zip", {200, 3600.0, false, 42});
  shop.intake_once();
  EXPECT_EQ(shop.platform.starts().size(), 3u);
  EXPECT_EQ(shop.script_line(3), "c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_1.zip");
}

TEST(ArchiveIntake, TheScriptRunsInTheExchangeFolderWhateverTheCurrentDrive) {
  Shop shop;
  shop.platform.add_drive('d');
  shop.platform.set_current_drive("d:");
  shop.add_archive("acq_1.zip");
  shop.add_companion();
  shop.intake_once();
  ASSERT_EQ(shop.platform.starts().size(), 2u);
  EXPECT_EQ(shop.platform.starts()[0].folder, "C:\\qano");
  EXPECT_EQ(shop.platform.starts()[1].folder, "");
  EXPECT_EQ(shop.script_line(2), "cd c:\\qano");
}

TEST(ArchiveIntake, LongestNameThatCanBeSetAside) {
  // C:\qano\ (8) + errore_ (7) + the name must stay within 259 characters.
  std::string longest = "acq_" + std::string(236, 'a') + ".zip";
  ASSERT_EQ(longest.size(), 244u);
  Shop shop;
  shop.add_archive(longest);
  shop.intake_once();
  EXPECT_EQ(shop.platform.starts().size(), 1u);
  Shop other;
  other.add_archive(longest);
  other.platform.add_file("C:\\qano\\errore_" + longest, "x");  // errore_2_ would not fit
  other.intake_once();
  EXPECT_TRUE(other.platform.starts().empty());
}

TEST(ArchiveIntake, AFailureStopsTheIntakeWhereItHappens) {
  struct Case {
    const char* call;
    std::vector<std::string> effects;  // the last one is the call that failed
  };
  const Case cases[] = {
      {"remove_entry", {"remove_entry C:\\qano\\acq_var.txt"}},
      {"open_output", {"remove_entry C:\\qano\\acq_var.txt", "open_output 3 C:\\qano\\agglis.bat"}},
      {"shell",
       {"remove_entry C:\\qano\\acq_var.txt", "open_output 3 C:\\qano\\agglis.bat",
        "write_line 3 REM echo off", "write_line 3 cd c:\\qano",
        "write_line 3 c:\\programmi\\winzip\\wzunzip c:\\qano\\acq_1.zip",
        "write_line 3 copy C:\\qano\\acq_var.txt c:\\qano\\fatture\\acq_var.txt",
        "write_line 3 if errorlevel 1 (ren C:\\qano\\acq_1.zip errore_acq_1.zip) else Del "
        "C:\\qano\\acq_1.zip",
        "close_all", "shell C:\\qano\\agglis.bat 3 C:\\qano"}},
  };
  for (const Case& c : cases) {
    Shop shop;
    shop.add_archive("acq_1.zip");
    shop.add_companion();
    shop.platform.add_file(kLeftover, "x");
    bool armed = true;
    shop.platform.before_call = [&](const std::string& call, const std::string&) {
      if (armed && call == c.call) {
        armed = false;
        fail(failure::kPermissionDenied);
      }
    };
    EXPECT_THROW(shop.intake_once(), Failure) << c.call;
    EXPECT_EQ(shop.effects(), c.effects) << c.call;
    EXPECT_TRUE(shop.platform.starts().empty()) << c.call;
    // Nothing was started, so nothing holds the next intake back.
    shop.intake_once();
    EXPECT_EQ(shop.platform.starts().size(), 2u) << c.call;
    EXPECT_EQ(shop.script(), kScriptForAcq1) << c.call;
  }
}

TEST(ArchiveIntake, AScriptCutShortIsDeletedNeverStartedAndTheArchiveStays) {
  // The disk fills up while the script is written: what was written must not stay behind as
  // agglis.bat, where a person, or a script that ends inside its delete line, could run it.
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
    };
    try {
      shop.intake_once();
      ADD_FAILURE() << "write " << failing << " did not fail";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), failure::kDiskFull) << "the failure that cut the script short";
      EXPECT_EQ(f.text(), "Disk full: 'C:\\qano\\agglis.bat'") << "it names the file";
    }
    std::vector<std::string> effects = shop.effects();
    ASSERT_GE(effects.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(effects.end() - 2, effects.end()),
              (std::vector<std::string>{"close_all", "kill C:\\qano\\agglis.bat"}))
        << failing;
    EXPECT_FALSE(shop.platform.exists(kScript)) << failing;
    EXPECT_TRUE(shop.platform.open_numbers().empty()) << failing;
    EXPECT_TRUE(shop.platform.starts().empty()) << failing;
    EXPECT_TRUE(shop.platform.exists("C:\\qano\\acq_1.zip")) << failing;
  }
}

TEST(ArchiveIntake, AScriptThatCannotBeDeletedStillReportsTheFailureThatCutItShort) {
  Shop shop;
  shop.add_archive("acq_1.zip");
  shop.platform.before_call = [&](const std::string& call, const std::string& argument) {
    if (call == "write_line" && argument.rfind("3 ", 0) == 0) fail(failure::kDiskFull);
    if (call == "kill" && argument == kScript) fail(failure::kPermissionDenied);
  };
  try {
    shop.intake_once();
    ADD_FAILURE() << "the write did not fail";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), failure::kDiskFull);
  }
  EXPECT_TRUE(shop.platform.starts().empty());
}

}  // namespace
}  // namespace qano
