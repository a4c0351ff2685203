// What the windows share while the program runs, with a signal for each kind
// of change, so that no window reads another window's fields.
#pragma once

#include <QObject>

#include "core/tool_session.h"

namespace zudizar {

class Session : public QObject {
  Q_OBJECT
 public:
  // The tool, pen and text settings every drawing canvas uses.
  ToolSettings tools;

 signals:
  // Emitted by whoever changed `tools`.
  void toolsChanged();
};

}  // namespace zudizar
