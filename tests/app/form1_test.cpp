// Form1 on the in-memory platform, driven by calling its handlers as the host would: start-up on
// Load, the ticks and the intake, the unload, the button, and the early ends of start-up.
#include "app/form1.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/fake/fake_platform.h"
#include "tests/support/startup_queries.h"

namespace qano {
namespace {

using Table = FakePlatform::Table;

// The host as the window sees it: an unload runs the window's unload handler, and the window is
// gone unless it cancelled.
struct FakeHost : WindowHost {
  Form1* form = nullptr;
  int unloads = 0;
  bool gone = false;
  void unload() override {
    ++unloads;
    bool cancel = false;
    form->Form_Unload(cancel);
    gone = !cancel;
  }
};

constexpr const char* kLog = "C:\\super\\bkp\\logqanocontrol_07122026.txt";

std::vector<Table> master_tables(bool company = true, bool inizio = true) {
  Table societa{"società", {{"codute", JetType::long_integer}, {"database", JetType::text}}, {}};
  if (company)
    societa.rows.push_back(
        {JetValue::integer(JetType::long_integer, 1), JetValue::text("C:\\super\\dati.mdb")});
  Table start{"inizio", {{"codute", JetType::long_integer}}, {}};
  if (inizio) start.rows.push_back({JetValue::integer(JetType::long_integer, 1)});
  return {societa, start};
}

std::vector<Table> data_tables() {
  Table automa{"automa", {{"codice", JetType::long_integer}, {"aaa", JetType::text}}, {}};
  automa.rows.push_back({JetValue::integer(JetType::long_integer, 1), JetValue::text("12abc")});
  Table utenti{"utenti",
               {{"codutente", JetType::long_integer},
                {"nrpos", JetType::long_integer},
                {"artico", JetType::text},
                {"chiusura", JetType::text},
                {"fid_rep", JetType::text},
                {"Flag_CF", JetType::text}},
               {}};
  utenti.rows.push_back({JetValue::integer(JetType::long_integer, 1),
                         JetValue::integer(JetType::long_integer, 3), JetValue::text("SN"),
                         JetValue::text("X"), JetValue::text("3.5"), JetValue::text("S")});
  Table pv{"pv", {{"proprio", JetType::text}, {"codice", JetType::long_integer}}, {}};
  pv.rows.push_back({JetValue::text("1"), JetValue::integer(JetType::long_integer, 42)});
  return {automa, utenti, pv};
}

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() {
    platform.add_drive('c');
    platform.add_drive('d');
    platform.add_folder("C:\\super\\bkp");
    platform.add_folder("C:\\qano\\fatture");
    platform.add_database("c:\\team\\super.mdb", master_tables());
    platform.add_database("C:\\super\\dati.mdb", data_tables());
    platform.add_file("C:\\super\\qanodivulgazioni.exe", "MZ");
  }
  Form1& form() {
    if (!form_) {
      form_ = std::make_unique<Form1>(platform, settings, host);
      host.form = form_.get();
    }
    return *form_;
  }
  std::vector<std::string> log_lines() const {
    std::vector<std::string> lines;
    std::string bytes = platform.bytes(kLog);
    std::size_t at = 0;
    while (at < bytes.size()) {
      std::size_t end = bytes.find("\r\n", at);
      if (end == std::string::npos) end = bytes.size();
      lines.push_back(bytes.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }
  // The ticks up to and including the first intake.
  void tick_to_first_intake() {
    for (int i = 0; i < 3; ++i) form().Timer2_Timer();
  }
  std::vector<std::string> started() const {
    std::vector<std::string> paths;
    for (const FakePlatform::Start& s : platform.starts()) paths.push_back(s.path);
    return paths;
  }

  FakePlatform platform;
  SessionSettings settings;
  FakeHost host;
  std::unique_ptr<Form1> form_;
};

TEST_F(Form1Test, FieldsAreEmptyAndVarBoundToNothingWhenCreated) {
  Form1& f = form();
  EXPECT_EQ(f.conta_tick, 0);
  EXPECT_EQ(f.cartella_dati, "");
  EXPECT_EQ(f.automa_aaa, "");
  EXPECT_EQ(f.var.Connect(), "Access 2000;");
  EXPECT_EQ(f.var.DatabaseName, "");
  EXPECT_EQ(f.var.RecordSource, "");
  EXPECT_EQ(f.Drive1(), "c:");
  EXPECT_FALSE(f.startup_end().has_value());
  EXPECT_TRUE(platform.journal().empty() ||
              std::all_of(platform.journal().begin(), platform.journal().end(),
                          [](const std::string& call) {
                            return call.rfind("current_drive", 0) == 0 ||
                                   call.rfind("drives", 0) == 0;
                          }))
      << "creating the window opens no file and runs no query";
  EXPECT_TRUE(platform.open_numbers().empty());
}

TEST_F(Form1Test, DriveListHoldsEveryDriveAndShowsTheCurrentOne) {
  platform.set_current_drive("d:");
  DriveListContents list = form().drive_list();
  EXPECT_EQ(list.drives, (std::vector<std::string>{"c:", "d:"}));
  EXPECT_EQ(list.current, "d:");
  EXPECT_EQ(form().Drive1(), "d:");
}

TEST_F(Form1Test, LoadRunsStartUpInOrder) {
  form().Form_Load();
  EXPECT_EQ(form().startup_end(), StartupEnd::complete);
  std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "07/12/2026-12:21:27- Avvio programma");
  EXPECT_EQ(lines[1], "07/12/2026-12:21:27- Apro DB  C:\\super\\dati.mdb");
  EXPECT_EQ(lines[2], "07/12/2026-12:21:27- Apro DB  C:\\super\\vendite.mdb");
  EXPECT_EQ(lines[3], "07/12/2026-12:21:27- Apro DB  c:\\team\\super.mdb");
  EXPECT_EQ(lines[4], "DB OK  ");
  EXPECT_EQ(lines[5], "CONTROLLO DB SUPER OK");
  EXPECT_EQ(lines[6], "07/12/2026-12:21:27- Controllo  DB  OK");

  // The log opens first; the queries follow in start-up's order, all through var.
  const std::vector<std::string>& journal = platform.journal();
  auto first = [&](const std::string& prefix) {
    return std::find_if(journal.begin(), journal.end(),
                        [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }) -
           journal.begin();
  };
  EXPECT_LT(first("open_append"), first("query"));
  std::vector<std::string> tables;
  for (const auto& [database, sql] : platform.queries()) tables.push_back(database + " | " + sql);
  EXPECT_EQ(tables, testing::kCompleteStartupQueries);
  EXPECT_EQ(form().var.RecordSource, "select * from pv where proprio = '1' ");

  // The window's fields and the program-wide settings.
  EXPECT_EQ(form().cartella_dati, "C:\\super\\");
  EXPECT_EQ(form().automa_aaa, "12");
  EXPECT_EQ(settings.codice_societa, 1);
  EXPECT_EQ(settings.lettera_drive.str(), "c");
  EXPECT_EQ(settings.file_log, kLog);
  EXPECT_EQ(settings.pv_codice, 42);
  EXPECT_EQ(settings.utenti_nrpos, 3);
  EXPECT_EQ(settings.anno, 2026);
  // The log stays open after start-up; the timer has not ticked.
  EXPECT_EQ(platform.open_numbers(), std::vector<int>{2});
  EXPECT_EQ(form().conta_tick, 0);
}

TEST_F(Form1Test, LoadTakesTheDriveFromTheDriveList) {
  platform.set_current_drive("d:");
  form().Form_Load();
  EXPECT_EQ(form().startup_end(), StartupEnd::master_missing);
  EXPECT_EQ(platform.message_boxes(),
            std::vector<std::string>{"ERRORE : FILE d:\\team\\super.mdb NON ESISTE "});
  EXPECT_EQ(settings.lettera_drive.str(), "d");
}

TEST_F(Form1Test, UnloadClosesEveryFileWritesNothingAndNeverCancels) {
  form().Form_Load();
  std::string log = platform.bytes(kLog);
  ASSERT_EQ(platform.open_numbers(), std::vector<int>{2});
  bool cancel = false;
  form().Form_Unload(cancel);
  EXPECT_FALSE(cancel);
  EXPECT_TRUE(platform.open_numbers().empty());
  EXPECT_EQ(platform.bytes(kLog), log);
}

TEST_F(Form1Test, UnloadAfterAnIntakeClosedTheLogFindsNothingOpen) {
  form().Form_Load();
  platform.add_file("C:\\qano\\acq_0001.zip", "PK");
  tick_to_first_intake();
  ASSERT_TRUE(platform.open_numbers().empty()) << "the intake closed the log";
  platform.clear_journal();
  bool cancel = false;
  form().Form_Unload(cancel);
  EXPECT_FALSE(cancel);
  EXPECT_EQ(platform.journal(), std::vector<std::string>{"close_all"});
}

TEST_F(Form1Test, UscitaUnloadsThroughTheHostAndDoesNothingElse) {
  form().Form_Load();
  platform.clear_journal();
  form().Command1_Click();
  EXPECT_EQ(host.unloads, 1);
  EXPECT_TRUE(host.gone);
  EXPECT_TRUE(platform.open_numbers().empty());
  EXPECT_EQ(platform.journal(), std::vector<std::string>{"close_all"});
}

TEST_F(Form1Test, EventsFromTheHostReachTheirHandlersOnly) {
  form().Form_Load();
  platform.clear_journal();
  form().tick("Timer1");
  form().click("Frame1");
  form().click("nrposw");
  EXPECT_EQ(form().conta_tick, 0);
  EXPECT_EQ(host.unloads, 0);
  EXPECT_TRUE(platform.journal().empty());
  form().tick("Timer2");
  EXPECT_EQ(form().conta_tick, 1);
  form().click("Command1");
  EXPECT_EQ(host.unloads, 1);
}

TEST_F(Form1Test, StartTezAndStartTezCliChangeNothing) {
  form().Form_Load();
  platform.clear_journal();
  for (int i = 0; i < 5; ++i) {
    form().start_tez();
    form().start_tez_cli();
  }
  EXPECT_TRUE(platform.journal().empty());
  EXPECT_EQ(form().conta_tick, 0);
  EXPECT_EQ(form().cartella_dati, "C:\\super\\");
  EXPECT_EQ(platform.open_numbers(), std::vector<int>{2});
}

TEST_F(Form1Test, TheThirdTickRunsTheIntakeAndItStartsTheScriptThenTheCompanion) {
  form().Form_Load();
  platform.add_file("C:\\qano\\acq_0001.zip", "PK");
  std::vector<Integer> counts;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(platform.starts().empty()) << "no intake before the third tick";
    form().Timer2_Timer();
    counts.push_back(form().conta_tick);
  }
  EXPECT_EQ(counts, (std::vector<Integer>{1, 2, 1}));
  EXPECT_EQ(started(),
            (std::vector<std::string>{"C:\\qano\\agglis.bat", "C:\\super\\qanodivulgazioni.exe"}));
  EXPECT_EQ(platform.starts()[0].style, WindowStyle::maximized);
  EXPECT_EQ(platform.starts()[1].style, WindowStyle::normal);
  EXPECT_NE(platform.bytes("C:\\qano\\agglis.bat").find("\\acq_0001.zip acq_var.txt\r\n"),
            std::string::npos);
}

TEST_F(Form1Test, PublicOperationsReachTheIntakeAndTheCompanion) {
  form().Qano_Articoli();
  EXPECT_EQ(started(), std::vector<std::string>{"C:\\super\\qanodivulgazioni.exe"});
  form().elaboro_Divulgazioni();  // no archive: nothing
  EXPECT_EQ(started().size(), 1u);
  platform.add_file("C:\\qano\\acq_0001.zip", "PK");
  form().elaboro_Divulgazioni();
  EXPECT_EQ(started(),
            (std::vector<std::string>{"C:\\super\\qanodivulgazioni.exe", "C:\\qano\\agglis.bat",
                                      "C:\\super\\qanodivulgazioni.exe"}));
}

struct EarlyEnd {
  std::string name;
  std::function<void(FakePlatform&)> scene;
  StartupEnd end;
  std::vector<std::string> last_log_lines;
  std::vector<std::string> message_boxes;
};

TEST_F(Form1Test, EarlyEndsOfStartUpLeaveTheWindowAndTheIntakeRunning) {
  const std::string stamp = "07/12/2026-12:21:27";
  const EarlyEnd cases[] = {
      {"master missing",
       [](FakePlatform& p) { p.kill("c:\\team\\super.mdb"); },
       StartupEnd::master_missing,
       {stamp + "- Avvio programma"},
       {"ERRORE : FILE c:\\team\\super.mdb NON ESISTE "}},
      {"company missing",
       [](FakePlatform& p) {
         p.kill("c:\\team\\super.mdb");
         p.add_database("c:\\team\\super.mdb", master_tables(false, true));
       },
       StartupEnd::company_missing,
       {"ERRORE : SOCIETA CON CODICE 1 NON ESISTE "},
       {}},
      {"inizio missing",
       [](FakePlatform& p) {
         p.kill("c:\\team\\super.mdb");
         p.add_database("c:\\team\\super.mdb", master_tables(true, false));
       },
       StartupEnd::inizio_missing,
       {"ERRORE : SOCIETA CON CODICE 1 NON ESISTE "},
       {}},
      {"data missing",
       [](FakePlatform& p) { p.kill("C:\\super\\dati.mdb"); },
       StartupEnd::data_missing,
       {"ERRORE : DB NON ESISTE "},
       {}},
  };
  for (const EarlyEnd& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform p;
    p.add_drive('c');
    p.add_folder("C:\\super\\bkp");
    p.add_folder("C:\\qano\\fatture");
    p.add_database("c:\\team\\super.mdb", master_tables());
    p.add_database("C:\\super\\dati.mdb", data_tables());
    p.add_file("C:\\super\\qanodivulgazioni.exe", "MZ");
    c.scene(p);
    SessionSettings s;
    FakeHost h;
    Form1 f(p, s, h);
    h.form = &f;

    f.Form_Load();  // returns normally
    EXPECT_EQ(f.startup_end(), c.end);
    EXPECT_EQ(p.message_boxes(), c.message_boxes);
    std::string log = p.bytes(kLog);
    std::string tail;
    for (const std::string& line : c.last_log_lines) tail += line + "\r\n";
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    EXPECT_EQ(s.pv_codice, 0) << "later settings keep their initial values";
    EXPECT_EQ(f.automa_aaa, "");

    // The window stays, and the intake runs on its schedule.
    p.add_file("C:\\qano\\acq_0001.zip", "PK");
    for (int i = 0; i < 3; ++i) f.Timer2_Timer();
    ASSERT_EQ(p.starts().size(), 2u);
    EXPECT_EQ(p.starts()[0].path, "C:\\qano\\agglis.bat");
    EXPECT_EQ(p.starts()[1].path, "C:\\super\\qanodivulgazioni.exe");
    EXPECT_TRUE(p.open_numbers().empty());
    EXPECT_EQ(h.unloads, 0);
  }
}

TEST_F(Form1Test, AFailureInStartUpComesOutOfLoad) {
  FakePlatform p;
  p.add_drive('c');  // no C:\super\bkp: the log cannot be opened
  SessionSettings s;
  FakeHost h;
  Form1 f(p, s, h);
  h.form = &f;
  try {
    f.Form_Load();
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 76);
  }
}

TEST_F(Form1Test, AFailureInAnIntakeComesOutOfTheTickWithTheCountAtTwo) {
  form().Form_Load();
  platform.add_file("C:\\qano\\acq_0001.zip", "PK");
  platform.before_call = [](const std::string& call, const std::string&) {
    if (call == "open_output") fail(failure::kPermissionDenied);
  };
  form().Timer2_Timer();
  form().Timer2_Timer();
  EXPECT_THROW(form().Timer2_Timer(), Failure);
  EXPECT_EQ(form().conta_tick, 2);
}

}  // namespace
}  // namespace qano
