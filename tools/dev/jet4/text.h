// Text helpers of the writer: UTF-8 input, UTF-16 storage, name comparison.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qano::jet4::detail {

// Decodes strict UTF-8 (no overlong forms, no surrogates, at most U+10FFFF)
// into UTF-16. Throws InputError on malformed input.
std::u16string utf8_to_utf16(std::string_view text);

// Appends `text` as the file stores it. Plain UTF-16LE, unless `may_compress`
// and the compressed form (FF FE marker, one byte per character below
// U+0100, a 00 byte switching between one- and two-byte runs) is shorter and
// can represent every character: a two-byte character whose low byte is 00
// would read back as a switch, so such text always stays uncompressed.
// Text starting with U+FEFF is always compressed, as its plain form would
// start with the marker; throws InputError when it cannot be.
void append_stored_text(std::u16string_view text, bool may_compress,
                        std::vector<std::uint8_t>& out);

// Folds letters to lower case so that names differing only in case compare
// equal, as they do for Access. Covers ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic capitals; other characters are kept.
std::u16string fold_case(std::u16string_view text);

// Lower-cases ASCII letters only; for keywords such as type names.
std::string ascii_lower(std::string_view text);

}  // namespace qano::jet4::detail
