#include "test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace qano::jet4::testing {

ProcessResult mdb(const std::string& tool, const std::vector<std::string>& args,
                  const std::string& input) {
  std::vector<std::string> argv{std::string(QANO_MDBTOOLS_DIR) + "/" + tool};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_process(argv, input);
}

std::vector<std::vector<std::string>> export_rows(const std::filesystem::path& file,
                                                  const std::string& table) {
  const ProcessResult r = mdb("mdb-export", {"-H", "-Q", "-d", "\x1f", "-R", "\x1e", "-T",
                                             "%Y-%m-%d %H:%M:%S", file.string(), table});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::vector<std::string>> rows;
  std::size_t begin = 0;
  while (begin < r.out.size()) {
    const std::size_t end = r.out.find('\x1e', begin);
    const std::string line = r.out.substr(begin, end - begin);
    std::vector<std::string> fields;
    std::size_t field = 0;
    while (true) {
      const std::size_t sep = line.find('\x1f', field);
      fields.push_back(line.substr(field, sep - field));
      if (sep == std::string::npos) break;
      field = sep + 1;
    }
    rows.push_back(std::move(fields));
    if (end == std::string::npos) break;
    begin = end + 1;
  }
  return rows;
}

ProcessResult sql(const std::filesystem::path& file, const std::string& query) {
  return mdb("mdb-sql", {"-P", "-d", "|", file.string()}, query + "\ngo\n");
}

std::string mkmdb_path() {
  return QANO_MKMDB_PATH;
}

ScratchDir::ScratchDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "qano-jet4-XXXXXX").string();
  if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace qano::jet4::testing
