#include "intake/companion.h"

namespace qano {

void launch_companion(Platform& platform) {
  if (platform.dir(kCompanionProgram).empty()) return;
  platform.shell(kCompanionProgram, WindowStyle::normal, "");
}

}  // namespace qano
