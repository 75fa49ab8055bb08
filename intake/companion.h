// Qano_Articoli: starts the companion program C:\super\qanodivulgazioni.exe.
#pragma once

#include "platform/platform.h"

namespace qano {

inline constexpr const char* kCompanionProgram = "C:\\super\\qanodivulgazioni.exe";

// When the companion program is there as an ordinary file, starts it in a normal window, without
// arguments, in the program's own working directory, and does not wait for it; otherwise does
// nothing. A companion that is there but cannot be started is a failure (53).
void launch_companion(Platform& platform);

}  // namespace qano
