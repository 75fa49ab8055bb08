#include "tools/dev/kit/shop.h"

#include <cstdint>
#include <fstream>

#include "jet4_json.h"
#include "jet4_writer.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano::testing {

namespace fs = std::filesystem;

void write_shop_databases(const fs::path& drive_c) {
  fs::create_directories(drive_c / "team");
  fs::create_directories(drive_c / "super");
  jet4::write_database(jet4::read_description(fs::path(QANO_DEMO_DIR) / "super.json"),
                       (drive_c / "team" / "super.mdb").string());
  jet4::write_database(jet4::read_description(fs::path(QANO_DEMO_DIR) / "dati.json"),
                       (drive_c / "super" / "dati.mdb").string());
}

void write_shop_drive(const fs::path& drive_c) {
  write_shop_databases(drive_c);
  fs::create_directories(drive_c / "super" / "bkp");
  fs::create_directories(drive_c / "qano" / "fatture");
  std::ofstream(drive_c / "super" / "qanodivulgazioni.exe", std::ios::binary) << "MZ";
}

std::string demo_acq_var() {
  return read_file(fs::path(QANO_DEMO_DIR) / "acq_var.txt");
}

}  // namespace qano::testing
