// `zudizar --info FILE...`: what each picture file is, without a window.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zudizar {

// Prints per file its format, size and colour count, and for a MAG file its
// machine name and code, user name and comment in UTF-8 (bytes that are no
// Shift_JIS shown as \xNN). A file that cannot be read is named with the
// reason and makes the result 1; otherwise 0.
int RunInfo(const std::vector<std::string>& files, std::FILE* out);

}  // namespace zudizar
