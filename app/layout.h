// The layout of the main window Form1: its title, its client area and every one of its 47 names
// (44 controls, three of them arrays of ten, and 3 menu entries), with the properties the window
// is built with. Nothing changes them at run time.
#pragma once

#include "platform/window.h"

namespace qano {

// The window's layout; the controls in the order in which the host creates them.
const WindowLayout& form1_layout();

}  // namespace qano
