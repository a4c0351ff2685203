#include "base/trace.h"

#include <cstdio>
#include <filesystem>

namespace zudizar {
namespace {

struct TraceState {
  bool enabled = false;
  std::int32_t count = 0;
  std::string programPath;
  std::string logPath;
};

TraceState& State() {
  static TraceState state;
  return state;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

void StartTrace(const std::string& programPath) {
  auto& state = State();
  state.enabled = false;
  state.count = 0;
  state.programPath = programPath;
  state.logPath = FolderOf(programPath) + "TAVOTRC.LOG";
  std::error_code error;
  std::filesystem::remove(state.logPath, error);
  if (std::FILE* file = std::fopen(state.logPath.c_str(), "wb")) {
    std::fwrite("TRACE ON\n", 1, 9, file);
    std::fclose(file);
  }
  state.enabled = true;
}

void TraceRecord(int number, const std::string& text) {
  auto& state = State();
  if (!state.enabled || state.count >= kTraceRecordLimit) return;
  ++state.count;
  // Opened in update mode so that a log deleted during the run stays deleted.
  std::FILE* file = std::fopen(state.logPath.c_str(), "r+b");
  if (!file) return;
  std::fseek(file, 0, SEEK_END);
  std::fprintf(file, "%d ", number);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fputc('\n', file);
  std::fclose(file);
}

bool TraceWanted() {
  const auto& state = State();
  return state.enabled && state.count < kTraceRecordLimit;
}

std::int32_t TraceRecordCount() { return State().count; }
std::string TraceLogPath() { return State().logPath; }

}  // namespace zudizar
