// The values that start-up establishes for the program's run.
#pragma once

#include <cstdint>
#include <string>

namespace qano {

using Integer = std::int16_t;  // 16-bit signed
using Long = std::int32_t;     // 32-bit signed
// A Boolean is kept in 16 bits: 0 for false, -1 for true.
using Boolean = std::int16_t;
inline constexpr Boolean kFalse = 0;
inline constexpr Boolean kTrue = -1;

// A fixed-length text of exactly one character: it keeps the first character of what is
// assigned to it, an empty text becomes one blank, and it holds a NUL before any assignment.
class OneChar {
 public:
  OneChar() = default;
  explicit OneChar(const std::string& utf8) { assign(utf8); }
  OneChar& operator=(const std::string& utf8) {
    assign(utf8);
    return *this;
  }
  void assign(const std::string& utf8);
  // The character as UTF-8 text (one NUL byte before the first assignment).
  const std::string& str() const { return value_; }
  friend bool operator==(const OneChar& a, const std::string& b) { return a.value_ == b; }

 private:
  std::string value_ = std::string(1, '\0');
};

// The program-wide group, written only by start-up.
struct SessionSettings {
  OneChar lettera_drive;
  Long utenti_nrpos = 0;
  OneChar utenti_artico;
  Integer utenti_fid_rep = 0;
  OneChar utenti_chiusura;
  Long pv_codice = 0;
  std::string file_log;
  Boolean utenti_flag_cf = kFalse;
  Integer anno = 0;
  Integer codice_societa = 0;
  std::string db_dati;
  std::string db_vendite;
};

// The window's own group: the main window holds these two fields, and start-up fills them.
struct StartupWindowFields {
  std::string cartella_dati;  // the data folder, ending with "\"
  std::string automa_aaa;     // "0", or the text form of the automation value
};

}  // namespace qano
