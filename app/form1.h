// Form1, the program's only window: its fields, the data control var, the four events it
// handles and its public operations. The window host (FLTK on Linux, or a test's fake) renders
// form1_layout(), delivers the events here and unloads the window when asked.
#pragma once

#include <optional>
#include <string>

#include "intake/archive_intake.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "startup/record_source_gateway.h"
#include "startup/session_settings.h"
#include "startup/startup.h"

namespace qano {

class Form1 : public StartupWindowFields, public WindowEvents {
 public:
  // `settings` is the program-wide group that start-up fills; `host` shows the window.
  Form1(Platform& platform, SessionSettings& settings, WindowHost& host);

  // The window's fields. cartella_dati and automa_aaa come with StartupWindowFields.
  Integer conta_tick = 0;
  // The data control through which start-up runs every query.
  RecordSourceGateway var;

  // The drive list's Drive text: the process's current drive, as the list shows it.
  std::string Drive1() const;
  // What the host lists in Drive1.
  DriveListContents drive_list() const;

  // The handled events.
  void Form_Load();
  void Form_Unload(bool& cancel);
  void Command1_Click();
  void Timer2_Timer();

  // The public operations, in this order.
  void start_tez();
  void start_tez_cli();
  void elaboro_Divulgazioni();
  void Qano_Articoli();

  // How start-up ended, once Form_Load has run.
  std::optional<StartupEnd> startup_end() const { return startup_end_; }

  // WindowEvents: the host's events routed to the handlers above.
  void load() override { Form_Load(); }
  void unload(bool& cancel) override { Form_Unload(cancel); }
  void click(const std::string& control) override;
  void tick(const std::string& timer) override;

 private:
  Platform& platform_;
  SessionSettings& settings_;
  WindowHost& host_;
  std::string drive1_;
  ArchiveIntake intake_;
  std::optional<StartupEnd> startup_end_;
};

}  // namespace qano
