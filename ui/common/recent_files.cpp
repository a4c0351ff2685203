#include "ui/common/recent_files.h"

#include <QAction>
#include <QMenu>
#include <vector>

#include "base/settings.h"
#include "ui/common/file_names.h"

namespace zudizar {

namespace {
QString Prefix(int k) { return QStringLiteral("(&%1) ").arg(k); }
QString DesignCaption(int k) { return QStringLiteral("(&%1)").arg(k); }
std::string Key(const std::string& base, int k) { return k == 0 ? base : base + std::to_string(k); }
}  // namespace

RecentFileList::RecentFileList(QObject* owner, QMenu* menu, std::string settingsKeyBase)
    : QObject(owner), keyBase_(std::move(settingsKeyBase)) {
  for (int k = 0; k < kCount; ++k) {
    auto* action = new QAction(DesignCaption(k), owner);
    action->setObjectName(QStringLiteral("MN_FILEREOPEN%1").arg(k));
    if (menu) menu->addAction(action);
    connect(action, &QAction::triggered, this, [this, k] {
      // A caption shorter than six characters holds no file.
      if (paths_[k].empty()) return;
      if (onReopen) onReopen(k, paths_[k]);
    });
    items_[k] = action;
  }
}

QString RecentFileList::Caption(int k) const {
  return paths_[k].empty() ? DesignCaption(k) : Prefix(k) + ShownName(paths_[k]);
}

void RecentFileList::SetItem(int k, const std::string& path) {
  paths_[k] = path;
  // The menu shows '&' in a path literally; the path itself is kept apart.
  QString shown = ShownName(path);
  shown.replace(QLatin1Char('&'), QLatin1String("&&"));
  items_[k]->setText(path.empty() ? DesignCaption(k) : Prefix(k) + shown);
}

void RecentFileList::Load() {
  for (int k = 0; k < kCount; ++k) {
    const std::string path = ReadSetting(Key(keyBase_, k));
    if (IsPlainFileName(path)) {
      SetItem(k, path);
      items_[k]->setVisible(true);
    } else {
      SetItem(k, {});
      items_[k]->setVisible(false);
    }
  }
}

void RecentFileList::Save() const {
  for (int k = 0; k < kCount; ++k) WriteSetting(Key(keyBase_, k), paths_[k]);
}

void RecentFileList::Add(const std::string& path) {
  // A line break cannot be kept in the settings file, nor a path longer than
  // a setting holds (it would come back as another file's): such a file (a
  // legal name on Linux) stays out of the list.
  if (path.empty() || path.find_first_of("\n\r") != std::string::npos || path.size() > kSettingValueLimit) return;
  std::vector<std::string> kept;
  for (int k = 0; k < kCount && kept.size() < kCount - 1; ++k)
    if (!paths_[k].empty() && paths_[k] != path) kept.push_back(paths_[k]);
  SetItem(0, path);
  items_[0]->setVisible(true);
  for (int k = 1; k < kCount; ++k) {
    const bool has = static_cast<std::size_t>(k - 1) < kept.size();
    SetItem(k, has ? kept[k - 1] : std::string());
    items_[k]->setVisible(has);
  }
}

}  // namespace zudizar
