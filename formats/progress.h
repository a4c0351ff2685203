// How far a reader or writer has come: percentages with a phase, which the
// windows show as captions. What went wrong is returned in a FileReport.
#pragma once

#include "formats/file_report.h"

namespace zudizar {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Phase 0 "load preparation", 1 "data load", other values "palette reduction".
  virtual void FileProgress(int percent, int phase) {}
};

// Null-safe helper for codecs.
inline void ReportProgress(ProgressSink* sink, int percent, int phase) {
  if (sink) sink->FileProgress(percent, phase);
}

}  // namespace zudizar
