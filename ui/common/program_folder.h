// Where the program keeps its settings, trace log, start-up palette, swatch
// file and manual: ZUDIZAR_HOME when set, else the executable's folder, else
// (when that is not writable) $XDG_CONFIG_HOME/zudizar. Every name here is
// bytes, as the environment and the file system give it: a folder with a
// Shift_JIS name is that folder, not a look-alike.
#pragma once

#include <string>

namespace zudizar {

// The folder with a trailing '/', created when missing.
std::string ResolveProgramFolder();
// The program file path inside that folder (its name gives the settings section).
std::string ResolveProgramFile();
// The folder of the running executable, without a trailing '/'.
std::string ExecutableFolder();

}  // namespace zudizar
