// qanocontrol.exe on Windows: the program's run (app/program.h) with the Win32 window host, the
// Win32 platform and Jet through the system's ODBC Access driver.
#include <windows.h>

#include <iostream>
#include <memory>

#include "app/layout.h"
#include "app/program.h"
#include "platform/odbc/odbc_engine.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  qano::Win32Platform platform;
  // One program per machine: a second start (the Startup folder and a double click) would take
  // every archive twice. It shows the running one and ends, taking nothing.
  if (!platform.claim_single_instance()) {
    std::cerr << qano::kProgramName
              << ": another qanocontrol already runs on this machine; this start ends" << std::endl;
    return 0;
  }
  platform.set_jet_engine(qano::make_odbc_engine());
  return qano::run_program<qano::Win32Host>(
      platform, [] { return std::make_unique<qano::Win32Host>(qano::form1_layout()); });
}
