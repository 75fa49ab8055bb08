// JSON form of a database description, read by the mkmdb command.
//
//   {
//     "tables": [
//       {
//         "name": "società",
//         "columns": [
//           {"name": "codute",   "type": "Long"},
//           {"name": "database", "type": "Text", "size": 255},
//           {"name": "saldo",    "type": "Currency"},
//           {"name": "aperto",   "type": "DateTime"}
//         ],
//         "rows": [
//           [1, "C:\\dati\\ditta1.mdb", "1234.5678", "2024-03-15 10:20:30"],
//           [2, null, 0, null]
//         ]
//       }
//     ],
//     "created": "2024-01-01 00:00:00"          (optional)
//   }
//
// Types: Boolean, Byte, Integer, Long, Currency, Single, Double, DateTime,
// Text (with "size" 1..255, default 255), Memo; names are matched without
// regard to case, and "Long Integer", "Date/Time" are accepted too.
// Values: JSON null is Null; true/false for Boolean; integers and numbers for
// the numeric types; strings for Text and Memo, for Currency (a decimal such
// as "-12.3456", exact) and for DateTime ("YYYY-MM-DD", "YYYY-MM-DD HH:MM",
// "YYYY-MM-DDTHH:MM:SS"). Unknown keys are rejected so that typing mistakes
// do not go unnoticed.
#pragma once

#include <filesystem>
#include <string_view>

#include "jet4_writer.h"

namespace qano::jet4 {

// Parses a description. Throws InputError for malformed JSON or a
// description that does not have the shape above.
Database parse_description(std::string_view json_text);

// Reads and parses a description file. Throws InputError as above and
// std::runtime_error when the file cannot be read.
Database read_description(const std::filesystem::path& path);

}  // namespace qano::jet4
