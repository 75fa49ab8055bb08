#include "platform/window.h"

namespace qano {

const char* control_kind_name(ControlKind kind) {
  switch (kind) {
    case ControlKind::label:
      return "Label";
    case ControlKind::text_box:
      return "TextBox";
    case ControlKind::frame:
      return "Frame";
    case ControlKind::command_button:
      return "CommandButton";
    case ControlKind::shape:
      return "Shape";
    case ControlKind::timer:
      return "Timer";
    case ControlKind::drive_list:
      return "DriveListBox";
    case ControlKind::data:
      return "Data";
    case ControlKind::ftp_client:
      return "FTP client";
    case ControlKind::menu:
      return "Menu";
  }
  return "";
}

}  // namespace qano
