#include "tests/support/sample_databases.h"

namespace qano::sample {

using jet4::ColumnType;

jet4::Database master_database() {
  jet4::Database db;
  jet4::Table& s = db.add_table("società");
  s.add_column("codute", ColumnType::LongInteger).add_column("database", ColumnType::Text, 255);
  s.add_row({std::int64_t{2}, std::string("D:\\altro\\dati.mdb")});
  s.add_row({std::int64_t{1}, std::string("C:\\super\\dati.mdb")});
  s.add_row({std::int64_t{1}, std::string("C:\\vecchio\\dati.mdb")});
  jet4::Table& i = db.add_table("inizio");
  i.add_column("codute", ColumnType::LongInteger).add_column("nome", ColumnType::Text, 40);
  i.add_row({std::int64_t{1}, std::string("primo")});
  return db;
}

jet4::Database data_database() {
  jet4::Database db;
  jet4::Table& a = db.add_table("automa");
  a.add_column("codice", ColumnType::LongInteger).add_column("aaa", ColumnType::Text, 4);
  a.add_row({std::int64_t{1}, std::string("2026")});
  jet4::Table& u = db.add_table("utenti");
  u.add_column("codutente", ColumnType::LongInteger)
      .add_column("nrpos", ColumnType::Integer)
      .add_column("artico", ColumnType::Text, 1)
      .add_column("chiusura", ColumnType::Text, 1)
      .add_column("fid_rep", ColumnType::Byte)
      .add_column("Flag_CF", ColumnType::Boolean);
  u.add_row({std::int64_t{2}, std::int64_t{9}, std::string("N"), std::string("N"), std::int64_t{1},
             false});
  u.add_row(
      {std::int64_t{1}, std::int64_t{3}, std::string("S"), jet4::null, std::int64_t{2}, true});
  jet4::Table& pv = db.add_table("pv");
  pv.add_column("proprio", ColumnType::Text, 1).add_column("codice", ColumnType::LongInteger);
  pv.add_row({std::string("0"), std::int64_t{10}});
  pv.add_row({std::string("1"), std::int64_t{12}});
  pv.add_row({std::string("1"), std::int64_t{13}});
  return db;
}

jet4::Database types_database() {
  jet4::Database db;
  jet4::Table& t = db.add_table("tipi");
  t.add_column("id", ColumnType::LongInteger)
      .add_column("sì", ColumnType::Boolean)
      .add_column("byte", ColumnType::Byte)
      .add_column("int", ColumnType::Integer)
      .add_column("cur", ColumnType::Currency)
      .add_column("sng", ColumnType::Single)
      .add_column("dbl", ColumnType::Double)
      .add_column("quando", ColumnType::DateTime)
      .add_column("testo", ColumnType::Text, 50)
      .add_column("nota", ColumnType::Memo);
  t.add_row({std::int64_t{1}, true, std::int64_t{255}, std::int64_t{-32768},
             jet4::Currency::parse("-12.3456"), 3.5, 0.1,
             jet4::DateTime::parse("2026-12-07 12:21:27"), std::string("Società € è"),
             std::string("una nota lunga ") + std::string(300, 'x')});
  t.add_row({std::int64_t{2}, false, jet4::null, jet4::null, jet4::null, jet4::null, jet4::null,
             jet4::null, jet4::null, jet4::null});
  t.add_row({std::int64_t{3}, false, std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, 0.0, 0.0,
             jet4::null, std::string(), std::string()});
  t.add_row({std::int64_t{1}, false, std::int64_t{7}, jet4::null, jet4::null, jet4::null,
             jet4::null, jet4::null, std::string("second row with id 1"), jet4::null});

  jet4::Table& s = db.add_table("società");
  s.add_column("codute", ColumnType::LongInteger).add_column("database", ColumnType::Text, 255);
  s.add_row({std::int64_t{2}, std::string("D:\\altro\\dati.mdb")});
  s.add_row({std::int64_t{1}, std::string("C:\\super\\dati.mdb")});

  jet4::Table& pv = db.add_table("pv");
  pv.add_column("proprio", ColumnType::Text, 1).add_column("codice", ColumnType::LongInteger);
  pv.add_row({std::string("0"), std::int64_t{10}});
  pv.add_row({std::string("A"), std::int64_t{11}});
  pv.add_row({std::string("1"), std::int64_t{12}});
  return db;
}

std::string long_memo(std::size_t size) {
  std::string memo;
  memo.reserve(size + 8);
  for (std::size_t i = 0; memo.size() < size; ++i) memo += "riga " + std::to_string(i) + "; ";
  memo.resize(size);
  return memo;
}

jet4::Database edges_database() {
  jet4::Database db;
  jet4::Table& e = db.add_table("estremi");
  e.add_column("n", ColumnType::LongInteger)
      .add_column("lng", ColumnType::LongInteger)
      .add_column("int", ColumnType::Integer)
      .add_column("byte", ColumnType::Byte)
      .add_column("cur", ColumnType::Currency)
      .add_column("sng", ColumnType::Single)
      .add_column("dbl", ColumnType::Double)
      .add_column("quando", ColumnType::DateTime)
      .add_column("testo", ColumnType::Text, 255);
  e.add_row({std::int64_t{1}, std::int64_t{-2147483647 - 1}, std::int64_t{32767}, std::int64_t{128},
             jet4::Currency::parse("922337203685477.5807"), 3.4e38, 1e308,
             jet4::DateTime::parse("1899-12-30 00:00:00"), std::string(255, 'z')});
  e.add_row({std::int64_t{2}, std::int64_t{2147483647}, std::int64_t{-1}, std::int64_t{1},
             jet4::Currency{-922337203685477 * 10000 - 5808}, -1.5, -2.5e-300,
             jet4::DateTime::parse("1899-12-31 23:59:59"),
             std::string("\"virgolette\" e 'apici'")});
  e.add_row({std::int64_t{3}, std::int64_t{-5}, std::int64_t{-300}, std::int64_t{127},
             jet4::Currency::parse("0.0001"), 1e-40, 0.30000000000000004,
             jet4::DateTime::parse("1900-03-01 00:00:01"), std::string("日本語 ελληνικά")});
  e.add_row({std::int64_t{4}, std::int64_t{0}, std::int64_t{0}, std::int64_t{0},
             jet4::Currency::parse("-0.5"), -0.0, 123456789.125,
             jet4::DateTime::parse("2000-02-29 23:59:59"), std::string(" spazi ")});
  e.add_row({std::int64_t{5}, std::int64_t{7}, std::int64_t{7}, std::int64_t{7},
             jet4::Currency::parse("12"), 7.0, 7.0, jet4::DateTime::parse("2999-12-31 12:00:00"),
             std::string("ultima 😀")});

  jet4::Table& n = db.add_table("Ñandú perché");
  n.add_column("Città", ColumnType::Text, 40).add_column("ÀÈÌ", ColumnType::LongInteger);
  n.add_row({std::string("Forlì"), std::int64_t{1}});
  n.add_row({std::string("ÉPERNAY"), std::int64_t{2}});

  jet4::Table& m = db.add_table("note");
  m.add_column("id", ColumnType::LongInteger).add_column("testo", ColumnType::Memo);
  m.add_row({std::int64_t{1}, long_memo(12000)});
  m.add_row({std::int64_t{2}, std::string("breve")});
  return db;
}

jet4::Database users_database(std::int64_t rows) {
  jet4::Database db;
  jet4::Table& t = db.add_table("utenti");
  t.add_column("codutente", ColumnType::LongInteger).add_column("nome", ColumnType::Text, 40);
  for (std::int64_t i = 1; i <= rows; ++i) t.add_row({i, "utente " + std::to_string(i)});
  return db;
}

}  // namespace qano::sample
