// The engine and its reader process on a machine that runs out: descriptors (EMFILE, ENFILE),
// processes (EAGAIN) or memory (ENOMEM) are the machine's failures, 67 and 7, never a sound
// database passed off as damaged (3343). One entry of the system-call table fails at a time.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "platform/jet/isolated_engine.h"
#include "platform/jet/jet_contract.h"
#include "platform/mdbtools/mdbtools_engine.h"
#include "platform/system/posix_syscalls_for_testing.h"
#include "tests/support/failure_of.h"
#include "tests/support/sample_databases.h"
#include "tools/dev/jet4/jet4_writer.h"

namespace qano {
namespace {

using posix::ReplacedSyscall;
using posix::Syscalls;
using testing::failure_of;

template <int E>
int socketpair_fails(int, int, int, int[2]) {
  errno = E;
  return -1;
}
template <int E>
pid_t fork_fails() {
  errno = E;
  return -1;
}
template <int E>
int open_fails(const char*, int, mode_t) {
  errno = E;
  return -1;
}
// The reader is started through a process in between: its own fork is the second.
int forks = 0;
pid_t (*real_fork)() = nullptr;
template <int E>
pid_t second_fork_fails() {
  if (++forks == 1) return real_fork();
  errno = E;
  return -1;
}

constexpr const char* kQuery = "select * from inizio where codute = 1 ";

TEST(EngineFaults, AMachineOutOfDescriptorsProcessesOrMemoryIsNeverADamagedFile) {
  jet4::TemporaryDatabase master(sample::master_database());
  const std::string file = master.path().string();
  auto isolated = [] { return isolate_engine([] { return make_mdbtools_engine(); }); };
  const struct {
    const char* what;
    std::function<void()> replace_and_query;
    int expected;
  } cases[] = {
      {"no descriptor for the reader's socket",
       [&] {
         ReplacedSyscall<&Syscalls::socketpair> r(socketpair_fails<EMFILE>);
         jet_contract::run_query(*isolated(), file, kQuery);
       },
       failure::kTooManyFiles},
      {"the system's file table full",
       [&] {
         ReplacedSyscall<&Syscalls::socketpair> r(socketpair_fails<ENFILE>);
         jet_contract::run_query(*isolated(), file, kQuery);
       },
       failure::kTooManyFiles},
      {"no process left",
       [&] {
         ReplacedSyscall<&Syscalls::fork> r(fork_fails<EAGAIN>);
         jet_contract::run_query(*isolated(), file, kQuery);
       },
       failure::kOutOfMemory},
      {"no process left for the reader itself",
       [&] {
         forks = 0;
         ReplacedSyscall<&Syscalls::fork> r(second_fork_fails<EAGAIN>);
         real_fork = r.saved();
         jet_contract::run_query(*isolated(), file, kQuery);
       },
       failure::kOutOfMemory},
      {"no memory for the reader",
       [&] {
         ReplacedSyscall<&Syscalls::fork> r(fork_fails<ENOMEM>);
         jet_contract::run_query(*isolated(), file, kQuery);
       },
       failure::kOutOfMemory},
      {"the reader out of descriptors",
       [&] {
         ReplacedSyscall<&Syscalls::open> r(open_fails<EMFILE>);
         jet_contract::run_query(*make_mdbtools_engine(), file, kQuery);
       },
       failure::kTooManyFiles},
      {"the reader out of memory",
       [&] {
         ReplacedSyscall<&Syscalls::open> r(open_fails<ENOMEM>);
         jet_contract::run_query(*make_mdbtools_engine(), file, kQuery);
       },
       failure::kOutOfMemory},
      {"the reader out of descriptors, in its own process",
       [&] {
         ReplacedSyscall<&Syscalls::open> r(open_fails<EMFILE>);
         jet_contract::run_query(*isolated(), file, kQuery);
       },
       failure::kTooManyFiles},
  };
  for (const auto& c : cases) EXPECT_EQ(failure_of(c.replace_and_query), c.expected) << c.what;
  // And with every call its own again, the same database reads.
  EXPECT_FALSE(jet_contract::run_query(*isolated(), file, kQuery).eof);
}

}  // namespace
}  // namespace qano
