// Where the program keeps its settings, trace log, start-up palette, swatch
// file and manual: ZUDIZAR_HOME when set, else the executable's folder, else
// (when that is not writable) $XDG_CONFIG_HOME/zudizar.
#pragma once

#include <QString>

namespace zudizar {

// The folder with a trailing '/', created when missing.
QString ResolveProgramFolder();
// The program file path inside that folder (its name gives the settings section).
QString ResolveProgramFile();

}  // namespace zudizar
