// Helpers shared by the Jet 4 writer tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "jet4_writer.h"
#include "process.h"

namespace qano::jet4::testing {

// Runs an mdbtools command, e.g. mdb("mdb-tables", {"-1", file}).
ProcessResult mdb(const std::string& tool, const std::vector<std::string>& args,
                  const std::string& input = "");

// Rows of `table` as printed by mdb-export (no header, no quotes, dates as
// YYYY-MM-DD HH:MM:SS). Fails the current test when mdb-export exits with an
// error or writes anything to stderr (mdbtools warns there, e.g. about a
// usage map naming a page of another table).
std::vector<std::vector<std::string>> export_rows(const std::filesystem::path& file,
                                                  const std::string& table);

// Result of mdb-sql for one query typed as in an interactive session.
ProcessResult sql(const std::filesystem::path& file, const std::string& query);

// The mkmdb command built alongside the tests.
std::string mkmdb_path();

// A directory removed with everything in it at the end of the scope.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace qano::jet4::testing
