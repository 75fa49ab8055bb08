// The mdbtools engine's reading itself: libmdb on the file, in whatever process calls it. It
// checks the pages that the catalog and the query's table name against the file's length, so that
// a file cut short is 3343 rather than "no row".
#pragma once

#include <string>

#include "platform/jet/jet.h"
#include "platform/jet/select_statement.h"

namespace qano {

// The first row of `st` in `file`, which the caller has checked is a readable file.
JetResult read_first_row(const std::string& file, const SelectStatement& st);

}  // namespace qano
