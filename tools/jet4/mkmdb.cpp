// mkmdb DESCRIPTION.json OUT.mdb
//
// Creates an Access 2000 database from a JSON description (format in
// jet4_json.h and README.md). Exit status: 0 written, 2 bad usage or bad
// description (message on stderr), 1 any other failure such as I/O.
#include <exception>
#include <iostream>

#include "jet4_json.h"
#include "jet4_writer.h"

int main(int argc, char** argv) {
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
