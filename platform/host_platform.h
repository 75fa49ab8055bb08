// The platform of the machine the program runs on, made in one place for every command: on
// Linux the POSIX platform over the Wine prefix with the mdbtools Jet engine, on Windows the
// Win32 platform with Jet through the ODBC Access driver. A command asks for it and never picks
// its host itself.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace qano {

// A platform with what the commands need beyond the program's own calls.
class HostPlatform : public Platform {
 public:
  // What open_append(number, path) would fail with, found without opening, creating or changing
  // anything: nothing when the file's folder, kind and access rights let it be opened. For a
  // check that shows what the program would do without doing it.
  virtual std::optional<Failure> open_append_failure(int number, const std::string& path) = 0;
  // A note for whoever checks the machine, when its drives cannot be what the program needs (a
  // Wine prefix without drives); nothing when they can.
  virtual std::optional<std::string> drives_note() = 0;
  // The Jet engine that query() uses, for a command that opens host paths itself.
  virtual JetEngine& jet_engine() = 0;
};

// The host's platform with its Jet engine.
std::unique_ptr<HostPlatform> make_host_platform();
// The host's Jet engine as make_host_platform gives it to the platform, with every wrapper (the
// retry of torn reads, and on Linux the reader process): for a benchmark or a tool that reads
// host files without a platform. Queries go through jet_contract::run_query.
std::unique_ptr<JetEngine> make_host_jet_engine();

// For a command's help: how the host gives the drives and the current drive, and which Jet
// engine reads the databases. Each a sentence or two, lines ended by "\n".
const char* host_drives_help();
const char* host_jet_engine_name();

// A console command's own start, which each command defines: the host's entry point (the
// library qano_console_main) calls it with the arguments in UTF-8 and the standard streams set up
// for the host (on Windows: the console shows the text as written, whatever its code page); its
// exit status.
int console_main(int argc, char** argv);

}  // namespace qano
