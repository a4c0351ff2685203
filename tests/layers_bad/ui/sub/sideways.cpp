// Reaches into other windows' files, a private one and a window's own header:
// the layer check must refuse both.
#include "ui/edit/tool_table.h"
#include "ui/edit/edit_window.h"
