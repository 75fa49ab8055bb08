// qanocontrol on Linux: the program's run (app/program.h) with the FLTK window host on the
// host's platform (make_host_platform: POSIX with the mdbtools Jet engine). The program reads no
// command line: only --help and
// --version, alone, are answered (for the shop's IT and for the manual page made from them);
// anything else is ignored, as it always was.
#include <iostream>
#include <memory>
#include <string>

#include "app/layout.h"
#include "app/program.h"
#include "platform/fltk/fltk_host.h"
#include "platform/host_platform.h"
#include "platform/version.h"

namespace {

constexpr const char* kUsage =
    "Usage: qanocontrol [--help | --version]\n"
    "\n"
    "The shop's unattended back-office controller, beside a point-of-sale suite that\n"
    "runs under Wine. It reads no command line: started without arguments it opens its\n"
    "window, writes the day's activity log, reads the shop's master and data\n"
    "databases, then takes incoming purchase archives until \"Uscita\" is pressed.\n"
    "\n"
    "Every path is a DOS path on the drives of the Wine prefix: drive x: is the folder\n"
    "that dosdevices/x: in the prefix points to, and names match whatever their case.\n"
    "The current drive, where \\team\\super.mdb is looked for, is the drive whose\n"
    "folder holds the working directory (the longest match), else c:. Start it in the\n"
    "prefix's C:\\super, as qanocontrol-start and the menu entry do. Texts are\n"
    "written in Windows-1252 with CR LF line ends.\n"
    "\n"
    "A missing master database is shown in a message box (\"ERRORE : FILE\n"
    "c:\\team\\super.mdb NON ESISTE\"); a missing company, inizio row or data database\n"
    "ends start-up early, as the log's last line says. The program then runs on\n"
    "without those settings. Any other failure ends the program: its number and text\n"
    "go to standard error (\"qanocontrol: run-time error 76: Path not found\") and into\n"
    "a message box; once that is dismissed the exit status is 1. The numbers: 76 Path\n"
    "not found, 53 File not found (also when wine is not on PATH), 75 Path/File access\n"
    "error, 70 Permission denied, 61 Disk full, 55 File already open, 52 Bad file name\n"
    "or number, 51 Cannot open the display, 6 Overflow, 13 Type mismatch, 94 Invalid\n"
    "use of Null, and the database engine's own, such as 3024 Could not find file,\n"
    "3078 (no such table) and 3343 Unrecognized database format.\n"
    "\n"
    "Exit status: 0 when ended by \"Uscita\", the close box or the end of the session\n"
    "(SIGTERM, SIGHUP, SIGINT); 1 after a failure.\n"
    "\n"
    "Environment:\n"
    "  WINEPREFIX        the Wine prefix whose drives are used (else ~/.wine)\n"
    "  DISPLAY           the X display of the window\n"
    "  LC_TIME, LC_NUMERIC\n"
    "                    the forms of dates, times and numbers in the log; under the\n"
    "                    C locale dd/mm/yyyy, HH:MM:SS and a decimal comma\n"
    "  PATH              where wine is found, for the script and the companion\n"
    "\n"
    "Files:\n"
    "  C:\\super\\bkp\\logqanocontrol_ddmmyyyy.txt\n"
    "                    the day's activity log, appended to at start; the folder\n"
    "                    must exist\n"
    "  \\team\\super.mdb   the master database on the current drive, read only; it\n"
    "                    names the data database (else C:\\super\\dati.mdb)\n"
    "  C:\\qano\\acq_*.zip\n"
    "                    incoming archives: about 15 s after start and then every\n"
    "                    10 s the first one in name order is taken\n"
    "  C:\\qano\\agglis.bat\n"
    "                    the unpack script, written for each archive after deleting\n"
    "                    a leftover C:\\qano\\acq_var.txt, and run with wine start in\n"
    "                    C:\\qano; it files acq_var.txt into c:\\qano\\fatture and\n"
    "                    deletes the archive, or renames it errore_<name>\n"
    "  C:\\super\\qanodivulgazioni.exe\n"
    "                    the companion program, started with wine after each script\n"
    "                    when it is there\n";

}  // namespace

int main(int argc, char** argv) {
  const std::string argument = argc == 2 ? argv[1] : "";
  if (argument == "--help" || argument == "-h") {
    std::cout << kUsage;
    return 0;
  }
  if (argument == "--version") {
    std::cout << "qanocontrol " << qano::kVersion << '\n';
    return 0;
  }
  std::unique_ptr<qano::Platform> platform = qano::make_host_platform();
  return qano::run_program<qano::FltkHost>(
      *platform, [] { return std::make_unique<qano::FltkHost>(qano::form1_layout()); });
}
