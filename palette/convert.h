// The headless conversion behind `zudizar --convert IN OUT`: opens IN as the
// main canvas's Open does and saves it as OUT, with no window.
#pragma once

#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "formats/opened_picture.h"

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

// A picture opened despite its file (cut short, damaged data skipped) is
// converted; its notes go to `warnings`, one line each naming IN, or without
// `warnings` to standard error, each line after "zudizar: warning: ". IN that
// is a folder or no regular file is refused as such.
// With `exact`, IN is opened with its own colours instead (OpenExact): no
// shared palette, its colour table kept, or 256 colours chosen for it.
int RunConvert(const std::string& in, const std::string& out, std::string& error,
               std::vector<std::string>* warnings = nullptr, bool exact = false);

// Whether `out` ends in one of kConvertExtensions (any case).
bool WritableExtension(const std::string& out);

// Whether IN is a file to read; otherwise false, with what stands there (a
// folder, another kind of file, nothing) in `error`.
bool InputIsAFile(const std::string& in, std::string& error);

// From now on this process starts the shared palette once and gives every
// later conversion a copy of that start: for a batch's workers, whose files
// all start from the same settings and start-up palette picture.
void KeepPaletteStart();

// The opening half of RunConvert, shared with the thumbnailer: starts the
// shared palette as the program does, merges the colours of `opened` (read
// by ReadPictureForOpen) and maps it onto the palette into `image`. False,
// with the reader's reason on one line in `error`, when it cannot be read.
// The notes of a picture opened despite its file go to `warnings`.
bool OpenOnSharedPalette(OpenedPicture& opened, IndexedImage& image, std::string& error,
                         std::vector<std::string>* warnings = nullptr);

}  // namespace zudizar
