// A Wine-like prefix in a fresh temporary folder: dosdevices/c: -> drive_c, plus whatever
// drives a test maps. Removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace qano::testing {

class TempPrefix {
 public:
  TempPrefix();
  ~TempPrefix();
  TempPrefix(const TempPrefix&) = delete;
  TempPrefix& operator=(const TempPrefix&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::string prefix() const { return root_.string(); }
  // The host folder of drive C: (drive_c).
  std::filesystem::path c() const { return root_ / "drive_c"; }
  // Maps drive `letter` to `folder` (made when missing).
  void map_drive(char letter, const std::filesystem::path& folder);
  // Writes a file under the prefix's root (folders made as needed).
  void write(const std::filesystem::path& path, const std::string& bytes) const;

 private:
  std::filesystem::path root_;
};

// The bytes of a file, or empty when it is missing.
std::string read_file(const std::filesystem::path& path);

// Changes the working directory for the life of the object.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& folder);
  ~WorkingDirectory();

 private:
  std::filesystem::path old_;
};

}  // namespace qano::testing
