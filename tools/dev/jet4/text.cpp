#include "text.h"

#include "jet4_writer.h"

namespace qano::jet4::detail {

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < text.size()) {
    const unsigned char lead = byte(i);
    char32_t cp = 0;
    std::size_t extra = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      out.push_back(static_cast<char16_t>(lead));
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      extra = 1;
      min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      extra = 2;
      min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07;
      extra = 3;
      min = 0x10000;
    } else {
      throw InputError("invalid UTF-8 at byte " + std::to_string(i));
    }
    if (i + extra >= text.size()) {
      throw InputError("truncated UTF-8 sequence at byte " + std::to_string(i));
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      const unsigned char cont = byte(i + k);
      if ((cont & 0xC0) != 0x80) {
        throw InputError("invalid UTF-8 at byte " + std::to_string(i + k));
      }
      cp = (cp << 6) | (cont & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      throw InputError("invalid UTF-8 at byte " + std::to_string(i));
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return out;
}

namespace {

// Length of the compressed form, or 0 when the text cannot be compressed.
std::size_t compressed_length(std::u16string_view text) {
  std::size_t length = 2;  // FF FE marker
  bool narrow = true;
  for (const char16_t c : text) {
    if ((c & 0xFF) == 0) return 0;  // NUL or a wide character read back as a switch
    const bool fits_narrow = c < 0x100;
    if (fits_narrow != narrow) {
      ++length;
      narrow = fits_narrow;
    }
    length += narrow ? 1 : 2;
  }
  return length;
}

}  // namespace

void append_stored_text(std::u16string_view text, bool may_compress,
                        std::vector<std::uint8_t>& out) {
  // Plain text starting with U+FEFF begins with the bytes FF FE and would be
  // read back as compressed text: such text must be compressed.
  const bool needs_compression = !text.empty() && text.front() == 0xFEFF;
  if (may_compress) {
    const std::size_t compressed = compressed_length(text);
    if (compressed != 0 && (compressed < 2 * text.size() || needs_compression)) {
      out.push_back(0xFF);
      out.push_back(0xFE);
      bool narrow = true;
      for (const char16_t c : text) {
        const bool fits_narrow = c < 0x100;
        if (fits_narrow != narrow) {
          out.push_back(0x00);
          narrow = fits_narrow;
        }
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        if (!narrow) out.push_back(static_cast<std::uint8_t>(c >> 8));
      }
      return;
    }
  }
  if (needs_compression) {
    throw InputError(
        "text starting with U+FEFF can only be stored compressed, which this text does not allow "
        "(it is a name, a memo longer than 1024 characters, or holds a character such as U+0100 "
        "whose low byte is 0)");
  }
  for (const char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

std::u16string fold_case(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') {
      c = static_cast<char16_t>(c + 32);
    } else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {  // Latin-1 capitals
      c = static_cast<char16_t>(c + 32);
    } else if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: mostly even/odd pairs
      const bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
      if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) continue;
      if (odd_pairs ? (c % 2 == 1) : (c % 2 == 0)) c = static_cast<char16_t>(c + 1);
    } else if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) {  // Greek capitals
      c = static_cast<char16_t>(c + 32);
    } else if (c >= 0x410 && c <= 0x42F) {  // Cyrillic capitals
      c = static_cast<char16_t>(c + 32);
    } else if (c >= 0x400 && c <= 0x40F) {
      c = static_cast<char16_t>(c + 80);
    }
  }
  return out;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

}  // namespace qano::jet4::detail
