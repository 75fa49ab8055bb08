// Text services on glib (Unicode case mapping) and iconv (Windows-1252).
#include "platform/text.h"

#include <glib.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

namespace qano::text {

namespace {

struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
using GString = std::unique_ptr<char, GFreeDeleter>;

// glib refuses invalid UTF-8; such bytes are replaced so a bad name still compares and prints.
std::string valid_utf8(std::string_view s) {
  if (g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return std::string(s);
  GString fixed(g_utf8_make_valid(s.data(), static_cast<gssize>(s.size())));
  return fixed.get();
}

// Converts with iconv, replacing what the target lacks (or the source mangles) by `replacement`
// and moving on by one source character.
std::string convert(const char* to, const char* from, std::string_view in, const char* replacement,
                    std::size_t unit) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size());
  std::vector<char> buffer(256);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = buffer.data();
    std::size_t dst_left = buffer.size();
    std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer.data(), buffer.size() - dst_left);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: skip one whole character of the source.
    out += replacement;
    std::size_t skip = unit;
    if (unit == 0) {  // UTF-8: the length of the character that starts here
      auto lead = static_cast<unsigned char>(*src);
      skip = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      if (skip > src_left) skip = src_left;
      // A broken sequence: skip only its lead byte.
      for (std::size_t i = 1; i < skip; ++i) {
        if ((static_cast<unsigned char>(src[i]) & 0xC0) != 0x80) {
          skip = 1;
          break;
        }
      }
    }
    src += skip;
    src_left -= skip;
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::u16string to_utf16(std::string_view utf8) {
  const std::string valid = valid_utf8(utf8);
  glong n = 0;
  std::unique_ptr<gunichar2, GFreeDeleter> out(
      g_utf8_to_utf16(valid.data(), static_cast<glong>(valid.size()), nullptr, &n, nullptr));
  return out ? std::u16string(reinterpret_cast<const char16_t*>(out.get()),
                              static_cast<std::size_t>(n))
             : std::u16string();
}

std::string from_utf16(std::u16string_view utf16) {
  // An unpaired surrogate stands for U+FFFD, as Windows converts it.
  std::u16string paired(utf16);
  for (std::size_t i = 0; i < paired.size(); ++i) {
    const char16_t c = paired[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < paired.size() && paired[i + 1] >= 0xDC00 && paired[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      paired[i] = 0xFFFD;
    }
  }
  glong n = 0;
  GString out(g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(paired.data()),
                              static_cast<glong>(paired.size()), nullptr, &n, nullptr));
  return out ? std::string(out.get(), static_cast<std::size_t>(n)) : std::string();
}

std::string fold(std::string_view utf8) {
  // Plain ASCII, as most names are, folds to its lower case: no need to ask glib.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
    std::string out(utf8);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  std::string valid = valid_utf8(utf8);
  GString folded(g_utf8_casefold(valid.data(), static_cast<gssize>(valid.size())));
  return folded.get();
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a == b) return true;
  return fold(a) == fold(b);
}

std::string upper(std::string_view utf8) {
  std::string valid = valid_utf8(utf8);
  GString up(g_utf8_strup(valid.data(), static_cast<gssize>(valid.size())));
  return up.get();
}

std::string to_ansi(std::string_view utf8) {
  bool ascii = true;
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(utf8);
  return convert("WINDOWS-1252", "UTF-8", utf8, "?", 0);
}

std::string from_ansi(std::string_view ansi) {
  return convert("UTF-8", "WINDOWS-1252", ansi, "\xEF\xBF\xBD", 1);
}

bool fits_ansi(std::string_view utf8) {
  if (!g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) return false;
  return from_ansi(to_ansi(utf8)) == utf8;
}

}  // namespace qano::text
