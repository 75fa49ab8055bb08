// The unpack script C:\qano\agglis.bat: five lines, each ended by CR LF, in the ANSI code page.
//
//   1  REM echo off
//   2  cd c:\qano
//   3  c:\programmi\winzip\wzunzip c:\qano\<archive>
//   4  copy C:\qano\acq_var.txt c:\qano\fatture\acq_var.txt
//   5  if errorlevel 1 (ren C:\qano\<archive> <set-aside>) else Del C:\qano\<archive>
//
// Line 5 deletes only the archive that line 3 unpacked, and only when line 4's copy succeeded.
// The intake deletes any leftover acq_var.txt before it writes the script, so the copy can only
// succeed when the unzip tool produced the file; a copy that fails (archive damaged, unzip tool
// missing, invoices folder missing) leaves errorlevel 1 and the archive is renamed to its
// set-aside name, "errore_<archive>", which no longer matches acq_*.zip: it is kept for a person
// to look at and not tried again. Both Windows' command interpreter and Wine's run the line.
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

// Fixed names of the exchange folder.
inline constexpr const char* kArchivePattern = "C:\\qano\\acq_*.zip";
inline constexpr const char* kExchangeFolder = "C:\\qano";  // the script's working directory
inline constexpr const char* kArchiveFolder = "C:\\qano\\";
inline constexpr const char* kLeftoverFile = "C:\\qano\\acq_var.txt";
inline constexpr const char* kScriptFile = "C:\\qano\\agglis.bat";
inline constexpr int kScriptFileNumber = 3;

// The script's lines, or the fixed parts of them.
inline constexpr const char* kLine1 = "REM echo off";
inline constexpr const char* kLine2 = "cd c:\\qano";
inline constexpr const char* kUnzipCommand = "c:\\programmi\\winzip\\wzunzip ";
inline constexpr const char* kUnzipFolder = "c:\\qano\\";
inline constexpr const char* kLine4 = "copy C:\\qano\\acq_var.txt c:\\qano\\fatture\\acq_var.txt";
inline constexpr const char* kLine5IfFailed = "if errorlevel 1 (ren ";
inline constexpr const char* kLine5Else = ") else Del ";
inline constexpr const char* kSetAsidePrefix = "errore";

// The longest path that the command interpreter's ren and del accept: MAX_PATH (260) less its
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

// The name an archive is set aside under when its unpacking fails: "errore_<name>", or
// "errore_2_<name>", "errore_3_<name>", ... when the earlier ones are among `existing` (compared
// without regard to case).
std::string set_aside_name(std::string_view archive, const std::vector<std::string>& existing);
// The pattern whose matches set_aside_name() must avoid: "C:\qano\errore*_<name>".
std::string set_aside_pattern(std::string_view archive);

// The five lines of the script for `archive` (a name can_name_in_script() accepts) and its
// set-aside name, without their CR LF.
std::vector<std::string> unpack_script(std::string_view archive, std::string_view set_aside);

}  // namespace qano::intake
