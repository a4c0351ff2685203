#include "ui/common/program_folder.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <filesystem>
#include <system_error>

namespace zudizar {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void MakeFolder(const std::string& folder) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(folder), ignored);
}

bool FolderWritable(const std::string& folder) {
  MakeFolder(folder);
  std::string probe = folder + "/.zudizar-probe-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// The executable's own path, byte for byte.
std::string ExecutableFile() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length > 0) return std::string(path, static_cast<std::size_t>(length));
  return QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
}

}  // namespace

std::string ExecutableFolder() {
  const std::string file = ExecutableFile();
  const auto slash = file.find_last_of('/');
  if (slash == std::string::npos) return {};
  return file.substr(0, slash == 0 ? 1 : slash);
}

std::string ResolveProgramFolder() {
  const std::string home = Environment("ZUDIZAR_HOME");
  if (!home.empty()) {
    MakeFolder(home);
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(home), failed);
    return WithSlash(failed ? home : absolute.lexically_normal().native());
  }
  const std::string executableFolder = ExecutableFolder();
  if (!executableFolder.empty() && FolderWritable(executableFolder)) return WithSlash(executableFolder);
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty()) config = Environment("HOME") + "/.config";
  const std::string folder = config + "/zudizar";
  MakeFolder(folder);
  return WithSlash(folder);
}

std::string ResolveProgramFile() {
  const std::string file = ExecutableFile();
  const auto slash = file.find_last_of('/');
  std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  if (name.empty()) name = "zudizar";
  return ResolveProgramFolder() + name;
}

}  // namespace zudizar
