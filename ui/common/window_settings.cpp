#include "ui/common/window_settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "base/settings.h"

namespace zudizar {
namespace {

constexpr int kSmallest = 32;       // a window or screen side below this cannot be used
constexpr int kGrip = 32;           // this much of a window stays on its screen to be grabbed
constexpr int kFarthest = 1 << 20;  // keeps rectangle arithmetic far from overflow

int Bounded(int value) { return std::clamp(value, -kFarthest, kFarthest); }

QList<QRect> AvailableScreens() {
  QList<QRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) areas.append(screen->availableGeometry());
  return areas;
}

void Place(QWidget& window, const QRect& saved) {
  const QRect design(window.x(), window.y(), window.width(), window.height());
  const QRect placed = PlaceOnScreens(saved, design, AvailableScreens());
  window.move(placed.topLeft());
  window.resize(placed.size());
}

}  // namespace

QRect PlaceOnScreens(const QRect& saved, const QRect& design, const QList<QRect>& screens) {
  if (screens.isEmpty()) return saved;
  if (saved.width() < kSmallest || saved.height() < kSmallest) return design;
  const QRect* best = nullptr;
  qint64 bestArea = 0;
  for (const QRect& screen : screens) {
    if (screen.width() < kSmallest || screen.height() < kSmallest) continue;
    const QRect common = screen.intersected(saved);
    const qint64 area = qint64{common.width()} * common.height();
    if (area > bestArea) {
      bestArea = area;
      best = &screen;
    }
  }
  if (!best) return design;
  const int width = std::min(saved.width(), best->width());
  const int height = std::min(saved.height(), best->height());
  const int left = std::clamp(saved.x(), best->left() - width + kGrip, best->right() + 1 - kGrip);
  const int top = std::clamp(saved.y(), best->top(), best->bottom() + 1 - kGrip);
  return QRect(left, top, width, height);
}

void RestoreWindowPosition(QWidget& window, const std::string& leftKey, const std::string& topKey) {
  const int left = Bounded(ReadIntSetting(leftKey, window.x()));
  const int top = Bounded(ReadIntSetting(topKey, window.y()));
  Place(window, QRect(left, top, window.width(), window.height()));
}

void RestoreWindowGeometry(QWidget& window, const std::string& leftKey, const std::string& topKey,
                           const std::string& widthKey, const std::string& heightKey) {
  const int left = Bounded(ReadIntSetting(leftKey, window.x()));
  const int top = Bounded(ReadIntSetting(topKey, window.y()));
  const int height = Bounded(ReadIntSetting(heightKey, window.height()));
  const int width = Bounded(ReadIntSetting(widthKey, window.width()));
  Place(window, QRect(left, top, width, height));
}

void SaveWindowPosition(const QWidget& window, const std::string& leftKey, const std::string& topKey) {
  WriteSetting(leftKey, std::to_string(window.x()));
  WriteSetting(topKey, std::to_string(window.y()));
}

}  // namespace zudizar
