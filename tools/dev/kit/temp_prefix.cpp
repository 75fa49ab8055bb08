#include "tools/dev/kit/temp_prefix.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qano::testing {

namespace fs = std::filesystem;

TempPrefix::TempPrefix() {
  std::string pattern = (fs::temp_directory_path() / "qano-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = fs::canonical(pattern);
  fs::create_directories(root_ / "dosdevices");
  map_drive('c', c());
}

TempPrefix::~TempPrefix() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void TempPrefix::map_drive(char letter, const fs::path& folder) {
  fs::create_directories(folder);
  fs::path link = root_ / "dosdevices" / (std::string(1, letter) + ":");
  std::error_code ignored;
  fs::remove(link, ignored);
  fs::create_directory_symlink(folder, link);
}

void TempPrefix::write(const fs::path& path, const std::string& bytes) const {
  fs::path full = path.is_absolute() ? path : root_ / path;
  fs::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

WorkingDirectory::WorkingDirectory(const fs::path& folder) : old_(fs::current_path()) {
  fs::current_path(folder);
}

WorkingDirectory::~WorkingDirectory() {
  std::error_code ignored;
  fs::current_path(old_, ignored);
}

}  // namespace qano::testing
