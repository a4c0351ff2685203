#include "base/settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/file_system.h"

namespace zudizar {
namespace {

struct SettingsLocation {
  std::string programFile;
  std::string path;
  std::string section;
};

SettingsLocation& Location() {
  static SettingsLocation location;
  return location;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Cuts a UTF-8 text to at most `limit` characters.
std::string CutCharacters(std::string_view s, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto byte = static_cast<unsigned char>(s[i]);
    if ((byte & 0xC0) != 0x80) {
      if (characters == limit) return std::string(s.substr(0, i));
      ++characters;
    }
  }
  return std::string(s);
}

// A line of the file, with the section header it opens if any.
struct LineInfo {
  std::string_view text;
  bool isSection = false;
  std::string_view sectionName;
  bool isKey = false;
  std::string_view keyName;
  std::string_view value;
};

LineInfo ClassifyLine(std::string_view raw) {
  LineInfo info;
  info.text = raw;
  std::string_view line = raw;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::string_view trimmed = Trim(line);
  if (!trimmed.empty() && trimmed.front() == '[') {
    const auto close = trimmed.find(']');
    if (close != std::string_view::npos) {
      info.isSection = true;
      info.sectionName = Trim(trimmed.substr(1, close - 1));
      return info;
    }
  }
  if (!trimmed.empty() && trimmed.front() == ';') return info;  // comment
  const auto equals = trimmed.find('=');
  if (equals != std::string_view::npos) {
    info.isKey = true;
    info.keyName = Trim(trimmed.substr(0, equals));
    info.value = Trim(trimmed.substr(equals + 1));
  }
  return info;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A UTF-8 byte-order mark is not part of the first line.
std::string_view WithoutMark(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  text = WithoutMark(text);
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The largest settings file read, and so the largest written: no settings
// file grows that large, and a read never takes more.
constexpr std::size_t kMostSettingsBytes = std::size_t{16} << 20;

bool ReadAll(int fd, std::string& text) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = Fs().Read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (text.size() + static_cast<std::size_t>(n) > kMostSettingsBytes) return false;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

// Only a plain file is a settings file: a named pipe would wait for a writer
// and a device never ends. Opened without waiting, so neither is waited for.
bool IsPlainFile(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
         static_cast<std::uint64_t>(info.st_size) <= kMostSettingsBytes;
}

bool ReadSettingsFile(const std::string& path, std::string& text) {
  text.clear();
  const int fd = Fs().Open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool read = IsPlainFile(fd) && ReadAll(fd, text);
  Fs().Close(fd);
  if (!read) text.clear();
  return read;
}

// The file as this run last read or wrote it. It is read once, at the first
// key a start asks for, and follows this program's own writes; what another
// running copy writes meanwhile is seen at the next start (its keys are kept
// all the same: a write reads the file afresh under the lock).
struct SettingsCache {
  std::mutex mutex;
  bool loaded = false;
  std::string path;
  std::string text;
};

SettingsCache& Cache() {
  static SettingsCache cache;
  return cache;
}

void ForgetSettingsText() {
  SettingsCache& cache = Cache();
  const std::lock_guard<std::mutex> lock(cache.mutex);
  cache.loaded = false;
  cache.text.clear();
}

void KeepSettingsText(const std::string& path, std::string text) {
  SettingsCache& cache = Cache();
  const std::lock_guard<std::mutex> lock(cache.mutex);
  cache.loaded = true;
  cache.path = path;
  cache.text = std::move(text);
}

// A value is quoted when reading it back would change it otherwise: blanks at
// either end would be trimmed, and a pair of quotes around it taken off.
bool NeedsQuotes(std::string_view value) {
  if (value.empty()) return false;
  if (IsBlank(value.front()) || IsBlank(value.back())) return true;
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

}  // namespace

void SetProgramFile(const std::string& path) { Location().programFile = path; }
const std::string& ProgramFile() { return Location().programFile; }

std::string ProgramFolder() {
  const std::string& file = Location().programFile;
  const auto slash = file.find_last_of('/');
  if (slash == std::string::npos) return file.empty() ? std::string() : std::string("./");
  return file.substr(0, slash + 1);
}

std::string SettingsSectionName(std::string_view programFileName) {
  const auto dot = programFileName.find('.');
  if (dot == std::string_view::npos) return std::string(programFileName);
  const std::size_t p = dot + 1;  // 1-based position of the full stop
  const std::size_t n = programFileName.size();
  std::string name(programFileName);
  name.erase(p - 1, n - p);  // removes the full stop and all but the last character after it
  return name;
}

void FixSettingsLocation() {
  auto& location = Location();
  location.path = ProgramFolder() + "TAVOINI.INI";
  const std::string& file = location.programFile;
  const auto slash = file.find_last_of('/');
  location.section = SettingsSectionName(slash == std::string::npos ? file : file.substr(slash + 1));
  // A start reads the file afresh.
  ForgetSettingsText();
}

const std::string& SettingsPath() { return Location().path; }
const std::string& SettingsSection() { return Location().section; }

std::string ProfileGetString(std::string_view fileText, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (const auto raw : SplitLines(fileText)) {
    const LineInfo info = ClassifyLine(raw);
    if (info.isSection) {
      inSection = EqualNoCase(info.sectionName, section);
      continue;
    }
    if (inSection && info.isKey && EqualNoCase(info.keyName, key)) {
      std::string_view value = info.value;
      // A value in matching quotes is taken without them, as profile readers do.
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      return CutCharacters(value, kSettingValueLimit);
    }
  }
  return {};
}

std::string ProfileSetString(std::string_view fileText, std::string_view section, std::string_view key,
                             std::string_view value) {
  std::vector<std::string> lines;
  for (const auto raw : SplitLines(fileText)) lines.emplace_back(raw);
  const bool crlf = fileText.find("\r\n") != std::string_view::npos;
  const std::string cr = crlf ? "\r" : "";
  const std::string quoted = NeedsQuotes(value) ? "\"" + std::string(value) + "\"" : std::string(value);
  const std::string entry = std::string(key) + "=" + quoted + cr;

  // The first section of that name takes the key; every other line is kept.
  std::size_t sectionLine = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const LineInfo info = ClassifyLine(lines[i]);
    if (info.isSection && EqualNoCase(info.sectionName, section)) {
      sectionLine = i;
      break;
    }
  }
  if (sectionLine == lines.size()) {
    lines.push_back("[" + std::string(section) + "]" + cr);
    lines.push_back(entry);
  } else {
    std::size_t insertAt = sectionLine + 1;
    bool replaced = false;
    for (std::size_t i = sectionLine + 1; i < lines.size(); ++i) {
      const LineInfo info = ClassifyLine(lines[i]);
      if (info.isSection) break;
      if (info.isKey && EqualNoCase(info.keyName, key)) {
        lines[i] = entry;
        replaced = true;
        break;
      }
      if (!Trim(lines[i]).empty()) insertAt = i + 1;
    }
    if (!replaced) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
  }
  std::string out;
  std::size_t total = kByteOrderMark.size();
  for (const auto& line : lines) total += line.size() + 1;
  out.reserve(total);
  if (WithoutMark(fileText).size() != fileText.size()) out += kByteOrderMark;
  for (const auto& line : lines) {
    out += line;
    out += '\n';
  }
  return out;
}

std::string ReadSetting(const std::string& key) { return ReadSettingIn(SettingsSection(), key); }

std::string ReadSettingIn(const std::string& section, const std::string& key) {
  const std::string& path = SettingsPath();
  if (path.empty()) return {};
  SettingsCache& cache = Cache();
  const std::lock_guard<std::mutex> lock(cache.mutex);
  if (!cache.loaded || cache.path != path) {
    // A file that cannot be read gives the design values, as a missing one does.
    ReadSettingsFile(path, cache.text);
    cache.loaded = true;
    cache.path = path;
  }
  return ProfileGetString(cache.text, section, key);
}

void WriteSetting(const std::string& key, const std::string& text) { WriteSettingIn(SettingsSection(), key, text); }

void WriteSettingIn(const std::string& section, const std::string& key, const std::string& text) {
  const std::string& path = SettingsPath();
  const auto refuse = [&path] { return SettingsWriteError(path + " に書き込めません"); };
  // A line break would end the value and start lines of its own (a section,
  // keys) that hide or replace the user's other settings.
  if (text.find_first_of("\r\n") != std::string::npos || key.find_first_of("\r\n=[]") != std::string::npos ||
      section.find_first_of("\r\n[]") != std::string::npos)
    throw refuse();
  std::string target;
  int error = 0;
  if (path.empty() || !ResolveFinalLinks(path, target, error)) throw refuse();
  // Read, change and write under a lock on the file, so that two running
  // copies never lose each other's keys. The file is replaced by a rename,
  // so the lock is taken again when the file locked is no longer the one
  // the name leads to.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = Fs().Open(target.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) throw refuse();
    struct Closer {
      int fd;
      ~Closer() { Fs().Close(fd); }
    } closer{fd};
    if (!IsPlainFile(fd)) throw refuse();
    int locked;
    while ((locked = Fs().Flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    // Without advisory locks (some network file systems) the write goes on unlocked.
    if (locked != 0 && errno != ENOLCK && errno != EOPNOTSUPP) throw refuse();
    struct stat held = {};
    struct stat named = {};
    if (::fstat(fd, &held) != 0) throw refuse();
    if (::stat(target.c_str(), &named) != 0 || named.st_ino != held.st_ino || named.st_dev != held.st_dev) continue;
    // A file that exists but cannot be read is never replaced by one that
    // holds this key alone.
    std::string old;
    if (!ReadAll(fd, old)) throw refuse();
    std::string updated = ProfileSetString(old, section, key, text);
    if (updated.size() > kMostSettingsBytes) throw refuse();  // it could not be read back
    FileFailure failure;
    if (!WriteFileSafely(target, std::span(reinterpret_cast<const std::uint8_t*>(updated.data()), updated.size()),
                         failure)) {
      ForgetSettingsText();
      throw refuse();
    }
    KeepSettingsText(path, std::move(updated));
    return;
  }
  throw refuse();
}

int ReadIntSetting(const std::string& key, int designValue) {
  return ReadIntSettingIn(SettingsSection(), key, designValue);
}

int ReadIntSettingIn(const std::string& section, const std::string& key, int designValue) {
  const std::string text = ReadSettingIn(section, key);
  if (text.empty()) return designValue;
  std::size_t used = 0;
  try {
    const long value = std::stol(text, &used, 10);
    if (used != text.size() || value < INT32_MIN || value > INT32_MAX) return designValue;
    return static_cast<int>(value);
  } catch (const std::exception&) {
    return designValue;
  }
}

}  // namespace zudizar
