// mkmdb DESCRIPTION.json OUT.mdb, mkmdb --help | --version
//
// Creates an Access 2000 database from a JSON description (format in
// jet4_json.h and README.md). Exit status: 0 written, 2 bad usage or bad
// description (message on stderr), 1 any other failure such as I/O.
#include <exception>
#include <iostream>
#include <string>

#include "jet4_json.h"
#include "jet4_writer.h"
#include "platform/version.h"

namespace {
constexpr const char* kUsage =
    "Usage: mkmdb DESCRIPTION.json OUT.mdb\n"
    "  or:  mkmdb --help | --version\n"
    "\n"
    "Writes the Access 2000 (Jet 4) database OUT.mdb from a JSON description of its\n"
    "tables, columns and rows: {\"tables\": [{\"name\": ..., \"columns\": [{\"name\": ...,\n"
    "\"type\": ..., \"size\": ...}], \"rows\": [[...]]}]}. Column types: Boolean, Byte,\n"
    "Integer, Long, Currency, Single, Double, DateTime, Text (size 1 to 255), Memo.\n"
    "The file is written beside OUT.mdb and renamed into place: a failure leaves no\n"
    "partial file and keeps an existing one.\n"
    "\n"
    "Exit status: 0 written; 2 a wrong command line or a bad description (the place\n"
    "is named on standard error); 1 any other failure, such as a folder that cannot\n"
    "be written.\n";
}  // namespace

int main(int argc, char** argv) {
  const std::string argument = argc > 1 ? argv[1] : "";
  if (argc == 2 && (argument == "--help" || argument == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc == 2 && argument == "--version") {
    std::cout << "mkmdb (qanocontrol) " << qano::kVersion << '\n';
    return 0;
  }
  if (argc != 3) {
    std::cerr << "usage: mkmdb DESCRIPTION.json OUT.mdb\n";
    return 2;
  }
  try {
    const qano::jet4::Database db = qano::jet4::read_description(argv[1]);
    qano::jet4::write_database(db, argv[2]);
  } catch (const qano::jet4::InputError& e) {
    std::cerr << "mkmdb: " << argv[1] << ": " << e.what() << '\n';
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "mkmdb: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
