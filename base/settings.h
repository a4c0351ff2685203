// The settings file (private-profile INI semantics) and the program file
// whose folder holds it.
//
// One section, named after the program file; section and key names compare
// case-insensitively; values come back cut to 1023 characters; the first write
// creates the file and section; every other line of the file is kept, and a
// UTF-8 byte-order mark at its start is skipped and kept. A value with blanks
// at either end, or between a pair of quotes, is written in double quotes, so
// that every value reads back as it was written.
//
// Only a plain file of at most 16 MiB is read, once per start (at the first
// key asked for); this program's own writes are followed, another running
// copy's are seen at the next start.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zudizar {

inline constexpr std::size_t kSettingValueLimit = 1023;

// The full path of the program file. Its folder is the program folder that
// holds the settings file, trace log, start-up palette, swatch file and help.
void SetProgramFile(const std::string& path);
const std::string& ProgramFile();
// The program folder with a trailing separator ("" when no program file is set).
std::string ProgramFolder();

// Section name from a program file name: with p the 1-based position of the
// first full stop and n the length, n - p characters from position p are
// removed ("PASTE.EXE" -> "PASTEE"; no full stop: the whole name).
std::string SettingsSectionName(std::string_view programFileName);

// Fixes the settings file path and section from the program file; the file
// is read afresh at the next key asked for.
void FixSettingsLocation();
const std::string& SettingsPath();
const std::string& SettingsSection();

// Raised when the settings file cannot be written; what() is the message
// shown to the user ("<path> に書き込めません").
class SettingsWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string ReadSetting(const std::string& key);
// Changes one key under an advisory lock on the file, so that running copies
// of the program keep each other's keys, and replaces the file safely.
// Raises SettingsWriteError when the file cannot be written, when it exists
// but cannot be read or is no plain file, for a value holding a line break,
// and when the file would grow beyond what a read takes.
void WriteSetting(const std::string& key, const std::string& text);

// Reads a setting as a decimal integer; an empty or non-numeric value keeps
// `designValue`.
int ReadIntSetting(const std::string& key, int designValue);

// The same in a section of its own ("Edit", "Option"), beside the program's.
std::string ReadSettingIn(const std::string& section, const std::string& key);
void WriteSettingIn(const std::string& section, const std::string& key, const std::string& text);
int ReadIntSettingIn(const std::string& section, const std::string& key, int designValue);

// Pure profile text operations, used by the two calls above and by the fuzzer.
std::string ProfileGetString(std::string_view fileText, std::string_view section, std::string_view key);
std::string ProfileSetString(std::string_view fileText, std::string_view section, std::string_view key,
                             std::string_view value);

}  // namespace zudizar
