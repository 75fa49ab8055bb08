// Test helpers for the Windows platform: temporary folders, files and the programs of the build.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace qano::testing {

namespace fs = std::filesystem;

// A temporary folder, removed with everything in it when it goes.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name = "qano test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const fs::path& path() const { return path_; }
  // The DOS path of a name inside it (UTF-8), or of the folder itself.
  std::string dos(const std::string& name = "") const;
  // Writes a file inside it, creating its folders.
  fs::path write(const std::string& name, const std::string& bytes) const;

 private:
  fs::path path_;
};

fs::path u8path(const std::string& utf8);
std::string read_file(const fs::path& path);
// The Windows path of a file of the build, given by its host path ("/work/x" -> "Z:\work\x").
std::string build_file(const std::string& host_path);
// Another process that holds a file open for reading with the share mode `share` (FILE_SHARE_*
// bits), as a backup or scanning program does, until the holder goes: the stub program of the
// build (its Windows path) in its "hold" role.
class Holder {
 public:
  Holder(const std::string& stub_program, const fs::path& file, unsigned long share);
  ~Holder();
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool holding() const { return holding_; }

 private:
  void* process_ = nullptr;
  bool holding_ = false;
};

// Waits until `condition` holds, at most `limit`; says whether it held.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace qano::testing
