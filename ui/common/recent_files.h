// The list of eight recently opened files that the main, edit and sub
// palettes each keep: menu items "(&0) " … "(&7) " followed by a path, newest
// first, persisted under "<base>", "<base>1" … "<base>7". Paths are bytes,
// kept and persisted as the file system holds them; captions show them with
// ShownName.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <string>

class QAction;
class QMenu;

namespace zudizar {

class RecentFileList : public QObject {
  Q_OBJECT
 public:
  static constexpr int kCount = 8;

  // Creates the items MN_FILEREOPEN0 … 7 in `menu` (may be null), with their
  // design captions "(&0)" … "(&7)".
  RecentFileList(QObject* owner, QMenu* menu, std::string settingsKeyBase);

  QAction* Item(int k) const { return items_[k]; }
  // The path item k holds, or empty when it holds none.
  const std::string& Path(int k) const { return paths_[k]; }
  // What an item's caption says: prefix and path, or the design caption.
  QString Caption(int k) const;

  // Reads the keys; items whose file does not exist are hidden.
  void Load();
  // Writes the keys; items without a path write an empty value. Raises
  // SettingsWriteError when the settings file cannot be written.
  void Save() const;
  // Puts `path` at the top, without duplicates, keeping the newest eight. A
  // path holding a line break, or longer than a setting holds, is left out.
  void Add(const std::string& path);

  // Called with the item's path when a filled item is chosen.
  std::function<void(int k, const std::string& path)> onReopen;

 private:
  void SetItem(int k, const std::string& path);

  std::string keyBase_;
  std::array<QAction*, kCount> items_{};
  std::array<std::string, kCount> paths_;
};

}  // namespace zudizar
