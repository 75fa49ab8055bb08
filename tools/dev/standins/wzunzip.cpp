// Stand-in for the command-line unzip tool c:\programmi\winzip\wzunzip.exe, as a Windows console
// program for tests and the demo under Wine.
//
//   wzunzip [options] ARCHIVE.zip [NAME...]
//
// Unpacks the files of the archive into the working directory, names without their folders;
// with NAMEs, only the entries whose name (without its folders, case ignored) is one of them.
// Options (arguments beginning with "-") are accepted and ignored. The whole archive is read and
// checked first (signatures, sizes, CRC-32 of every entry); only when every entry is sound is
// anything written, so a damaged or truncated archive leaves no file behind. A file that is
// already there is never overwritten: like a command-line unzip whose question nobody answers, it
// is skipped and the run fails. Exit status: 0 when every file was written, 1 for a damaged
// archive or a file that was already there, 2 for bad usage or an archive that cannot be read,
// 3 when a file cannot be written, 11 when no entry matched the NAMEs.
//
// For tests: with QANO_WZUNZIP_CUT_AFTER=<n> in the environment, it stops after writing n bytes
// of the first file and ends with status 3, as on a disk that has filled up; with
// QANO_WZUNZIP_PAUSE_MS=<n> it waits n milliseconds before it writes anything, as a slow unzip.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Damaged : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::uint32_t u16(const std::string& b, std::size_t at) {
  if (at + 2 > b.size()) throw Damaged("truncated");
  return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8;
}

std::uint32_t u32(const std::string& b, std::size_t at) {
  return u16(b, at) | u16(b, at + 2) << 16;
}

struct Entry {
  std::string name;
  std::string bytes;
};

std::string inflate_raw(const std::string& packed, std::size_t size) {
  std::string out(size, '\0');
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw Damaged("zlib");
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = inflate(&z, Z_FINISH);
  std::size_t produced = z.total_out;
  inflateEnd(&z);
  if (rc != Z_STREAM_END || produced != size) throw Damaged("bad compressed data");
  return out;
}

// The bare file name of an entry: its last path component. Folders (names ending in "/") and
// names that would leave the working directory give an empty name.
std::string bare_name(const std::string& name) {
  if (name.empty() || name.back() == '/' || name.back() == '\\') return "";
  std::size_t slash = name.find_last_of("/\\");
  std::string bare = slash == std::string::npos ? name : name.substr(slash + 1);
  if (bare == "." || bare == ".." || bare.find(':') != std::string::npos) return "";
  return bare;
}

std::vector<Entry> read_archive(const std::string& b) {
  // The end-of-central-directory record: within the last 64 KiB + 22 bytes.
  if (b.size() < 22) throw Damaged("too short");
  std::size_t end = std::string::npos;
  std::size_t lowest = b.size() > 65557 ? b.size() - 65557 : 0;
  for (std::size_t at = b.size() - 22 + 1; at-- > lowest;) {
    if (u32(b, at) == 0x06054b50) {
      end = at;
      break;
    }
  }
  if (end == std::string::npos) throw Damaged("no central directory");
  std::uint32_t count = u16(b, end + 10);
  std::uint32_t directory = u32(b, end + 16);
  std::vector<Entry> entries;
  std::size_t at = directory;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (u32(b, at) != 0x02014b50) throw Damaged("bad directory entry");
    std::uint32_t flags = u16(b, at + 8);
    std::uint32_t method = u16(b, at + 10);
    std::uint32_t crc = u32(b, at + 16);
    std::uint32_t packed_size = u32(b, at + 20);
    std::uint32_t size = u32(b, at + 24);
    std::uint32_t name_length = u16(b, at + 28);
    std::uint32_t extra_length = u16(b, at + 30);
    std::uint32_t comment_length = u16(b, at + 32);
    std::uint32_t local = u32(b, at + 42);
    if (at + 46 + name_length > b.size()) throw Damaged("truncated");
    std::string name = b.substr(at + 46, name_length);
    at += 46 + name_length + extra_length + comment_length;
    if (flags & 1) throw Damaged("encrypted entries are not supported");

    if (u32(b, local) != 0x04034b50) throw Damaged("bad local header");
    std::size_t data = local + 30 + u16(b, local + 26) + u16(b, local + 28);
    if (data + packed_size > b.size() || data + packed_size > directory) throw Damaged("truncated");
    std::string packed = b.substr(data, packed_size);
    std::string bytes;
    if (method == 0) {
      if (packed_size != size) throw Damaged("bad sizes");
      bytes = packed;
    } else if (method == 8) {
      bytes = inflate_raw(packed, size);
    } else {
      throw Damaged("unsupported compression method");
    }
    std::uint32_t actual = static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
    if (actual != crc) throw Damaged("CRC error in " + name);
    std::string bare = bare_name(name);
    if (!bare.empty()) entries.push_back({bare, std::move(bytes)});
  }
  return entries;
}

}  // namespace

// Whether `bare` is one of `names` without regard to ASCII case; every name when there are none.
bool wanted(const std::string& bare, const std::vector<std::string>& names) {
  if (names.empty()) return true;
  for (const std::string& n : names) {
    if (n.size() != bare.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < n.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(n[i])) ==
             std::tolower(static_cast<unsigned char>(bare[i]));
    }
    if (same) return true;
  }
  return false;
}

bool exists(const std::string& name) {
  std::ifstream probe(name, std::ios::binary);
  return static_cast<bool>(probe);
}

int main(int argc, char** argv) {
  std::string archive;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (!a.empty() && a[0] == '-') continue;
    if (archive.empty()) {
      archive = a;
    } else {
      names.push_back(a);
    }
  }
  if (archive.empty()) {
    std::fprintf(stderr, "usage: wzunzip [options] ARCHIVE.zip [NAME...]\n");
    return 2;
  }
  std::ifstream in(archive, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "wzunzip: cannot open %s\n", archive.c_str());
    return 2;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Entry> entries;
  try {
    entries = read_archive(bytes);
  } catch (const Damaged& e) {
    std::fprintf(stderr, "wzunzip: %s: damaged archive (%s)\n", archive.c_str(), e.what());
    return 1;
  }
  if (const char* pause = std::getenv("QANO_WZUNZIP_PAUSE_MS")) {
    Sleep(static_cast<DWORD>(std::strtoul(pause, nullptr, 10)));
  }
  const char* cut = std::getenv("QANO_WZUNZIP_CUT_AFTER");
  int status = 0;
  bool matched = false;
  for (const Entry& e : entries) {
    if (!wanted(e.name, names)) continue;
    matched = true;
    if (exists(e.name)) {
      std::fprintf(stderr, "wzunzip: %s is already there: skipped\n", e.name.c_str());
      status = 1;
      continue;
    }
    std::size_t length = e.bytes.size();
    if (cut != nullptr) length = std::min<std::size_t>(length, std::strtoul(cut, nullptr, 10));
    std::ofstream out(e.name, std::ios::binary | std::ios::trunc);
    out.write(e.bytes.data(), static_cast<std::streamsize>(length));
    out.close();
    if (!out || length != e.bytes.size()) {
      std::fprintf(stderr, "wzunzip: cannot write %s\n", e.name.c_str());
      return 3;
    }
    std::printf("  inflating: %s\n", e.name.c_str());
  }
  if (!matched && !names.empty()) {
    std::fprintf(stderr, "wzunzip: %s: no matching files\n", archive.c_str());
    return 11;
  }
  return status;
}
