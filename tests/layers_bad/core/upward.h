// A model header that reaches up into palette loading: the layer check must refuse it.
#include "palette/palette_load.h"
