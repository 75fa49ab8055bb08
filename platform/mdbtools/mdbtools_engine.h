// The Jet engine on Linux: reads Access (Jet 3/4) database files with mdbtools' libmdb.
//
// A shop's database may be damaged in ways no reader foresees, so every query is read in a reader
// process apart from the program (platform/isolation): a file that would crash or hang the reader
// ends as failure 3343 "Unrecognized database format" instead of taking the controller down with
// it. One reader serves a run of queries (start-up's six) and ends by itself soon after the last.
#pragma once

#include <chrono>
#include <memory>

#include "platform/jet.h"

namespace qano {

struct MdbtoolsOptions {
  // Read in a reader process (the default); off runs libmdb in this process, for fuzzing and
  // debugging only.
  bool isolate = true;
  // As IsolationOptions (platform/isolation/isolated_engine.h) has them.
  // How long a query may take in all, waiting included: a backstop for a reader that neither
  // reads nor burns processor time (a share that never answers).
  std::chrono::milliseconds time_limit{300000};
  // How long the reader waits for the next query of a run before it ends.
  std::chrono::milliseconds reader_idle{2000};
  // How much processor time a reader may burn before the file it reads is given up as damaged
  // (the reader's RLIMIT_CPU, in whole seconds): a damaged file can make libmdb spin, while a
  // healthy one on a slow share only waits.
  std::chrono::seconds cpu_limit{20};
};

std::unique_ptr<JetEngine> make_mdbtools_engine(MdbtoolsOptions options = {});

}  // namespace qano
