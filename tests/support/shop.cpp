#include "tests/support/shop.h"

#include <cstdint>
#include <fstream>

#include "jet4_json.h"
#include "jet4_writer.h"
#include "tests/support/temp_prefix.h"

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

namespace {

std::uint32_t crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

std::string zip_archive(const std::string& name, const std::string& bytes) {
  std::uint32_t crc = crc32(bytes);
  auto size = static_cast<std::uint32_t>(bytes.size());
  auto name_size = static_cast<std::uint32_t>(name.size());
  std::string zip;
  // Local header, then the data.
  put32(zip, 0x04034b50);
  put16(zip, 10);    // version needed
  put16(zip, 0);     // flags
  put16(zip, 0);     // stored
  put16(zip, 0);     // time
  put16(zip, 0x21);  // date: 1980-01-01
  put32(zip, crc);
  put32(zip, size);
  put32(zip, size);
  put16(zip, name_size);
  put16(zip, 0);
  zip += name;
  zip += bytes;
  // Central directory.
  auto directory = static_cast<std::uint32_t>(zip.size());
  put32(zip, 0x02014b50);
  put16(zip, 20);  // made by
  put16(zip, 10);
  put16(zip, 0);
  put16(zip, 0);
  put16(zip, 0);
  put16(zip, 0x21);
  put32(zip, crc);
  put32(zip, size);
  put32(zip, size);
  put16(zip, name_size);
  put16(zip, 0);  // extra
  put16(zip, 0);  // comment
  put16(zip, 0);  // disk
  put16(zip, 0);  // internal attributes
  put32(zip, 0);  // external attributes
  put32(zip, 0);  // local header offset
  zip += name;
  auto directory_size = static_cast<std::uint32_t>(zip.size()) - directory;
  // End of central directory.
  put32(zip, 0x06054b50);
  put16(zip, 0);
  put16(zip, 0);
  put16(zip, 1);
  put16(zip, 1);
  put32(zip, directory_size);
  put32(zip, directory);
  put16(zip, 0);
  return zip;
}

}  // namespace qano::testing
