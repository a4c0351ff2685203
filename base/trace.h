// The trace log TAVOTRC.LOG: numbered diagnostic records of one run.
#pragma once

#include <cstdint>
#include <string>

namespace zudizar {

inline constexpr std::int32_t kTraceRecordLimit = 300000;

// Recreates the log next to the program file with "TRACE ON" and a line feed.
void StartTrace(const std::string& programPath);
// Appends "number text\n" while tracing is on and fewer than 300000 records
// were counted; a log deleted during the run silences further records.
void TraceRecord(int number, const std::string& text);
// Whether TraceRecord would take a record now: callers whose text costs
// work to make ask first.
bool TraceWanted();
std::int32_t TraceRecordCount();
std::string TraceLogPath();

}  // namespace zudizar
