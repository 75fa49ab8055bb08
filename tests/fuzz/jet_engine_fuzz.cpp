// The Jet engine on damaged database files: any bytes as a .mdb file give a row, no row, or a
// failure with a number and a text; never a crash or a hang of this process. The seeds are files
// made by the project's Jet 4 writer: tiny.mdb and small.mdb by `mkmdb` from tests/fuzz/seeds,
// super.mdb from the demo's tools/dev/demo/super.json.
//
// Each query runs in a reader child (as in the program). A child that the sanitizers stop writes
// its report to a file; a report that points into this project's sources is a fault of ours and
// ends the run, one that points into the database library or the C library is the damaged file's
// doing, which the engine turns into failure 3343 as it should.
#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "platform/failure.h"
#include "platform/jet/isolated_engine.h"
#include "platform/jet/jet_contract.h"
#include "platform/mdbtools/mdbtools_engine.h"

extern "C" void __sanitizer_set_report_path(const char* path);
extern "C" void __sanitizer_set_death_callback(void (*callback)(void));

namespace {

std::string g_folder;    // this run's files
std::string g_database;  // the input as a file
std::string g_reports;   // where reader children write their sanitizer reports
std::unique_ptr<qano::JetEngine> g_engine;
// What the inputs gave, shown when the run ends.
long g_rows = 0, g_no_rows = 0, g_failures = 0, g_child_reports = 0;
std::map<int, long> g_numbers;

// In a reader child: reports go to files, and a child that a sanitizer stops ends quietly
// instead of running the fuzzer's crash handling, which belongs to the parent.
void child_death() {
  ::_exit(86);
}
void in_child() {
  __sanitizer_set_report_path(g_reports.c_str());
  __sanitizer_set_death_callback(child_death);
  for (int sig : {SIGABRT, SIGBUS, SIGILL, SIGFPE}) ::signal(sig, SIG_DFL);
}

[[noreturn]] void fault(const std::string& what) {
  std::cerr << "jet_engine_fuzz: " << what << std::endl;
  std::abort();
}

bool is_runtime_frame(const std::string& line) {
  for (const char* part : {"__asan", "__interceptor_", "__sanitizer", "__ubsan", "compiler-rt",
                           "libclang_rt", "sanitizer_common"}) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

// Whether a sanitizer report of a child points into this project: a UBSan line that names one
// of its files, or an AddressSanitizer stack whose first frame outside the runtime does.
bool ours(const std::string& report) {
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("runtime error:") != std::string::npos) {
      return line.find(QANO_SOURCE_DIR) != std::string::npos;
    }
    std::size_t hash = line.find_first_not_of(' ');
    if (hash == std::string::npos || line[hash] != '#' || is_runtime_frame(line)) continue;
    return line.find(QANO_SOURCE_DIR) != std::string::npos;
  }
  return false;
}

void look_at_child_reports() {
  DIR* dir = ::opendir(g_folder.c_str());
  if (dir == nullptr) return;
  while (dirent* e = ::readdir(dir)) {
    if (std::strncmp(e->d_name, "report.", 7) != 0) continue;
    std::string path = g_folder + "/" + e->d_name;
    ++g_child_reports;
    std::ifstream in(path);
    std::stringstream report;
    report << in.rdbuf();
    ::unlink(path.c_str());
    if (ours(report.str())) {
      ::closedir(dir);
      fault("a reader child stopped in our code:\n" + report.str());
    }
  }
  ::closedir(dir);
}

void query(const std::string& sql) {
  try {
    qano::JetResult r = qano::jet_contract::run_query(*g_engine, g_database, sql);
    if (!r.eof && r.fields.empty()) fault("a row without columns");
    ++(r.eof ? g_no_rows : g_rows);
  } catch (const qano::Failure& f) {
    if (f.number() <= 0 || f.text().empty()) fault("a failure without number or text");
    ++g_failures;
    ++g_numbers[f.number()];
  } catch (const std::exception& e) {
    fault(std::string("not a failure: ") + e.what());
  } catch (...) {
    fault("not a failure");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/jet_engine_fuzz.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) fault("no temporary folder");
  g_folder = pattern;
  g_database = g_folder + "/dati.mdb";
  g_reports = g_folder + "/report";
  ::pthread_atfork(nullptr, nullptr, in_child);
  // A damaged file may make the reader loop; two seconds are plenty for these small files.
  g_engine = qano::isolate_engine([] { return qano::make_mdbtools_engine(); },
                                  qano::IsolationOptions{std::chrono::milliseconds(2000)});
  std::atexit([] {
    std::cerr << "outcomes: " << g_rows << " rows, " << g_no_rows << " no row, " << g_failures
              << " failures (";
    for (const auto& [number, count] : g_numbers) std::cerr << " " << number << ": " << count;
    std::cerr << " ), " << g_child_reports << " reader children stopped by a sanitizer"
              << std::endl;
    ::unlink(g_database.c_str());
    ::rmdir(g_folder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    // An input of odd length is written as it is: a file that ends inside a page. The others
    // are padded with zeros to whole pages, so that the mutations reach the pages' contents
    // rather than stopping at the length check.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size % 2 == 0 && size % 4096 != 0) bytes.resize((size / 4096 + 1) * 4096, '\0');
    std::ofstream out(g_database, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) fault("cannot write the input file");
  }
  // One query per input (each costs a reader child), taken by the input's length: the data
  // database's tables with a number key and with a text key, and the master's company table.
  static const char* const queries[] = {
      "select * from automa where codice = 1 ",
      "select * from pv where proprio = '1' ",
      "select * from società where codute = 1 ",
  };
  query(queries[size / 2 % 3]);
  look_at_child_reports();
  return 0;
}
