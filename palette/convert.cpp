#include "palette/convert.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

#include "base/file_io.h"
#include "core/indexed_image.h"
#include "core/shared_palette.h"
#include "formats/dispatch.h"
#include "palette/exact.h"
#include "palette/palette_load.h"

namespace zudizar {
namespace {

// The last message of a step that failed, on one line, as the reason.
std::string Reason(const FileReport& report, const std::string& fallback) {
  if (report.Empty()) return fallback;
  std::string line = report.messages.back().text;
  for (auto& c : line)
    if (c == '\n') c = ' ';
  return line;
}

// The shared palette just after the program's start-up, when a batch worker
// keeps it: the start-up (the settings read, the start-up palette picture
// read and merged) then runs at its first file only.
bool keepStart = false;
std::optional<std::pair<PaletteTable, PaletteTable>> keptStart;  // current, pending

void StartSharedPalette() {
  if (keptStart) {
    SetCurrentTable(keptStart->first);
    SharedPalette.pending = keptStart->second;
    RealizeSharedPalette();
    return;
  }
  InitSharedPalette();
  LoadStartupPalette();
  MakePendingCurrent();
  if (keepStart) keptStart.emplace(SharedPalette.current, SharedPalette.pending);
}

}  // namespace

void KeepPaletteStart() { keepStart = true; }

// Other names would get BMP bytes, which the windows' Save allows but a
// command must not.
bool WritableExtension(const std::string& out) {
  const auto slash = out.find_last_of('/');
  const auto dot = out.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string extension = out.substr(dot);
  for (char& c : extension)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const char* supported : kConvertExtensions)
    if (extension == supported) return true;
  return false;
}

bool InputIsAFile(const std::string& in, std::string& error) {
  std::error_code failed;
  const auto status = std::filesystem::status(in, failed);
  if (std::filesystem::is_directory(status))
    error = in + ": is a folder, not a picture file";
  else if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    error = in + ": is not a regular file";
  else if (!FileExists(in))
    error = in + ": no such file";
  else
    return true;
  return false;
}

bool OpenOnSharedPalette(OpenedPicture& opened, IndexedImage& image, std::string& error,
                         std::vector<std::string>* warnings) {
  StartSharedPalette();
  MergeOpenedColours(opened);
  MakePendingCurrent();
  MakePendingCurrent();
  FileReport loadReport;
  if (!MapOpenedPicture(opened, image, &loadReport) || !image.HasPixels()) {
    error = Reason(loadReport, opened.name + ": cannot be read as a picture");
    return false;
  }
  // The notes of a picture opened despite its file, one line each.
  if (warnings)
    for (const FileMessage& message : loadReport.messages)
      if (message.kind == MessageKind::Note) {
        std::string line = opened.name + ": " + message.text;
        for (auto& c : line)
          if (c == '\n') c = ' ';
        warnings->push_back(std::move(line));
      }
  return true;
}

int RunConvert(const std::string& in, const std::string& out, std::string& error, std::vector<std::string>* warnings,
               bool exact) {
  error.clear();
  if (!WritableExtension(out)) {
    error = out + ": cannot write this format; supported extensions:";
    for (const char* supported : kConvertExtensions) error += std::string(" ") + supported;
    return 1;
  }
  if (!InputIsAFile(in, error)) return 1;
  // Opened as the main canvas opens: read and decoded once.
  OpenedPicture opened;
  ReadPictureForOpen(in, opened);
  IndexedImage image;
  std::vector<std::string> notes;
  if (exact) {
    if (!OpenExact(opened, image, error, &notes)) return 1;
    // The JPEG writer shows pixels through the shared palette: make it the
    // picture's own table for this write.
    PaletteTable own = SharedPalette.current;
    for (int i = 0; i < 256; ++i) {
      const ColourTableEntry& e = image.colourTable[i];
      own[i] = {e.red, e.green, e.blue, own[i].flags};
    }
    SetCurrentTable(own);
  } else if (!OpenOnSharedPalette(opened, image, error, &notes)) {
    return 1;
  }
  if (warnings)
    *warnings = notes;
  else
    for (const std::string& note : notes) std::fprintf(stderr, "zudizar: warning: %s\n", note.c_str());
  FileReport saveReport;
  if (!SavePictureFile(out, image, &saveReport)) {
    const FileFailure& failure = LastFileFailure();
    if (failure.error != 0)
      error = out + ": cannot be written: " + (failure.error == ENOMEM ? "not enough memory" : failure.Reason());
    else
      error = Reason(saveReport, out + ": cannot be written");
    return 1;
  }
  return 0;
}

}  // namespace zudizar
