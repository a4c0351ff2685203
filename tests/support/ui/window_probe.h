// Test and benchmark support: sets a canvas's document up the way a check
// needs it (a file name, a few pixels) without a file command. The windows
// name this class a friend; the program never uses it.
#pragma once

#include "ui/common/document.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

class WindowProbe {
 public:
  static Document& Doc(TForm1& window) { return window.document_; }
  static Document& Doc(TTAVOSUBF& window) { return window.document_; }
  // As a running load or save does.
  static void SetBusy(TForm1& window, bool busy) { window.SetBusy(busy); }
};

}  // namespace zudizar
