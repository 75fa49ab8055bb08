// A Jet engine on Linux: reads Access (Jet 3/4) database files with mdbtools' libmdb, in the
// process that asks. The program runs it in a reader process of its own (platform/jet's
// isolate_engine, put together in app/hosts), so that a damaged file that would crash or hang
// libmdb ends as failure 3343 instead of taking the controller down.
#pragma once

#include <memory>

#include "platform/jet/jet.h"

namespace qano {

std::unique_ptr<JetEngine> make_mdbtools_engine();

}  // namespace qano
