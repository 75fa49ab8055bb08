// What the tests see of the Win32 window host: whether the window has been unloaded, the main
// window and the child window of a control. Test-only: the host itself offers none of it.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/win32_host.h"

namespace qano {

class Win32HostForTesting {
 public:
  explicit Win32HostForTesting(const Win32Host& host) : host_(host) {}
  bool unloaded() const { return host_.unloaded(); }
  HWND window() const { return host_.window(); }
  HWND control(const std::string& name, int index = 0) const { return host_.control(name, index); }

 private:
  const Win32Host& host_;
};

}  // namespace qano
