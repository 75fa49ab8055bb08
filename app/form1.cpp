#include "app/form1.h"

#include "intake/companion.h"
#include "intake/poll_timer.h"

namespace qano {

Form1::Form1(Platform& platform, SessionSettings& settings, WindowHost& host)
    : var(platform),
      platform_(platform),
      settings_(settings),
      host_(host),
      drive1_(platform.current_drive()),
      intake_(platform) {}

std::string Form1::Drive1() const {
  return drive1_;
}

DriveListContents Form1::drive_list() const {
  return {platform_.drives(), drive1_};
}

void Form1::Form_Load() {
  startup_end_ = start_up(platform_, settings_, *this, var, Drive1());
}

void Form1::Form_Unload(bool& /*cancel*/) {
  // Every open file goes at once: the activity log, unless an intake has released it already.
  // The unload always goes on.
  platform_.close_all();
}

void Form1::Command1_Click() {
  host_.unload();
}

void Form1::Timer2_Timer() {
  poll_tick(conta_tick, [this] { elaboro_Divulgazioni(); });
}

void Form1::start_tez() {}

void Form1::start_tez_cli() {}

void Form1::elaboro_Divulgazioni() {
  intake_.run([this] { Qano_Articoli(); });
}

void Form1::Qano_Articoli() {
  launch_companion(platform_);
}

void Form1::click(const std::string& control) {
  if (control == "Command1") Command1_Click();
}

void Form1::tick(const std::string& timer) {
  if (timer == "Timer2") Timer2_Timer();
}

}  // namespace qano
