// Shift_JIS text (as MAG files and the period's programs wrote it) to and
// from UTF-8, through the C library's iconv. The code page is Windows-31J
// (CP932), the superset that also holds NEC's special characters, with
// 0x5C and 0x7E as the ASCII backslash and tilde.
#pragma once

#include <string>
#include <string_view>

namespace zudizar {

// Bytes as text for display: what cannot be decoded (a lone lead byte, an
// unassigned code) is shown as \xNN escapes, one per byte, and the rest
// decodes normally. A backslash in the text itself stays one backslash.
std::string ShiftJisToUtf8(std::string_view bytes);

// Text into Shift_JIS bytes. False when a character has no Shift_JIS code
// (or the text is not valid UTF-8); `refused` then holds that character (or
// the undecodable byte as \xNN) in UTF-8, and `bytes` is left as it was.
bool Utf8ToShiftJis(std::string_view text, std::string& bytes, std::string& refused);

}  // namespace zudizar
