// qanocontrol.exe on Windows: the program's run (app/program.h) with the Win32 window host on the
// host's platform (make_host_platform: Win32 with Jet through the system's ODBC Access driver).
#include <windows.h>

#include <memory>

#include "app/layout.h"
#include "app/program.h"
#include "platform/host_platform.h"
#include "platform/win32/win32_host.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::unique_ptr<qano::Platform> platform = qano::make_host_platform();
  return qano::run_program<qano::Win32Host>(
      *platform, [] { return std::make_unique<qano::Win32Host>(qano::form1_layout()); });
}
