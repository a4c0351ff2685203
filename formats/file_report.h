// What went wrong in a load or save, as the messages the user is to see:
// codecs and palette rules record them in order, and the caller shows them
// (the windows as message boxes, the command line as text).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zudizar {

// Note: a picture was opened although its file was not whole (cut short,
// damaged data skipped); the windows show it beside the picture, never in a
// box, and the command line as a warning.
enum class MessageKind { Information, Warning, Error, Note };

struct FileMessage {
  std::string text;
  std::string caption;
  MessageKind kind = MessageKind::Information;
  bool operator==(const FileMessage&) const = default;
};

// The messages of one step, in the order they arose.
struct FileReport {
  std::vector<FileMessage> messages;

  bool Empty() const { return messages.empty(); }
  void Add(std::string text, std::string caption, MessageKind kind = MessageKind::Information) {
    messages.push_back({std::move(text), std::move(caption), kind});
  }
};

// The messages of a load or save that failed for want of memory or of the
// file system: the file's name, then the reason.
inline constexpr const char* kLoadFailedCaption = "ﾌｧｲﾙのﾛｰﾄﾞ失敗";
inline constexpr const char* kSaveFailedCaption = "保存エラー";
inline constexpr const char* kSaveFailedText = " に保存できませんでした。";
inline constexpr const char* kNoMemoryText = "ﾒﾓﾘｰが足りません。";
// The notes of a picture a reader kept although its file was not whole.
inline constexpr const char* kPartLoadCaption = "ﾌｧｲﾙのﾛｰﾄﾞ";
inline constexpr const char* kDataEndedText = "データが途中で終わっています。読めた所までを開きました。";
// The reason a file is refused whose data ends before its first row.
inline constexpr const char* kNoRowsText = "データが途中で終わっていて、読める行がありません。";
inline constexpr const char* kDataSkippedText = "壊れたデータを飛ばして開きました。";

// Null-safe helpers for codecs: callers that want no messages pass no report.
inline void Report(FileReport* report, std::string text, std::string caption,
                   MessageKind kind = MessageKind::Information) {
  if (report) report->Add(std::move(text), std::move(caption), kind);
}
inline void ReportLoadWithoutMemory(FileReport* report, const std::string& name) {
  Report(report, name + "\n" + kNoMemoryText, kLoadFailedCaption, MessageKind::Error);
}
inline void ReportDataEnded(FileReport* report) { Report(report, kDataEndedText, kPartLoadCaption, MessageKind::Note); }
inline void ReportDataSkipped(FileReport* report) {
  Report(report, kDataSkippedText, kPartLoadCaption, MessageKind::Note);
}
inline void ReportSaveWithoutMemory(FileReport* report, const std::string& name) {
  Report(report, name + kSaveFailedText + "\n" + kNoMemoryText, kSaveFailedCaption, MessageKind::Error);
}

}  // namespace zudizar
