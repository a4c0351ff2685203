// The headless conversion behind `zudizar --convert IN OUT`: opens IN as the
// main canvas's Open does and saves it as OUT, with no window.
#pragma once

#include <string>

namespace zudizar {

// Starts the shared palette as the program does (default palette, start-up
// palette picture merged and made current), takes IN's colours into the free
// entries and applies them as Open does, loads IN onto that palette and saves
// it in the format OUT's extension names. Returns 0 on success; 1 with the
// reason in `error` otherwise: the system's message when the write failed,
// the supported extensions when OUT names no format that can be written. The settings file and start-up palette are
// looked up through the program file (SetProgramFile) set beforehand.
// The extensions OUT may have, upper case.
inline constexpr const char* kConvertExtensions[] = {".BMP", ".MAG", ".JPG", ".JPEG", ".ICO", ".PNG"};

int RunConvert(const std::string& in, const std::string& out, std::string& error);

}  // namespace zudizar
