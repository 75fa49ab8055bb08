// qanocontrol on Linux: the program's run (app/program.h) with the FLTK window host, the POSIX
// platform and the mdbtools Jet engine.
#include <memory>

#include "app/layout.h"
#include "app/program.h"
#include "platform/fltk/fltk_host.h"
#include "platform/mdbtools/mdbtools_engine.h"
#include "platform/posix/posix_platform.h"

int main() {
  qano::PosixPlatform platform;
  platform.set_jet_engine(qano::make_mdbtools_engine());
  return qano::run_program<qano::FltkHost>(
      platform, [] { return std::make_unique<qano::FltkHost>(qano::form1_layout()); });
}
