#include "jet4_json.h"

#include <fstream>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

namespace qano::jet4 {
namespace {

using nlohmann::json;

void only_keys(const json& object, std::initializer_list<std::string_view> allowed,
               const std::string& where) {
  for (const auto& item : object.items()) {
    bool known = false;
    for (std::string_view key : allowed) known = known || item.key() == key;
    if (!known) throw InputError(where + ": unknown key \"" + item.key() + "\"");
  }
}

const json& member(const json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end()) throw InputError(where + ": missing \"" + key + "\"");
  return *it;
}

std::string string_member(const json& object, const char* key, const std::string& where) {
  const json& value = member(object, key, where);
  if (!value.is_string()) throw InputError(where + ": \"" + key + "\" must be a string");
  return value.get<std::string>();
}

Value to_value(const json& cell, const std::string& where) {
  switch (cell.type()) {
    case json::value_t::null:
      return null;
    case json::value_t::boolean:
      return cell.get<bool>();
    case json::value_t::number_integer:
      return cell.get<std::int64_t>();
    case json::value_t::number_unsigned: {
      const auto u = cell.get<std::uint64_t>();
      if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        throw InputError(where + ": integer " + std::to_string(u) + " is out of range");
      }
      return static_cast<std::int64_t>(u);
    }
    case json::value_t::number_float:
      return cell.get<double>();
    case json::value_t::string:
      return cell.get<std::string>();
    default:
      throw InputError(where + ": a value must be null, true/false, a number or a string");
  }
}

Column to_column(const json& entry, const std::string& where) {
  if (!entry.is_object()) throw InputError(where + ": a column must be an object");
  only_keys(entry, {"name", "type", "size"}, where);
  Column column;
  column.name = string_member(entry, "name", where);
  column.type = parse_type_name(string_member(entry, "type", where + " \"" + column.name + "\""));
  if (const auto it = entry.find("size"); it != entry.end()) {
    if (!it->is_number_integer() || it->get<std::int64_t>() < 1 || it->get<std::int64_t>() > 255) {
      throw InputError(where + " \"" + column.name + "\": \"size\" must be an integer 1..255");
    }
    column.size = it->get<int>();
  }
  return column;
}

Table to_table(const json& entry, const std::string& where) {
  if (!entry.is_object()) throw InputError(where + ": a table must be an object");
  only_keys(entry, {"name", "columns", "rows"}, where);
  Table table;
  table.name = string_member(entry, "name", where);
  const std::string here = "table \"" + table.name + "\"";
  const json& columns = member(entry, "columns", here);
  if (!columns.is_array()) throw InputError(here + ": \"columns\" must be an array");
  for (std::size_t i = 0; i < columns.size(); ++i) {
    table.columns.push_back(to_column(columns[i], here + ", column " + std::to_string(i + 1)));
  }
  if (const auto it = entry.find("rows"); it != entry.end()) {
    if (!it->is_array()) throw InputError(here + ": \"rows\" must be an array");
    table.rows.reserve(it->size());
    for (std::size_t r = 0; r < it->size(); ++r) {
      const json& row = (*it)[r];
      const std::string row_where = here + ", row " + std::to_string(r + 1);
      if (!row.is_array()) throw InputError(row_where + ": a row must be an array of values");
      std::vector<Value> values;
      values.reserve(row.size());
      for (const json& cell : row) values.push_back(to_value(cell, row_where));
      table.rows.push_back(std::move(values));
    }
  }
  return table;
}

}  // namespace

Database parse_description(std::string_view json_text) {
  json doc;
  try {
    doc = json::parse(json_text.begin(), json_text.end());
  } catch (const json::parse_error& e) {
    throw InputError(std::string("description is not valid JSON: ") + e.what());
  }
  if (!doc.is_object()) throw InputError("description must be a JSON object");
  only_keys(doc, {"tables", "created"}, "description");
  Database db;
  const json& tables = member(doc, "tables", "description");
  if (!tables.is_array()) throw InputError("description: \"tables\" must be an array");
  for (std::size_t i = 0; i < tables.size(); ++i) {
    db.tables.push_back(to_table(tables[i], "table " + std::to_string(i + 1)));
  }
  if (const auto it = doc.find("created"); it != doc.end()) {
    if (!it->is_string()) throw InputError("description: \"created\" must be a date/time string");
    db.created = DateTime::parse(it->get<std::string>());
  }
  return db;
}

Database read_description(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw std::runtime_error("cannot read " + path.string());
  return parse_description(text.str());
}

}  // namespace qano::jet4
