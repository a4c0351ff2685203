// The zoom and status-line items of a canvas window's 表示 menu, and the
// settings that keep them per window.
#pragma once

class QMenu;
class QWidget;

namespace zudizar {

class CanvasView;

// "拡大", "縮小", "等倍", "全体表示" and "ステータスバー", acting on `view`.
void AddViewItems(QWidget* owner, QMenu* menu, CanvasView& view);
// The zoom and the status line as kept under `prefix` ("Main", "Sub") in
// [View]; the status line is on and the zoom 1:1 without them.
void RestoreViewSettings(QWidget* owner, CanvasView& view, const char* prefix);
// Keeps them; raises SettingsWriteError as every settings write does.
void SaveViewSettings(const CanvasView& view, const char* prefix);

}  // namespace zudizar
