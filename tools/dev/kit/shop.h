// A shop's files for tests that run the program on real files: the demo's master and data
// databases written by the project's Jet 4 writer, and incoming archives.
#pragma once

#include <filesystem>
#include <string>

#include <utility>
#include <vector>
#include "tools/dev/kit/zip_writer.h"

namespace qano::testing {

// Writes <drive_c>\team\super.mdb and <drive_c>\super\dati.mdb from the demo's descriptions:
// company 1 names C:\super\dati.mdb, and every row start-up reads is there.
void write_shop_databases(const std::filesystem::path& drive_c);

// A whole shop's C: for running the program: the two databases, the log's folder C:\super\bkp,
// the exchange folders C:\qano and C:\qano\fatture, and a companion C:\super\qanodivulgazioni.exe.
void write_shop_drive(const std::filesystem::path& drive_c);

// The demo's incoming acq_var.txt.
std::string demo_acq_var();

}  // namespace qano::testing
