// What a reader or writer tells the window that asked for a load or save:
// progress percentages with a phase (shown as captions), and the message
// boxes some formats show. The windows adapt it to Qt; the command line and
// the tests give their own.
#pragma once

#include <string>

namespace zudizar {

enum class NoticeIcon { Information, Warning, Error };

// The boxes of a load or save that failed for want of memory or of the file
// system: the file's name, then the reason.
inline constexpr const char* kLoadFailedCaption = "ﾌｧｲﾙのﾛｰﾄﾞ失敗";
inline constexpr const char* kSaveFailedCaption = "保存エラー";
inline constexpr const char* kSaveFailedText = " に保存できませんでした。";
inline constexpr const char* kNoMemoryText = "ﾒﾓﾘｰが足りません。";

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Phase 0 "load preparation", 1 "data load", other values "palette reduction".
  virtual void FileProgress(int percent, int phase) {}
  // A message box with an OK button.
  virtual void Notice(const std::string& text, const std::string& caption, NoticeIcon icon) {}
};

// Null-safe helpers for codecs.
inline void ReportProgress(ProgressSink* sink, int percent, int phase) {
  if (sink) sink->FileProgress(percent, phase);
}
inline void ReportNotice(ProgressSink* sink, const std::string& text, const std::string& caption,
                         NoticeIcon icon = NoticeIcon::Information) {
  if (sink) sink->Notice(text, caption, icon);
}
inline void ReportSaveWithoutMemory(ProgressSink* sink, const std::string& name) {
  ReportNotice(sink, name + kSaveFailedText + "\n" + kNoMemoryText, kSaveFailedCaption, NoticeIcon::Error);
}

}  // namespace zudizar
