// Databases that the Jet engines' tests read, written by the project's Jet 4 writer.
#pragma once

#include <cstdint>
#include <string>

#include "platform/jet/jet.h"
#include "tools/dev/jet4/jet4_writer.h"

namespace qano::sample {

// The master database of a shop: società (codute, database) and inizio (codute).
jet4::Database master_database();
// A shop's data database: automa, utenti and pv.
jet4::Database data_database();
// One column of every type the program can meet: tipi (one row with values, one of Nulls, one of
// zeros and empty texts, a second row with id 1), and società and pv as the program reads them.
jet4::Database types_database();
// The edges of every type, names with accented letters, and a Memo longer than one part of a read
// (12000 characters: libmdb, behind both engines on Linux, gives no more than 16383 bytes of a
// Memo, and a character beyond the Basic Multilingual Plane as "??").
jet4::Database edges_database();
// One table of many pages: utenti (codutente 1 to `rows`, nome "utente <codutente>").
jet4::Database users_database(std::int64_t rows);

// A Memo of `size` characters that is the same at every call.
std::string long_memo(std::size_t size);

}  // namespace qano::sample
