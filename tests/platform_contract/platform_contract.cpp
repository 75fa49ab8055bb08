// The rules every platform keeps, run on each of them (platform_world.h): files, folders and
// their listing order, numbered files, links, held and read-only files, and process starts.
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/failure.h"
#include "tests/platform_contract/platform_world.h"
#include "tests/support/failure_of.h"

namespace qano::contract {
namespace {

using testing::failure_of;

// Polls until the condition holds, at most half a minute: a started program ends in its own
// time.
bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::vector<std::string> names_of(const std::vector<Entry>& entries) {
  std::vector<std::string> names;
  for (const Entry& e : entries) names.push_back(e.name);
  return names;
}

// --- Files, folders and their listing ------------------------------------------------------------

TEST_P(PlatformContract, ListsOrdinaryFilesInNameOrderWithoutRegardToCase) {
  for (const char* name : {"b.zip", "A.zip", "a_2.zip", "C.ZIP", "b.txt"}) world().write(name, "x");
  world().make_folder("d.zip");
  const std::string hidden = world().write_hidden("e.zip", "x");
  EXPECT_EQ(platform().dir_all(at("*.zip")),
            (std::vector<std::string>{"A.zip", "a_2.zip", "b.zip", "C.ZIP"}));
  EXPECT_EQ(platform().dir(at("?.ZIP")), "A.zip");
  EXPECT_EQ(platform().dir_all(at("b.*")), (std::vector<std::string>{"b.txt", "b.zip"}));
  // Every entry, the folder and the hidden file too, in the same order.
  const std::vector<Entry> all = platform().entries(at("*.zip"));
  std::vector<std::string> expected = {"A.zip", "a_2.zip", "b.zip", "C.ZIP", "d.zip"};
  expected.insert(hidden[0] == '.' ? expected.begin() : expected.end(), hidden);
  EXPECT_EQ(names_of(all), expected);
  ASSERT_EQ(all.size(), 6u);
  for (const Entry& e : all) {
    EXPECT_EQ(e.kind, e.name == "d.zip" ? EntryKind::folder : EntryKind::file) << e.name;
    EXPECT_EQ(e.hidden, e.name == hidden) << e.name;
  }
  EXPECT_TRUE(platform().dir_all(at("none\\*.zip")).empty());
  EXPECT_TRUE(platform().entries(at("none\\*")).empty());
  EXPECT_TRUE(platform().dir_all(at("*.rar")).empty());
}

TEST_P(PlatformContract, TellsAFilesSizeAndNothingOfWhatIsNoFile) {
  world().write("five.txt", "12345");
  world().make_folder("folder");
  std::optional<FileFacts> facts = platform().file_facts(at("FIVE.TXT"));
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->size, 5u);
  EXPECT_FALSE(facts->in_use);
  EXPECT_FALSE(facts->read_only);
  EXPECT_FALSE(platform().file_facts(at("missing.txt")));
  EXPECT_FALSE(platform().file_facts(at("folder")));
  EXPECT_FALSE(platform().file_facts(at("none\\five.txt")));
}

TEST_P(PlatformContract, DeletesFilesOnlyWithTheClassicFailures) {
  world().write("gone.txt", "x");
  world().make_folder("folder");
  platform().kill(at("GONE.txt"));
  EXPECT_FALSE(world().read("gone.txt"));
  const struct {
    const char* name;
    int kill;
    int remove_entry;
  } cases[] = {
      {"gone.txt", failure::kFileNotFound, failure::kFileNotFound},
      {"none\\gone.txt", failure::kPathNotFound, failure::kPathNotFound},
      {"folder", failure::kPathFileAccessError, failure::kPathFileAccessError},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(failure_of([&] { platform().kill(at(c.name)); }), c.kill) << c.name;
    EXPECT_EQ(failure_of([&] { platform().remove_entry(at(c.name)); }), c.remove_entry) << c.name;
  }
  EXPECT_TRUE(world().folder_exists("folder"));
}

TEST_P(PlatformContract, MakesAFolderOnceAndRemovesItOnlyWhenEmpty) {
  EXPECT_TRUE(platform().make_folder(at("claim")));
  EXPECT_TRUE(world().folder_exists("claim"));
  EXPECT_FALSE(platform().make_folder(at("CLAIM")));
  world().write("a file", "x");
  EXPECT_FALSE(platform().make_folder(at("a file")));
  EXPECT_EQ(failure_of([&] { platform().make_folder(at("none\\claim")); }), failure::kPathNotFound);
  world().write("claim\\inside.txt", "x");
  platform().remove_folder(at("claim"));
  EXPECT_TRUE(world().folder_exists("claim"));
  platform().kill(at("claim\\inside.txt"));
  platform().remove_folder(at("claim"));
  EXPECT_FALSE(world().folder_exists("claim"));
  platform().remove_folder(at("claim"));  // nothing there: nothing happens
  platform().remove_folder(at("a file"));
  EXPECT_EQ(world().read("a file"), "x");
}

TEST_P(PlatformContract, MovesTheFileItFoundAndReplacesOnlyWhenAskedTo) {
  world().write("acq_1.zip", "one");
  world().write("kept.zip", "old");
  world().make_folder("sub");
  EXPECT_EQ(platform().move_refusal(at("acq_1.zip")), "");
  EXPECT_NE(platform().move_refusal(at("sub")), "");
  EXPECT_NE(platform().move_refusal(at("missing.zip")), "");

  Moved refused = platform().move_file(at("acq_1.zip"), at("kept.zip"), false);
  EXPECT_EQ(refused.outcome, Moved::Outcome::refused);
  EXPECT_FALSE(refused.reason.empty());
  EXPECT_EQ(world().read("acq_1.zip"), "one");
  EXPECT_EQ(world().read("kept.zip"), "old");

  EXPECT_TRUE(platform().move_file(at("acq_1.zip"), at("kept.zip"), true).done());
  EXPECT_FALSE(world().read("acq_1.zip"));
  EXPECT_EQ(world().read("kept.zip"), "one");

  EXPECT_TRUE(platform().move_file(at("kept.zip"), at("sub\\moved.zip"), false).done());
  EXPECT_EQ(world().read("sub\\moved.zip"), "one");
  // Never onto a folder, replace or not.
  world().write("again.zip", "two");
  EXPECT_EQ(platform().move_file(at("again.zip"), at("sub"), true).outcome,
            Moved::Outcome::refused);
  EXPECT_EQ(world().read("again.zip"), "two");
  EXPECT_TRUE(world().folder_exists("sub"));
}

// --- Links ---------------------------------------------------------------------------------------

TEST_P(PlatformContract, ALinkIsNeverFollowedNorMoved) {
  world().write("target.zip", "target");
  if (std::string why = world().make_link("acq_link.zip", "target.zip"); !why.empty()) {
    GTEST_SKIP() << why;
  }
  const std::vector<Entry> found = platform().entries(at("acq_link.zip"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].kind, EntryKind::link);
  EXPECT_NE(platform().move_refusal(at("acq_link.zip")), "");
  EXPECT_EQ(platform().move_file(at("acq_link.zip"), at("moved.zip"), false).outcome,
            Moved::Outcome::refused);
  EXPECT_FALSE(world().read("moved.zip"));
  // Appending through it is refused; a fresh file replaces the link, never what it points to.
  EXPECT_EQ(failure_of([&] { platform().open_append(3, at("acq_link.zip")); }),
            failure::kPathFileAccessError);
  platform().open_output(3, at("acq_link.zip"));
  platform().write_line(3, "own");
  platform().close_all();
  EXPECT_EQ(world().read("acq_link.zip"), "own\r\n");
  EXPECT_EQ(world().read("target.zip"), "target");
  ASSERT_TRUE(world().make_link("second.zip", "target.zip").empty());
  platform().remove_entry(at("second.zip"));
  EXPECT_TRUE(platform().entries(at("second.zip")).empty());
  EXPECT_EQ(world().read("target.zip"), "target");
}

// --- Numbered files --------------------------------------------------------------------------

TEST_P(PlatformContract, NumberedFilesWriteWholeAnsiLinesAtOnce) {
  platform().open_output(1, at("script.bat"));
  platform().write_line(1, "cd \\qano");
  platform().write_line(1, "rem società €");
  // On the disk at once, before the file is closed.
  EXPECT_EQ(world().read("script.bat"), "cd \\qano\r\nrem societ\xE0 \x80\r\n");
  platform().close_all();
  platform().open_append(2, at("SCRIPT.BAT"));
  platform().write_line(2, "");
  platform().close_all();
  EXPECT_EQ(world().read("script.bat"), "cd \\qano\r\nrem societ\xE0 \x80\r\n\r\n");
  EXPECT_EQ(platform().entries(at("*")).size(), 1u) << "the file's own name, never a twin";
  // A fresh file each time, whatever stood there.
  platform().open_output(1, at("script.bat"));
  platform().close_all();
  EXPECT_EQ(world().read("script.bat"), "");
  platform().close_all();  // nothing open: nothing happens
}

TEST_P(PlatformContract, NumberedFilesFailWithTheClassicNumbers) {
  world().make_folder("folder");
  platform().open_append(1, at("log.txt"));
  EXPECT_EQ(failure_of([&] { platform().open_append(1, at("other.txt")); }),
            failure::kFileAlreadyOpen);
  EXPECT_EQ(failure_of([&] { platform().write_line(2, "x"); }), failure::kBadFileNumber);
  for (int number : {0, 512}) {
    EXPECT_EQ(failure_of([&] { platform().open_output(number, at("other.txt")); }),
              failure::kBadFileNumber)
        << number;
  }
  EXPECT_EQ(failure_of([&] { platform().open_output(3, at("none\\log.txt")); }),
            failure::kPathNotFound);
  EXPECT_EQ(failure_of([&] { platform().open_append(3, at("none\\log.txt")); }),
            failure::kPathNotFound);
  EXPECT_EQ(failure_of([&] { platform().open_output(3, at("folder")); }),
            failure::kPathFileAccessError);
  EXPECT_EQ(failure_of([&] { platform().open_append(3, at("folder")); }),
            failure::kPathFileAccessError);
  platform().close_all();
  EXPECT_EQ(failure_of([&] { platform().write_line(1, "x"); }), failure::kBadFileNumber);
  EXPECT_EQ(world().read("log.txt"), "");
}

TEST_P(PlatformContract, TellsWhatAnAppendWouldFailWithAndTouchesNothing) {
  HostPlatform* host = world().host();
  if (host == nullptr) GTEST_SKIP() << "a check of the host platforms' only (qanocheck's)";
  world().make_folder("folder.txt");
  world().write("old.txt", "old\r\n");
  world().write("ro.txt", "keep");
  world().make_read_only("ro.txt");
  auto number_of = [&](int number, const std::string& name) {
    std::optional<Failure> f = host->open_append_failure(number, at(name));
    return f ? f->number() : 0;
  };
  EXPECT_EQ(number_of(2, "OLD.TXT"), 0);
  EXPECT_EQ(number_of(2, "new.txt"), 0);
  EXPECT_EQ(number_of(2, "missing\\new.txt"), failure::kPathNotFound);
  EXPECT_EQ(number_of(2, "folder.txt"), failure::kPathFileAccessError);
  EXPECT_EQ(number_of(2, "ro.txt"), failure::kPermissionDenied);
  EXPECT_EQ(number_of(0, "old.txt"), failure::kBadFileNumber);
  platform().open_output(2, at("other.txt"));
  EXPECT_EQ(number_of(2, "new.txt"), failure::kFileAlreadyOpen);
  platform().close_all();
  EXPECT_FALSE(world().read("new.txt"));
  EXPECT_FALSE(world().folder_exists("missing"));
  EXPECT_EQ(world().read("old.txt"), "old\r\n");
}

// --- Held and read-only files ------------------------------------------------------------------

TEST_P(PlatformContract, AFileAnotherProgramWritesIsInUseUntilItLetsGo) {
  world().write("acq_1.zip", "PK");
  world().hold("acq_1.zip");
  std::optional<FileFacts> held = platform().file_facts(at("acq_1.zip"));
  ASSERT_TRUE(held);
  EXPECT_TRUE(held->in_use);
  world().release();
  std::optional<FileFacts> free = platform().file_facts(at("acq_1.zip"));
  ASSERT_TRUE(free);
  EXPECT_FALSE(free->in_use);
  EXPECT_TRUE(platform().move_file(at("acq_1.zip"), at("taken.zip"), false).done());
}

TEST_P(PlatformContract, AReadOnlyFileIsToldAndCanBeMadeWritable) {
  world().write("ro.txt", "x");
  world().make_read_only("ro.txt");
  std::optional<FileFacts> facts = platform().file_facts(at("ro.txt"));
  ASSERT_TRUE(facts);
  EXPECT_TRUE(facts->read_only);
  EXPECT_EQ(failure_of([&] { platform().open_append(1, at("ro.txt")); }),
            failure::kPermissionDenied);
  platform().clear_read_only(at("ro.txt"));
  EXPECT_FALSE(platform().file_facts(at("ro.txt"))->read_only);
  platform().clear_read_only(at("ro.txt"));  // nothing to clear: nothing happens
  EXPECT_EQ(failure_of([&] { platform().clear_read_only(at("missing.txt")); }),
            failure::kFileNotFound);
  // Removed whatever its attributes.
  world().make_read_only("ro.txt");
  platform().remove_entry(at("ro.txt"));
  EXPECT_FALSE(world().read("ro.txt"));
}

// --- Process starts ------------------------------------------------------------------------------

TEST_P(PlatformContract, AProgramThatIsNotThereIs53) {
  world().make_folder("work");
  EXPECT_EQ(
      failure_of([&] { platform().shell(at("missing.exe"), WindowStyle::normal, at("work")); }),
      failure::kFileNotFound);
  EXPECT_EQ(failure_of([&] {
              platform().shell(at("none\\missing.bat"), WindowStyle::maximized, at("work"));
            }),
            failure::kFileNotFound);
}

TEST_P(PlatformContract, AStartedProgramRunsUntilItEnds) {
  world().make_folder("work");
  const std::string program = world().lingering_program("work");
  TaskId task = platform().shell(program, WindowStyle::normal, at("work"));
  EXPECT_TRUE(platform().still_running(task));
  world().end_programs();
  EXPECT_TRUE(eventually([&] { return !platform().still_running(task); }));
}

TEST_P(PlatformContract, AScriptIsHeldWhileItRunsAndFreeAfter) {
  world().make_folder("work");
  const std::string script = world().lingering_script("agglis.bat", "work");
  TaskId task = platform().shell(script, WindowStyle::maximized, at("work"));
  EXPECT_TRUE(eventually([&] { return platform().file_facts(script)->in_use; }));
  EXPECT_TRUE(platform().still_running(task));
  world().end_programs();
  EXPECT_TRUE(eventually([&] { return !platform().still_running(task); }));
  EXPECT_TRUE(eventually([&] { return !platform().file_facts(script)->in_use; }));
}

}  // namespace
}  // namespace qano::contract
