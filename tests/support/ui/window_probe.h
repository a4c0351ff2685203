// Test and benchmark support: sets a canvas's document up the way a check
// needs it (a file name, a few pixels) without a file command. The windows
// name this class a friend; the program never uses it.
#pragma once

#include "core/frames.h"
#include "ui/common/canvas_view.h"
#include "ui/common/document.h"
#include "ui/edit/edit_window.h"
#include "ui/main/canvas_modes.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

class WindowProbe {
 public:
  static Document& Doc(TForm1& window) { return window.document_; }
  static Document& Doc(TTAVOSUBF& window) { return window.document_; }
  static Document& Doc(TTAVOEDTF& window) { return window.document_; }
  // After a test gave the edit picture a new size: the palette's other
  // buffers follow it and the view shows it.
  static void ShowNewPicture(TTAVOEDTF& window) {
    window.ShowNewPicture();
    window.Checkpoint();
  }
  // After a test changed the main picture directly: one step of the history,
  // and unsaved work even when no pixel changed.
  static void MarkChanged(TForm1& window) {
    window.Changed(ImageRect(window.PictureImage()));
    window.document_.MarkModified();
  }
  // The edit palette's picture as it is now counts as saved.
  static void MarkSaved(TTAVOEDTF& window) { window.MarkSaved(); }
  // The main canvas's view, to change what it shows without a command.
  static CanvasView& View(TForm1& window) { return *window.view_; }
  static CanvasView& View(TTAVOSUBF& window) { return *window.view_; }
  // The stamp the main canvas's edit mode holds now (null: none).
  static const IndexedImage* EditModeStamp(TForm1& window) {
    const auto* edit = dynamic_cast<const EditMode*>(window.mode_.get());
    return edit && edit->HoldsStamp() ? &edit->Stamp() : nullptr;
  }
  // As a running load or save does.
  static void SetBusy(TForm1& window, bool busy) { window.SetBusy(busy); }
};

}  // namespace zudizar
