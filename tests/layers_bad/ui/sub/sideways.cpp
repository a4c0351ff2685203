// Reaches into another window's private file: the layer check must refuse it.
#include "ui/edit/tool_table.h"
