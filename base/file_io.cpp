#include "base/file_io.h"

#include <cstdio>
#include <memory>
#include <filesystem>
#include <random>
#include <system_error>

namespace zudizar {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

long long ReadFileBytes(const std::string& name, void* destination, long long offset, long long count) {
  File file(std::fopen(name.c_str(), "rb"));
  if (!file) return -1;
  if (offset < 0 || std::fseek(file.get(), offset, SEEK_SET) != 0) return -1;
  if (count <= 0) return 0;
  return static_cast<long long>(
      std::fread(destination, 1, static_cast<std::size_t>(count), file.get()));
}

long long WriteFileBytes(const std::string& name, const void* source, long long offset, long long count) {
  File file(std::fopen(name.c_str(), "r+b"));
  if (file) {
    if (offset < 0 || std::fseek(file.get(), offset, SEEK_SET) != 0) return -1;
  } else {
    file.reset(std::fopen(name.c_str(), "wb"));
    if (!file) return -1;
  }
  if (count <= 0) return 0;
  const auto written = std::fwrite(source, 1, static_cast<std::size_t>(count), file.get());
  if (std::fflush(file.get()) != 0) return -1;
  return static_cast<long long>(written);
}

long long FileLength(const std::string& name) {
  std::error_code error;
  const auto size = std::filesystem::file_size(name, error);
  return error ? -1 : static_cast<long long>(size);
}

bool FileExists(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_regular_file(name, error);
}

bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>& bytes, std::uint64_t limit) {
  bytes.clear();
  File file(std::fopen(name.c_str(), "rb"));
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size < 0 || static_cast<std::uint64_t>(size) > limit) return false;
  std::rewind(file.get());
  try {
    bytes.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    bytes.clear();
    return false;
  }
  return true;
}

bool WriteFileSafely(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  namespace fs = std::filesystem;
  const fs::path target = fs::u8path(name);
  std::random_device device;
  const std::string suffix = ".zdz" + std::to_string(device() % 1000000) + ".tmp";
  const fs::path temporary = target.string() + suffix;
  {
    File file(std::fopen(temporary.c_str(), "wb"));
    if (!file) return false;
    const bool ok = bytes.empty() ||
                    std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (!ok || std::fflush(file.get()) != 0) {
      file.reset();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, target, error);
  if (error) {
    fs::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace zudizar
