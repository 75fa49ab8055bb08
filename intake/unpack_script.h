// The unpack script C:\qano\agglis.bat: five lines, each ended by CR LF, in the ANSI code page.
// It works on an archive that the intake has claimed, that is moved out of the exchange folder
// into a folder of the program's own (a claim, see claim.h), never on a name in C:\qano:
//
//   1  REM echo off
//   2  cd <claim>
//   3  c:\programmi\winzip\wzunzip <claim>\<archive> acq_var.txt
//   4  if not errorlevel 1 move /y <claim>\<archive> <kept>
//   5  if exist <kept> move /y <claim>\acq_var.txt c:\qano\fatture\acq_var.txt
//
// where <claim> is the claim's folder c:\qano\qanocontrol\<id> and <kept> the archive's place
// among the filed ones, c:\qano\qanocontrol\archiviati\<id>_<archive>.
//
// Line 3 unpacks only acq_var.txt, into the claim's own folder: nothing else in the archive comes
// out, and nothing it holds lands beside the script or anywhere else. Line 4 keeps the archive
// among the filed ones, and only when the unzip succeeded. Line 5 files the invoices, and only
// once the archive is kept: the test is on the kept archive itself, because Wine's move leaves
// errorlevel at 0 when it fails. A move within one drive is a rename, so the invoices appear in
// c:\qano\fatture whole or not at all, and a link planted at their name is replaced, never
// written through. What a killed script leaves behind is finished by the intake at its next
// look (archive_intake.h).
//
// A name made only of letters, digits, "_", "-" and "." is written as it is. Any other name is
// written as the whole path in double quotes with each % doubled: inside quotes the command
// interpreter takes & | < > ^ ( ) , ; = and blanks literally, and a batch file turns %% back into
// %. Names that no quoting makes safe are never written at all (can_name_in_script).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qano::intake {

struct Claim;

// Fixed names of the exchange folder.
inline constexpr const char* kArchivePattern = "C:\\qano\\acq_*.zip";
inline constexpr const char* kArchiveFolder = "C:\\qano\\";
inline constexpr const char* kLeftoverFile = "C:\\qano\\acq_var.txt";
inline constexpr const char* kScriptFile = "C:\\qano\\agglis.bat";
inline constexpr const char* kInvoicesFolder = "C:\\qano\\fatture";
inline constexpr const char* kInvoices = "C:\\qano\\fatture\\acq_var.txt";
inline constexpr int kScriptFileNumber = 3;
// The one entry that is unpacked from an archive.
inline constexpr const char* kInvoicesName = "acq_var.txt";

// The script's lines, or the fixed parts of them.
inline constexpr const char* kLine1 = "REM echo off";
inline constexpr const char* kLine2 = "cd ";
inline constexpr const char* kUnzipCommand = "c:\\programmi\\winzip\\wzunzip ";
inline constexpr const char* kLine4 = "if not errorlevel 1 move /y ";
inline constexpr const char* kLine5 = "if exist ";
inline constexpr const char* kMove = " move /y ";
inline constexpr const char* kInvoicesInScript = "c:\\qano\\fatture\\acq_var.txt";
inline constexpr const char* kSetAsidePrefix = "errore";

// The longest path that the command interpreter's move accepts: MAX_PATH (260) less its
// terminating NUL.
inline constexpr std::size_t kMaxPathLength = 259;

// Whether an archive name can be written into the script so that the command interpreter reads
// back exactly that name and nothing more: printable ASCII only, none of the characters Windows
// forbids in a name (" * / : < > ? \ |), and no blank or dot at its end (Windows drops them).
// Letters outside ASCII cannot be written: the interpreter reads a batch file in the console's OEM
// code page, not in the ANSI code page the file is written in, and would look for another name.
bool can_name_in_script(std::string_view name);
// Why can_name_in_script(name) is false, in a few words for the shop's IT; empty when it is true.
std::string why_not_in_script(std::string_view name);

// Whether a name is written without quotes: letters, digits, "_", "-" and ".".
bool is_plain_name(std::string_view name);

// `folder` + `name` as the script writes it: as it is when the name is plain, else quoted with
// each % doubled.
std::string script_path(std::string_view folder, std::string_view name);

// The name a claimed archive is given back under in C:\qano when it could not be unpacked whole:
// "errore_<name>", or "errore_2_<name>", "errore_3_<name>", ... when the earlier ones are among
// `existing` (compared without regard to case).
std::string set_aside_name(std::string_view archive, const std::vector<std::string>& existing);
// The pattern whose matches set_aside_name() must avoid: "C:\qano\errore*_<name>".
std::string set_aside_pattern(std::string_view archive);

// The five lines of the script for a claim (an archive name that can_name_in_script() accepts),
// without their CR LF.
std::vector<std::string> unpack_script(const Claim& claim);

}  // namespace qano::intake
