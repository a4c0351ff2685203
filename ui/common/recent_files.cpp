#include "ui/common/recent_files.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <vector>

#include "base/settings.h"

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
      if (paths_[k].isEmpty()) return;
      if (onReopen) onReopen(k, paths_[k]);
    });
    items_[k] = action;
  }
}

QString RecentFileList::Path(int k) const { return paths_[k]; }

QString RecentFileList::Caption(int k) const { return paths_[k].isEmpty() ? DesignCaption(k) : Prefix(k) + paths_[k]; }

void RecentFileList::SetItem(int k, const QString& path) {
  paths_[k] = path;
  // The menu shows '&' in a path literally; the path itself is kept apart.
  QString shown = path;
  shown.replace(QLatin1Char('&'), QLatin1String("&&"));
  items_[k]->setText(path.isEmpty() ? DesignCaption(k) : Prefix(k) + shown);
}

void RecentFileList::Load() {
  for (int k = 0; k < kCount; ++k) {
    const QString path = QString::fromStdString(ReadSetting(Key(keyBase_, k)));
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
      SetItem(k, path);
      items_[k]->setVisible(true);
    } else {
      SetItem(k, QString());
      items_[k]->setVisible(false);
    }
  }
}

void RecentFileList::Save() const {
  for (int k = 0; k < kCount; ++k) WriteSetting(Key(keyBase_, k), paths_[k].toStdString());
}

void RecentFileList::Add(const QString& path) {
  // A line break cannot be kept in the settings file: such a file (a legal
  // name on Linux) stays out of the list.
  if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) return;
  std::vector<QString> kept;
  for (int k = 0; k < kCount && kept.size() < kCount - 1; ++k)
    if (!paths_[k].isEmpty() && paths_[k] != path) kept.push_back(paths_[k]);
  SetItem(0, path);
  items_[0]->setVisible(true);
  for (int k = 1; k < kCount; ++k) {
    const bool has = static_cast<std::size_t>(k - 1) < kept.size();
    SetItem(k, has ? kept[k - 1] : QString());
    items_[k]->setVisible(has);
  }
}

}  // namespace zudizar
