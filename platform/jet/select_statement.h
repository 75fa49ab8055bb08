// The one form of query the program sends to a database:
//   select * from <table> where <column> = <number or 'text'>
// with keywords in any case, names that may hold non-ASCII letters (or stand in [brackets]) and
// blanks anywhere between the words, trailing ones included. Shared by every engine, so that
// they all accept and refuse the same texts.
#pragma once

#include <string>

#include "platform/jet/jet.h"

namespace qano {

// Parses `sql`; a text of any other form is failure 3075 with the text.
SelectStatement parse_select(const std::string& sql);

// Whether a column's value satisfies "column = literal" the way Jet compares: numbers
// numerically, texts case-insensitively, Null never. A number compared with a text is failure
// 3464 (data type mismatch in criteria expression).
bool criteria_match(const JetValue& value, const JetValue& literal);

}  // namespace qano
