// Any Jet engine in a reader process apart from the program (Linux and other POSIX systems).
//
// A shop's database may be damaged in ways no reader foresees: a file that would crash or hang
// the reader ends as failure 3343 "Unrecognized database format" instead of taking the program
// down with it. One reader serves a run of queries (start-up's six) and ends by itself soon after
// the last; a reader that had to give a failure ends after answering, so a damaged file never
// reaches the next query's reading.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/jet/jet.h"

namespace qano {

struct IsolationOptions {
  // How long a query may take in all, waiting included: a backstop for a reader that neither
  // reads nor burns processor time (a share that never answers).
  std::chrono::milliseconds time_limit{300000};
  // How long the reader waits for the next query of a run before it ends.
  std::chrono::milliseconds reader_idle{2000};
  // How much processor time a reader may burn before the file it reads is given up as damaged
  // (the reader's RLIMIT_CPU, in whole seconds): a damaged file can make a reader spin, while a
  // healthy one on a slow share only waits.
  std::chrono::seconds cpu_limit{20};
};

// An engine whose every query runs in a reader process, on the engine that `make_inner` makes
// there (once per reader, in the reader). No reader is started before the first query.
std::unique_ptr<JetEngine> isolate_engine(std::function<std::unique_ptr<JetEngine>()> make_inner,
                                          IsolationOptions options = {});

}  // namespace qano
