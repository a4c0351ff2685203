#include "ui/common/file_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>
#include <QUrl>
#include <vector>

#include "ui/common/dialogs.h"

namespace zudizar {

namespace {

// The length of the valid UTF-8 sequence at the front of `s`; 0 when none.
std::size_t Utf8SequenceLength(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  return length;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::string Joined(const std::string& folder, const std::string& part) {
  if (folder.empty()) return part;
  return folder.back() == '/' ? folder + part : folder + '/' + part;
}

// The entries of `folder` the toolkit shows as `shown`.
std::vector<std::string> EntriesShownAs(const std::string& folder, const QString& shown) {
  std::vector<std::string> found;
  DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!listing) return found;
  while (const dirent* entry = ::readdir(listing))
    if (QFile::decodeName(entry->d_name) == shown) found.emplace_back(entry->d_name);
  ::closedir(listing);
  return found;
}

}  // namespace

QString ShownName(std::string_view bytes) {
  QString shown;
  std::size_t plain = 0;  // start of the valid stretch not yet appended
  const auto flush = [&](std::size_t end) {
    if (end > plain) shown += QString::fromUtf8(bytes.data() + plain, static_cast<qsizetype>(end - plain));
  };
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceLength(bytes.substr(i));
    if (length > 0) {
      i += length;
      continue;
    }
    flush(i);
    shown += QStringLiteral("\\x") +
             QStringLiteral("%1").arg(static_cast<unsigned char>(bytes[i]), 2, 16, QLatin1Char('0')).toUpper();
    plain = ++i;
  }
  flush(bytes.size());
  return shown;
}

std::optional<std::string> NameFromToolkit(const QString& name, QString& problem) {
  problem.clear();
  const QByteArray encoded = QFile::encodeName(name);
  // The toolkit shows every undecodable byte as U+FFFD: only a name holding
  // one can stand for another entry than its encoding names.
  if (!name.contains(QChar::ReplacementCharacter)) return encoded.toStdString();
  std::string bytes = name.startsWith(QLatin1Char('/')) ? "/" : "";
  const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (qsizetype k = 0; k < parts.size(); ++k) {
    const QString& part = parts[k];
    std::string chosen = QFile::encodeName(part).toStdString();
    if (part.contains(QChar::ReplacementCharacter)) {
      const std::vector<std::string> found = EntriesShownAs(bytes, part);
      if (found.size() > 1) {
        problem = QStringLiteral("%1 と同じに見える名前が %2 に%3個あります。どのファイルか決められません。"
                                 "ファイルの名前を変えて下さい")
                      .arg(part, ShownName(bytes.empty() ? std::string(".") : bytes))
                      .arg(found.size());
        return std::nullopt;
      }
      if (found.size() == 1) chosen = found.front();
    }
    bytes = Joined(bytes, chosen);
  }
  if (name.endsWith(QLatin1Char('/')) && !bytes.empty() && bytes.back() != '/') bytes += '/';
  return bytes;
}

std::optional<std::string> NameFromUrl(const QUrl& url) {
  if (!url.isLocalFile()) return std::nullopt;
  // The encoded path keeps bytes that are no UTF-8 as %HH.
  const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  std::string bytes;
  const QString host = url.host();
  if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
    bytes = "//" + host.toStdString();
  bytes += path.toStdString();
  return bytes;
}

QUrl UrlOfFile(const std::string& path) {
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

QString ToolkitFolder(const std::string& folder) {
  std::string held = folder;
  for (;;) {
    const QString shown = QFile::decodeName(QByteArray::fromStdString(held));
    if (QFile::encodeName(shown).toStdString() == held || held.empty() || held == "/") return shown;
    held = FolderOfName(held);
  }
}

std::string FolderOfName(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const auto slash = folder.find_last_of('/');
  if (slash == std::string::npos) return {};
  folder.resize(slash == 0 ? 1 : slash);
  return folder;
}

bool IsPlainFileName(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CheckOpenable(QWidget* window, Dialogs& dialogs, const std::string& path) {
  struct stat info {};
  QString reason;
  if (::stat(path.c_str(), &info) != 0)
    reason = QStringLiteral("ファイルが見つかりません");
  else if (S_ISREG(info.st_mode))
    return true;
  else if (S_ISDIR(info.st_mode))
    reason = QStringLiteral("フォルダです。絵のファイルではありません");
  else if (S_ISFIFO(info.st_mode))
    reason = QStringLiteral("名前付きパイプ（FIFO）です。絵のファイルではありません");
  else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
    reason = QStringLiteral("デバイスです。絵のファイルではありません");
  else if (S_ISSOCK(info.st_mode))
    reason = QStringLiteral("ソケットです。絵のファイルではありません");
  else
    reason = QStringLiteral("普通のファイルではありません");
  dialogs.MessageBox(window, QStringLiteral("%1 を開けませんでした。\n%2").arg(ShownName(path), reason),
                     QStringLiteral("ﾌｧｲﾙのﾛｰﾄﾞ失敗"), BoxButtons::Ok, BoxIcon::Information);
  return false;
}

}  // namespace zudizar
