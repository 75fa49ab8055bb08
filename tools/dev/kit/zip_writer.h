// Zip archives for tests, stored without compression: one file, or several in order. Header only,
// for the Linux tests and the Windows programs' tests alike.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qano::testing {

namespace zip_detail {
inline std::uint32_t crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}
inline void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
}  // namespace zip_detail

inline std::string zip_archive(const std::vector<std::pair<std::string, std::string>>& files) {
  using zip_detail::put16;
  using zip_detail::put32;
  std::string zip;
  std::string directory;
  for (const auto& [name, bytes] : files) {
    auto offset = static_cast<std::uint32_t>(zip.size());
    // What the local header and the central directory say alike: version needed, no flags,
    // stored, the time and date, the CRC, both sizes and the name's length, no extra field.
    auto put_entry = [&, name = std::ref(name), bytes = std::ref(bytes)](std::string& out) {
      put16(out, 10);
      put16(out, 0);
      put16(out, 0);     // stored
      put16(out, 0);     // time
      put16(out, 0x21);  // date: 1980-01-01
      put32(out, zip_detail::crc32(bytes.get()));
      put32(out, static_cast<std::uint32_t>(bytes.get().size()));
      put32(out, static_cast<std::uint32_t>(bytes.get().size()));
      put16(out, static_cast<std::uint32_t>(name.get().size()));
      put16(out, 0);
    };
    put32(zip, 0x04034b50);
    put_entry(zip);
    zip += name + bytes;
    put32(directory, 0x02014b50);
    put16(directory, 20);  // made by
    put_entry(directory);
    put16(directory, 0);  // comment, disk, internal and external attributes
    put16(directory, 0);
    put16(directory, 0);
    put32(directory, 0);
    put32(directory, offset);
    directory += name;
  }
  auto count = static_cast<std::uint32_t>(files.size());
  std::string end;
  put32(end, 0x06054b50);
  put16(end, 0);
  put16(end, 0);
  put16(end, count);
  put16(end, count);
  put32(end, static_cast<std::uint32_t>(directory.size()));
  put32(end, static_cast<std::uint32_t>(zip.size()));
  put16(end, 0);
  return zip + directory + end;
}

inline std::string zip_archive(const std::string& name, const std::string& bytes) {
  return zip_archive({{name, bytes}});
}

}  // namespace qano::testing
